#include "variables.hpp"

#include "packer.hpp"

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <set>
#include <span>
#include <string>

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
    std::set<std::pair<std::uint8_t, std::string>> seen;
    for (const pack::Variable& variable : variables) {
        if (!seen.emplace(searchKind(variable.type), variable.name).second)
            throw MachineError("two variables named " + variable.name);
    }
}

// Refuses a program or AppVar whose size word disagrees with the bytes after it.
void checkSizeWord(const pack::Variable& variable) {
    const std::uint8_t kind = searchKind(variable.type);
    if (kind != pack::kProgramType && kind != pack::kAppVarType) return;
    const auto& data = variable.data;
    if (data.size() < 2) {
        throw MachineError("the variable " + variable.name + " holds " +
                           std::to_string(data.size()) + " bytes, less than its size word");
    }
    const std::size_t said = data[0] | data[1] << 8;
    if (said != data.size() - 2) {
        throw MachineError("the variable " + variable.name + " says it holds " +
                           std::to_string(said) + " bytes, but holds " +
                           std::to_string(data.size() - 2));
    }
}

// Where RAM for variables from start on ends: below the symbol table of count entries. Throws
// MachineError when the entries alone pass start.
std::size_t ramEnd(std::size_t count, std::size_t start) {
    if (count > (kSymbolTable - start) / kSymbolEntry) {
        throw MachineError(std::to_string(count) + " variables: their symbol entries alone pass " +
                           "the RAM from " + std::to_string(start));
    }
    return kSymbolTable - count * kSymbolEntry;
}

std::vector<std::uint8_t> word(std::size_t value) {
    return {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8 & 0xFF)};
}

// Writes archived variables into the archive's sectors, each entry within one sector.
class ArchiveWriter {
  public:
    ArchiveWriter(Machine& machine, const ArchiveLayout& layout) : m_machine(machine) {
        if (layout.firstPage < 1 || layout.firstPage % static_cast<int>(kSectorPages) != 0 ||
            layout.pages < 1) {
            throw MachineError("an archive of " + std::to_string(layout.pages) +
                               " pages from page " + std::to_string(layout.firstPage) +
                               ": it must start a sector and hold a page");
        }
        const std::size_t first = static_cast<std::size_t>(layout.firstPage);
        m_archiveEnd = (first + static_cast<std::size_t>(layout.pages)) * kPageSize;
        m_end = std::min<std::size_t>(m_archiveEnd, kFlashPages * kPageSize);
        if (first * kPageSize + kArchiveStart > m_end)
            throw MachineError("the archive's first page lies past the emulated flash");
        startSector(first * kPageSize);
        const std::size_t filler = kArchiveStart - 1 - 3;
        write(m_at, {kArchiveDeleted, static_cast<std::uint8_t>(filler & 0xFF),
                     static_cast<std::uint8_t>(filler >> 8)});
        m_at = first * kPageSize + kArchiveStart;
    }

    // Writes p's entry and sets its page and address.
    void place(PlacedVariable& p) {
        const std::string& name = p.variable.name;
        const auto& data = p.variable.data;
        const std::size_t size = kArchiveHeader + name.size() + data.size();
        if (size > kSectorBytes - 1) {
            throw MachineError("the archived variable " + name + " needs " + std::to_string(size) +
                               " bytes, more than a sector holds");
        }
        if (m_at % kSectorBytes == 0 && m_at < m_end) startSector(m_at);  // the last one is full
        const std::size_t sectorEnd = (m_at / kSectorBytes + 1) * kSectorBytes;
        if (m_at + size > sectorEnd && sectorEnd < m_end) startSector(sectorEnd);
        if (m_at + size > m_end) {
            throw MachineError("the archived variable " + name + " does not fit " +
                               (m_end < m_archiveEnd ? std::string("the emulated flash")
                                                     : std::string("the archive")));
        }
        p.page = static_cast<int>(m_at / kPageSize);
        p.address = static_cast<std::uint16_t>(kBankA + m_at % kPageSize);
        std::vector<std::uint8_t> entry = {kArchiveValid};
        const auto length = word(size - 3);
        entry.insert(entry.end(), length.begin(), length.end());
        entry.insert(entry.end(), {p.variable.type, 0, 0});
        const auto address = word(p.address);
        entry.insert(entry.end(), address.begin(), address.end());
        entry.push_back(static_cast<std::uint8_t>(p.page));
        entry.push_back(static_cast<std::uint8_t>(name.size()));
        entry.insert(entry.end(), name.begin(), name.end());
        entry.insert(entry.end(), data.begin(), data.end());
        write(m_at, entry);
        m_at += size;
    }

