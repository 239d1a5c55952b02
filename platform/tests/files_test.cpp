// Files named by the user: a name outside any ANSI code page opens that very file (not a
// look-alike), FIFOs, devices and folders are told from regular files without waiting on them,
// and the file standard output is open on is recognised by its identity.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/files.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rzl::platform {
namespace {

namespace fs = std::filesystem;

// A folder of its own under the system's temporary folder, removed at the end.
class Folder {
public:
    Folder() {
        path_ = fs::temp_directory_path() /
                (std::string("rzl-files-test-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    // The path of `name` (UTF-8) in the folder, in UTF-8 as the program passes paths.
    std::string path(const char* name) const {
        const std::u8string text = (path_ / fs::path(reinterpret_cast<const char8_t*>(name))).u8string();
        return {text.begin(), text.end()};
    }
    void write(const char* name, const std::string& bytes) const {
        std::ofstream out(path_ / fs::path(reinterpret_cast<const char8_t*>(name)), std::ios::binary);
        out << bytes;
    }

private:
    fs::path path_;
};

TEST(Files, ANameOutsideTheAnsiCodePageOpensThatFile) {
    Folder folder;
    // On Windows the ANSI calls would find the look-alike "Lodz" for "Łódź".
    folder.write("settings-\xC5\x81\xC3\xB3" "d\xC5\xBA.json", "the right one");
    folder.write("settings-Lodz.json", "a look-alike");
    std::string bytes, error;
    ASSERT_EQ(ReadRegularFile(folder.path("settings-\xC5\x81\xC3\xB3" "d\xC5\xBA.json"), 100, bytes, error),
              FileRead::Read)
        << error;
    EXPECT_EQ(bytes, "the right one");
    EXPECT_TRUE(IsRegularOrMissing(folder.path("settings-\xC5\x81\xC3\xB3" "d\xC5\xBA.json")));
}

TEST(Files, ReadsAtMostOneByteMoreThanAsked) {
    Folder folder;
    folder.write("long.json", std::string(10000, 'x'));
    std::string bytes, error;
    ASSERT_EQ(ReadRegularFile(folder.path("long.json"), 5000, bytes, error), FileRead::Read) << error;
    EXPECT_GT(bytes.size(), 5000u) << "more than asked tells the caller the file is too long";
    EXPECT_LE(bytes.size(), 5000u + 4096u);
    folder.write("short.json", "{}");
    ASSERT_EQ(ReadRegularFile(folder.path("short.json"), 5000, bytes, error), FileRead::Read) << error;
    EXPECT_EQ(bytes, "{}");
}

TEST(Files, WhatIsNoRegularFileIsToldApart) {
    Folder folder;
    std::string bytes, error;
    EXPECT_EQ(ReadRegularFile(folder.path("missing.json"), 100, bytes, error), FileRead::Failed);
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(IsRegularOrMissing(folder.path("missing.json"))) << "a new file is made whole";

    fs::create_directories(fs::path(reinterpret_cast<const char8_t*>(folder.path("a folder").c_str())));
    EXPECT_EQ(ReadRegularFile(folder.path("a folder"), 100, bytes, error), FileRead::NotRegular);
    EXPECT_FALSE(IsRegularOrMissing(folder.path("a folder")));

#if defined(_WIN32)
    const std::string device = "NUL";
#else
    const std::string device = "/dev/null";
    // A FIFO nobody writes: refused at once, not waited on; nobody reads it either.
    const std::string fifo = folder.path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadRegularFile(fifo, 100, bytes, error), FileRead::NotRegular);
    EXPECT_FALSE(IsRegularOrMissing(fifo));
    EXPECT_EQ(WriteThrough(fifo, "{}", error), FileWrite::NoReader);
#endif
    EXPECT_EQ(ReadRegularFile(device, 100, bytes, error), FileRead::NotRegular);
    EXPECT_FALSE(IsRegularOrMissing(device));
    EXPECT_EQ(WriteThrough(device, "{}", error), FileWrite::Written) << error;
}

// Puts a file behind standard output until the end of the scope.
class OutputInto {
public:
    explicit OutputInto(const std::string& path) {
        std::fflush(stdout);
#if defined(_WIN32)
        const int file = _wopen(fs::path(reinterpret_cast<const char8_t*>(path.c_str())).c_str(),
                                _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, 0600);
        saved_ = _dup(1);
        _dup2(file, 1);
        _close(file);
#else
        const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        saved_ = ::dup(1);
        ::dup2(file, 1);
        ::close(file);
#endif
    }
    ~OutputInto() {
        std::fflush(stdout);
#if defined(_WIN32)
        _dup2(saved_, 1);
        _close(saved_);
#else
        ::dup2(saved_, 1);
        ::close(saved_);
#endif
    }

private:
    int saved_;
};

TEST(Files, TheFileStandardOutputIsOpenOnIsKnownByItsIdentity) {
    Folder folder;
    folder.write("other.json", "");
    const std::string out = folder.path("out-\xC5\x81\xC3\xB3" "d\xC5\xBA.json");
    {
        OutputInto redirected(out);
        EXPECT_TRUE(IsStandardOutputFile(out));
        EXPECT_FALSE(IsStandardOutputFile(folder.path("other.json"))) << "another file on the same drive";
        EXPECT_FALSE(IsStandardOutputFile(folder.path("missing.json")));
#if !defined(_WIN32)
        EXPECT_TRUE(IsStandardOutputFile("/dev/stdout"));
#endif
    }
    EXPECT_FALSE(IsStandardOutputFile(out)) << "standard output is elsewhere again";
}

}  // namespace
}  // namespace rzl::platform
