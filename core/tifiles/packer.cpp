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

// What to tell a user whose records pass limit bytes.
std::string budgetAdvice(std::size_t limit) {
    return "; convert with --budget " + std::to_string(fittingBudget(limit)) +
           " or less (the converter may pass its budget by one record, up to " +
           bytesText(kLargestRecord) + ")";
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
                                     std::span<const std::uint8_t> calcProgram,
                                     std::span<const std::uint8_t> data,
                                     std::span<const std::size_t> recordSizes) {
    if (data.size() > kArchiveLimit) {
        throw PackError("the records of " + bytesText(data.size()) +
                        " do not fit the archive of a TI-84 Plus (" + bytesText(kArchiveLimit) +
                        "; a TI-83 Plus holds about 160 KB)" + budgetAdvice(kArchiveLimit));
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
    program.insert(program.end(), calcProgram.begin(), calcProgram.end());
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

void put16(std::vector<std::uint8_t>& out, std::size_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

// Refuses records of more than limit bytes, the most the RAM of model ("TI-83") leaves them, and
// a build without the program.
void checkRecordsFit(std::span<const std::uint8_t> data, std::span<const std::uint8_t> calcProgram,
                     std::size_t limit, const char* model) {
    if (data.size() > limit) {
        throw PackError("the records of " + bytesText(data.size()) + " do not fit the RAM of a " +
                        model + " (at most " + bytesText(limit) + ")" + budgetAdvice(limit));
    }
    if (calcProgram.empty())
        throw PackError(std::string("this build has no player for the ") + model);
}

// Refuses a program (dataBytes of it records) that with its size word exceeds ram bytes.
void checkProgramFits(const std::vector<std::uint8_t>& program, std::size_t dataBytes,
                      std::size_t ram, const char* model) {
    if (program.size() + 2 <= ram) return;
    const std::size_t records = ram - (program.size() + 2 - dataBytes);
    throw PackError("the program of " + bytesText(program.size() + 2) + " (records of " +
                    bytesText(dataBytes) + ") does not fit the RAM of a " + model + " (at most " +
                    bytesText(ram) + ")" + budgetAdvice(records));
}

std::vector<OutputFile> packTi83(const PackRequest& request,
                                 std::span<const std::uint8_t> calcProgram,
                                 std::span<const std::uint8_t> data,
                                 std::span<const std::uint16_t> moved) {
    checkRecordsFit(data, calcProgram, kTi83Limit, "TI-83");
    // The player, the records behind their size, the words the player moves.
    std::vector<std::uint8_t> program = ti83HexPart(request.name);
    program.insert(program.end(), calcProgram.begin(), calcProgram.end());
    put16(program, data.size());
    program.insert(program.end(), data.begin(), data.end());
    put16(program, moved.size());
    for (const std::uint16_t offset : moved) {
        if (offset + 2U > calcProgram.size())
            throw PackError("a word to move lies outside the player");
        put16(program, offset);
    }
    checkProgramFits(program, data.size(), kTi83Ram, "TI-83");
    const CalcFile file{
        Family::Ti83, request.comment, {{kProgramType, request.name, false, sizedData(program)}}};
    return {{request.name + "." + fileExtension(file), writeCalcFile(file)}};
}

std::vector<OutputFile> packTi82(const PackRequest& request,
                                 std::span<const std::uint8_t> calcProgram,
                                 std::span<const std::uint8_t> data,
                                 std::span<const std::uint16_t> moved) {
    checkRecordsFit(data, calcProgram, kTi82Limit, "TI-82");
    std::string description = request.description.empty() ? request.name : request.description;
    description = description.substr(0, kTi82DescriptionLength);
    std::replace(description.begin(), description.end(), '\0', ' ');
    std::vector<std::uint8_t> program(std::begin(kTi82ShellHeader), std::end(kTi82ShellHeader));
    program.insert(program.end(), description.begin(), description.end());
    program.push_back(0);
    // The shell calls the code where it lies after the description: the player is linked there.
    const std::size_t entry = kTi82StartAddress + description.size() + 1;
    const std::size_t code = program.size();
    program.insert(program.end(), calcProgram.begin(), calcProgram.end());
    for (const std::uint16_t offset : moved) {
        if (offset + 2U > calcProgram.size())
            throw PackError("a word to move lies outside the player");
        const std::size_t at = code + offset;
        const std::size_t word = (program[at] | program[at + 1] << 8) + entry;
        program[at] = static_cast<std::uint8_t>(word & 0xFF);
        program[at + 1] = static_cast<std::uint8_t>((word >> 8) & 0xFF);
    }
    put16(program, data.size());
    program.insert(program.end(), data.begin(), data.end());
    checkProgramFits(program, data.size(), kTi82Ram, "TI-82");
    const CalcFile file{
        Family::Ti82, request.comment, {{kProgramType, request.name, false, sizedData(program)}}};
    return {{request.name + "." + fileExtension(file), writeCalcFile(file)}};
}

}  // namespace

std::vector<std::uint16_t> relocations(std::span<const std::uint8_t> code,
                                       std::span<const std::uint8_t> movedByPage,
                                       std::span<const std::uint8_t> movedByOne) {
    if (movedByPage.size() != code.size() || movedByOne.size() != code.size())
        throw PackError("the builds of the player differ in length");
    std::vector<std::uint16_t> words;
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (movedByPage[i] == code[i]) continue;
        if (i == 0 || movedByPage[i] != static_cast<std::uint8_t>(code[i] + 1) ||
            movedByOne[i - 1] != static_cast<std::uint8_t>(code[i - 1] + 1)) {
            throw PackError("the player's byte " + std::to_string(i) +
                            " is not the high byte of an address");
        }
        words.push_back(static_cast<std::uint16_t>(i - 1));
    }
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (movedByOne[i] == code[i]) continue;
        const bool low = std::binary_search(words.begin(), words.end(), i);
        // A carry out of a low byte 0xFF reaches the high byte.
        const bool carried =
            i > 0 && std::binary_search(words.begin(), words.end(), i - 1) && code[i - 1] == 0xFF;
        if (!low && !carried) {
            throw PackError("the player's byte " + std::to_string(i) +
                            " is not the low byte of an address");
        }
    }
    return words;
}

