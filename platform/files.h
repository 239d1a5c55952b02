#pragma once
// Files as the programs' users name them, by a path in UTF-8: on Windows opened through the
// wide-character calls, so that any name works (the ANSI calls map what their code page lacks
// to look-alikes: "Łódź" would open "Lodz"). Nothing here waits on a file that nobody writes.
// One file per system (files_posix.cpp, files_windows.cpp).

#include <cstdint>
#include <string>
#include <string_view>

namespace rzl::platform {

enum class FileRead { Read, NotRegular, Failed };

// A regular file's first `maxBytes` + 1 bytes (more than `maxBytes` tells the caller the file
// is too long). The file is opened without waiting, so a FIFO or a device is refused at once
// (NotRegular) instead of blocking until someone writes to it. Failed with the system's reason.
FileRead ReadRegularFile(const std::string& path, std::int64_t maxBytes, std::string& bytes, std::string& error);

// Standard input up to its end or past `maxBytes`. False with the system's reason.
bool ReadStandardInput(std::int64_t maxBytes, std::string& bytes, std::string& error);

// True when `path` names the very file standard output is open on (/dev/stdout, or the file it
// was redirected to): the same device and inode, or on Windows the same volume and file index.
bool IsStandardOutputFile(const std::string& path);

// True when `path` names a regular file or nothing yet: such a file is written by replacing it
// whole. False for a device, a FIFO or a folder, which are written through.
bool IsRegularOrMissing(const std::string& path);

enum class FileWrite { Written, NoReader, Failed };

// Writes `bytes` through to what `path` names (a device, a FIFO that someone reads). A FIFO that
// nobody reads is refused at once (NoReader). Failed with the system's reason.
FileWrite WriteThrough(const std::string& path, std::string_view bytes, std::string& error);

}  // namespace rzl::platform
