#include "settings/AtomicFile.h"
#include "fakes/ReadWholeFile.h"

#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

namespace parlino {
namespace {

namespace fs = std::filesystem;

class AtomicFile : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() / ("parlino-atomic-" + std::to_string(::getpid()));
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        File = Dir / "Parlino.ini";
    }
    void TearDown() override { fs::remove_all(Dir); }
    static std::string Read(const fs::path& path) { return test::ReadWholeFile(path); }
    size_t FilesInDir() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(Dir), {}));
    }
    fs::path Dir, File;
};

TEST_F(AtomicFile, ReplacesTheContentAndKeepsThePermissions) {
    std::ofstream(File) << "old content that is longer than the new";
    fs::permissions(File, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    WriteFileAtomically(File.string(), "new");
    EXPECT_EQ(Read(File), "new");
    EXPECT_EQ(fs::status(File).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(FilesInDir(), 1u);
    WriteFileAtomically((Dir / "fresh.ini").string(), "x");
    EXPECT_EQ(fs::status(Dir / "fresh.ini").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(AtomicFile, AFullDiskLeavesTheOldFileAsItWas) {
    std::ofstream(File) << "the user's settings";
    // A file size limit makes every write beyond 16 bytes fail, as a full disk would.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 16;
    ::setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(WriteFileAtomically(File.string(), std::string(1000, 'n')), EParlinoError);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(Read(File), "the user's settings");
    EXPECT_EQ(FilesInDir(), 1u); // no temporary file left behind
}

TEST_F(AtomicFile, AReadOnlyFileOrAMissingFolderIsNotWritten) {
    std::ofstream(File) << "locked";
    fs::permissions(File, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_THROW(WriteFileAtomically(File.string(), "new"), EParlinoError);
    EXPECT_EQ(Read(File), "locked");
    EXPECT_EQ(FilesInDir(), 1u);
    EXPECT_THROW(WriteFileAtomically((Dir / "no/such/Parlino.ini").string(), "new"), EParlinoError);
    EXPECT_THROW(WriteFileAtomically(Dir.string(), "new"), EParlinoError); // a folder
    EXPECT_TRUE(fs::is_directory(Dir));
}

TEST_F(AtomicFile, ALinkedFileIsReplacedAndTheLinkStays) {
    fs::create_directories(Dir / "dotfiles");
    std::ofstream(Dir / "dotfiles/Parlino.ini") << "old";
    fs::create_symlink(Dir / "dotfiles/Parlino.ini", File);
    WriteFileAtomically(File.string(), "new");
    EXPECT_TRUE(fs::is_symlink(File));
    EXPECT_EQ(Read(Dir / "dotfiles/Parlino.ini"), "new");
}

} // namespace
} // namespace parlino
