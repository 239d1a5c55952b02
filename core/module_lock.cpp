#include "core/module_lock.h"

#include <QDir>

#include "core/context.h"
#include "platform/file_lock.h"

namespace rzl {

namespace {

constexpr int kRetryMs = 100;

// A name any file system takes: the address's letters, digits, dots and dashes.
QString fileNameOf(const QString& address, std::uint16_t port) {
    QString name;
    for (const QChar c : address) name += c.isLetterOrNumber() || c == u'.' || c == u'-' ? c : QChar(u'_');
    return QStringLiteral("module-%1-%2.lock").arg(name).arg(port);
}

}  // namespace

QString ModuleLockPath(const QString& address, std::uint16_t port, QString* problem) {
    std::string error;
    const std::string folder = platform::LockFolder(error);
    if (folder.empty()) {
        *problem = QString::fromStdString(error);
        return {};
    }
    return QDir(QString::fromStdString(folder)).filePath(fileNameOf(address, port));
}

ModuleLock::ModuleLock() = default;
ModuleLock::~ModuleLock() = default;

ModuleLock::Result ModuleLock::take(Context& ctx, int waitMs, const std::function<bool()>& stop) {
    if (file_ && file_->taken()) return Result::Taken;
    const QString path = ModuleLockPath(ctx.session.deviceIp, ctx.session.tcpPort, &problem_);
    if (path.isEmpty()) return Result::Unavailable;
    file_ = std::make_unique<platform::FileLock>(path.toStdString());
    bool told = false;
    for (int waited = 0;; waited += kRetryMs) {
        std::string error;
        switch (file_->tryTake(error)) {
        case platform::FileLock::Attempt::Taken: return Result::Taken;
        case platform::FileLock::Attempt::Failed: problem_ = QString::fromStdString(error); return Result::Unavailable;
        case platform::FileLock::Attempt::Held: break;
        }
        holder_ = file_->holder();
        if (waited >= waitMs) return Result::Busy;
        if (!told) {
            told = true;
            ctx.display.notice({Notice::Kind::WaitingForWriter, ctx.session.deviceIp, static_cast<qint64>(holder_)});
        }
        if (stop && stop()) return Result::Stopped;
        ctx.clock.pause(kRetryMs);
        if (stop && stop()) return Result::Stopped;
    }
}

void ModuleLock::release() {
    if (file_) file_->release();
}

}  // namespace rzl
