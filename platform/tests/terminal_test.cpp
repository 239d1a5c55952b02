// The terminal behind the standard streams: a file or pipe is none; a terminal (a pseudo-
// terminal on Linux, a console on Windows) is, with its width, and typing on it can be hidden
// and shown again.

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/terminal.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace rzl::platform {
namespace {

// With files behind the standard streams.
void expectNoTerminal() {
    for (StandardStream s : {StandardStream::Input, StandardStream::Output, StandardStream::Error}) {
        EXPECT_FALSE(IsTerminal(s));
        EXPECT_EQ(TerminalColumns(s), 0);
    }
    HiddenTyping hidden;
    EXPECT_FALSE(hidden.active());
    EscapeSequences escapes(StandardStream::Error);
    EXPECT_FALSE(escapes.active()) << "a file would keep them as text";
}

#if defined(_WIN32)

// Puts `input` behind standard input and `output` behind standard output and error until the
// end of the scope.
class StandardHandles {
public:
    StandardHandles(HANDLE input, HANDLE output) {
        for (int i = 0; i < 3; ++i) saved_[i] = GetStdHandle(kIds[i]);
        SetStdHandle(STD_INPUT_HANDLE, input);
        SetStdHandle(STD_OUTPUT_HANDLE, output);
        SetStdHandle(STD_ERROR_HANDLE, output);
    }
    ~StandardHandles() {
        for (int i = 0; i < 3; ++i) SetStdHandle(kIds[i], saved_[i]);
    }

private:
    static constexpr DWORD kIds[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE saved_[3];
};

HANDLE openShared(const wchar_t* name) {
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       0, nullptr);
}

TEST(Terminal, FilesAreNoTerminal) {
    const HANDLE file = openShared(L"NUL");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    {
        StandardHandles files(file, file);
        expectNoTerminal();
    }
    CloseHandle(file);
}

// Needs the program's console: started in a console window, or (Wine) in a terminal, which
// scripts/windows/test-platform.sh gives it.
TEST(Terminal, AConsoleIsOneWithItsWidthAndHidesTyping) {
    const HANDLE input = openShared(L"CONIN$");
    const HANDLE output = openShared(L"CONOUT$");
    ASSERT_NE(input, INVALID_HANDLE_VALUE) << "no console: run this program in a console window or a terminal";
    ASSERT_NE(output, INVALID_HANDLE_VALUE);
    // A window 97 columns wide, as far as the console takes it.
    SetConsoleScreenBufferSize(output, COORD{97, 300});
    SMALL_RECT window{0, 0, 96, 29};
    SetConsoleWindowInfo(output, TRUE, &window);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    ASSERT_TRUE(GetConsoleScreenBufferInfo(output, &info));
    DWORD before = 0;
    ASSERT_TRUE(GetConsoleMode(input, &before));
    ASSERT_TRUE(SetConsoleMode(input, before | ENABLE_ECHO_INPUT | ENABLE_LINE_INPUT));
    {
        StandardHandles console(input, output);
        EXPECT_TRUE(IsTerminal(StandardStream::Input));
        EXPECT_TRUE(IsTerminal(StandardStream::Error));
        EXPECT_EQ(TerminalColumns(StandardStream::Error), info.srWindow.Right - info.srWindow.Left + 1);
        EXPECT_GT(TerminalColumns(StandardStream::Error), 1);
        EXPECT_EQ(TerminalColumns(StandardStream::Input), 0);
        DWORD mode = 0;
        {
            HiddenTyping hidden;
            EXPECT_TRUE(hidden.active());
            ASSERT_TRUE(GetConsoleMode(input, &mode));
            EXPECT_EQ(mode & ENABLE_ECHO_INPUT, 0u);
            EXPECT_NE(mode & ENABLE_LINE_INPUT, 0u) << "only the echo changes";
        }
        ASSERT_TRUE(GetConsoleMode(input, &mode));
        EXPECT_NE(mode & ENABLE_ECHO_INPUT, 0u) << "shown again";
        // Escape sequences act on the console while they are asked for, and no longer after.
        DWORD outputBefore = 0;
        ASSERT_TRUE(GetConsoleMode(output, &outputBefore));
        ASSERT_TRUE(SetConsoleMode(output, outputBefore & ~static_cast<DWORD>(ENABLE_VIRTUAL_TERMINAL_PROCESSING)));
        {
            EscapeSequences escapes(StandardStream::Error);
            EXPECT_TRUE(escapes.active());
            ASSERT_TRUE(GetConsoleMode(output, &mode));
            EXPECT_NE(mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING, 0u);
        }
        ASSERT_TRUE(GetConsoleMode(output, &mode));
        EXPECT_EQ(mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING, 0u) << "as it was";
        SetConsoleMode(output, outputBefore);
    }
    SetConsoleMode(input, before);
    CloseHandle(input);
    CloseHandle(output);
}

#else

// Puts `fd` behind the three standard streams until the end of the scope.
class StandardDescriptors {
public:
    explicit StandardDescriptors(int fd) {
        std::fflush(stdout);
        std::fflush(stderr);
        for (int i = 0; i < 3; ++i) {
            saved_[i] = dup(i);
            dup2(fd, i);
        }
    }
    ~StandardDescriptors() {
        for (int i = 0; i < 3; ++i) {
            dup2(saved_[i], i);
            close(saved_[i]);
        }
    }

private:
    int saved_[3];
};

TEST(Terminal, FilesAreNoTerminal) {
    const int file = open("/dev/null", O_RDWR);
    ASSERT_GE(file, 0);
    {
        StandardDescriptors files(file);
        expectNoTerminal();
    }
    close(file);
}

TEST(Terminal, APseudoTerminalIsOneWithItsWidthAndHidesTyping) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    winsize size{};
    size.ws_row = 24;
    size.ws_col = 97;
    ASSERT_EQ(ioctl(master, TIOCSWINSZ, &size), 0);
    termios settings{};
    ASSERT_EQ(tcgetattr(terminal, &settings), 0);
    settings.c_lflag |= ECHO | ICANON;
    ASSERT_EQ(tcsetattr(terminal, TCSANOW, &settings), 0);
    {
        StandardDescriptors pty(terminal);
        EXPECT_TRUE(IsTerminal(StandardStream::Input));
        EXPECT_TRUE(IsTerminal(StandardStream::Error));
        EXPECT_EQ(TerminalColumns(StandardStream::Error), 97);
        EXPECT_EQ(TerminalColumns(StandardStream::Input), 0);
        {
            HiddenTyping hidden;
            EXPECT_TRUE(hidden.active());
            ASSERT_EQ(tcgetattr(terminal, &settings), 0);
            EXPECT_EQ(settings.c_lflag & ECHO, 0u);
            EXPECT_NE(settings.c_lflag & ICANON, 0u) << "only the echo changes";
        }
        ASSERT_EQ(tcgetattr(terminal, &settings), 0);
        EXPECT_NE(settings.c_lflag & ECHO, 0u) << "shown again";
        EXPECT_TRUE(EscapeSequences(StandardStream::Error).active());
    }
    close(terminal);
    close(master);
}

#endif

}  // namespace
}  // namespace rzl::platform
