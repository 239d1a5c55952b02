// Command lines from rows: what a parse takes into the settings, and the --help text and manual
// page written from the same rows.
#include <gtest/gtest.h>

#include "core/usage.h"
#include "core/version.h"

using namespace rzl;

namespace {

struct Settings {
    QStringList names;
    bool loud = false;
};

QList<OptionRow<Settings>> Rows() {
    return {
        {{{"n", "name"}, "NAME", "a name; may be given again\nnot empty"},
         [](const QString& value, Settings& s) {
             s.names.append(value);
             return value.isEmpty() ? QStringLiteral("--name wants a name") : QString();
         }},
        {{{"loud"}, QString(), ".starts like a request, has a back\\slash and -minus"},
         [](const QString&, Settings& s) {
             s.loud = true;
             return QString();
         }},
    };
}

Usage TestUsage(bool withCommands) {
    Usage usage;
    usage.program = QStringLiteral("tool");
    usage.synopsis = QStringLiteral("[options]");
    usage.summary = QStringLiteral("a test tool");
    usage.description = QStringLiteral("First paragraph.\n\nSecond paragraph.");
    usage.options = UsageOptions(Rows());
    if (withCommands) usage.commands = {{"go", "N", "go N steps"}};
    usage.exitCodes = {{0, "done"}, {1, "usage error"}};
    usage.seeAlso = {QStringLiteral("rzlctl(1)")};
    return usage;
}

QStringList Args(std::initializer_list<const char*> list) {
    QStringList out{QStringLiteral("tool")};
    for (const char* a : list) out << QString::fromUtf8(a);
    return out;
}

TEST(Usage, ParseTakesEachValueAndStopsAtTheFirstProblem) {
    struct Case {
        QStringList arguments;
        bool withCommands;
        ParseResult result;
        QStringList names;
        QStringList positional;
        QString text;  // contained in the parse's text
    };
    const QList<Case> cases = {
        {Args({}), false, ParseResult::Run, {}, {}, ""},
        {Args({"--name", "a", "-n", "b", "--name=c"}), false, ParseResult::Run, {"a", "b", "c"}, {}, ""},
        {Args({"--name", ""}), false, ParseResult::Error, {""}, {}, "--name wants a name"},
        {Args({"--name"}), false, ParseResult::Error, {}, {}, "Missing value after '--name'"},
        {Args({"--quiet"}), false, ParseResult::Error, {}, {}, "Unknown option 'quiet'"},
        {Args({"stray"}), false, ParseResult::Error, {}, {}, "unexpected argument 'stray'"},
        {Args({"go", "3", "--name", "a"}), true, ParseResult::Run, {"a"}, {"go", "3"}, ""},
        {Args({"--name", "", "--help"}), false, ParseResult::Help, {}, {}, "Usage: tool [options]"},
        {Args({"--version"}), false, ParseResult::Version, {}, {}, "tool " RZL_VERSION "\n"},
        {Args({"--help-man"}), false, ParseResult::Manual, {}, {}, ".TH TOOL 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        Settings settings;
        const ParsedArguments parsed = ParseArguments(TestUsage(c.withCommands), Rows(), c.arguments, settings);
        EXPECT_EQ(parsed.result, c.result);
        EXPECT_TRUE(parsed.text.contains(c.text)) << parsed.text.toStdString();
        EXPECT_EQ(parsed.positional, c.positional);
        if (c.result == ParseResult::Run || c.result == ParseResult::Error) {
            EXPECT_EQ(settings.names, c.names);
        }
    }
}

TEST(Usage, HelpListsEveryRowWithContinuationsUnderTheirText) {
    const QString help = HelpText(TestUsage(true));
    EXPECT_EQ(help,
              "Usage: tool [options]\n"
              "a test tool\n"
              "\n"
              "Commands:\n"
              "  go N                  go N steps\n"
              "\n"
              "Options:\n"
              "  -n, --name NAME       a name; may be given again\n"
              "                        not empty\n"
              "  --loud                .starts like a request, has a back\\slash and -minus\n"
              "  -h, --help            show this text and exit\n"
              "  --version             show the version and exit\n"
              "\n"
              "Exit codes: 0 done, 1 usage error.\n");
}

TEST(Usage, ManualPageEscapesWhatRoffWouldTakeAsItsOwn) {
    const QString page = ManualPage(TestUsage(true));
    const QStringList lines = page.split('\n');
    for (const char* expected : {
             ".TH TOOL 1 \"" RZL_RELEASE_DATE "\" \"rZL-Ctrl " RZL_VERSION "\" \"User Commands\"",
             "tool \\- a test tool",
             "\\fBtool\\fR \\fI[options]\\fR",
             "First paragraph.", ".PP", "Second paragraph.",
             "\\fBgo\\fR \\fIN\\fR",
             "\\fB\\-n, \\-\\-name\\fR \\fINAME\\fR",
             "a name; may be given again not empty",
             "\\&.starts like a request, has a back\\eslash and \\-minus",
             "\\fB\\-\\-version\\fR",
             "\\fB1\\fR", "usage error",
             "\\fBrzlctl\\fR(1)",
         }) {
        EXPECT_TRUE(lines.contains(QString::fromUtf8(expected))) << expected << "\n" << page.toStdString();
    }
    for (const QString& line : lines) EXPECT_FALSE(line.startsWith('\'')) << line.toStdString();
}

}  // namespace
