// The terminal on POSIX systems: isatty, TIOCGWINSZ and the termios echo flag.
#include "platform/terminal.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace rzl::platform {

namespace {

int descriptorOf(StandardStream stream) {
    switch (stream) {
    case StandardStream::Input: return STDIN_FILENO;
    case StandardStream::Output: return STDOUT_FILENO;
    case StandardStream::Error: break;
    }
    return STDERR_FILENO;
}

}  // namespace

bool IsTerminal(StandardStream stream) { return isatty(descriptorOf(stream)) == 1; }

int TerminalColumns(StandardStream stream) {
    winsize size{};
    if (stream == StandardStream::Input || !IsTerminal(stream)) return 0;
    if (ioctl(descriptorOf(stream), TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

struct HiddenTyping::Saved {
    termios before;
};

HiddenTyping::HiddenTyping() {
    termios now{};
    if (!IsTerminal(StandardStream::Input) || tcgetattr(STDIN_FILENO, &now) != 0) return;
    auto saved = std::make_unique<Saved>(Saved{now});
    now.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    if (tcsetattr(STDIN_FILENO, TCSANOW, &now) != 0) return;
    saved_ = std::move(saved);
}

HiddenTyping::~HiddenTyping() {
    if (saved_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_->before);
}

// A terminal interprets them itself.
struct EscapeSequences::Saved {};

EscapeSequences::EscapeSequences(StandardStream stream) : active_(IsTerminal(stream)) {}

EscapeSequences::~EscapeSequences() = default;

}  // namespace rzl::platform
