// The terminal on Windows: the console API (a stream is a terminal when it is a console).
#include "platform/terminal.h"

#include <windows.h>

namespace rzl::platform {

namespace {

HANDLE handleOf(StandardStream stream) {
    switch (stream) {
    case StandardStream::Input: return GetStdHandle(STD_INPUT_HANDLE);
    case StandardStream::Output: return GetStdHandle(STD_OUTPUT_HANDLE);
    case StandardStream::Error: break;
    }
    return GetStdHandle(STD_ERROR_HANDLE);
}

}  // namespace

bool IsTerminal(StandardStream stream) {
    DWORD mode = 0;
    return GetConsoleMode(handleOf(stream), &mode) != 0;
}

int TerminalColumns(StandardStream stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (stream == StandardStream::Input || !GetConsoleScreenBufferInfo(handleOf(stream), &info)) return 0;
    // A console that knows no size yet (Wine's on a terminal) reports an empty buffer.
    if (info.dwSize.X <= 0 || info.srWindow.Right < info.srWindow.Left) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

struct HiddenTyping::Saved {
    DWORD before;
};

HiddenTyping::HiddenTyping() {
    DWORD mode = 0;
    const HANDLE input = handleOf(StandardStream::Input);
    if (!GetConsoleMode(input, &mode) || !SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)))
        return;
    saved_ = std::make_unique<Saved>(Saved{mode});
}

HiddenTyping::~HiddenTyping() {
    if (saved_) SetConsoleMode(handleOf(StandardStream::Input), saved_->before);
}

struct EscapeSequences::Saved {
    HANDLE console;
    DWORD before;
};

// Consoles before Windows 10 (1511), and some hosts, refuse the mode: then no sequences.
EscapeSequences::EscapeSequences(StandardStream stream) {
    DWORD mode = 0;
    const HANDLE console = handleOf(stream);
    if (stream == StandardStream::Input || !GetConsoleMode(console, &mode)) return;
    if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) {
        active_ = true;
        return;
    }
    if (!SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) return;
    saved_ = std::make_unique<Saved>(Saved{console, mode});
    active_ = true;
}

EscapeSequences::~EscapeSequences() {
    if (saved_) SetConsoleMode(saved_->console, saved_->before);
}

}  // namespace rzl::platform
