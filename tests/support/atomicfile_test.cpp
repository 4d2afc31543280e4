// The atomic file writer: whole files or none, permissions and links kept, devices left alone.

#include "atomicfile.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>

#include "tempdir.hpp"

namespace fs = std::filesystem;
using support::FileError;
using testsupport::TempDir;

namespace {

// The two ways to write: the byte writer, and a writer that opens the path FileCommit gives.
struct Writer {
    const char* name;
    std::function<void(const std::string& path, const std::string& bytes)> write;
};

void PrintTo(const Writer& writer, std::ostream* os) {
    *os << writer.name;
}

const Writer kBytes{"Bytes", [](const std::string& path, const std::string& bytes) {
                        support::writeFileAtomic(path, bytes);
                    }};
const Writer kCommit{"Commit", [](const std::string& path, const std::string& bytes) {
                         support::FileCommit commit(path);
                         std::ofstream(commit.path(), std::ios::binary | std::ios::trunc) << bytes;
                         commit.commit();
                     }};

unsigned permissionsOf(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0U;
}

class AtomicWrite : public testing::TestWithParam<Writer> {
  protected:
    void write(const std::string& path, const std::string& bytes) const {
        GetParam().write(path, bytes);
    }
    TempDir m_dir;
};

TEST_P(AtomicWrite, NewFileGetsTheUmaskPermissions) {
    const mode_t old = ::umask(027);
    write(m_dir.file("new.z80"), "data");
    ::umask(old);
    EXPECT_EQ(TempDir::read(m_dir.file("new.z80")), "data");
    EXPECT_EQ(permissionsOf(m_dir.file("new.z80")), 0640U);
    EXPECT_EQ(m_dir.entries(), 1U);
}

TEST_P(AtomicWrite, ReplacementKeepsThePermissions) {
    const std::string path = m_dir.write("my.z80", "older, longer contents");
    ::chmod(path.c_str(), 0604);
    write(path, "new");
    EXPECT_EQ(TempDir::read(path), "new");
    EXPECT_EQ(permissionsOf(path), 0604U);
    EXPECT_EQ(m_dir.entries(), 1U);
}

TEST_P(AtomicWrite, SymbolicLinksAreFollowedAndKept) {
    fs::create_directory(m_dir.path() / "real");
    const std::string target = m_dir.write("real/my.z80", "older");
    fs::create_symlink("real/my.z80", m_dir.path() / "relative");
    fs::create_symlink(m_dir.path() / "relative", m_dir.path() / "absolute");
    fs::create_symlink("real/later.z80", m_dir.path() / "dangling");

    write(m_dir.file("absolute"), "through two links");
    EXPECT_EQ(TempDir::read(target), "through two links");
    write(m_dir.file("dangling"), "made");
    EXPECT_EQ(TempDir::read(m_dir.file("real/later.z80")), "made");
    for (const char* link : {"relative", "absolute", "dangling"})
        EXPECT_TRUE(fs::is_symlink(m_dir.path() / link)) << link;
    EXPECT_EQ(m_dir.entries(), 4U);
}

TEST_P(AtomicWrite, DevNullIsWrittenInPlace) {
    write("/dev/null", "gone");
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST_P(AtomicWrite, FifoIsWrittenInPlace) {
    const std::string fifo = m_dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto received = std::async(std::launch::async, [&] { return TempDir::read(fifo); });
    write(fifo, "through the pipe");
    EXPECT_EQ(received.get(), "through the pipe");
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_P(AtomicWrite, FolderInTheWayIsRefused) {
    fs::create_directory(m_dir.path() / "my.z80");
    try {
        write(m_dir.file("my.z80"), "data");
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_EQ(error.path(), m_dir.file("my.z80"));
        EXPECT_EQ(error.reason(), "it is a folder");
    }
    EXPECT_TRUE(fs::is_directory(m_dir.path() / "my.z80"));
    EXPECT_EQ(m_dir.entries(), 1U);
}

TEST_P(AtomicWrite, MissingFolderGivesTheReasonOfTheCreation) {
    try {
        write(m_dir.file("missing/my.z80"), "data");
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  m_dir.file("missing/my.z80") +
                      ": cannot create a file in its folder: No such file or directory");
    }
    EXPECT_EQ(m_dir.entries(), 0U);
}

TEST_P(AtomicWrite, UnwritableFolderKeepsTheOlderFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "file permissions do not bind root";
    const std::string path = m_dir.write("my.z80", "older");
    fs::permissions(m_dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    try {
        write(path, "data");
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_EQ(error.reason(), "cannot create a file in its folder: Permission denied");
    }
    fs::permissions(m_dir.path(), fs::perms::owner_all);
    EXPECT_EQ(TempDir::read(path), "older");
    EXPECT_EQ(m_dir.entries(), 1U);
}

INSTANTIATE_TEST_SUITE_P(Support, AtomicWrite, testing::Values(kBytes, kCommit),
                         [](const auto& info) { return std::string(info.param.name); });

// In a child process: writes with files limited to 4096 bytes; exits 3 when the error names the
// failing write's reason.
[[noreturn]] void writeUnderSizeLimit(const std::string& path) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
        support::AtomicFile file(path);
        file.write(std::string(3000, 'x'));
        file.write(std::string(3000, 'y'));
        file.commit();
    } catch (const FileError& error) {
        std::_Exit(error.what() == path + ": cannot write: File too large" ? 3 : 4);
    }
    std::_Exit(1);
}

TEST(AtomicFile, FailedWriteKeepsTheOlderFileAndSaysWhy) {
    const TempDir dir;
    const std::string path = dir.write("my.z80", "older");
    EXPECT_EXIT(writeUnderSizeLimit(path), testing::ExitedWithCode(3), "");
    EXPECT_EQ(TempDir::read(path), "older");
    EXPECT_EQ(dir.entries(), 1U);
}

TEST(AtomicFile, NothingChangesWithoutCommit) {
    const TempDir dir;
    const std::string path = dir.write("my.z80", "older");
    {
        support::AtomicFile file(path);
        file.write("half");
    }
    {
        const support::FileCommit commit(path);
        EXPECT_NE(commit.path(), path);
        EXPECT_EQ(fs::path(commit.path()).parent_path(), dir.path());
        std::ofstream(commit.path()) << "half";
    }
    EXPECT_EQ(TempDir::read(path), "older");
    EXPECT_EQ(dir.entries(), 1U);
}

TEST(FileCommit, HandsOutADeviceAsItIs) {
    support::FileCommit commit("/dev/null");
    EXPECT_EQ(commit.path(), "/dev/null");
    commit.commit();
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

}  // namespace
