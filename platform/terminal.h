#pragma once
// The terminal behind the standard streams: whether there is one, how wide it is, typing
// that is not shown (for a key asked at a prompt), and whether escape sequences act on it. One file per system (terminal_posix.cpp,
// terminal_windows.cpp).

#include <memory>

namespace rzl::platform {

enum class StandardStream { Input, Output, Error };

// True when the stream is a terminal (a console on Windows), not a file or a pipe.
bool IsTerminal(StandardStream stream);
// The width in columns of the terminal an output stream (Output, Error) shows on; 0 for Input,
// when the stream is no terminal, or when the width is unknown.
int TerminalColumns(StandardStream stream);

// While it lives, what is typed on the terminal behind standard input is not shown. Without a
// terminal it does nothing (active() is false). The setting before it comes back at its end.
class HiddenTyping {
public:
    HiddenTyping();
    ~HiddenTyping();
    HiddenTyping(const HiddenTyping&) = delete;
    HiddenTyping& operator=(const HiddenTyping&) = delete;
    bool active() const { return saved_ != nullptr; }

private:
    struct Saved;  // the terminal's setting before, as the system keeps it
    std::unique_ptr<Saved> saved_;
};

// While it lives, escape sequences (such as "\033[K", clear to the end of the line) written to
// the terminal behind an output stream act on it; on Windows this turns the console's
// virtual-terminal processing on, and back off at its end. Where they would show as text (no
// terminal, or a console that cannot interpret them) active() is false: write plain lines.
class EscapeSequences {
public:
    explicit EscapeSequences(StandardStream stream);
    ~EscapeSequences();
    EscapeSequences(const EscapeSequences&) = delete;
    EscapeSequences& operator=(const EscapeSequences&) = delete;
    bool active() const { return active_; }

private:
    struct Saved;  // the console's mode before, where it was changed (Windows)
    std::unique_ptr<Saved> saved_;
    bool active_ = false;
};

}  // namespace rzl::platform