std::vector<std::uint8_t> ti83HexPart(const std::string& name) {
    // Position-independent: the OS decides where this code runs.
    std::vector<std::uint8_t> code = {0x21, kTi83Op1 & 0xFF, kTi83Op1 >> 8,  // ld hl,OP1
                                      0x36, kProgramType};                   // ld (hl),type
    for (std::size_t i = 0; i < kNameLength; ++i) {
        code.push_back(0x23);  // inc hl
        code.push_back(0x36);  // ld (hl),character
        code.push_back(i < name.size() ? static_cast<std::uint8_t>(name[i]) : 0);
        if (i >= name.size()) break;
    }
    code.insert(code.end(), {0xCD, kTi83ChkFindSym & 0xFF, kTi83ChkFindSym >> 8,  // call
                             0xD8,                                                // ret c
                             0x21, 0, 0,  // ld hl,the binary part's offset from the size word
                             0x19,        // add hl,de
                             0xE9});      // jp (hl)
    // Tokens: the digits 0-9 and A-F, a new line, End.
    constexpr std::uint8_t kNewLine = 0x3F;
    constexpr std::uint8_t kEnd = 0xD4;
    constexpr std::size_t kLineBytes = 8;
    constexpr std::size_t kTailTokens =
        10;  // new line, End, new line, 0000, new line, End, new line
    const std::size_t lines = (code.size() + kLineBytes - 1) / kLineBytes;
    const std::size_t offset = 2 + code.size() * 2 + (lines - 1) + kTailTokens;
    code[code.size() - 4] = static_cast<std::uint8_t>(offset & 0xFF);
    code[code.size() - 3] = static_cast<std::uint8_t>(offset >> 8);

    const auto digit = [](unsigned value) {
        return static_cast<std::uint8_t>(value < 10 ? '0' + value : 'A' + value - 10);
    };
    std::vector<std::uint8_t> tokens;
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (i > 0 && i % kLineBytes == 0) tokens.push_back(kNewLine);
        tokens.push_back(digit(code[i] >> 4));
        tokens.push_back(digit(code[i] & 0x0F));
    }
    tokens.insert(tokens.end(),
                  {kNewLine, kEnd, kNewLine, '0', '0', '0', '0', kNewLine, kEnd, kNewLine});
    return tokens;
}

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

bool packedFileName(Model model, const std::string& name, const std::string& fileName) {
    if (model == Model::Ti83) return fileName == name + ".83p";
    if (model == Model::Ti82) return fileName == name + ".82p";
    if (fileName == name + ".8xp" || fileName == name + ".8xg") return true;
    const std::string appVar = name.substr(0, kNameLength - 1);
    if (fileName.size() == appVar.size() + 5 && fileName.starts_with(appVar) &&
        fileName.ends_with(".8xv") && kSuffixes.find(fileName[appVar.size()]) != kSuffixes.npos)
        return true;
    // NAME-N.8xg, N from 1 without leading zeros.
    const std::string stem = name + "-";
    if (!fileName.starts_with(stem) || !fileName.ends_with(".8xg")) return false;
    const std::string number = fileName.substr(stem.size(), fileName.size() - stem.size() - 4);
    return !number.empty() && number.front() != '0' &&
           number.find_first_not_of("0123456789") == std::string::npos;
}

std::size_t fittingBudget(std::size_t limit) {
    return limit < kLargestRecord ? 0 : (limit - kLargestRecord) / 500 * 500;
}

std::vector<OutputFile> packVideo(const PackRequest& request,
                                  std::span<const std::uint8_t> calcProgram,
                                  std::span<const std::uint8_t> data,
                                  std::span<const std::size_t> recordSizes,
                                  std::span<const std::uint16_t> movedWords) {
    const std::size_t total =
        std::accumulate(recordSizes.begin(), recordSizes.end(), std::size_t{0});
    if (total != data.size()) {
        throw PackError("the record sizes add up to " + bytesText(total) + ", not the data's " +
                        bytesText(data.size()));
    }
    if (request.model == Model::Ti83Plus)
        return packTi83Plus(request, calcProgram, data, recordSizes);
    if (request.model == Model::Ti82) return packTi82(request, calcProgram, data, movedWords);
    return packTi83(request, calcProgram, data, movedWords);
}

}  // namespace pack
