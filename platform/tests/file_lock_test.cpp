// The lock of a file: one holder at a time (two locks of one process keep each other out too),
// the holder's id readable by the one that waits, the lock free again when the holder releases
// it or ends however it ends.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/file_lock.h"

#if !defined(_WIN32)
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace rzl::platform {
namespace {

namespace fs = std::filesystem;

std::string lockPath(const char* name) {
    const fs::path path = fs::temp_directory_path() / (std::string("rzl-file-lock-test-") + name);
    fs::remove(path);
    return path.string();
}

TEST(FileLock, OneHolderAtATimeAndTheOtherKnowsWho) {
    const std::string path = lockPath("one");
    std::string error;
    FileLock first(path);
    ASSERT_EQ(first.tryTake(error), FileLock::Attempt::Taken) << error;
    {
        FileLock second(path);
        EXPECT_EQ(second.tryTake(error), FileLock::Attempt::Held);
        EXPECT_EQ(second.holder(), CurrentProcessId());
        first.release();
        EXPECT_EQ(second.tryTake(error), FileLock::Attempt::Taken) << error;
        EXPECT_EQ(first.tryTake(error), FileLock::Attempt::Held) << "the second holds it now";
    }
    EXPECT_EQ(first.tryTake(error), FileLock::Attempt::Taken) << "free again once the second is gone: " << error;
}

TEST(FileLock, AFileThatCannotBeOpenedSaysWhy) {
    FileLock lock((fs::temp_directory_path() / "rzl-no-such-folder" / "x.lock").string());
    std::string error;
    EXPECT_EQ(lock.tryTake(error), FileLock::Attempt::Failed);
    EXPECT_NE(error.find("rzl-no-such-folder"), std::string::npos) << error;
}

TEST(FileLock, TheFolderIsMadeInTheUsersRuntimeFolder) {
    const fs::path base = fs::temp_directory_path() / "rzl-file-lock-runtime";
    fs::remove_all(base);
    fs::create_directories(base);
#if defined(_WIN32)
    const char* variable = "LOCALAPPDATA";
#else
    const char* variable = "XDG_RUNTIME_DIR";
#endif
    const char* before = std::getenv(variable);
    const std::string saved = before ? before : "";
#if defined(_WIN32)
    _putenv_s(variable, base.string().c_str());
#else
    setenv(variable, base.string().c_str(), 1);
#endif
    std::string error;
    const std::string folder = LockFolder(error);
#if defined(_WIN32)
    _putenv_s(variable, saved.c_str());
#else
    if (before) setenv(variable, saved.c_str(), 1);
    else unsetenv(variable);
#endif
    ASSERT_FALSE(folder.empty()) << error;
    EXPECT_EQ(folder.rfind(base.string(), 0), 0u) << folder;
    EXPECT_TRUE(fs::is_directory(folder));
    fs::remove_all(base);
}

#if !defined(_WIN32)
// A holder killed outright leaves nothing held.
TEST(FileLock, TheSystemReleasesItWhenTheHolderDies) {
    const std::string path = lockPath("dies");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string error;
        FileLock held(path);
        const char taken = held.tryTake(error) == FileLock::Attempt::Taken ? 'y' : 'n';
        [[maybe_unused]] const ssize_t n = ::write(ready[1], &taken, 1);
        ::pause();
        ::_exit(0);
    }
    char taken = 0;
    ASSERT_EQ(::read(ready[0], &taken, 1), 1);
    ASSERT_EQ(taken, 'y');
    std::string error;
    FileLock waiting(path);
    EXPECT_EQ(waiting.tryTake(error), FileLock::Attempt::Held);
    EXPECT_EQ(waiting.holder(), static_cast<unsigned long>(child));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(waiting.tryTake(error), FileLock::Attempt::Taken) << error;
    ::close(ready[0]);
    ::close(ready[1]);
}
#endif

}  // namespace
}  // namespace rzl::platform
