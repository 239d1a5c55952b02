// The standard streams on Windows. A console shows text it is given as UTF-16 through
// WriteConsoleW, whatever its code page (the bytes of WriteFile it decodes with its own code
// page, an OEM one that knows no UTF-8); files and pipes get the UTF-8 bytes through the C
// library's stream. Typing on a console is read as UTF-16 through ReadConsoleW.
#include "platform/standard_streams.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <algorithm>

#include "platform/windows_text.h"

namespace rzl::platform {

namespace {

// The console behind a C stream, or nullptr when the stream goes elsewhere.
HANDLE consoleOf(int fd) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

// A program with windows started without streams has -2 behind them.
bool isOpen(int fd) {
    const intptr_t handle = _get_osfhandle(fd);
    return handle != -1 && handle != -2;
}

// At most this many UTF-16 units per WriteConsoleW call; older consoles refuse much more.
constexpr std::size_t kConsoleSlice = 8192;

void writeConsole(HANDLE console, std::wstring_view text) {
    while (!text.empty()) {
        std::size_t slice = std::min(text.size(), kConsoleSlice);
        // A surrogate pair is never cut in two.
        if (slice < text.size() && IS_HIGH_SURROGATE(text[slice - 1])) --slice;
        DWORD written = 0;
        if (!WriteConsoleW(console, text.data(), static_cast<DWORD>(slice), &written, nullptr) || written == 0)
            return;
        text.remove_prefix(written);
    }
}

}  // namespace

void WriteText(std::FILE* stream, std::string_view text) {
    if (const HANDLE console = consoleOf(_fileno(stream))) {
        std::fflush(stream);  // what went through the stream before comes first
        writeConsole(console, WideFromUtf8(text));
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

bool GuardStandardStreams() {
    for (const int fd : {0, 2}) {
        if (isOpen(fd)) continue;
        const int opened = _open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
        if (opened != -1 && opened != fd) {
            _dup2(opened, fd);
            _close(opened);
        }
    }
    return isOpen(1);
}

void UseParentConsole() {
    if (isOpen(1) || isOpen(2) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
    // The C library's streams were set up without a console: open them on it now.
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
}

bool ReadLine(std::string& line) {
    line.clear();
    const HANDLE console = consoleOf(0);
    if (!console) {
        for (int c = std::fgetc(stdin); c != EOF; c = std::fgetc(stdin)) {
            if (c == '\n') return true;
            line.push_back(static_cast<char>(c));
        }
        return !line.empty();
    }
    // The console gives the line whole, with its "\r\n", once Enter is pressed.
    std::wstring typed;
    wchar_t buffer[256];
    for (;;) {
        DWORD read = 0;
        if (!ReadConsoleW(console, buffer, static_cast<DWORD>(std::size(buffer)), &read, nullptr) || read == 0) {
            line = Utf8FromWide(typed);
            return !typed.empty();
        }
        typed.append(buffer, read);
        if (const std::size_t end = typed.find(L'\n'); end != std::wstring::npos) {
            typed.resize(end);
            if (!typed.empty() && typed.back() == L'\r') typed.pop_back();
            line = Utf8FromWide(typed);
            return true;
        }
    }
}

}  // namespace rzl::platform
