// Text written to the standard streams: UTF-8 bytes into files and pipes on every system (what
// a script or a JSON parser reads), and on a Windows console the very characters, whatever the
// console's code page.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/standard_streams.h"

#if defined(_WIN32)
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#endif

namespace rzl::platform {
namespace {

// "Büro 3 – Łódź", a line.
constexpr const char* kText = "B\xC3\xBCro 3 \xE2\x80\x93 \xC5\x81\xC3\xB3" "d\xC5\xBA\n";

TEST(StandardStreams, FilesAndPipesGetTheUtf8Bytes) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    WriteText(file, kText);
    WriteText(file, "\xF0\x9F\x93\xA1");  // beyond the 16-bit range too
    WriteText(file, "");
    EXPECT_FALSE(std::ferror(file));
    std::rewind(file);
    char read[128] = {};
    const std::size_t n = std::fread(read, 1, sizeof read, file);
    std::fclose(file);
    EXPECT_EQ(std::string(read, n), std::string(kText) + "\xF0\x9F\x93\xA1");
}

#if defined(_WIN32)

// Needs the program's console: started in a console window, or (Wine) in a terminal, which
// scripts/windows/test-platform.sh gives it.
TEST(StandardStreams, AConsoleShowsTheCharactersWhateverItsCodePage) {
    const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(console, INVALID_HANDLE_VALUE) << "no console: run this program in a console window or a terminal";
    // The OEM code page a console has unless told otherwise: it knows none of these as UTF-8.
    const UINT codePage = GetConsoleOutputCP();
    SetConsoleOutputCP(437);
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(console), _O_WRONLY);
    ASSERT_NE(fd, -1);
    std::FILE* stream = _fdopen(fd, "w");
    ASSERT_NE(stream, nullptr);
    WriteText(stream, "\n");
    CONSOLE_SCREEN_BUFFER_INFO before{};
    ASSERT_TRUE(GetConsoleScreenBufferInfo(console, &before));
    const std::string line = kText;
    WriteText(stream, line.substr(0, line.size() - 1));  // the line break after the reading
    // What the console holds in the line written.
    wchar_t shown[13] = {};
    DWORD read = 0;
    ASSERT_TRUE(ReadConsoleOutputCharacterW(console, shown, 13, COORD{0, before.dwCursorPosition.Y}, &read));
    EXPECT_EQ(std::wstring(shown, read), L"B\u00FCro 3 \u2013 \u0141\u00F3d\u017A");
    WriteText(stream, "\n");
    SetConsoleOutputCP(codePage);
    std::fclose(stream);
}

#endif

}  // namespace
}  // namespace rzl::platform
