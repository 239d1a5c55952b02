#pragma once
// A program's command line as data. The rows make the parser's options, the --help text and
// the manual page, so the three cannot disagree: adding an option or a command is adding a row.
// Every program also answers --help, --version and (for the build) --help-man.

#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

namespace rzl {

struct UsageOption {
    QStringList names;  // {"h", "help"}: a single letter is a short name
    QString valueName;  // empty for a switch
    QString help;       // a line feed continues the text on the next line of --help
};

struct UsageCommand {
    QString name;
    QString arguments;  // "N on|off"; empty when the command takes none
    QString help;
};

struct Usage {
    QString program;
    QString synopsis;     // what follows the program's name: "[options] COMMAND [ARGS]"
    QString summary;      // one line: the first line of --help and the manual page's NAME
    QString description;  // the manual page's DESCRIPTION; paragraphs apart by an empty line
    QList<UsageCommand> commands;
    QList<UsageOption> options;                 // --help and --version are added to these
    QList<std::pair<int, QString>> exitCodes;  // code and meaning
    QStringList seeAlso;                        // "rzlctl(1)"
};

QString HelpText(const Usage& usage);
QString ManualPage(const Usage& usage);  // roff, section 1
QString VersionText(const Usage& usage);
// One line with the problem and a hint where the whole usage is.
QString UsageErrorText(const QString& program, const QString& problem);

// An option together with how its value is taken into the program's settings.
template <typename Settings>
struct OptionRow {
    UsageOption usage;
    // Takes one value of the option (an empty text for a switch); the problem, or an empty text.
    std::function<QString(const QString& value, Settings&)> take;
};

template <typename Settings>
QList<UsageOption> UsageOptions(const QList<OptionRow<Settings>>& rows) {
    QList<UsageOption> options;
    for (const OptionRow<Settings>& row : rows) options.append(row.usage);
    return options;
}

// Rows written for a part of the settings, used on the whole.
template <typename Outer, typename Inner>
QList<OptionRow<Outer>> Within(Inner Outer::*part, const QList<OptionRow<Inner>>& rows) {
    QList<OptionRow<Outer>> outer;
    for (const OptionRow<Inner>& row : rows)
        outer.append({row.usage, [part, take = row.take](const QString& value, Outer& settings) {
                          return take(value, settings.*part);
                      }});
    return outer;
}

enum class ParseResult { Run, Help, Version, Manual, Error };

struct ParsedArguments {
    ParseResult result = ParseResult::Error;
    QString text;            // what to print for Help, Version and Manual; the problem for Error
    QStringList positional;  // the command and its arguments, for programs with commands
    bool unknownOption = false;  // Error: an argument was read as an option that does not exist
};

// Parses the whole argument list (program name first) against usage.options. A program without
// commands refuses positional arguments.
ParsedArguments ParseUsage(const Usage& usage, const QStringList& arguments, QCommandLineParser& parser);

// Prints what the arguments ask for: help, version or manual page on standard output (exit code
// 0), a problem on standard error (exit code `usageError`). Nothing when the program should run.
std::optional<int> AnswerArguments(const ParsedArguments& parsed, const QString& program, int usageError);

// An argument as it was typed (the parser sees negative numbers marked).
QString UnmarkNumber(QString value);

template <typename Settings>
ParsedArguments ParseArguments(const Usage& usage, const QList<OptionRow<Settings>>& rows,
                               const QStringList& arguments, Settings& settings) {
    QCommandLineParser parser;
    ParsedArguments parsed = ParseUsage(usage, arguments, parser);
    if (parsed.result != ParseResult::Run) return parsed;
    for (const OptionRow<Settings>& row : rows) {
        const QString& name = row.usage.names.last();
        if (!parser.isSet(name)) continue;
        const QStringList values = row.usage.valueName.isEmpty() ? QStringList{QString()} : parser.values(name);
        for (const QString& value : values) {
            if (const QString problem = row.take(UnmarkNumber(value), settings); !problem.isEmpty())
                return {ParseResult::Error, problem, {}};
        }
    }
    return parsed;
}

}  // namespace rzl
