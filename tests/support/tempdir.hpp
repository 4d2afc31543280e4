#pragma once

// A fresh folder under the system's temporary folder, removed with everything in it at the end.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace testsupport {

class TempDir {
  public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kelvonar-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary folder");
        m_path = pattern;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }

    const std::filesystem::path& path() const noexcept { return m_path; }
    // The path of name inside the folder.
    std::string file(const std::string& name) const { return (m_path / name).string(); }
    // Writes contents to name inside the folder; returns its path.
    std::string write(const std::string& name, const std::string& contents) const {
        const std::string path = file(name);
        std::ofstream(path, std::ios::binary) << contents;
        return path;
    }
    // The contents of the file at path, or "<missing>".
    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        if (!in) return "<missing>";
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // How many entries the folder holds.
    std::size_t entries() const {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(m_path), {}));
    }

  private:
    std::filesystem::path m_path;
};

}  // namespace testsupport
