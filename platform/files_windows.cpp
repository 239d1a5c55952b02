// Files on Windows: CreateFileW with the path in UTF-16; GetFileType and
// GetFileInformationByHandle for a file's kind and identity (its volume's serial number and its
// index there, which stat() does not give: its st_ino is always 0).
#include "platform/files.h"

#include <windows.h>
#include <io.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/windows_text.h"

namespace rzl::platform {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens what `path` names, a folder too (for its kind and identity), without waiting.
HANDLE openPath(const std::string& path, DWORD access) {
    return CreateFileW(WideFromUtf8(path).c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool isRegular(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION about{};
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &about) &&
           !(about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A file's identity: its volume and its index there.
bool identityOf(HANDLE file, BY_HANDLE_FILE_INFORMATION& about) {
    return file != INVALID_HANDLE_VALUE && GetFileType(file) == FILE_TYPE_DISK &&
           GetFileInformationByHandle(file, &about);
}

std::string lastError() { return SystemMessage(GetLastError()); }

}  // namespace

FileRead ReadRegularFile(const std::string& path, std::int64_t maxBytes, std::string& bytes, std::string& error) {
    const HANDLE file = openPath(path, GENERIC_READ);
    if (file == INVALID_HANDLE_VALUE) {
        error = lastError();
        return FileRead::Failed;
    }
    FileRead result = FileRead::Read;
    if (!isRegular(file)) {
        result = FileRead::NotRegular;
    } else {
        bytes.clear();
        char chunk[4096];
        while (static_cast<std::int64_t>(bytes.size()) <= maxBytes) {
            DWORD n = 0;
            if (!ReadFile(file, chunk, sizeof chunk, &n, nullptr)) {
                error = lastError();
                result = FileRead::Failed;
                break;
            }
            if (n == 0) break;
            bytes.append(chunk, n);
        }
    }
    CloseHandle(file);
    return result;
}

bool ReadStandardInput(std::int64_t maxBytes, std::string& bytes, std::string& error) {
    bytes.clear();
    char chunk[4096];
    while (static_cast<std::int64_t>(bytes.size()) <= maxBytes) {
        const int n = _read(0, chunk, sizeof chunk);
        if (n == 0) break;
        if (n < 0) {
            error = std::strerror(errno);
            return false;
        }
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    return true;
}

bool IsStandardOutputFile(const std::string& path) {
    BY_HANDLE_FILE_INFORMATION out{}, named{};
    if (!identityOf(reinterpret_cast<HANDLE>(_get_osfhandle(1)), out)) return false;
    const HANDLE file = openPath(path, 0);
    const bool known = identityOf(file, named);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return known && named.dwVolumeSerialNumber == out.dwVolumeSerialNumber &&
           named.nFileIndexHigh == out.nFileIndexHigh && named.nFileIndexLow == out.nFileIndexLow;
}

bool IsRegularOrMissing(const std::string& path) {
    const HANDLE file = openPath(path, 0);
    if (file == INVALID_HANDLE_VALUE) return true;  // replacing it says why, if it cannot be made
    const bool regular = isRegular(file);
    CloseHandle(file);
    return regular;
}

FileWrite WriteThrough(const std::string& path, std::string_view bytes, std::string& error) {
    const HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        // A pipe whose every instance is taken, or that nobody serves.
        if (code == ERROR_PIPE_BUSY || code == ERROR_PIPE_NOT_CONNECTED) return FileWrite::NoReader;
        error = SystemMessage(code);
        return FileWrite::Failed;
    }
    bool written = true;
    while (written && !bytes.empty()) {
        DWORD n = 0;
        const auto slice = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
        written = WriteFile(file, bytes.data(), slice, &n, nullptr) && n > 0;
        if (!written) error = lastError();
        bytes.remove_prefix(n);
    }
    if (!CloseHandle(file) && written) {
        error = lastError();
        written = false;
    }
    return written ? FileWrite::Written : FileWrite::Failed;
}

}  // namespace rzl::platform
