#pragma once

// Replacing files safely: a complete new file or the older one untouched.
//
// A new file is written unnamed in the target's folder (or, where the file system cannot do that,
// under a temporary name there), flushed to disk and renamed over the target; it keeps the
// permissions of the file it replaces (a new file gets 0666 less the umask). A symbolic link is
// followed: the file it points to is replaced, the link stays. What stat calls a device, a FIFO or
// a socket (/dev/null, a pipe behind /dev/stdout) is written in place, never replaced; every
// regular file is replaced, wherever it lies. On failure the new file is removed and a FileError
// names the target and the failing call's reason.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fileerror.hpp"

namespace support {

// Replaces the file at path with bytes. Throws FileError.
void writeFileAtomic(const std::string& path, std::string_view bytes);
// Replaces the file at path with bytes. Throws FileError.
void writeFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes);

// Fails early, before long work, when path could not be written later: a new file is created in
// its folder and removed again, or a device is checked for writing. Throws FileError.
void checkWritable(const std::string& path);

// Whether writing output would replace the file input: the same file (device and inode) when
// output exists, otherwise the same normalised absolute path.
bool wouldReplace(const std::string& output, const std::string& input);

// A file written piece by piece that replaces path only when commit() succeeds.
class AtomicFile {
  public:
    // Creates the new file (or opens a device in place). Throws FileError.
    explicit AtomicFile(std::string path);
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    // Removes the new file unless commit() succeeded.
    ~AtomicFile();

    // Appends bytes. Throws FileError.
    void write(std::string_view bytes);
    // Flushes the bytes to disk and renames the file over the target. Throws FileError.
    void commit();

  private:
    friend class AtomicFileSet;

    // Flushes and closes the file, giving an unnamed one a hidden name beside the target.
    void finish();
    // Renames the finished file over the target.
    void replace();

    std::string m_target;
    std::string m_final;      // the target with its symbolic links followed
    std::string m_temporary;  // the new file's hidden name; empty while unnamed or in place
    bool m_inPlace = false;
    int m_fd = -1;
    bool m_keepMode = false;
    unsigned m_mode = 0;
};

// Files that replace their targets together, with older files that go: every change, or none.
class AtomicFileSet {
  public:
    AtomicFileSet() = default;
    AtomicFileSet(const AtomicFileSet&) = delete;
    AtomicFileSet& operator=(const AtomicFileSet&) = delete;
    // Removes the new files unless commit() succeeded.
    ~AtomicFileSet();

    // The file that will replace path, to write into. Throws FileError.
    AtomicFile& add(std::string path);
    // Has commit() remove the file (or symbolic link) at path.
    void remove(std::string path);
    // Flushes every file, then renames each over its target and removes the files to remove;
    // when a step fails, puts every older file back, leaves no new file and throws FileError.
    // Older files wait under hidden names until every step succeeded. beforeEach, when given,
    // is called with each target before it changes (tests inject failures there).
    void commit(const std::function<void(const std::string& target)>& beforeEach = {});

  private:
    std::vector<std::unique_ptr<AtomicFile>> m_files;
    std::vector<std::string> m_removals;
};

// A temporary path for writers that open a file by name themselves (a muxer, an image writer):
// write the file at path(), then commit() puts it over the target. path() reaches an unnamed file
// through /proc/self/fd where the system allows, a hidden file beside the target elsewhere; the
// target of a device or a FIFO is handed out as it is. Without commit() the new file goes.
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
    int m_fd = -1;            // the unnamed file that m_temporary reaches
    bool m_keepMode = false;
    unsigned m_mode = 0;
    bool m_committed = false;
};

}  // namespace support
