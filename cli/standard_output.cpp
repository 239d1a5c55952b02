#include "cli/standard_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

namespace rzl::cli {

namespace {

#ifdef _WIN32
bool IsOpen(int fd) { return _get_osfhandle(fd) != -1; }
#else
bool IsOpen(int fd) { return fcntl(fd, F_GETFD) != -1 || errno != EBADF; }
#endif

}  // namespace

std::optional<QString> GuardStandardStreams() {
    for (const int fd : {STDIN_FILENO, STDERR_FILENO}) {
        if (IsOpen(fd)) continue;
        // open() takes the lowest free number, which is this one.
#ifdef _WIN32
        const char* nothing = "NUL";
#else
        const char* nothing = "/dev/null";
#endif
        const int opened = open(nothing, fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened != -1 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
    if (!IsOpen(STDOUT_FILENO)) return QStringLiteral("standard output is closed");
    return std::nullopt;
}

std::optional<QString> CloseStandardOutput() {
    errno = 0;
    const bool lost = std::fflush(stdout) != 0 || std::ferror(stdout);
    const int flushError = errno;
    const bool closeFailed = std::fclose(stdout) != 0;
    if (!lost && !closeFailed) return std::nullopt;
    const int error = lost ? flushError : errno;
    QString problem = QStringLiteral("standard output could not be written");
    if (error != 0) problem += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
    return problem;
}

}  // namespace rzl::cli
