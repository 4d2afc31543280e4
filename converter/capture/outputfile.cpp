#include "outputfile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "uniformrandom.hpp"

namespace capture {

OutputError::OutputError(std::string path, std::string reason)
    : std::runtime_error("cannot write " + path + ": " + reason),
      m_path(std::move(path)),
      m_reason(std::move(reason)) {}

namespace {

constexpr std::size_t kBytesPerLine = 8;
constexpr std::size_t kBufferSize = 64 * 1024;

std::string errorText(int error) {
    return std::strerror(error);
}

// An open file descriptor that is closed, and its file removed, unless committed.
class TempFile {
  public:
    explicit TempFile(const std::string& target) : m_target(target) {
        const std::filesystem::path targetPath(target);
        const std::filesystem::path folder =
            targetPath.has_parent_path() ? targetPath.parent_path() : std::filesystem::path(".");
        const std::string stem = "." + targetPath.filename().string() + ".";
        UniformRandom random(UniformRandom::seedFromTimeOfDay() ^
                             (static_cast<std::uint64_t>(::getpid()) << 32));
        static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = stem;
            for (int i = 0; i < 8; ++i) {
                name += kLetters[static_cast<std::size_t>(random.next() * 36)];
            }
            m_path = (folder / name).string();
            m_fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (m_fd >= 0) return;
            if (errno != EEXIST) break;
        }
        const int error = errno;
        throw OutputError(m_target,
                          "cannot create a temporary file in its folder: " + errorText(error));
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (m_fd >= 0) ::close(m_fd);
        if (!m_committed) ::unlink(m_path.c_str());
    }

    void write(const char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t written = ::write(m_fd, data, size);
            if (written < 0) {
                if (errno == EINTR) continue;
                fail(errno);
            }
            data += written;
            size -= static_cast<std::size_t>(written);
        }
    }

    // Flushes, closes and renames the file over the target.
    void commit() {
        const std::string& target = m_target;
        struct stat old {};
        if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
            // Keeping the old file's permissions is a courtesy; the data matters more.
            [[maybe_unused]] const int kept = ::fchmod(m_fd, old.st_mode & 07777);
        }
        if (::fsync(m_fd) != 0) fail(errno);
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0) fail(errno);
        if (::rename(m_path.c_str(), target.c_str()) != 0) fail(errno);
        m_committed = true;
    }

  private:
    [[noreturn]] void fail(int error) { throw OutputError(m_target, errorText(error)); }

    std::string m_target;
    std::string m_path;
    int m_fd = -1;
    bool m_committed = false;
};

}  // namespace

void SaveToFile(const std::string& fileName, const TIFunctions::BitString& bits) {
    TempFile file(fileName);
    std::string buffer;
    buffer.reserve(kBufferSize);
    const std::size_t byteCount = bits.wholeBytes();
    const std::uint8_t* bytes = bits.data();
    for (std::size_t k = 0; k < byteCount; ++k) {
        const std::size_t column = k % kBytesPerLine;
        buffer += column == 0 ? " .db %" : ", %";
        for (int bit = 7; bit >= 0; --bit)
            buffer += ((bytes[k] >> bit) & 1U) ? '1' : '0';
        if (column == kBytesPerLine - 1 || k + 1 == byteCount) buffer += "\r\n";
        if (buffer.size() > kBufferSize - 128) {
            file.write(buffer.data(), buffer.size());
            buffer.clear();
        }
    }
    file.write(buffer.data(), buffer.size());
    file.commit();
}

}  // namespace capture
