#include "tifile.hpp"

#include <algorithm>
#include <numeric>

#include "fileerror.hpp"

namespace pack {

namespace {

constexpr std::string_view kSignature82 = "**TI82**";
constexpr std::string_view kSignature83 = "**TI83**";
constexpr std::string_view kSignature83Plus = "**TI83F*";
constexpr std::uint8_t kSignatureTail[] = {0x1A, 0x0A, 0x00};
constexpr std::size_t kSignatureLength = 11;
constexpr std::size_t kDataSectionAt = kSignatureLength + kCommentLength + 2;
// An entry's header length field: type, name and (83 Plus) version and flag after the lengths.
constexpr std::uint16_t kHeader83 = 0x0B;
constexpr std::uint16_t kHeader83Plus = 0x0D;
constexpr std::uint8_t kArchivedFlag = 0x80;

std::string_view signature(Family family) {
    if (family == Family::Ti82) return kSignature82;
    return family == Family::Ti83 ? kSignature83 : kSignature83Plus;
}

std::uint16_t headerLength(Family family) {
    // The TI-82's entries are the TI-83's: header length 0x0B ("TI-82 Program Info", 82p.txt).
    return family == Family::Ti83Plus ? kHeader83Plus : kHeader83;
}

void put16(std::vector<std::uint8_t>& out, std::size_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

std::uint16_t checksum(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint16_t>(
        std::accumulate(bytes.begin(), bytes.end(), std::uint32_t{0}) & 0xFFFF);
}

}  // namespace

std::vector<std::uint8_t> sizedData(std::span<const std::uint8_t> content) {
    if (content.size() > kMaxVariableData - 2) {
        throw FormatError("a variable of " + std::to_string(content.size()) +
                          " bytes passes the limit of " + std::to_string(kMaxVariableData - 2));
    }
    std::vector<std::uint8_t> data;
    data.reserve(content.size() + 2);
    put16(data, content.size());
    data.insert(data.end(), content.begin(), content.end());
    return data;
}

std::vector<std::uint8_t> writeCalcFile(const CalcFile& file) {
    if (file.variables.empty()) throw FormatError("a calculator file needs a variable");
    std::vector<std::uint8_t> section;
    for (const Variable& variable : file.variables) {
        if (variable.name.empty() || variable.name.size() > kNameLength) {
            throw FormatError("the name \"" + variable.name + "\" is not 1 to 8 characters");
        }
        if (variable.data.size() > kMaxVariableData) {
            throw FormatError("the variable " + variable.name + " of " +
                              std::to_string(variable.data.size()) + " bytes passes the limit of " +
                              std::to_string(kMaxVariableData));
        }
        put16(section, headerLength(file.family));
        put16(section, variable.data.size());
        section.push_back(variable.type);
        for (std::size_t i = 0; i < kNameLength; ++i) {
            section.push_back(i < variable.name.size() ? static_cast<std::uint8_t>(variable.name[i])
                                                       : 0);
        }
        if (file.family == Family::Ti83Plus) {
            section.push_back(0);  // version
            section.push_back(variable.archived ? kArchivedFlag : 0);
        }
        put16(section, variable.data.size());
        section.insert(section.end(), variable.data.begin(), variable.data.end());
    }

    if (section.size() > kMaxDataSection) {
        throw FormatError("the variables take " + std::to_string(section.size()) +
                          " bytes, more than a file's " + std::to_string(kMaxDataSection));
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(kDataSectionAt + section.size() + 2);
    for (const char c : signature(file.family))
        bytes.push_back(static_cast<std::uint8_t>(c));
    for (const std::uint8_t b : kSignatureTail)
        bytes.push_back(b);
    for (std::size_t i = 0; i < kCommentLength; ++i) {
        bytes.push_back(i < file.comment.size() ? static_cast<std::uint8_t>(file.comment[i]) : 0);
    }
    put16(bytes, section.size());
    bytes.insert(bytes.end(), section.begin(), section.end());
    put16(bytes, checksum(section));
    return bytes;
}

CalcFile readCalcFile(std::span<const std::uint8_t> bytes, const std::string& path) {
    const auto fail = [&](std::size_t offset, const std::string& reason) {
        throw support::FileError(path, "at byte " + std::to_string(offset) + ": " + reason);
    };
    const auto get16 = [&](std::size_t at) {
        return static_cast<std::size_t>(bytes[at] | bytes[at + 1] << 8);
    };
    if (bytes.size() < kDataSectionAt + 2) fail(bytes.size(), "the file ends inside its header");

    CalcFile file;
    const std::string_view head(reinterpret_cast<const char*>(bytes.data()), 8);
    if (head == kSignature82) {
        file.family = Family::Ti82;
    } else if (head == kSignature83) {
        file.family = Family::Ti83;
    } else if (head == kSignature83Plus) {
        file.family = Family::Ti83Plus;
    } else {
        fail(0, "not a TI-82, TI-83 or TI-83 Plus variable file");
    }
    if (!std::equal(std::begin(kSignatureTail), std::end(kSignatureTail), bytes.begin() + 8))
        fail(8, "a damaged signature");
    const auto comment = bytes.subspan(kSignatureLength, kCommentLength);
    file.comment.assign(comment.begin(), std::find(comment.begin(), comment.end(), 0));

    const std::size_t sectionEnd = bytes.size() - 2;
    const auto section = bytes.subspan(kDataSectionAt, sectionEnd - kDataSectionAt);
    if (get16(kDataSectionAt - 2) != section.size()) {
        fail(kDataSectionAt - 2,
             "the data section's length " + std::to_string(get16(kDataSectionAt - 2)) +
                 " does not match the file's " + std::to_string(section.size()));
    }
    if (get16(sectionEnd) != checksum(section)) {
        fail(sectionEnd, "the checksum " + std::to_string(get16(sectionEnd)) +
                             " does not match the data's " + std::to_string(checksum(section)));
    }

    const std::size_t header = headerLength(file.family);
    std::size_t at = kDataSectionAt;
    while (at < sectionEnd) {
        if (sectionEnd - at < header + 4) fail(at, "a variable entry ends early");
        if (get16(at) != header) fail(at, "an entry header length of " + std::to_string(get16(at)));
        const std::size_t length = get16(at + 2);
        Variable variable;
        variable.type = bytes[at + 4];
        const auto name = bytes.subspan(at + 5, kNameLength);
        variable.name.assign(name.begin(), std::find(name.begin(), name.end(), 0));
        if (variable.name.empty()) fail(at + 5, "an empty variable name");
        if (file.family == Family::Ti83Plus) {
            if ((bytes[at + 14] & ~kArchivedFlag) != 0)
                fail(at + 14, "unknown variable flags " + std::to_string(bytes[at + 14]));
            variable.archived = bytes[at + 14] == kArchivedFlag;
        }
        const std::size_t dataAt = at + 2 + header + 2;
        if (get16(dataAt - 2) != length)
            fail(dataAt - 2, "the two data lengths of " + variable.name + " differ");
        if (sectionEnd - dataAt < length)
            fail(dataAt, "the data of " + variable.name + " end early");
        variable.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(dataAt),
                             bytes.begin() + static_cast<std::ptrdiff_t>(dataAt + length));
        file.variables.push_back(std::move(variable));
        at = dataAt + length;
    }
    if (file.variables.empty()) fail(kDataSectionAt, "no variable");
    return file;
}

std::size_t entrySize(Family family, const Variable& variable) {
    return 2 + headerLength(family) + 2 + variable.data.size();
}

std::string fileExtension(const CalcFile& file) {
    const std::string prefix = file.family == Family::Ti82   ? "82"
                               : file.family == Family::Ti83 ? "83"
                                                             : "8x";
    if (file.variables.size() != 1) return prefix + "g";
    return prefix + (file.variables.front().type == kAppVarType ? "v" : "p");
}

}  // namespace pack