  private:
    static constexpr std::size_t kSectorBytes = kSectorPages * kPageSize;

    void startSector(std::size_t at) {
        write(at, {kSectorValid});
        m_at = at + 1;
    }
    void write(std::size_t at, std::span<const std::uint8_t> bytes) {
        m_machine.writeFlash(static_cast<int>(at / kPageSize), at % kPageSize, bytes);
    }
    void write(std::size_t at, std::initializer_list<std::uint8_t> bytes) {
        write(at, std::span(bytes.begin(), bytes.size()));
    }

    Machine& m_machine;
    std::size_t m_at = 0;          // the next entry, in bytes from flash page 0
    std::size_t m_end = 0;         // the end of the archive within the emulated flash
    std::size_t m_archiveEnd = 0;  // the end of the archive
};

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
    for (const pack::Variable& variable : variables)
        checkSizeWord(variable);
    const auto programs = std::count_if(variables.begin(), variables.end(),
                                        [](const auto& v) { return isProgram(v.type); });
    if (programs != 1) {
        throw MachineError(programs == 0 ? "no program among the variables"
                                         : "several programs: which one runs is unclear");
    }
    const pack::Variable& program =
        *std::find_if(variables.begin(), variables.end(),
                      [](const pack::Variable& v) { return isProgram(v.type); });
    const auto [code, binaryAt] = hexPart(std::span(program.data).subspan(2), program.name);

    // The variables lie from kTi83UserMemory on; the loader inserts the code there, which moves
    // each of them up by its length.
    const std::size_t end = ramEnd(variables.size(), kTi83UserMemory);
    if (code.size() > end - kTi83UserMemory)
        throw MachineError("no free RAM for the code of the hex part");
    Send9Start start;
    start.hexCode = kTi83UserMemory;
    machine.writeRam(start.hexCode, code);
    std::size_t ram = kTi83UserMemory + code.size();
    for (const pack::Variable& variable : variables) {
        if (variable.data.size() > end - std::min(ram, end)) {
            throw MachineError("the variables and the code of the hex part need " +
                               std::to_string(ram + variable.data.size() - kTi83UserMemory) +
                               " bytes from " + std::to_string(kTi83UserMemory) +
                               ", more than RAM holds");
        }
        machine.writeRam(static_cast<std::uint16_t>(ram), variable.data);
        start.placed.push_back({variable, 0, static_cast<std::uint16_t>(ram)});
        if (&variable == &program) start.binary = static_cast<std::uint16_t>(ram + 2 + binaryAt);
        ram += variable.data.size();
    }
    const std::uint16_t programEnd =
        static_cast<std::uint16_t>(start.binary - 2 - binaryAt + program.data.size());

    const auto table = std::make_shared<std::vector<PlacedVariable>>(start.placed);
    machine.setBcall(
        pack::kTi83ChkFindSym, [table](Machine& m) { answerChkFindSym(m, *table, pack::kTi83Op1); },
        kChkFindSymCost);
    // The hex part's code, and the program's bytes after it, may run.
    machine.startProgram(start.hexCode, static_cast<std::uint16_t>(start.hexCode + code.size()),
                         start.binary, programEnd);
    return start;
}

