#include "packer.hpp"

#include <algorithm>
#include <numeric>

#include "tifile.hpp"

namespace pack {

namespace {

// An 83 Plus assembly program starts with these two bytes (the OS's AsmPrgm token).
constexpr std::uint8_t kAsmPrefix[] = {0xBB, 0x6D};
constexpr std::string_view kSuffixes = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

std::string bytesText(std::size_t bytes) {
    return std::to_string(bytes) + " bytes";
}

// Whole records into groups of at most kAppVarRecords bytes, as [first, last) byte ranges.
std::vector<std::pair<std::size_t, std::size_t>> splitRecords(
    std::span<const std::size_t> recordSizes) {
    std::vector<std::pair<std::size_t, std::size_t>> parts;
    std::size_t start = 0;
    std::size_t end = 0;
    for (const std::size_t size : recordSizes) {
        if (size > kAppVarRecords) {
            throw PackError("a record of " + bytesText(size) + " is larger than an AppVar's " +
                            bytesText(kAppVarRecords));
        }
        if (end + size - start > kAppVarRecords) {
            parts.emplace_back(start, end);
            start = end;
        }
        end += size;
    }
    if (end > start) parts.emplace_back(start, end);
    return parts;
}

std::vector<OutputFile> packTi83Plus(const PackRequest& request,
                                     std::span<const std::uint8_t> player,
                                     std::span<const std::uint8_t> data,
                                     std::span<const std::size_t> recordSizes) {
    if (data.size() > kArchiveLimit) {
        throw PackError("the records of " + bytesText(data.size()) +
                        " do not fit the archive of a TI-84 Plus (" + bytesText(kArchiveLimit) +
                        "; a TI-83 Plus holds about 160 KB)");
    }
    const auto parts = splitRecords(recordSizes);
    if (parts.size() > kMaxAppVars) {
        throw PackError("the records need " + std::to_string(parts.size()) +
                        " AppVars, more than " + std::to_string(kMaxAppVars));
    }
    const std::vector<std::string> names = appVarNames(request.name, parts.size());

    // The program: the player, then the AppVars it plays in order: their count and their
    // 8-byte names, padded with zeros.
    std::vector<std::uint8_t> program(std::begin(kAsmPrefix), std::end(kAsmPrefix));
    program.insert(program.end(), player.begin(), player.end());
    program.push_back(static_cast<std::uint8_t>(names.size()));
    for (const std::string& name : names) {
        for (std::size_t i = 0; i < kNameLength; ++i)
            program.push_back(i < name.size() ? static_cast<std::uint8_t>(name[i]) : 0);
    }

    // Asm( copies the program, so RAM holds it twice besides the records.
    const bool archived = request.archive || data.size() + 2 * program.size() > kRamBudget;
    std::vector<Variable> variables;
    variables.push_back({kProtectedProgramType, request.name, false, sizedData(program)});
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const auto records = data.subspan(parts[k].first, parts[k].second - parts[k].first);
        variables.push_back({kAppVarType, names[k], archived, sizedData(records)});
    }

    std::vector<OutputFile> files;
    for (const Variable& variable : variables) {
        const CalcFile file{Family::Ti83Plus, request.comment, {variable}};
        files.push_back({variable.name + "." + fileExtension(file), writeCalcFile(file)});
    }
    // Groups of whole variables, each within the data section's 16-bit length.
    std::vector<CalcFile> groups(1, CalcFile{Family::Ti83Plus, request.comment, {}});
    std::size_t used = 0;
    for (const Variable& variable : variables) {
        const std::size_t size = entrySize(Family::Ti83Plus, variable);
        if (used + size > kMaxDataSection) {
            groups.push_back(CalcFile{Family::Ti83Plus, request.comment, {}});
            used = 0;
        }
        groups.back().variables.push_back(variable);
        used += size;
    }
    for (std::size_t k = 0; k < groups.size(); ++k) {
        const std::string suffix = groups.size() == 1 ? "" : "-" + std::to_string(k + 1);
        files.push_back({request.name + suffix + ".8xg", writeCalcFile(groups[k])});
    }
    return files;
}

}  // namespace

std::vector<std::string> appVarTable(std::span<const std::uint8_t> code, std::size_t tableOffset) {
    if (tableOffset >= code.size() ||
        code.size() - tableOffset - 1 < code[tableOffset] * kNameLength)
        throw PackError("the program holds no table of AppVars after its player");
    std::vector<std::string> names;
    for (std::size_t k = 0; k < code[tableOffset]; ++k) {
        const auto name = code.subspan(tableOffset + 1 + k * kNameLength, kNameLength);
        names.emplace_back(name.begin(), std::find(name.begin(), name.end(), 0));
    }
    return names;
}

std::vector<std::string> appVarNames(const std::string& name, std::size_t count) {
    std::vector<std::string> names;
    for (std::size_t k = 0; k < count && k < kSuffixes.size(); ++k)
        names.push_back(name.substr(0, kNameLength - 1) + kSuffixes[k]);
    return names;
}

std::vector<OutputFile> packVideo(const PackRequest& request, std::span<const std::uint8_t> player,
                                  std::span<const std::uint8_t> data,
                                  std::span<const std::size_t> recordSizes) {
    const std::size_t total =
        std::accumulate(recordSizes.begin(), recordSizes.end(), std::size_t{0});
    if (total != data.size()) {
        throw PackError("the record sizes add up to " + bytesText(total) + ", not the data's " +
                        bytesText(data.size()));
    }
    if (request.model == Model::Ti83Plus) return packTi83Plus(request, player, data, recordSizes);
    if (data.size() > kTi83Limit) {
        throw PackError("the records of " + bytesText(data.size()) +
                        " do not fit the RAM of a TI-83 (at most " + bytesText(kTi83Limit) + ")");
    }
    throw PackError("this build has no TI-83 player");
}

}  // namespace pack
