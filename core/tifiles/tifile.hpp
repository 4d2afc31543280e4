#pragma once

// The calculators' variable files (.8xp, .8xv, .8xg for the 83 Plus family; .83p for the TI-83):
// a signature, a 42-byte comment, the data section of one or more variable entries, and the
// 16-bit sum of the data section's bytes.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pack {

// Which calculator a file is for: its signature and the shape of its variable entries.
enum class Family { Ti83, Ti83Plus, Ti82 };

// Variable types.
inline constexpr std::uint8_t kProgramType = 0x05;
inline constexpr std::uint8_t kProtectedProgramType = 0x06;
inline constexpr std::uint8_t kAppVarType = 0x15;
// A variable's name: up to this many characters.
inline constexpr std::size_t kNameLength = 8;
// The comment field's size; longer comments are cut.
inline constexpr std::size_t kCommentLength = 42;
// The most a 16-bit length field holds: a variable's data never exceeds it.
inline constexpr std::size_t kMaxVariableData = 0xFFFF;

// One variable of a file. data is what the calculator stores; for programs and AppVars it starts
// with their own 2-byte content size (sizedData makes it).
struct Variable {
    std::uint8_t type = kProgramType;
    std::string name;
    bool archived = false;  // 83 Plus family only: the variable goes to the archive
    std::vector<std::uint8_t> data;

    bool operator==(const Variable&) const = default;
};

// A file: its family, its comment and its variables (two or more make a group file).
struct CalcFile {
    Family family = Family::Ti83Plus;
    std::string comment;
    std::vector<Variable> variables;
};

// The most a file's data section holds: its variables, each with an entry header.
inline constexpr std::size_t kMaxDataSection = 0xFFFF;

// A file that cannot be written as asked (a name or a length that does not fit the format).
class FormatError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// content behind its 2-byte little-endian size, as programs and AppVars are stored. Throws
// FormatError when the content passes kMaxVariableData - 2 bytes.
std::vector<std::uint8_t> sizedData(std::span<const std::uint8_t> content);

// The bytes of file. Throws FormatError for a name longer than kNameLength or empty, a file
// without variables, or a data section (the variables with their entry headers) longer than the
// 16-bit length field holds: readers go by that field.
std::vector<std::uint8_t> writeCalcFile(const CalcFile& file);

// The file in bytes, checked strictly: signature, lengths, entry headers, checksum. path only
// names the file in errors. Throws support::FileError whose reason gives the byte offset.
CalcFile readCalcFile(std::span<const std::uint8_t> bytes, const std::string& path);

// The file's extension for the family and the variables' type: "8xp", "8xv", "8xg", "83p", ...
std::string fileExtension(const CalcFile& file);

// The bytes variable takes in a data section of family.
std::size_t entrySize(Family family, const Variable& variable);

}  // namespace pack
