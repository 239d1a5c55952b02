#include "ui/setup/writer_lock.h"

#include "ui/operation_texts.h"
#include "ui/program.h"

namespace rzl {

std::unique_ptr<ModuleLock> TakeWriterLock(Program& p, QString* shown, int waitMs) {
    auto lock = std::make_unique<ModuleLock>();
    switch (lock->take(p.ctx, waitMs)) {
    case ModuleLock::Result::Taken: return lock;
    case ModuleLock::Result::Unavailable:
        p.ctx.log(QStringLiteral("No lock against other writers on this PC: ") + lock->problem());
        return lock;
    case ModuleLock::Result::Busy:
    case ModuleLock::Result::Stopped: break;
    }
    const QString writer = lock->holder() > 0 ? QStringLiteral("Another program (PID %1)").arg(lock->holder())
                                              : QStringLiteral("Another program");
    const QString text = QStringLiteral("%1 on this PC is writing to %2,\n    . nothing was sent; try again when it has finished.")
                             .arg(writer, p.ctx.session.deviceIp);
    p.dialogs.message(text, kErrorCaption, BoxIcon::Error);
    if (shown) *shown = text;
    return nullptr;
}

}  // namespace rzl
