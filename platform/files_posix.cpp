// Files on POSIX systems: paths are UTF-8 bytes as they are; open() without waiting, fstat for
// the kind and the identity.
#include "platform/files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rzl::platform {

namespace {

// Reads `fd` to its end or past `maxBytes`.
bool readAll(int fd, std::int64_t maxBytes, std::string& bytes, std::string& error) {
    bytes.clear();
    char chunk[4096];
    while (static_cast<std::int64_t>(bytes.size()) <= maxBytes) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            error = std::strerror(errno);
            return false;
        }
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    return true;
}

bool writeAll(int fd, std::string_view bytes, std::string& error) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = std::strerror(errno);
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

FileRead ReadRegularFile(const std::string& path, std::int64_t maxBytes, std::string& bytes, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return FileRead::Failed;
    }
    struct stat about {};
    FileRead result = FileRead::Failed;
    if (::fstat(fd, &about) != 0)
        error = std::strerror(errno);
    else if (!S_ISREG(about.st_mode))
        result = FileRead::NotRegular;
    else if (readAll(fd, maxBytes, bytes, error))
        result = FileRead::Read;
    ::close(fd);
    return result;
}

bool ReadStandardInput(std::int64_t maxBytes, std::string& bytes, std::string& error) {
    return readAll(STDIN_FILENO, maxBytes, bytes, error);
}

bool IsStandardOutputFile(const std::string& path) {
    struct stat file {}, out {};
    return ::stat(path.c_str(), &file) == 0 && ::fstat(STDOUT_FILENO, &out) == 0 && file.st_dev == out.st_dev &&
           file.st_ino == out.st_ino;
}

bool IsRegularOrMissing(const std::string& path) {
    struct stat about {};
    return ::stat(path.c_str(), &about) != 0 || S_ISREG(about.st_mode);
}

FileWrite WriteThrough(const std::string& path, std::string_view bytes, std::string& error) {
    // A FIFO nobody reads refuses at once instead of waiting for a reader.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENXIO) return FileWrite::NoReader;
        error = std::strerror(errno);
        return FileWrite::Failed;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    bool written = writeAll(fd, bytes, error);
    if (::close(fd) != 0 && written) {
        error = std::strerror(errno);
        written = false;
    }
    return written ? FileWrite::Written : FileWrite::Failed;
}

}  // namespace rzl::platform
