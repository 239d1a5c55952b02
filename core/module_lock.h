#pragma once
// One writer per module on this PC. Every settings write, maintenance command and firmware
// update, of rzlctl and of the desktop program alike, first takes the lock of the module it
// targets: a lock file named after the module's address and port in this user's folder for
// locks (platform/file_lock.h), which the system frees when its holder dies. A module has one
// slot for a file transfer: two writers whose transfers crossed would each have their content
// refused, both unaware. Reads (identify, status, the polls) take no lock.
//
// A second writer waits for the first a bounded time, pausing on the clock (which keeps the
// desktop program's windows alive), with the notice "Waiting for PID N writing to A.B.C.D".

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace rzl {

class Context;
namespace platform {
class FileLock;
}

inline constexpr int kModuleLockWaitMs = 30000;

class ModuleLock {
public:
    enum class Result {
        Taken,        // held by this program until release() or the end of the object
        Busy,         // another program held it for the whole wait: holder() says which
        Stopped,      // a stop was asked for while waiting
        Unavailable,  // no lock file could be had (problem() says why): nothing keeps others out
    };

    ModuleLock();
    ~ModuleLock();
    ModuleLock(const ModuleLock&) = delete;
    ModuleLock& operator=(const ModuleLock&) = delete;

    // Takes the lock of the module the context targets, trying again every 100 ms for at most
    // `waitMs` (0: one try). The notice of the wait goes to the display once, when it begins.
    Result take(Context& ctx, int waitMs = kModuleLockWaitMs, const std::function<bool()>& stop = {});
    void release();

    unsigned long holder() const { return holder_; }  // Busy: the holder's process id, 0 when unknown
    const QString& problem() const { return problem_; }  // Unavailable: why

private:
    std::unique_ptr<platform::FileLock> file_;
    unsigned long holder_ = 0;
    QString problem_;
};

// The lock file of the module at `address` and `port`; empty, with the problem, when this user
// has no folder for locks.
QString ModuleLockPath(const QString& address, std::uint16_t port, QString* problem);

}  // namespace rzl
