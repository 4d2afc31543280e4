#include "atomicfile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

namespace support {

namespace {

// Symbolic links followed before the chain counts as a loop, as the kernel counts them.
constexpr int kMaxLinks = 40;

// Where the bytes for path go.
struct Destination {
    std::string file;       // the file to replace: path with its symbolic links followed
    bool inPlace = false;   // a device, a FIFO or a socket: written where it is
    bool keepMode = false;  // an older file whose permissions the new one takes
    unsigned mode = 0;
};

[[noreturn]] void fail(const std::string& path, const char* what, int error) {
    throw FileError(path, std::string(what) + ": " + errorText(error));
}

std::string folderPrefix(const std::string& file) {
    const auto slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

std::string followLinks(const std::string& path) {
    std::string file = path;
    for (int links = 0;; ++links) {
        struct stat status {};
        if (::lstat(file.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return file;
        if (links == kMaxLinks) fail(path, "cannot follow its links", ELOOP);
        std::string target(static_cast<std::size_t>(status.st_size) + 256, '\0');
        const ssize_t length = ::readlink(file.c_str(), target.data(), target.size());
        if (length < 0) fail(path, "cannot follow its link", errno);
        target.resize(static_cast<std::size_t>(length));
        file = target.starts_with('/') ? target : folderPrefix(file) + target;
    }
}

Destination destinationOf(const std::string& path) {
    Destination destination;
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) throw FileError(path, "it is a folder");
        // A device, a FIFO or a socket is written where it is; anything else is replaced.
        destination.inPlace = S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode) ||
                              S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode);
        destination.keepMode = S_ISREG(status.st_mode);
        destination.mode = status.st_mode & 07777;
    } else if (errno != ENOENT) {
        fail(path, "cannot look it up", errno);
    }
    destination.file = destination.inPlace ? path : followLinks(path);
    return destination;
}

// The stem of the hidden names beside file: ".NAME.".
std::string hiddenStem(const std::string& file) {
    const auto slash = file.rfind('/');
    return folderPrefix(file) + "." + file.substr(slash == std::string::npos ? 0 : slash + 1) + ".";
}

// Calls make with fresh hidden names beside file until it succeeds (returns true) or fails other
// than with EEXIST; returns the name made, or an empty string with errno set.
template <typename Make>
std::string makeHidden(const std::string& file, const Make& make) {
    const std::string stem = hiddenStem(file);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
        const std::string name = stem + suffix;
        if (make(name)) return name;
        if (errno != EEXIST) return {};
    }
    return {};
}

// Creates a new, empty file beside file with the permissions a new file gets; returns its
// descriptor and sets temporary to its path.
int createTemporary(const std::string& target, const std::string& file, std::string& temporary) {
    int fd = -1;
    temporary = makeHidden(file, [&](const std::string& name) {
        fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        return fd >= 0;
    });
    if (fd < 0) fail(target, "cannot create a file in its folder", errno);
    return fd;
}

// Creates a new file without a name in file's folder, which vanishes with its descriptor unless
// linked; returns the descriptor, or -1 when the file system cannot make such files.
int createUnnamed(const std::string& target, const std::string& file) {
    const std::string prefix = folderPrefix(file);
    const int fd =
        ::open(prefix.empty() ? "." : prefix.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return -1;
    fail(target, "cannot create a file in its folder", errno);
}

// The new file: unnamed where the file system allows, otherwise named temporary (set).
int createNewFile(const std::string& target, const std::string& file, std::string& temporary) {
    const int fd = createUnnamed(target, file);
    return fd >= 0 ? fd : createTemporary(target, file, temporary);
}

// Gives the unnamed file open at fd a hidden name beside file; returns that name.
std::string nameUnnamed(const std::string& target, int fd, const std::string& file) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const std::string name = makeHidden(file, [&](const std::string& hidden) {
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, hidden.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        // Without /proc, only a caller allowed to search any folder can link a descriptor.
        return errno == ENOENT && ::linkat(fd, "", AT_FDCWD, hidden.c_str(), AT_EMPTY_PATH) == 0;
    });
    if (name.empty()) fail(target, "cannot name the new file", errno);
    return name;
}

