#pragma once

// Replacing files safely: a complete new file or the older one untouched.
//
// A new file is written under a temporary name in the target's folder, flushed to disk and renamed
// over the target; it keeps the permissions of the file it replaces (a new file gets 0666 less the
// umask). A symbolic link is followed: the file it points to is replaced, the link stays. A device
// or a FIFO (/dev/null, /dev/stdout, a named pipe) is written in place, never replaced. On failure
// the temporary file is removed and a FileError names the target and the failing call's reason.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "fileerror.hpp"

namespace support {

// Replaces the file at path with bytes. Throws FileError.
void writeFileAtomic(const std::string& path, std::string_view bytes);
// Replaces the file at path with bytes. Throws FileError.
void writeFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes);

// Fails early, before long work, when path could not be written later: the temporary file is
// created and removed again, or a device is checked for writing. Throws FileError.
void checkWritable(const std::string& path);

// A file written piece by piece that replaces path only when commit() succeeds.
class AtomicFile {
  public:
    // Creates the temporary file (or opens a device in place). Throws FileError.
    explicit AtomicFile(std::string path);
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    // Removes the temporary file unless commit() succeeded.
    ~AtomicFile();

    // Appends bytes. Throws FileError.
    void write(std::string_view bytes);
    // Flushes the bytes to disk and renames the file over the target. Throws FileError.
    void commit();

  private:
    std::string m_target;
    std::string m_final;      // the target with its symbolic links followed
    std::string m_temporary;  // empty when the target is written in place
    int m_fd = -1;
    bool m_keepMode = false;
    unsigned m_mode = 0;
};

// A temporary path for writers that open a file by name themselves (a muxer, an image writer):
// write the file at path(), then commit() renames it over the target. The target of a device or
// a FIFO is handed out as it is. Without commit() the temporary file is removed.
class FileCommit {
  public:
    // Creates the empty temporary file. Throws FileError.
    explicit FileCommit(std::string path);
    FileCommit(const FileCommit&) = delete;
    FileCommit& operator=(const FileCommit&) = delete;
    ~FileCommit();

    // Where the writer writes.
    const std::string& path() const noexcept {
        return m_temporary.empty() ? m_target : m_temporary;
    }
    // Flushes the written file to disk and renames it over the target. Throws FileError.
    void commit();

  private:
    std::string m_target;
    std::string m_final;      // the target with its symbolic links followed
    std::string m_temporary;  // empty when the target is written in place
    bool m_keepMode = false;
    unsigned m_mode = 0;
    bool m_committed = false;
};

}  // namespace support
