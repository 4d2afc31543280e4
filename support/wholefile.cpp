#include "wholefile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

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

void readFileInPieces(const std::string& path, const std::function<void(std::uint64_t)>& sized,
                      const std::function<void(std::string_view)>& take) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) throw FileError(path, errorText(errno));
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) throw FileError(path, errorText(errno));
    if (S_ISDIR(status.st_mode)) throw FileError(path, "it is a folder");
    sized(static_cast<std::uint64_t>(status.st_size));
    // A piece is at most 1 MiB; a small file (a job file, a canvas) gets a buffer of its own size,
    // plus one byte so that the read that finds the end needs no second buffer. Devices and pipes
    // state no size and get the whole piece.
    constexpr std::size_t kPiece = 1024 * 1024;
    const auto stated = static_cast<std::uint64_t>(status.st_size);
    std::vector<char> buffer(S_ISREG(status.st_mode) && stated < kPiece ? stated + 1 : kPiece);
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer.data(), buffer.size());
        if (got == 0) return;
        if (got < 0) {
            if (errno == EINTR) continue;
            throw FileError(path, errorText(errno));
        }
        take(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    }
}

std::string readWholeFile(const std::string& path) {
    std::string text;
    readFileInPieces(
        path, [](std::uint64_t) {}, [&](std::string_view piece) { text.append(piece); });
    return text;
}

}  // namespace support
