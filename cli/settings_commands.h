#pragma once
// rzlctl's settings writes. Each fills the setup window's fields from its arguments and runs
// the setup window's own operation, so the module gets exactly the desktop program's frames.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "ui/setup/settings_writes.h"

namespace rzl {
struct SetupView;
}

namespace rzl::cli {

struct SettingsCommand {
    QString name;                                   // "set-ap", "set-modbus", ...
    WriteResult (*operation)(Context&) = nullptr;
    std::function<void(SetupView&)> fill;
};

// Reads the command and its arguments (and --type for set-station, empty when not given).
// False, with what the command takes, when they do not fit it.
bool ParseSettingsCommand(const QStringList& args, const QString& keyType, SettingsCommand* out, QString* problem);

class KeyReader;

// The key of set-ap, set-station or set-web-key put into its place in `args` (the command and
// its arguments) from wherever it was given: the argument itself ("-": standard input),
// --key-file, the command's environment variable, or a prompt where the command needs one.
// Without any, set-ap and set-station stay open. False, with the problem, when a source fails.
bool TakeSettingKey(QStringList& args, const QString& keyType, const std::optional<QString>& keyFile,
                    KeyReader& keys, QString* problem);

}  // namespace rzl::cli
