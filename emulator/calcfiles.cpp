#include "calcfiles.hpp"

#include "packer.hpp"

#include <algorithm>
#include <memory>

namespace emulator {

namespace {

constexpr std::uint8_t kAsmPrefix[] = {0xBB, 0x6D};
constexpr std::uint8_t kTypeMask = 0x1F;
constexpr std::uint16_t kBankA = 0x4000;
constexpr std::uint8_t kCarry = 0x01;

bool isProgram(std::uint8_t type) {
    return type == pack::kProgramType || type == pack::kProtectedProgramType;
}

// Programs and protected programs are one kind for the search.
std::uint8_t searchKind(std::uint8_t type) {
    return isProgram(type & kTypeMask) ? pack::kProgramType : type & kTypeMask;
}

void answerChkFindSym(Machine& machine, const std::vector<PlacedVariable>& placed,
                      std::uint16_t op1 = kOp1) {
    const std::uint8_t type = machine.readMemory(op1);
    std::string name;
    for (std::uint16_t i = 1; i <= pack::kNameLength; ++i) {
        const std::uint8_t c = machine.readMemory(static_cast<std::uint16_t>(op1 + i));
        if (c == 0) break;
        name += static_cast<char>(c);
    }
    const auto af = machine.registerValue(Register::AF);
    for (std::size_t k = 0; k < placed.size(); ++k) {
        const PlacedVariable& p = placed[k];
        if (p.variable.name != name || searchKind(p.variable.type) != searchKind(type)) continue;
        machine.setRegister(Register::AF, static_cast<std::uint16_t>(p.variable.type << 8 |
                                                                     ((af & 0xFF) & ~kCarry)));
        machine.setRegister(Register::HL,
                            static_cast<std::uint16_t>(kSymbolTable - k * kSymbolEntry));
        machine.setRegister(Register::DE, p.address);
        const auto bc = machine.registerValue(Register::BC);
        machine.setRegister(Register::BC, static_cast<std::uint16_t>(p.page << 8 | (bc & 0xFF)));
        return;
    }
    machine.setRegister(Register::AF, static_cast<std::uint16_t>(af | kCarry));
}

void checkNames(const std::vector<pack::Variable>& variables) {
    for (const pack::Variable& variable : variables) {
        for (const pack::Variable& other : variables) {
            if (&other != &variable && other.name == variable.name &&
                searchKind(other.type) == searchKind(variable.type)) {
                throw MachineError("two variables named " + variable.name);
            }
        }
    }
}

// The code of a TI-83 program's hex part and the offset in text of what follows it.
std::pair<std::vector<std::uint8_t>, std::size_t> hexPart(std::span<const std::uint8_t> text,
                                                          const std::string& name) {
    constexpr std::uint8_t kNewLine = 0x3F;
    constexpr std::uint8_t kEnd = 0xD4;
    constexpr std::uint8_t kTail[] = {kNewLine, '0', '0', '0', '0', kNewLine, kEnd};
    const auto fail = [&](std::size_t at, const std::string& what) {
        throw MachineError("the program " + name + " at byte " + std::to_string(at) + ": " + what);
    };
    const auto value = [](std::uint8_t token) {
        if (token >= '0' && token <= '9') return token - '0';
        if (token >= 'A' && token <= 'F') return token - 'A' + 10;
        return -1;
    };
    std::vector<std::uint8_t> code;
    std::size_t at = 0;
    int high = -1;
    for (; at < text.size() && text[at] != kEnd; ++at) {
        if (text[at] == kNewLine) {
            if (high >= 0) fail(at, "a line ends inside a byte");
            continue;
        }
        const int digit = value(text[at]);
        if (digit < 0) fail(at, "a token that is no hex digit in the hex part");
        if (high < 0) {
            high = digit;
        } else {
            code.push_back(static_cast<std::uint8_t>(high << 4 | digit));
            high = -1;
        }
    }
    if (at == text.size()) fail(at, "no End after the hex part");
    if (high >= 0) fail(at, "the hex part ends inside a byte");
    ++at;
    if (text.size() - at < std::size(kTail) ||
        !std::equal(std::begin(kTail), std::end(kTail), text.begin() + static_cast<long>(at)))
        fail(at, "the hex part does not end in End, 0000, End");
    at += std::size(kTail);
    if (at < text.size() && text[at] == kNewLine) ++at;
    if (code.empty()) fail(0, "an empty hex part");
    return {code, at};
}

}  // namespace

Send9Start startSend9(Machine& machine, const std::vector<pack::Variable>& variables) {
    checkNames(variables);
    const auto programs = std::count_if(variables.begin(), variables.end(),
                                        [](const auto& v) { return isProgram(v.type); });
    if (programs != 1) {
        throw MachineError(programs == 0 ? "no program among the variables"
                                         : "several programs: which one runs is unclear");
    }
    Send9Start start;
    std::size_t ram = kTi83UserMemory;
    const std::size_t ramEnd = kSymbolTable - variables.size() * kSymbolEntry;
    for (const pack::Variable& variable : variables) {
        if (variable.data.size() > ramEnd - std::min(ram, ramEnd)) {
            throw MachineError("the variables need " +
                               std::to_string(ram + variable.data.size() - kTi83UserMemory) +
                               " bytes from " + std::to_string(kTi83UserMemory) +
                               ", more than RAM holds");
        }
        machine.writeRam(static_cast<std::uint16_t>(ram), variable.data);
        start.placed.push_back({variable, 0, static_cast<std::uint16_t>(ram)});
        ram += variable.data.size();
    }
    const PlacedVariable& program =
        *std::find_if(start.placed.begin(), start.placed.end(),
                      [](const PlacedVariable& p) { return isProgram(p.variable.type); });
    const auto& data = program.variable.data;
    if (data.size() < 2 || static_cast<std::size_t>(data[0] | data[1] << 8) != data.size() - 2)
        throw MachineError("the program " + program.variable.name + " has a wrong size word");
    const auto [code, binaryAt] = hexPart(std::span(data).subspan(2), program.variable.name);
    if (code.size() > ramEnd - std::min(ram, ramEnd))
        throw MachineError("no free RAM for the code of the hex part");
    start.hexCode = static_cast<std::uint16_t>(ram);
    start.binary = static_cast<std::uint16_t>(program.address + 2 + binaryAt);
    machine.writeRam(start.hexCode, code);

    const auto table = std::make_shared<std::vector<PlacedVariable>>(start.placed);
    machine.setBcall(
        pack::kTi83ChkFindSym, [table](Machine& m) { answerChkFindSym(m, *table, pack::kTi83Op1); },
        kChkFindSymCost);
    // The hex part's code, and the program's bytes after it, may run.
    machine.startProgram(start.hexCode, static_cast<std::uint16_t>(start.hexCode + code.size()),
                         start.binary, static_cast<std::uint16_t>(program.address + data.size()));
    return start;
}

std::vector<std::uint8_t> programCode(const pack::Variable& variable) {
    const auto& data = variable.data;
    if (data.size() < 4 ||
        !std::equal(std::begin(kAsmPrefix), std::end(kAsmPrefix), data.begin() + 2)) {
        throw MachineError("the program " + variable.name +
                           " is not an assembly program (it does not start with AsmPrgm)");
    }
    return {data.begin() + 4, data.end()};
}

std::vector<PlacedVariable> installVariables(Machine& machine,
                                             const std::vector<pack::Variable>& variables) {
    checkNames(variables);
    std::vector<PlacedVariable> placed;
    for (const pack::Variable& variable : variables) {
        if (isProgram(variable.type))
            placed.insert(placed.begin(), {variable, 0, 0});
        else
            placed.push_back({variable, 0, 0});
    }
    if (placed.empty() || !isProgram(placed.front().variable.type))
        throw MachineError("no program among the variables");
    if (placed.size() > 1 && isProgram(placed[1].variable.type)) {
        throw MachineError("two programs, " + placed[0].variable.name + " and " +
                           placed[1].variable.name + ": which one runs is unclear");
    }

    if (placed.front().variable.archived) {
        throw MachineError("the program " + placed.front().variable.name +
                           " is archived: the OS runs programs from RAM only");
    }
    const std::vector<std::uint8_t> code = programCode(placed.front().variable);
    machine.loadProgram(code);
    placed.front().address = kProgramHeader;

    // RAM variables follow the program; archived ones follow a deleted entry in flash.
    std::size_t ram = kProgramStart + code.size();
    const std::size_t ramEnd = kSymbolTable - placed.size() * kSymbolEntry;
    std::size_t flash = kArchivePage * kPageSize + kArchiveStart;
    {
        const std::size_t filler = kArchiveStart - 3;
        const std::uint8_t deleted[] = {kArchiveDeleted, static_cast<std::uint8_t>(filler & 0xFF),
                                        static_cast<std::uint8_t>(filler >> 8)};
        machine.writeFlash(kArchivePage, 0, deleted);
    }
    for (std::size_t k = 1; k < placed.size(); ++k) {
        PlacedVariable& p = placed[k];
        const auto& data = p.variable.data;
        if (!p.variable.archived) {
            if (data.size() > ramEnd - std::min(ram, ramEnd)) {
                throw MachineError("the variables in RAM need " +
                                   std::to_string(ram + data.size() - kProgramStart) +
                                   " bytes from " + std::to_string(kProgramStart) +
                                   ", more than RAM holds");
            }
            machine.writeRam(static_cast<std::uint16_t>(ram), data);
            p.address = static_cast<std::uint16_t>(ram);
            ram += data.size();
            continue;
        }
        const std::string& name = p.variable.name;
        const std::size_t length = kArchiveHeader - 3 + name.size() + data.size();
        std::vector<std::uint8_t> entry = {
            kArchiveValid,
            static_cast<std::uint8_t>(length & 0xFF),
            static_cast<std::uint8_t>(length >> 8),
            p.variable.type,
            0,
            0,
            static_cast<std::uint8_t>((kSymbolTable - k * kSymbolEntry) & 0xFF),
            static_cast<std::uint8_t>((kSymbolTable - k * kSymbolEntry) >> 8),
            0,
            static_cast<std::uint8_t>(name.size())};
        entry.insert(entry.end(), name.begin(), name.end());
        entry.insert(entry.end(), data.begin(), data.end());
        p.page = static_cast<int>(flash / kPageSize);
        p.address = static_cast<std::uint16_t>(kBankA + flash % kPageSize);
        machine.writeFlash(p.page, flash % kPageSize, entry);
        flash += entry.size();
    }

    const auto word = [](std::size_t value) {
        return std::vector<std::uint8_t>{static_cast<std::uint8_t>(value & 0xFF),
                                         static_cast<std::uint8_t>(value >> 8)};
    };
    machine.writeRam(kFps, word(ram));
    machine.writeRam(kOps, word(ramEnd));

    const auto table = std::make_shared<std::vector<PlacedVariable>>(placed);
    machine.setBcall(
        kChkFindSym, [table](Machine& m) { answerChkFindSym(m, *table); }, kChkFindSymCost);
    return placed;
}

}  // namespace emulator
