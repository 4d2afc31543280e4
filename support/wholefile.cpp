#include "wholefile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace support {

namespace {

// Closes a file descriptor when it goes out of scope.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) noexcept : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    int get() const noexcept { return m_fd; }

  private:
    int m_fd;
};

}  // namespace

std::string readWholeFile(const std::string& path) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) throw FileError(path, errorText(errno));
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) throw FileError(path, errorText(errno));
    if (S_ISDIR(status.st_mode)) throw FileError(path, "it is a folder");
    std::string text;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got == 0) return text;
        if (got < 0) {
            if (errno == EINTR) continue;
            throw FileError(path, errorText(errno));
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

}  // namespace support
