#pragma once
// What every rzlctl command stands on: the core's context (its display is the windows' own
// ScreenDisplay, so the module's messages read as in the desktop program), the terminal, the
// keys, and the one result writer. A command sends through the core's operations, waits with
// the clock, and prints through here; it never reads a text to decide what happened.

#include <QDeadlineTimer>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>

#include "cli/command_result.h"
#include "cli/exit_codes.h"
#include "cli/key_sources.h"
#include "cli/outcome_table.h"
#include "cli/result_writer.h"
#include "cli/terminal_host.h"
#include "core/context.h"
#include "protocol/identify_reply.h"
#include "protocol/operation.h"
#include "protocol/scanner.h"
#include "ui/operation_texts.h"
#include "ui/screen_display.h"

namespace rzl::cli {

struct ControllerOptions {
    bool json = false;
    bool trace = false;
    bool assumeYes = false;
    bool verbose = false;  // the keys given are shown where the module's messages show them
    int watchIntervalMs = 500;
    int watchMaxChanges = 0;  // 0: until interrupted
    int watchMaxFailures = 0;  // failed polls in a row that end the watch; 0: about a minute's worth
    bool csv = false;            // watch: a header, then comma-separated lines
    bool watchCounters = false;  // watch: the eight input counters too, read on each poll
    ScanOptions scan;
    bool rebootAfter = false;  // firmware, restore: restart the module and wait for it
    int rebootWaitS = 60;
};

// The module as its identify reply describes it.
struct Module {
    IdentifyReply reply;
    QString modelName;
};

class Session {
public:
    explicit Session(const ControllerOptions& options);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Context& ctx() { return ctx_; }
    const ControllerOptions& options() const { return options_; }
    ResultWriter& out() { return writer_; }
    QJsonObject& details() { return writer_.report().details; }
    KeyReader& keys() { return keys_; }

    // The command about to run, as typed, and whether it targets one module (its address and
    // port head the result's "module").
    void begin(const QString& command, bool targetsModule, const QString& hostName = {});

    // Printing on standard error.
    void hideKey(const QString& key);  // kept out of what is printed (unless --verbose)
    void message(const QString& text);  // a module's message, or rzlctl's own remark
    void show(const Box& box);          // a box of the setup window, as one line
    void warn(const QStringList& warnings);  // "rzlctl: warning: ..." and in the details
    void progress(qint64 written, qint64 length);
    // The hidden log lines not printed meanwhile (the watch's counter reads log on every poll).
    void setQuietLog(bool quiet) { quietLog_ = quiet; }

    // The user's answer; without a terminal and --yes, No.
    bool confirm(const QString& text) { return dialogs_.confirm(text, QStringLiteral("Confirm")); }
    void answerYes() { dialogs_.answerYes(); }
    QString refusalText() const;
    ExitCode refusedConfirmation() { return fail(Outcome::Cancelled, refusalText()); }

    // Asked between the steps of a write: whether to stop before the next.
    StopRequested stop() const { return stop_; }

    // Ending the command.
    ExitCode finish(Outcome outcome, const QStringList& lines = {}, const QString& error = {});
    ExitCode fail(Outcome outcome, const QString& error) { return finish(outcome, {}, error); }
    ExitCode done(const QJsonObject& details, const QStringList& lines);  // `details` merged

    // The start-up link check: the marker file or --no-link-check turn it off.
    ExitCode checkLink();
    // Identifies the module at the target; its facts go into the result's "module". Nothing,
    // with the command ended (`ended`), when it did not answer as the module there.
    std::optional<Module> identify(ExitCode* ended);
    // One identify, quietly (a module restarting says nothing useful): the module when it answered
    // as the one at the target.
    std::optional<Module> tryIdentify();
    // After a restart: waits 2 s, then identifies until it answers (quietly) or the deadline.
    std::optional<Module> awaitIdentify(const QDeadlineTimer& deadline);
    // A request's typed result as the outcome table judges it: nothing when done (`confirmed`
    // says whether the module confirmed it), otherwise the command ended with its outcome.
    std::optional<ExitCode> judged(const ExchangeOutcome& outcome, Role role, bool* confirmed = nullptr);

    void noteModule(const Module& module);  // the identify reply's facts into "module"

private:
    void endProgressLine();

    ControllerOptions options_;
    ResultWriter writer_;
    KeyReader keys_;
    TerminalDialogs dialogs_;
    TerminalClock clock_;
    Screen screen_;
    ScreenDisplay display_{screen_, dialogs_};
    Context ctx_{display_, clock_};
    StopRequested stop_;
    bool quietLog_ = false;
    int progressShown_ = -1;  // the last percentage (terminal) or tenth (otherwise) shown
    bool progressLineOpen_ = false;  // a terminal progress bar waits for its end of line
};

// A byte of the I/O state as JSON: do, di and the masks.
QJsonObject IoJson(const DeviceSession& session);
QJsonValue RssiJson(int raw);
QString RssiText(int raw);
void Merge(QJsonObject& into, const QJsonObject& from);

}  // namespace rzl::cli
