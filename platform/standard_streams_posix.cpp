// The standard streams on POSIX systems: descriptors 0 to 2 and stdio; texts are UTF-8 bytes
// already (the programs run in UTF-8 locales).
#include "platform/standard_streams.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace rzl::platform {

namespace {

bool isOpen(int fd) { return fcntl(fd, F_GETFD) != -1 || errno != EBADF; }

}  // namespace

void WriteText(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

bool GuardStandardStreams() {
    for (const int fd : {STDIN_FILENO, STDERR_FILENO}) {
        if (isOpen(fd)) continue;
        // open() takes the lowest free number, which is this one.
        const int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened != -1 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
    return isOpen(STDOUT_FILENO);
}

void UseParentConsole() {}

bool ReadLine(std::string& line) {
    line.clear();
    for (int c = std::fgetc(stdin); c != EOF; c = std::fgetc(stdin)) {
        if (c == '\n') return true;
        line.push_back(static_cast<char>(c));
    }
    return !line.empty();  // a last line without its line break
}

}  // namespace rzl::platform
