#pragma once
// The standard streams as the programs use them: text in UTF-8 everywhere, shown right on a
// Windows console too (which reads UTF-16, not UTF-8), and made safe before anything opens a file
// or a socket. One file per system (standard_streams_posix.cpp, standard_streams_windows.cpp).

#include <cstdio>
#include <string>
#include <string_view>

namespace rzl::platform {

// Writes `text` (UTF-8) to `stream` (stdout or stderr) and flushes it. On a Windows console it
// goes as UTF-16, which the console shows whatever its code page; into files and pipes, and on
// every other system, as the UTF-8 bytes, so that what a script or a JSON parser reads is UTF-8.
// A write that fails is found by ferror(stream).
void WriteText(std::FILE* stream, std::string_view text);

// Gives a closed standard input or error the null device, so that the next file or socket
// opened cannot take its place (a socket in place of standard error would receive the
// messages). False when standard output is closed: the results would have nowhere to go.
bool GuardStandardStreams();

// A Windows program with windows (no console of its own) has no standard streams when started
// from a console window: this attaches it to that console, so that what it prints (--help, a
// usage error) shows there. Does nothing where the streams lead somewhere already, or on POSIX.
void UseParentConsole();

// Reads a line from standard input, without its line break, as UTF-8 (on a Windows console
// what is typed is read as UTF-16). False at the end of the input.
bool ReadLine(std::string& line);

}  // namespace rzl::platform
