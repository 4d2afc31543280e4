// The atomic file writer: whole files or none, permissions and links kept, devices left alone.

#include "atomicfile.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <thread>

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

// A regular file is replaced wherever it lies, also under /dev/ and behind /proc/self/fd: a
// descriptor of the older file still reads the older bytes.
TEST_P(AtomicWrite, RegularFileIsReplacedWhereverItLies) {
    std::string shm = "/dev/shm/kelvonar-test-XXXXXX";
    if (::mkdtemp(shm.data()) == nullptr) GTEST_SKIP() << "no /dev/shm";
    const std::string inShm = shm + "/my.z80";
    std::ofstream(inShm) << "older";
    const std::string behindFd = m_dir.write("my.z80", "older");
    const int fd = ::open(behindFd.c_str(), O_RDONLY);
    for (const auto& [path, file] :
         {std::pair{inShm, inShm}, std::pair{"/proc/self/fd/" + std::to_string(fd), behindFd}}) {
        const int older = ::open(file.c_str(), O_RDONLY);
        write(path, "new");
        char bytes[8] = {};
        EXPECT_EQ(::pread(older, bytes, sizeof bytes, 0), 5) << path;
        EXPECT_EQ(std::string(bytes), "older") << path;
        EXPECT_EQ(TempDir::read(file), "new") << path;
        ::close(older);
    }
    ::close(fd);
    EXPECT_EQ(m_dir.entries(), 1U);
    EXPECT_EQ(std::distance(fs::directory_iterator(shm), {}), 1);
    fs::remove_all(shm);
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
        std::ofstream(commit.path()) << "half";
        EXPECT_EQ(dir.entries(), 1U);
    }
    EXPECT_EQ(TempDir::read(path), "older");
    EXPECT_EQ(dir.entries(), 1U);
}

// A writer killed at any moment leaves the older file whole and no other file behind.
TEST(AtomicFile, KilledWriterLeavesTheOlderFileAndNothingElse) {
    const TempDir dir;
    const std::string path = dir.write("my.z80", "older");
    const std::string chunk(1 << 20, 'x');
    for (int run = 0; run < 30; ++run) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            support::AtomicFile file(path);
            [[maybe_unused]] const auto told = ::write(ready[1], "!", 1);
            for (int k = 0; k < 1024; ++k)
                file.write(chunk);
            file.commit();
            std::_Exit(0);
        }
        // The first runs are killed while the file is created, the others while it is written.
        if (run % 3 != 0) {
            char byte = 0;
            ASSERT_EQ(::read(ready[0], &byte, 1), 1);
            std::this_thread::sleep_for(std::chrono::microseconds(run * 400));
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(ready[0]);
        ::close(ready[1]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "run " << run << " finished before it was killed";
        ASSERT_EQ(TempDir::read(path), "older") << "run " << run;
        ASSERT_EQ(dir.entries(), 1U) << "run " << run;
    }
}

// Beyond what the programs' own tests show (links, other spellings): a second hard link, and the
// normalised path while the output does not exist.
TEST(WouldReplace, ComparesTheFilesThemselves) {
    const TempDir dir;
    const std::string video = dir.write("clip.avi", "video");
    fs::create_hard_link(video, dir.path() / "hard.avi");
    EXPECT_TRUE(support::wouldReplace(dir.file("hard.avi"), video));
    EXPECT_FALSE(support::wouldReplace(dir.file("new.avi"), video));
    EXPECT_TRUE(support::wouldReplace(
        dir.file("new.avi"), dir.file("./../") + dir.path().filename().string() + "/new.avi"));
}

TEST(FileCommit, HandsOutADeviceAsItIs) {
    support::FileCommit commit("/dev/null");
    EXPECT_EQ(commit.path(), "/dev/null");
    commit.commit();
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

}  // namespace
