#pragma once
// What every rzlctl command stands on: the core's context (its display is the windows' own
// ScreenDisplay, so the module's messages read as in the desktop program), the terminal, the
// keys, and the one result writer. A command sends through the core's operations, waits with
// the clock, and prints through here; it never reads a text to decide what happened.

#include <QDeadlineTimer>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "cli/command_result.h"
#include "cli/exit_codes.h"
#include "cli/key_sources.h"
#include "cli/outcome_table.h"
#include "cli/result_writer.h"
#include "cli/terminal_host.h"
#include "cli/stop_signals.h"
#include "core/context.h"
#include "core/module_lock.h"
#include "protocol/identify_reply.h"
#include "protocol/operation.h"
#include "protocol/scanner.h"
#include "ui/operation_texts.h"
#include "ui/screen_display.h"
#include "ui/setup/settings_fields.h"

namespace rzl::cli {

struct ControllerOptions {
    bool json = false;
    bool trace = false;
    bool assumeYes = false;
    bool verbose = false;  // the keys given, and their lengths, are shown where the module's messages show them
    bool quiet = false;    // only the result and errors (and warnings): no status, log or progress lines
    bool acceptReportedAddress = false;  // a module reporting another address is the target (a tunnel, NAT)
    int lockWaitS = 30;    // how long a write waits for another program writing to the module
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

// The windows' display, but for the length of a key file's content ("Transfer Length => 14"),
// which rzlctl shows only with --verbose (the desktop program's status bar keeps it).
class KeyLengthsHidden : public ScreenDisplay {
public:
    using ScreenDisplay::ScreenDisplay;
    bool hiding = true;
    void notice(const Notice& notice) override;

private:
    bool keyFileSent_ = false;  // the file under way holds a key
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
    void message(const QString& text);  // a module's message, or rzlctl's own remark (not with --quiet)
    void show(const Box& box);          // a box of the setup window, as one line
    void warn(const QStringList& warnings);  // "rzlctl: warning: ..." and in the details
    void warnTypedKeys();  // a warning for each key read from an argument (standard error only)
    void progress(qint64 written, qint64 length);
    // The hidden log lines not printed meanwhile (the watch's counter reads log on every poll).
    void setQuietLog(bool quiet) { quietLog_ = quiet; }
    // The length lines of the setup window's field checks, into the hidden log; a key's only
    // with --verbose.
    LengthLog lengthLog();

    // The user's answer; without a terminal and --yes, No.
    bool confirm(const QString& text) { return dialogs_.confirm(text, QStringLiteral("Confirm")); }
    void answerYes() { dialogs_.answerYes(); }
    QString refusalText() const;
    ExitCode refusedConfirmation() { return fail(Outcome::Cancelled, refusalText()); }

    // A write begins (a settings write, a maintenance command, a firmware update, a restore):
    // from now on SIGINT and SIGTERM stop it at the next step boundary instead of ending the
    // program, and this PC's lock of the module is taken, waiting for another program that holds
    // it (--lock-wait). Nothing when the write may go on; otherwise the command ended (busy, or
    // stopped while waiting). Both last until the program ends.
    std::optional<ExitCode> beginWrite();
    // Asked between the steps of a write: whether to stop before the next.
    StopRequested stop() const {
        return [this] { return stopped(); };
    }
    bool stopped() const { return stopSignals_ && stopSignals_->requested() != 0; }
    // A stopped write's outcome: interrupted (SIGINT) or terminated (SIGTERM).
    Outcome stoppedOutcome() const { return OutcomeOfStop(stopSignals_ ? stopSignals_->requested() : 0); }
    // "stopped by SIGTERM"
    QString stoppedText() const;

    // Ending the command.
    ExitCode finish(Outcome outcome, const QStringList& lines = {}, const QString& error = {});
    ExitCode fail(Outcome outcome, const QString& error) { return finish(outcome, {}, error); }
    // A write stopped by a signal: its outcome, with what was and was not done (`doing`).
    ExitCode failStopped(const QString& doing = {});
    ExitCode done(const QJsonObject& details, const QStringList& lines);  // `details` merged

    // The start-up link check: the marker file or --no-link-check turn it off.
    ExitCode checkLink();
    // Identifies the module at the target; its facts go into the result's "module". Nothing,
    // with the command ended (`ended`), when it did not answer as the module there.
    std::optional<Module> identify(ExitCode* ended);
    // One identify, quietly (a module restarting says nothing useful): the module when it answered
    // as the one at the target.
    std::optional<Module> tryIdentify();
    // After a restart: waits 2 s, then identifies until it answers (quietly), the deadline, or a
    // stop of the write (stopped() says so).
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
    KeyLengthsHidden display_{screen_, dialogs_};
    Context ctx_{display_, clock_};
    std::unique_ptr<StopSignals> stopSignals_;
    ModuleLock lock_;
    bool quietLog_ = false;
    int progressShown_ = -1;  // the last percentage (terminal) or tenth (otherwise) shown
    bool progressLineOpen_ = false;  // a terminal progress bar waits for its end of line
};

// A byte of the I/O state as JSON: do, di and the masks.
QJsonObject IoJson(const DeviceSession& session);
QJsonValue RssiJson(int raw);
QString RssiText(int raw);

}  // namespace rzl::cli