// Makes the rename itself durable; the data are safe already, so a failure here is not one.
void syncFolder(const std::string& file) {
    const std::string prefix = folderPrefix(file);
    const int fd =
        ::open(prefix.empty() ? "." : prefix.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    [[maybe_unused]] const int synced = ::fsync(fd);
    ::close(fd);
}

void renameInto(const std::string& target, const std::string& temporary, const std::string& file) {
    if (::rename(temporary.c_str(), file.c_str()) != 0) fail(target, "cannot replace it", errno);
    syncFolder(file);
}

}  // namespace

void checkWritable(const std::string& path) {
    const Destination destination = destinationOf(path);
    if (destination.inPlace) {
        if (::access(path.c_str(), W_OK) != 0) fail(path, "cannot open it", errno);
        return;
    }
    std::string temporary;
    ::close(createNewFile(path, destination.file, temporary));
    if (!temporary.empty()) ::unlink(temporary.c_str());
}

bool wouldReplace(const std::string& output, const std::string& input) {
    struct stat written {};
    if (::stat(output.c_str(), &written) == 0) {
        struct stat read {};
        return ::stat(input.c_str(), &read) == 0 && written.st_dev == read.st_dev &&
               written.st_ino == read.st_ino;
    }
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path outputPath = fs::weakly_canonical(fs::absolute(output, error), error);
    if (error) return false;
    const fs::path inputPath = fs::weakly_canonical(fs::absolute(input, error), error);
    return !error && outputPath == inputPath;
}

AtomicFile::AtomicFile(std::string path) : m_target(std::move(path)) {
    const Destination destination = destinationOf(m_target);
    if (destination.inPlace) {
        m_inPlace = true;
        m_fd = ::open(m_target.c_str(), O_WRONLY | O_CLOEXEC);
        if (m_fd < 0) fail(m_target, "cannot open it", errno);
        return;
    }
    m_keepMode = destination.keepMode;
    m_mode = destination.mode;
    m_final = destination.file;
    m_fd = createNewFile(m_target, m_final, m_temporary);
}

AtomicFile::~AtomicFile() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_temporary.empty()) ::unlink(m_temporary.c_str());
}

