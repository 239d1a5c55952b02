#include "cli/standard_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/standard_streams.h"

namespace rzl::cli {

std::optional<QString> GuardStandardStreams() {
    if (!platform::GuardStandardStreams()) return QStringLiteral("standard output is closed");
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
    if (error != 0) problem += QStringLiteral(": ") + QString::fromUtf8(std::strerror(error));
    return problem;
}

}  // namespace rzl::cli
