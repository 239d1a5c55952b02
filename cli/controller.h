#pragma once
// rzlctl's commands, each driving the same core as the desktop program.

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>

#include "app/program.h"
#include "cli/command_result.h"
#include "cli/exit_codes.h"
#include "cli/key_sources.h"
#include "cli/terminal_host.h"
#include "protocol/scanner.h"
#include "ui/setup/maintenance.h"

namespace rzl {
struct WriteResult;
struct SavedSettings;
struct RestoreKeys;
struct RestorePlan;
}

namespace rzl::cli {

struct SettingsCommand;
struct RestoreOptions;

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

class Controller {
public:
    explicit Controller(const ControllerOptions& options);

    Program& program() { return program_; }
    Context& ctx() { return program_.ctx; }

    // The command about to run, as typed, and whether it targets one module (its address and
    // port head the result's "module").
    void begin(const QString& command, bool targetsModule, const QString& hostName = {});
    // Keeps a key given out of what is printed (unless --verbose).
    void hideKey(const QString& key);

    // The start-up link check: the marker file or --no-link-check turn it off.
    ExitCode checkLink();

    ExitCode identify(bool print = true);
    ExitCode status();
    ExitCode setOutput(int output, bool on);
    ExitCode locate();
    ExitCode counters();
    ExitCode clearCounter(int input);
    ExitCode watch();
    // Identifies every module in the range (empty: the networks of this PC's adapters).
    ExitCode scan(const QString& range);
    void printSummary(const ScanSummary& summary, int timeoutMs);
    // One of the setup window's writes: the command and its arguments as typed (the key may
    // come from elsewhere: cli/key_sources.h).
    ExitCode writeSetting(QStringList args, const QString& keyType, const std::optional<QString>& keyFile);
    ExitCode backup(const QString& path);
    ExitCode restore(const QString& path, const RestoreOptions& options);

    // Maintenance and firmware update (maintenance_commands.cpp).
    ExitCode wifiMode(bool ap);
    ExitCode resetDefaults();
    ExitCode reboot();
    ExitCode firmware(const QString& file);

    // Ends the command: with --json the one result object on standard output; otherwise `lines`
    // there and, unless done, the error on standard error.
    ExitCode finish(Outcome outcome, const QStringList& lines = {}, const QString& error = {});
    ExitCode fail(Outcome outcome, const QString& error) { return finish(outcome, {}, error); }

private:
    ExitCode fail(ExitCode code, const QString& error) { return fail(OutcomeOfExitCode(code), error); }
    // The result of a command that ends well: `details` merged into the result's details.
    void emitResult(const QJsonObject& details, const QStringList& lines);
    void printLines(const QStringList& lines);  // text only: lines shown before the result
    void printMessage(const QString& text);  // a message of the module's, on standard error
    // One exchange the screen watches; Done, or the outcome of its failure with the reason.
    Outcome sendQueuedNow(QString* why);  // one supervisor tick, which sends the queued command
    bool confirm(const QString& text);
    void noteModule();  // the identify reply's facts into the result's "module"
    QJsonObject ioJson() const;
    QJsonArray countersJson() const;
    ExitCode maintenanceResult(MaintenanceOutcome outcome);
    WriteResult runSetting(const SettingsCommand& command);  // a write, its outcome not yet reported
    std::optional<Key> readKey(const KeySource& source, bool required, QString* problem);  // and hides it
    std::optional<RestoreKeys> givenRestoreKeys(const RestoreOptions& options, QString* problem);
    void environmentRestoreKeys(const SavedSettings& file, const RestoreOptions& options, RestoreKeys& keys);
    bool askSkippedKeys(const RestorePlan& plan, const RestoreOptions& options, RestoreKeys& keys, QString* problem);
    QString refusalText() const;    // why a confirmation came back No
    ExitCode refusedConfirmation();  // that, as a usage error
    ExitCode awaitChecksumReply(const QString& verdict);
    ExitCode rebootAndIdentify(int waitS, QStringList& lines);
    bool awaitIdentify(const QDeadlineTimer& deadline);
    void showProgress(qint64 written, qint64 length);

    int progressShown_ = -1;  // the last percentage (terminal) or tenth (otherwise) shown
    bool progressLineOpen_ = false;  // a terminal progress bar waits for its end of line
    void endProgressLine();

    ControllerOptions options_;
    CommandReport report_;
    KeyReader keys_;
    TerminalDialogs dialogs_;
    TerminalClock clock_;
    Program program_;
    QString lastMessage_;  // so a failure's verdict does not repeat the message just printed
    bool quietLog_ = false;  // the watch's counter reads would log "done" on every poll
};

}  // namespace rzl::cli
