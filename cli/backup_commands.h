#pragma once
// rzlctl backup and restore: the module's settings to a file and back, onto the same module or
// another one. A restore writes through the setup window's own operations.

#include <QString>
#include <optional>

#include "core/usage.h"

namespace rzl::cli {

struct RestoreOptions {
    std::optional<QString> apKey;
    std::optional<QString> stationKey;
    bool reboot = false;       // restart the module afterwards and check what it reports
    int restartWaitS = 60;     // how long the module has to come back with the file's settings
    bool given = false;        // any of these on the command line (they go with restore only)
};

QList<OptionRow<RestoreOptions>> RestoreOptionRows();

}  // namespace rzl::cli
