#pragma once
// rzlctl's settings writes: the arguments read as the setup window reads its fields (the same
// checks, texts and confirmation), then the core's write run with the values, its box printed
// and its typed result judged. The module gets exactly the desktop program's frames.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "cli/exit_codes.h"
#include "filestore/settings_writes.h"
#include "protocol/operation.h"
#include "ui/operation_texts.h"
#include "ui/setup/settings_fields.h"

namespace rzl::cli {

struct SettingsCommand {
    QString name;        // "set-ap", "set-modbus", ...
    QStringList args;    // after the name; the key in its place
    KeyType keyType = KeyType::Open;  // set-ap and set-station
};

// Reads the command and its arguments (and --type for set-station, empty when not given).
// False, with what the command takes, when they do not fit it.
bool ParseSettingsCommand(const QStringList& args, const QString& keyType, SettingsCommand* out, QString* problem);

// A write whose values passed the setup window's checks: its confirmation, the group whose box
// reports it, and the core's operation with the values.
struct PreparedWrite {
    QString confirmation;
    SettingsWrite group = SettingsWrite::Location;
    std::function<OperationResult(Context& ctx, const StopRequested& stop)> run;
};
// The command's values checked (the length lines go to `log`): the write, or the error box.
Checked<PreparedWrite> PrepareSettingsWrite(const SettingsCommand& command, const LengthLog& log);

// The same for each group from its values (restore takes them from a settings file).
Checked<PreparedWrite> PrepareWifi(bool ap, const QString& ssid, const QString& key, KeyType type, const LengthLog& log);
Checked<PreparedWrite> PrepareStaticIp(const QString& ip, const QString& mask, const QString& gateway);
Checked<PreparedWrite> PrepareClearStaticIp();
Checked<PreparedWrite> PrepareWebKey(const QString& key, const LengthLog& log);
Checked<PreparedWrite> PrepareLocation(const QString& text, const LengthLog& log);
Checked<PreparedWrite> PrepareModbus(const ModbusValues& values);

class KeyReader;

// The key of set-ap, set-station or set-web-key put into its place in `args` (the command and
// its arguments) from wherever it was given: the argument itself ("-": standard input),
// --key-file, the command's environment variable, or a prompt where the command needs one.
// Without any, set-ap and set-station stay open. False, with the problem, when a source fails.
bool TakeSettingKey(QStringList& args, const QString& keyType, const std::optional<QString>& keyFile,
                    KeyReader& keys, QString* problem);

class Session;
// Confirmation (answered already when the session answers Yes), the write, its box; the
// outcome of the typed result. `details` gains message, confirmed, changed and notSent, warnings.
ExitCode RunPreparedWrite(Session& session, const PreparedWrite& write);

}  // namespace rzl::cli
