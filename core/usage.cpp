#include "core/usage.h"

#include <QRegularExpression>

#include "core/standard_text.h"
#include "core/version.h"

#include <cstdio>

namespace rzl {

namespace {

constexpr int kTextWidth = 96;
const QString kHelpMan = QStringLiteral("help-man");

QList<UsageOption> WithStandardOptions(const Usage& usage) {
    QList<UsageOption> options = usage.options;
    options.append({{"h", "help"}, QString(), "show this text and exit"});
    options.append({{"version"}, QString(), "show the version and exit"});
    return options;
}

QString OptionFlags(const UsageOption& option) {
    QStringList flags;
    for (const QString& name : option.names) flags.append((name.size() == 1 ? "-" : "--") + name);
    return flags.join(", ");
}

QString OptionNames(const UsageOption& option) {
    return option.valueName.isEmpty() ? OptionFlags(option) : OptionFlags(option) + ' ' + option.valueName;
}

QString CommandNames(const UsageCommand& command) {
    return command.arguments.isEmpty() ? command.name : command.name + ' ' + command.arguments;
}

// Two columns; continuation lines of the help start under its first line.
void AppendTable(QString& text, const QList<std::pair<QString, QString>>& rows) {
    qsizetype width = 20;
    for (const auto& row : rows) width = std::max(width, row.first.size());
    for (const auto& [left, help] : rows) {
        const QStringList lines = help.split('\n');
        text += "  " + left.leftJustified(width + 2) + lines.first() + '\n';
        for (qsizetype i = 1; i < lines.size(); ++i) text += QString(width + 4, ' ') + lines[i] + '\n';
    }
}

// "Exit codes: 0 done, 1 usage error, ..." broken into lines between codes.
QString ExitCodesText(const Usage& usage) {
    QString text, line = QStringLiteral("Exit codes:");
    for (qsizetype i = 0; i < usage.exitCodes.size(); ++i) {
        const auto& [code, meaning] = usage.exitCodes[i];
        const QString item = QString::number(code) + ' ' + meaning + (i + 1 < usage.exitCodes.size() ? "," : ".");
        if (line.size() + 1 + item.size() > kTextWidth) {
            text += line + '\n';
            line = item;
        } else {
            line += ' ' + item;
        }
    }
    return text + line + '\n';
}

// Text for roff: backslashes and minus signs escaped, no line starting as a request.
QString Roff(QString text) {
    text.replace('\\', "\\e").replace('-', "\\-").replace('\n', ' ');
    return text;
}

QString RoffLine(const QString& text) {
    const QString line = Roff(text);
    return (line.startsWith('.') || line.startsWith('\'') ? "\\&" + line : line) + '\n';
}

QString RoffBoldItalic(const QString& bold, const QString& italic) {
    QString text = "\\fB" + Roff(bold) + "\\fR";
    if (!italic.isEmpty()) text += " \\fI" + Roff(italic) + "\\fR";
    return text + '\n';
}

}  // namespace

QString HelpText(const Usage& usage) {
    QString text = "Usage: " + usage.program + ' ' + usage.synopsis + '\n' + usage.summary + '\n';
    if (!usage.commands.isEmpty()) {
        QList<std::pair<QString, QString>> rows;
        for (const UsageCommand& command : usage.commands) rows.append({CommandNames(command), command.help});
        text += "\nCommands:\n";
        AppendTable(text, rows);
    }
    QList<std::pair<QString, QString>> rows;
    for (const UsageOption& option : WithStandardOptions(usage)) rows.append({OptionNames(option), option.help});
    text += "\nOptions:\n";
    AppendTable(text, rows);
    if (!usage.exitCodes.isEmpty()) text += '\n' + ExitCodesText(usage);
    return text;
}

QString ManualPage(const Usage& usage) {
    QString page = QStringLiteral(".TH %1 1 \"%2\" \"rZL-Ctrl %3\" \"User Commands\"\n")
                       .arg(Roff(usage.program.toUpper()), QStringLiteral(RZL_RELEASE_DATE), QStringLiteral(RZL_VERSION));
    page += ".SH NAME\n" + RoffLine(usage.program + " - " + usage.summary);
    page += ".SH SYNOPSIS\n" + RoffBoldItalic(usage.program, usage.synopsis);
    page += ".SH DESCRIPTION\n";
    const QStringList paragraphs = usage.description.split("\n\n", Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < paragraphs.size(); ++i) page += (i ? ".PP\n" : "") + RoffLine(paragraphs[i]);
    if (!usage.commands.isEmpty()) {
        page += ".SH COMMANDS\n";
        for (const UsageCommand& command : usage.commands)
            page += ".TP\n" + RoffBoldItalic(command.name, command.arguments) + RoffLine(command.help);
    }
    page += ".SH OPTIONS\n";
    for (const UsageOption& option : WithStandardOptions(usage))
        page += ".TP\n" + RoffBoldItalic(OptionFlags(option), option.valueName) + RoffLine(option.help);
    if (!usage.exitCodes.isEmpty()) {
        page += ".SH EXIT STATUS\n";
        for (const auto& [code, meaning] : usage.exitCodes)
            page += ".TP\n" + RoffBoldItalic(QString::number(code), QString()) + RoffLine(meaning);
    }
    if (!usage.seeAlso.isEmpty()) {
        QStringList references;
        for (const QString& reference : usage.seeAlso) {
            const qsizetype paren = reference.indexOf('(');
            references.append("\\fB" + Roff(reference.left(paren)) + "\\fR" + reference.mid(paren));
        }
        page += ".SH SEE ALSO\n" + references.join(", ") + '\n';
    }
    return page;
}

QString VersionText(const Usage& usage) {
    return usage.program + ' ' + QStringLiteral(RZL_VERSION) + '\n';
}

QString UsageErrorText(const QString& program, const QString& problem) {
    return program + ": " + problem + "\nTry '" + program + " --help' for more information.\n";
}

// A negative number ("set-modbus -1 30") is a value for its check to judge, not a cluster of
// short options: no option is named with a digit. It passes the parser marked, and comes out as
// it was typed.
constexpr QChar kNumberMark(0x0001);

static QStringList MarkNegativeNumbers(QStringList arguments) {
    static const QRegularExpression negative(QStringLiteral("^-[0-9]+$"));
    for (qsizetype i = 1; i < arguments.size(); ++i)
        if (negative.match(arguments[i]).hasMatch()) arguments[i].prepend(kNumberMark);
    return arguments;
}

QString UnmarkNumber(QString value) {
    if (value.startsWith(kNumberMark)) value.remove(0, 1);
    return value;
}

ParsedArguments ParseUsage(const Usage& usage, const QStringList& typed, QCommandLineParser& parser) {
    const QStringList arguments = MarkNegativeNumbers(typed);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QList<UsageOption> options = WithStandardOptions(usage);
    for (const UsageOption& option : options)
        parser.addOption(QCommandLineOption(option.names, option.help, option.valueName));
    QCommandLineOption manual(kHelpMan);
    manual.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(manual);

    if (!parser.parse(arguments)) return {ParseResult::Error, parser.errorText(), {}, !parser.unknownOptionNames().isEmpty()};
    if (parser.isSet(QStringLiteral("help"))) return {ParseResult::Help, HelpText(usage), {}};
    if (parser.isSet(QStringLiteral("version"))) return {ParseResult::Version, VersionText(usage), {}};
    if (parser.isSet(kHelpMan)) return {ParseResult::Manual, ManualPage(usage), {}};
    QStringList positional = parser.positionalArguments();
    for (QString& argument : positional) argument = UnmarkNumber(argument);
    if (usage.commands.isEmpty() && !positional.isEmpty())
        return {ParseResult::Error, QStringLiteral("unexpected argument '%1'").arg(positional.first()), {}};
    return {ParseResult::Run, QString(), positional};
}

std::optional<int> AnswerArguments(const ParsedArguments& parsed, const QString& program, int usageError) {
    switch (parsed.result) {
    case ParseResult::Run:
        return std::nullopt;
    case ParseResult::Error:
        WriteStandardText(stderr, UsageErrorText(program, parsed.text));
        return usageError;
    case ParseResult::Help:
    case ParseResult::Version:
    case ParseResult::Manual:
        break;
    }
    WriteStandardText(stdout, parsed.text);
    return 0;
}

}  // namespace rzl
