#pragma once
// rzlctl's commands, each driving the same core as the desktop program.

#include <QDeadlineTimer>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "app/program.h"
#include "cli/exit_codes.h"
#include "cli/terminal_host.h"
#include "protocol/scanner.h"
#include "ui/setup/maintenance.h"

namespace rzl::cli {

struct SettingsCommand;
struct RestoreOptions;

struct ControllerOptions {
    bool json = false;
    bool trace = false;
    bool assumeYes = false;
    int watchIntervalMs = 500;
    int watchMaxChanges = 0;  // 0: until interrupted
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
    ExitCode writeSetting(const SettingsCommand& command);  // the setup window's writes
    ExitCode backup(const QString& path);
    ExitCode restore(const QString& path, const RestoreOptions& options);

    // Maintenance and firmware update (maintenance_commands.cpp).
    ExitCode wifiMode(bool ap);
    ExitCode resetDefaults();
    ExitCode reboot();
    ExitCode firmware(const QString& file);

private:
    ExitCode fail(ExitCode code, const QString& message);
    void printMessage(const QString& text);  // a message of the module's, on standard error
    ExitCode sendQueuedNow();  // one supervisor tick, which sends the queued command
    bool confirm(const QString& text);
    void emitResult(const QJsonObject& json, const QStringList& lines);
    QJsonObject ioJson() const;
    QJsonObject countersJson() const;
    ExitCode maintenanceResult(MaintenanceOutcome outcome, const QString& command);
    QString refusalText() const;    // why a confirmation came back No
    ExitCode refusedConfirmation();  // that, as a usage error
    ExitCode awaitChecksumReply(const QString& verdict);
    ExitCode rebootAndIdentify(int waitS, QJsonObject& json, QStringList& lines);
    bool awaitIdentify(const QDeadlineTimer& deadline);
    void showProgress(qint64 written, qint64 length);

    int progressShown_ = -1;  // the last percentage (terminal) or tenth (otherwise) shown
    bool progressLineOpen_ = false;  // a terminal progress bar waits for its end of line
    void endProgressLine();

    ControllerOptions options_;
    TerminalDialogs dialogs_;
    TerminalClock clock_;
    Program program_;
    QString lastMessage_;  // so a failure's verdict does not repeat the message just printed
    bool quietLog_ = false;  // the watch's counter reads would log "done" on every poll
};

}  // namespace rzl::cli
