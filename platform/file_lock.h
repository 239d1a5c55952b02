#pragma once
// An advisory lock on a file: held by one process at a time, until it releases it or ends (the
// system releases it when the process dies, however it dies). While it holds the lock, the file
// holds the process's id, so that another program can say whom it waits for. The lock is kept
// per open file, so two locks of one process on one file keep each other out too.
// One file per system (file_lock_posix.cpp: flock; file_lock_windows.cpp: LockFileEx on a byte
// far past the id, which other processes can then still read).

#include <cstdint>
#include <string>

namespace rzl::platform {

// This user's folder for lock files, created when missing: on POSIX systems
// $XDG_RUNTIME_DIR/rzl-ctrl, else rzl-ctrl-UID in $TMPDIR or /tmp (made for this user alone, and
// refused when another user owns it); on Windows rzl-ctrl\locks in the local application data
// folder, else in the temporary folder. Empty, with the reason, when none can be had.
std::string LockFolder(std::string& error);

// This process's id.
unsigned long CurrentProcessId();

class FileLock {
public:
    explicit FileLock(std::string path) : path_(std::move(path)) {}
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    enum class Attempt {
        Taken,   // this process holds it; its id is in the file
        Held,    // another holder has it: holder() says who, when the file tells
        Failed,  // the file could not be opened or locked: `error` says why
    };
    // One try, without waiting.
    Attempt tryTake(std::string& error);
    // Gives it up (the file stays, empty). Also done at the end of the object.
    void release();
    bool taken() const { return taken_; }
    // The process id the file names, read by the last tryTake that found it held; 0 when the
    // holder has not written it yet.
    unsigned long holder() const { return holder_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::intptr_t handle_ = -1;  // the open file: a descriptor, or a HANDLE on Windows
    bool taken_ = false;
    unsigned long holder_ = 0;
};

}  // namespace rzl::platform
