// File locks on Windows: LockFileEx on one byte at 4 GiB, far past the process id at the start
// of the file (a locked range cannot be read by other processes, the id must be). The handle is
// not inherited by the programs this one starts; Windows releases the lock when the handle is
// closed or the process ends.
#include "platform/file_lock.h"

#include <windows.h>
#include <cstdlib>
#include <string>

#include "platform/windows_text.h"

namespace rzl::platform {

namespace {

std::string lastError() { return SystemMessage(GetLastError()); }

HANDLE handleOf(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// Where the lock sits: one byte at 4 GiB.
OVERLAPPED lockedByte() {
    OVERLAPPED at{};
    at.Offset = 0;
    at.OffsetHigh = 1;
    return at;
}

bool makeFolder(const std::wstring& path) {
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// base\rzl-ctrl\locks, made when missing.
bool lockFolderIn(const std::wstring& base, std::wstring& folder) {
    if (base.empty()) return false;
    std::wstring path = base;
    if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
    path += L"rzl-ctrl";
    if (!makeFolder(path)) return false;
    path += L"\\locks";
    if (!makeFolder(path)) return false;
    folder = path;
    return true;
}

}  // namespace

std::string LockFolder(std::string& error) {
    std::wstring folder;
    if (const wchar_t* local = _wgetenv(L"LOCALAPPDATA"); local && lockFolderIn(local, folder)) return Utf8FromWide(folder);
    wchar_t temporary[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
    if (length > 0 && length <= MAX_PATH && lockFolderIn(std::wstring(temporary, length), folder))
        return Utf8FromWide(folder);
    error = "no folder for lock files: " + lastError();
    return {};
}

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

FileLock::~FileLock() {
    release();
    if (handle_ != -1) CloseHandle(handleOf(handle_));
}

FileLock::Attempt FileLock::tryTake(std::string& error) {
    if (taken_) return Attempt::Taken;
    if (handle_ == -1) {
        const HANDLE file = CreateFileW(WideFromUtf8(path_).c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            error = path_ + ": " + lastError();
            return Attempt::Failed;
        }
        handle_ = reinterpret_cast<std::intptr_t>(file);
    }
    const HANDLE file = handleOf(handle_);
    OVERLAPPED at = lockedByte();
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        if (GetLastError() != ERROR_LOCK_VIOLATION) {
            error = path_ + ": " + lastError();
            return Attempt::Failed;
        }
        char text[24] = {};
        OVERLAPPED start{};
        DWORD read = 0;
        holder_ = ReadFile(file, text, sizeof text - 1, &read, &start) && read > 0 ? std::strtoul(text, nullptr, 10) : 0;
        return Attempt::Held;
    }
    taken_ = true;
    holder_ = CurrentProcessId();
    const std::string id = std::to_string(holder_) + "\r\n";
    // The id is for the others' messages only: a lock whose id could not be written still holds.
    OVERLAPPED start{};
    DWORD written = 0;
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER && SetEndOfFile(file))
        WriteFile(file, id.data(), static_cast<DWORD>(id.size()), &written, &start);
    return Attempt::Taken;
}

void FileLock::release() {
    if (!taken_) return;
    taken_ = false;
    const HANDLE file = handleOf(handle_);
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER) SetEndOfFile(file);  // no stale id
    OVERLAPPED at = lockedByte();
    UnlockFileEx(file, 0, 1, 0, &at);
}

}  // namespace rzl::platform
