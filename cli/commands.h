#pragma once
// rzlctl's commands, one small unit each over the session (cli/session.h): each sends through
// the core's operations, judges the typed result in the outcome table and prints through the
// result writer. Arguments are checked by main.cpp's command table before a command runs.

#include <QString>
#include <QStringList>
#include <optional>

#include "cli/exit_codes.h"

namespace rzl::cli {

class Session;
struct RestoreOptions;

ExitCode RunIdentify(Session& session);                       // identify_command.cpp
ExitCode RunStatus(Session& session);
ExitCode RunSetOutput(Session& session, int output, bool on);  // io_commands.cpp
ExitCode RunLocate(Session& session);
ExitCode RunCounters(Session& session);
ExitCode RunClearCounter(Session& session, int input);
ExitCode RunWatch(Session& session);                           // watch_command.cpp
ExitCode RunScan(Session& session, const QString& range);      // scan_command.cpp
// One of the setup window's writes: the command and its arguments as typed (the key may come
// from elsewhere: cli/key_sources.h).                            settings_commands.cpp
ExitCode RunSetting(Session& session, QStringList args, const QString& keyType, const std::optional<QString>& keyFile);
ExitCode RunWifiMode(Session& session, bool ap);               // maintenance_commands.cpp
ExitCode RunResetDefaults(Session& session);
ExitCode RunReboot(Session& session);
ExitCode RunFirmware(Session& session, const QString& file);   // firmware_command.cpp
ExitCode RunBackup(Session& session, const QString& path);     // backup_commands.cpp
ExitCode RunRestore(Session& session, const QString& path, const RestoreOptions& options);

}  // namespace rzl::cli
