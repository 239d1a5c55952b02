#pragma once
// The one writer of rzlctl's results on standard output: with --json one object per result
// (cli/command_result.h), with --csv a header and a line per row, otherwise lines of text. A
// failure's error also goes to standard error, unless it is the message printed just before.

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <functional>

#include "cli/command_result.h"
#include "cli/exit_codes.h"

namespace rzl::cli {

class ResultWriter {
public:
    enum class Form { Text, Json, Csv };

    explicit ResultWriter(Form form) : form_(form) {}

    Form form() const { return form_; }
    CommandReport& report() { return report_; }

    // Ends the command: the result (JSON) or `lines` (text), and the error on standard error.
    ExitCode finish(Outcome outcome, const QStringList& lines = {}, const QString& error = {});
    // One row of a command that prints many (watch): JSON, a text line or a CSV line.
    void row(Outcome outcome, const QJsonObject& details, const QString& text, const QString& csv,
             const QString& error = {});
    // With --json, one object of the result's shape for a thing found on the way (a module a scan
    // found), its `module` and `details` its own; nothing otherwise.
    void found(const QJsonObject& module, const QJsonObject& details);
    void header(const QString& csv);   // CSV only
    void lines(const QStringList& lines);  // text only: lines shown before the result

    // The last message printed on standard error, so a failure's error does not repeat it.
    QString lastMessage;
    // --quiet: no messages were printed, so a failure's error always is.
    bool quiet = false;
    // Called before anything is printed (a progress line still open is ended first).
    std::function<void()> beforePrinting;

private:
    Form form_;
    CommandReport report_;
};

}  // namespace rzl::cli