ShellStart startShell(Machine& machine, const std::vector<pack::Variable>& variables) {
    checkNames(variables);
    for (const pack::Variable& variable : variables)
        checkSizeWord(variable);
    ShellStart start;
    for (const pack::Variable& variable : variables) {
        if (isProgram(variable.type))
            start.placed.insert(start.placed.begin(), {variable, 0, 0});
        else
            start.placed.push_back({variable, 0, 0});
    }
    const auto programs = std::count_if(variables.begin(), variables.end(),
                                        [](const auto& v) { return isProgram(v.type); });
    if (programs != 1) {
        throw MachineError(programs == 0 ? "no program among the variables"
                                         : "several programs: which one runs is unclear");
    }
    const pack::Variable& program = start.placed.front().variable;
    const auto& data = program.data;
    const std::size_t header = std::size(pack::kTi82ShellHeader);
    if (data.size() < 2 + header ||
        !std::equal(std::begin(pack::kTi82ShellHeader), std::end(pack::kTi82ShellHeader),
                    data.begin() + 2)) {
        throw MachineError("the program " + program.name +
                           " does not begin with the shell's header D5 00 11: the shell does not "
                           "list it");
    }
    const auto zero = std::find(data.begin() + 2 + static_cast<long>(header), data.end(), 0);
    if (zero == data.end())
        throw MachineError("the description of the program " + program.name + " has no end");
    start.entryOffset = static_cast<std::size_t>(zero - data.begin()) + 1;

    // The description at the start address, the code after it, the other variables after that.
    const std::size_t end = ramEnd(variables.size(), pack::kTi82StartAddress);
    std::size_t ram = pack::kTi82StartAddress;
    for (std::size_t k = 0; k < start.placed.size(); ++k) {
        PlacedVariable& p = start.placed[k];
        const std::size_t skip = k == 0 ? 2 + header : 0;
        const std::span<const std::uint8_t> bytes = std::span(p.variable.data).subspan(skip);
        if (bytes.size() > end - std::min(ram, end)) {
            throw MachineError("the variables need " +
                               std::to_string(ram + bytes.size() - pack::kTi82StartAddress) +
                               " bytes from " + std::to_string(pack::kTi82StartAddress) +
                               ", more than RAM holds");
        }
        machine.writeRam(static_cast<std::uint16_t>(ram), bytes);
        p.address = static_cast<std::uint16_t>(ram - skip);
        ram += bytes.size();
    }
    start.entry = static_cast<std::uint16_t>(start.placed.front().address + start.entryOffset);
    const auto programEnd = static_cast<std::uint16_t>(start.placed.front().address + data.size());
    machine.startProgram(start.entry, programEnd, start.entry, programEnd);
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
                                             const std::vector<pack::Variable>& variables,
                                             const ArchiveLayout& archive) {
    checkNames(variables);
    for (const pack::Variable& variable : variables)
        checkSizeWord(variable);
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
    const std::size_t end = ramEnd(placed.size(), kProgramStart);
    const std::vector<std::uint8_t> code = programCode(placed.front().variable);
    if (code.size() > end - kProgramStart) {
        throw MachineError("the program " + placed.front().variable.name + " needs " +
                           std::to_string(code.size()) + " bytes from " +
                           std::to_string(kProgramStart) + ", more than RAM holds");
    }
    machine.loadProgram(code);
    placed.front().address = kProgramHeader;

    // RAM variables follow the program; archived ones go to the archive's sectors.
    std::size_t ram = kProgramStart + code.size();
    ArchiveWriter flash(machine, archive);
    for (std::size_t k = 1; k < placed.size(); ++k) {
        PlacedVariable& p = placed[k];
        if (p.variable.archived) {
            flash.place(p);
            continue;
        }
        const auto& data = p.variable.data;
        if (data.size() > end - std::min(ram, end)) {
            throw MachineError("the variables in RAM need " +
                               std::to_string(ram + data.size() - kProgramStart) + " bytes from " +
                               std::to_string(kProgramStart) + ", more than RAM holds");
        }
        machine.writeRam(static_cast<std::uint16_t>(ram), data);
        p.address = static_cast<std::uint16_t>(ram);
        ram += data.size();
    }

    machine.writeRam(kFps, word(std::min(ram, end)));
    machine.writeRam(kOps, word(end));

    const auto table = std::make_shared<std::vector<PlacedVariable>>(placed);
    machine.setBcall(
        kChkFindSym, [table](Machine& m) { answerChkFindSym(m, *table); }, kChkFindSymCost);
    return placed;
}

}  // namespace emulator
