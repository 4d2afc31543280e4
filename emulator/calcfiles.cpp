#include "calcfiles.hpp"

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

void answerChkFindSym(Machine& machine, const std::vector<PlacedVariable>& placed) {
    const std::uint8_t type = machine.readMemory(kOp1);
    std::string name;
    for (std::uint16_t i = 1; i <= pack::kNameLength; ++i) {
        const std::uint8_t c = machine.readMemory(static_cast<std::uint16_t>(kOp1 + i));
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

}  // namespace

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
    std::vector<PlacedVariable> placed;
    for (const pack::Variable& variable : variables) {
        for (const pack::Variable& other : variables) {
            if (&other != &variable && other.name == variable.name &&
                searchKind(other.type) == searchKind(variable.type)) {
                throw MachineError("two variables named " + variable.name);
            }
        }
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
