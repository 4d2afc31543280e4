#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "fileerror.hpp"

namespace emulator {

// The labels of an assembled program and their addresses.
class Symbols {
  public:
    // Parses the listing of the binutils symbol lister: lines "ADDR TYPE NAME", ADDR in hex,
    // TYPE one letter; empty lines are skipped. path only names the text in errors. Throws
    // support::FileError.
    static Symbols parse(std::string_view text, const std::string& path);
    // parse of the file at path. Throws support::FileError.
    static Symbols read(const std::string& path);

    // The address of name, if listed.
    std::optional<std::uint16_t> find(const std::string& name) const;
    // The address of name. Throws support::FileError naming the listing when it is absent.
    std::uint16_t at(const std::string& name) const;

  private:
    std::string m_path;
    std::map<std::string, std::uint16_t, std::less<>> m_addresses;
};

}  // namespace emulator
