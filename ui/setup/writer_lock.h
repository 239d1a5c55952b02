#pragma once
// The setup window's share of "one writer per module on this PC" (core/module_lock.h): each of
// its writes, maintenance commands and firmware updates takes the module's lock after the
// confirmation. A wait for another program (rzlctl, a second rzl-ctrl) keeps the windows alive,
// its notice on the status line; when that program held the lock for the whole wait, an error box
// says so and nothing is sent.

#include <QString>
#include <memory>

#include "core/module_lock.h"

namespace rzl {

struct Program;

// The lock, held until the result goes; nothing when another program held it all the while
// (its box shown, its text in `shown` when given). A lock that cannot be had at all (no folder
// for it) lets the action go on, with a line in the hidden log.
std::unique_ptr<ModuleLock> TakeWriterLock(Program& program, QString* shown = nullptr, int waitMs = kModuleLockWaitMs);

}  // namespace rzl
