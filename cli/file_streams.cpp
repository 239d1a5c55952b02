#include "cli/file_streams.h"

#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
// Windows has no FIFOs that could block an open, and its descriptors are not inherited by
// the programs this one starts (it starts none).
#define O_NONBLOCK 0
#define O_CLOEXEC 0
#endif

namespace rzl::cli {

namespace {

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Reads `fd` to its end or past `maxBytes`.
std::optional<QByteArray> readAll(int fd, qint64 maxBytes, QString* problem) {
    QByteArray bytes;
    char chunk[4096];
    while (bytes.size() <= maxBytes) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            *problem = systemError(errno);
            return std::nullopt;
        }
        bytes.append(chunk, n);
    }
    return bytes;
}

bool writeAll(int fd, const QByteArray& bytes, QString* problem) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            *problem = systemError(errno);
            return false;
        }
        done += n;
    }
    return true;
}

}  // namespace

std::optional<QByteArray> ReadStandardInput(qint64 maxBytes, QString* problem) {
    return readAll(STDIN_FILENO, maxBytes, problem);
}

std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 maxBytes, QString* problem) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *problem = systemError(errno);
        return std::nullopt;
    }
    struct stat about {};
    std::optional<QByteArray> bytes;
    if (::fstat(fd, &about) != 0) {
        *problem = systemError(errno);
    } else if (!S_ISREG(about.st_mode)) {
        *problem = QStringLiteral("not a regular file (- reads standard input)");
    } else {
        bytes = readAll(fd, maxBytes, problem);
    }
    ::close(fd);
    return bytes;
}

bool IsStandardOutput(const QString& path) {
    if (path == QLatin1String("-")) return true;
#ifdef _WIN32
    // Windows reports no file identity through stat (st_ino is always 0): only "-" is known.
    return false;
#endif
    struct stat file {}, out {};
    return ::stat(QFile::encodeName(path).constData(), &file) == 0 && ::fstat(STDOUT_FILENO, &out) == 0 &&
           file.st_dev == out.st_dev && file.st_ino == out.st_ino;
}

bool WriteFile(const QString& path, const QByteArray& bytes, QString* problem) {
    struct stat about {};
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &about) != 0 || S_ISREG(about.st_mode)) {
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) return true;
        *problem = file.errorString();
        return false;
    }
    // A FIFO nobody reads refuses at once instead of waiting for a reader.
    const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *problem = errno == ENXIO ? QStringLiteral("nothing reads from it") : systemError(errno);
        return false;
    }
#ifndef _WIN32
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
#endif
    const bool written = writeAll(fd, bytes, problem);
    if (::close(fd) != 0 && written) {
        *problem = systemError(errno);
        return false;
    }
    return written;
}

}  // namespace rzl::cli
