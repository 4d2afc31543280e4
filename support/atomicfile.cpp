#include "atomicfile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

namespace support {

namespace {

// Symbolic links followed before the chain counts as a loop, as the kernel counts them.
constexpr int kMaxLinks = 40;

// Where the bytes for path go.
struct Destination {
    std::string file;       // the file to replace: path with its symbolic links followed
    bool inPlace = false;   // a device or a FIFO: written where it is
    bool regular = false;   // an existing regular file
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
        // /dev/stdout and /proc/self/fd/N name whatever the descriptor holds, often a pipe.
        destination.regular = S_ISREG(status.st_mode);
        destination.inPlace =
            !destination.regular || path.starts_with("/dev/") || path.starts_with("/proc/");
        destination.keepMode = destination.regular;
        destination.mode = status.st_mode & 07777;
    } else if (errno != ENOENT) {
        fail(path, "cannot look it up", errno);
    }
    destination.file = destination.inPlace ? path : followLinks(path);
    return destination;
}

// Creates a new, empty file beside file with the permissions a new file gets; returns its
// descriptor and sets temporary to its path.
int createTemporary(const std::string& target, const std::string& file, std::string& temporary) {
    const auto slash = file.rfind('/');
    const std::string stem =
        folderPrefix(file) + "." + file.substr(slash == std::string::npos ? 0 : slash + 1) + ".";
    std::random_device random;
    int error = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
        temporary = stem + suffix;
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        error = errno;
        if (error != EEXIST) break;
    }
    temporary.clear();
    fail(target, "cannot create a file in its folder", error);
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
    ::close(createTemporary(path, destination.file, temporary));
    ::unlink(temporary.c_str());
}

AtomicFile::AtomicFile(std::string path) : m_target(std::move(path)) {
    const Destination destination = destinationOf(m_target);
    if (destination.inPlace) {
        const int flags = O_WRONLY | O_CLOEXEC | (destination.regular ? O_TRUNC : 0);
        m_fd = ::open(m_target.c_str(), flags);
        if (m_fd < 0) fail(m_target, "cannot open it", errno);
        return;
    }
    m_keepMode = destination.keepMode;
    m_mode = destination.mode;
    m_final = destination.file;
    m_fd = createTemporary(m_target, m_final, m_temporary);
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

void AtomicFile::commit() {
    if (!m_temporary.empty()) {
        if (m_keepMode && ::fchmod(m_fd, static_cast<mode_t>(m_mode)) != 0)
            fail(m_target, "cannot keep its permissions", errno);
        if (::fsync(m_fd) != 0) fail(m_target, "cannot flush it to disk", errno);
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) fail(m_target, "cannot close it", errno);
    if (m_temporary.empty()) return;
    renameInto(m_target, m_temporary, m_final);
    m_temporary.clear();
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

FileCommit::FileCommit(std::string path) : m_target(std::move(path)) {
    const Destination destination = destinationOf(m_target);
    if (destination.inPlace) return;
    m_keepMode = destination.keepMode;
    m_mode = destination.mode;
    m_final = destination.file;
    const int fd = createTemporary(m_target, destination.file, m_temporary);
    ::close(fd);
}

FileCommit::~FileCommit() {
    if (!m_committed && !m_temporary.empty()) ::unlink(m_temporary.c_str());
}

void FileCommit::commit() {
    if (!m_temporary.empty()) {
        // The writer has closed the file; a descriptor of any mode can flush it.
        const int fd = ::open(m_temporary.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) fail(m_target, "cannot open the written file", errno);
        if (m_keepMode && ::fchmod(fd, static_cast<mode_t>(m_mode)) != 0) {
            const int error = errno;
            ::close(fd);
            fail(m_target, "cannot keep its permissions", error);
        }
        if (::fsync(fd) != 0) {
            const int error = errno;
            ::close(fd);
            fail(m_target, "cannot flush it to disk", error);
        }
        if (::close(fd) != 0) fail(m_target, "cannot close it", errno);
        renameInto(m_target, m_temporary, m_final);
    }
    m_committed = true;
}

}  // namespace support
