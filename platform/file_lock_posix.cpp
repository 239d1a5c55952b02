// File locks on POSIX systems: flock() on a descriptor of the process's own (not inherited by
// the programs it starts), so the lock goes with the descriptor's close or the process's end.
#include "platform/file_lock.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rzl::platform {

namespace {

constexpr const char* kFolderName = "rzl-ctrl";

std::string reason() { return std::strerror(errno); }

// `path` as a folder of this user's alone: made when missing, refused when it is something else
// or another user's (a folder in /tmp could have been made by anyone).
bool ownFolder(const std::string& path, bool shared, std::string& error) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        error = path + ": " + reason();
        return false;
    }
    struct stat about {};
    if (::lstat(path.c_str(), &about) != 0) {
        error = path + ": " + reason();
        return false;
    }
    if (!S_ISDIR(about.st_mode)) {
        error = path + ": not a folder";
        return false;
    }
    if (shared && (about.st_uid != ::getuid() || (about.st_mode & 0077) != 0)) {
        error = path + ": owned by another user or open to others";
        return false;
    }
    return true;
}

}  // namespace

std::string LockFolder(std::string& error) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') {
        const std::string folder = std::string(runtime) + '/' + kFolderName;
        if (ownFolder(folder, false, error)) return folder;
    }
    const char* temporary = std::getenv("TMPDIR");
    const std::string base = temporary && temporary[0] == '/' ? temporary : "/tmp";
    const std::string folder = base + '/' + kFolderName + '-' + std::to_string(::getuid());
    return ownFolder(folder, true, error) ? folder : std::string();
}

unsigned long CurrentProcessId() { return static_cast<unsigned long>(::getpid()); }

FileLock::~FileLock() {
    release();
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

FileLock::Attempt FileLock::tryTake(std::string& error) {
    if (taken_) return Attempt::Taken;
    if (handle_ < 0) {
        const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            error = path_ + ": " + reason();
            return Attempt::Failed;
        }
        handle_ = fd;
    }
    const int fd = static_cast<int>(handle_);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) {
            error = path_ + ": " + reason();
            return Attempt::Failed;
        }
        char text[24] = {};
        const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
        holder_ = n > 0 ? std::strtoul(text, nullptr, 10) : 0;
        return Attempt::Held;
    }
    taken_ = true;
    holder_ = CurrentProcessId();
    const std::string id = std::to_string(holder_) + '\n';
    // The id is for the others' messages only: a lock whose id could not be written still holds.
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t n = ::pwrite(fd, id.data(), id.size(), 0);
    }
    return Attempt::Taken;
}

void FileLock::release() {
    if (!taken_) return;
    taken_ = false;
    const int fd = static_cast<int>(handle_);
    [[maybe_unused]] const int emptied = ::ftruncate(fd, 0);  // no stale id for the next reader
    ::flock(fd, LOCK_UN);
}

}  // namespace rzl::platform
