#pragma once
// rzlctl backup and restore: the module's settings to a file and back, onto the same module or
// another one. A restore writes through the setup window's own operations; --reboot and
// --reboot-wait (the controller's options, shared with the firmware update) restart and check.

#include <QString>
#include <optional>

#include "core/usage.h"

namespace rzl::cli {

struct RestoreOptions {
    std::optional<QString> apKey;
    std::optional<QString> stationKey;
    bool given = false;  // either on the command line (they go with restore only)
};

QList<OptionRow<RestoreOptions>> RestoreOptionRows();

}  // namespace rzl::cli