void AtomicFile::write(std::string_view bytes) {
    const char* data = bytes.data();
    std::size_t size = bytes.size();
    while (size > 0) {
        const ssize_t written = ::write(m_fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            fail(m_target, "cannot write", errno);
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void AtomicFile::finish() {
    if (!m_inPlace) {
        if (m_keepMode && ::fchmod(m_fd, static_cast<mode_t>(m_mode)) != 0)
            fail(m_target, "cannot keep its permissions", errno);
        if (::fsync(m_fd) != 0) fail(m_target, "cannot flush it to disk", errno);
        if (m_temporary.empty()) m_temporary = nameUnnamed(m_target, m_fd, m_final);
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) fail(m_target, "cannot close it", errno);
}

void AtomicFile::replace() {
    if (m_inPlace) return;
    renameInto(m_target, m_temporary, m_final);
    m_temporary.clear();
}

void AtomicFile::commit() {
    finish();
    replace();
}

void writeFileAtomic(const std::string& path, std::string_view bytes) {
    AtomicFile file(path);
    file.write(bytes);
    file.commit();
}

void writeFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes) {
    writeFileAtomic(path,
                    std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

AtomicFileSet::~AtomicFileSet() = default;

AtomicFile& AtomicFileSet::add(std::string path) {
    m_files.push_back(std::make_unique<AtomicFile>(std::move(path)));
    return *m_files.back();
}

void AtomicFileSet::remove(std::string path) {
    m_removals.push_back(std::move(path));
}

namespace {

// One target of a set's commit and how far its change got.
struct Change {
    std::string target;
    AtomicFile* file = nullptr;  // the file that replaces target; null when target goes
    std::string backup;          // the older file's hidden name; empty when there was none
    bool linked = false;         // the backup is a second name: the older file is still at target
    bool done = false;
};

// Keeps the older file at change.target under a hidden name: a second name while it is to be
// replaced, its only name when it goes.
void keepOlder(Change& change) {
    struct stat status {};
    if (::lstat(change.target.c_str(), &status) != 0) {
        if (errno == ENOENT) return;
        fail(change.target, "cannot look it up", errno);
    }
    if (S_ISDIR(status.st_mode)) throw FileError(change.target, "it is a folder");
    const char* older = change.target.c_str();
    if (change.file != nullptr) {
        change.backup = makeHidden(change.target, [&](const std::string& name) {
            return ::link(older, name.c_str()) == 0;
        });
        change.linked = !change.backup.empty();
    }
    if (change.backup.empty()) {
        // No second name where the file system has no hard links: the older file moves aside.
        change.backup = makeHidden(change.target, [&](const std::string& name) {
            struct stat taken {};
            if (::lstat(name.c_str(), &taken) == 0) {
                errno = EEXIST;
                return false;
            }
            return ::rename(older, name.c_str()) == 0;
        });
        if (change.backup.empty()) fail(change.target, "cannot keep the older file", errno);
    }
}

// Undoes change as far as it got; best effort, as the failure that led here is what is reported.
void undo(const Change& change) {
    const char* target = change.target.c_str();
    if (change.done && change.file != nullptr) {
        if (change.backup.empty()) {
            ::unlink(target);
        } else {
            ::rename(change.backup.c_str(), target);
        }
    } else if (!change.backup.empty()) {
        if (change.linked) {
            ::unlink(change.backup.c_str());
        } else {
            ::rename(change.backup.c_str(), target);
        }
    }
}

}  // namespace

void AtomicFileSet::commit(const std::function<void(const std::string&)>& beforeEach) {
    for (const auto& file : m_files)
        file->finish();
    std::vector<Change> changes;
    const auto add = [&](const std::string& target, AtomicFile* file) {
        changes.emplace_back();
        changes.back().target = target;
        changes.back().file = file;
    };
    for (const auto& file : m_files) {
        if (!file->m_inPlace) add(file->m_final, file.get());
    }
    for (const std::string& path : m_removals)
        add(path, nullptr);
    std::size_t at = 0;
    try {
        for (; at < changes.size(); ++at) {
            Change& change = changes[at];
            if (beforeEach) beforeEach(change.target);
            keepOlder(change);
            if (change.file != nullptr) change.file->replace();
            change.done = true;
        }
    } catch (...) {
        for (std::size_t k = std::min(at + 1, changes.size()); k-- > 0;)
            undo(changes[k]);
        for (const Change& change : changes)
            syncFolder(change.target);
        throw;
    }
    for (const Change& change : changes) {
        if (!change.backup.empty()) ::unlink(change.backup.c_str());
    }
    for (const Change& change : changes)
        syncFolder(change.target);
}

FileCommit::FileCommit(std::string path) : m_target(std::move(path)) {
    const Destination destination = destinationOf(m_target);
    if (destination.inPlace) return;
    m_keepMode = destination.keepMode;
    m_mode = destination.mode;
    m_final = destination.file;
    m_fd = createUnnamed(m_target, m_final);
    if (m_fd >= 0) {
        m_temporary = "/proc/self/fd/" + std::to_string(m_fd);
        if (::access(m_temporary.c_str(), W_OK) == 0) return;
        ::close(m_fd);
        m_fd = -1;
    }
    ::close(createTemporary(m_target, m_final, m_temporary));
}

FileCommit::~FileCommit() {
    if (m_fd >= 0) {
        ::close(m_fd);
    } else if (!m_committed && !m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
    }
}

void FileCommit::commit() {
    if (!m_temporary.empty()) {
        // The writer has closed its descriptor; any descriptor of the file can flush it.
        const int fd = m_fd >= 0 ? m_fd : ::open(m_temporary.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) fail(m_target, "cannot open the written file", errno);
        const auto failWith = [&](const char* what) {
            const int error = errno;
            if (fd != m_fd) ::close(fd);
            fail(m_target, what, error);
        };
        if (m_keepMode && ::fchmod(fd, static_cast<mode_t>(m_mode)) != 0)
            failWith("cannot keep its permissions");
        if (::fsync(fd) != 0) failWith("cannot flush it to disk");
        if (fd == m_fd) {
            const std::string named = nameUnnamed(m_target, m_fd, m_final);
            if (::rename(named.c_str(), m_final.c_str()) != 0) {
                const int error = errno;
                ::unlink(named.c_str());
                fail(m_target, "cannot replace it", error);
            }
            syncFolder(m_final);
        } else {
            if (::close(fd) != 0) fail(m_target, "cannot close it", errno);
            renameInto(m_target, m_temporary, m_final);
        }
    }
    m_committed = true;
}

}  // namespace support
