#include "cli/result_writer.h"

#include <cstdio>

#include "cli/output_lines.h"

namespace rzl::cli {

ExitCode ResultWriter::finish(Outcome outcome, const QStringList& text, const QString& error) {
    if (beforePrinting) beforePrinting();
    if (form_ == Form::Json)
        PrintLine(stdout, QString::fromUtf8(ResultLine(report_, outcome, error)));
    else
        lines(text);
    if (outcome != Outcome::Done && !error.isEmpty() && (quiet || error != lastMessage))
        PrintLine(stderr, QStringLiteral("rzlctl: ") + error);
    return ExitCodeOf(outcome);
}

void ResultWriter::row(Outcome outcome, const QJsonObject& details, const QString& text, const QString& csv,
                       const QString& error) {
    switch (form_) {
    case Form::Json: {
        CommandReport row = report_;
        row.details = details;
        PrintLine(stdout, QString::fromUtf8(ResultLine(row, outcome, error)));
        return;
    }
    case Form::Csv: PrintLine(stdout, csv); return;
    case Form::Text: PrintLine(stdout, text); return;
    }
}

void ResultWriter::found(const QJsonObject& module, const QJsonObject& details) {
    if (form_ != Form::Json) return;
    if (beforePrinting) beforePrinting();
    PrintLine(stdout, QString::fromUtf8(ResultLine({report_.command, module, details}, Outcome::Done)));
}

void ResultWriter::header(const QString& csv) {
    if (form_ == Form::Csv) PrintLine(stdout, csv);
}

void ResultWriter::lines(const QStringList& lines) {
    if (form_ == Form::Json) return;
    for (const QString& line : lines) PrintLine(stdout, line);
}

}  // namespace rzl::cli
