#pragma once

// Calculator variables put where the 83 Plus OS keeps them, and the OS's symbol search over them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "machine.hpp"
#include "tifile.hpp"

namespace emulator {

// The OS's first floating-point register: a variable's type and name for the symbol search.
inline constexpr std::uint16_t kOp1 = 0x8478;
// The OS's free RAM lies from the address in kFps up to the one in kOps.
inline constexpr std::uint16_t kFps = 0x9824;
inline constexpr std::uint16_t kOps = 0x9828;
// The symbol table of programs and AppVars grows down from here; RAM variables stay below it,
// kSymbolEntry bytes a variable.
inline constexpr std::uint16_t kSymbolTable = 0xFE66;
inline constexpr std::size_t kSymbolEntry = 16;
// _ChkFindSym: finds the variable named in OP1.
inline constexpr std::uint16_t kChkFindSym = 0x42F1;
// T-states the search takes.
inline constexpr std::uint64_t kChkFindSymCost = 3'000;
// The archive in flash: sectors of four pages (counted from page 0), each beginning with a status
// byte; then entries, none crossing a sector. An entry: a flag (valid or deleted), the entry's
// length after these three bytes, type, a second type byte, version, the entry's own address in
// bank A and page, the name's length and the name; then the variable's data.
inline constexpr std::size_t kSectorPages = 4;
inline constexpr std::uint8_t kSectorValid = 0xFC;
inline constexpr std::uint8_t kArchiveValid = 0xFC;
inline constexpr std::uint8_t kArchiveDeleted = 0xF0;
inline constexpr std::size_t kArchiveHeader = 10;  // up to the name
// Where the archive's first variable begins in its first page: a deleted entry fills the flash
// before it, after the sector's status byte, as on a calculator that has archived and deleted
// before.
inline constexpr std::size_t kArchiveStart = 0x2F31;
// The archive of each model: from page 0x08 on all of them, to page 0x15 on the TI-83 Plus, 0x29
// on the TI-84 Plus and 0x69 on the TI-83 Plus SE and TI-84 Plus SE.
inline constexpr int kArchivePage = 0x08;
inline constexpr int kTi83PlusArchivePages = 0x15 - kArchivePage + 1;
inline constexpr int kTi84PlusArchivePages = 0x29 - kArchivePage + 1;
inline constexpr int kSeArchivePages = 0x69 - kArchivePage + 1;

// Where a model's archive lies in flash.
struct ArchiveLayout {
    int firstPage = kArchivePage;       // the first page of a sector
    int pages = kTi83PlusArchivePages;  // the archive's pages from firstPage on
};

// Where a variable went.
struct PlacedVariable {
    pack::Variable variable;
    int page = 0;               // its flash page, 0 when in RAM
    std::uint16_t address = 0;  // RAM: its data (the size word); archive: its entry in bank A
};

// Puts variables into machine as the OS holds them after a transfer: the one program as Asm(
// starts it (its code at kProgramStart), the other variables in RAM after it or, archived, in
// archive's sectors, the free RAM after them; answers _ChkFindSym from them. Returns where each
// went, the program first. Throws MachineError for no program or several, a program that is not
// an assembly program, two variables of one name, a program or AppVar whose size word disagrees
// with its data, variables (or their symbol entries) that do not fit RAM, an archived variable
// larger than a sector, or archived variables that do not fit archive or the emulated flash.
std::vector<PlacedVariable> installVariables(Machine& machine,
                                             const std::vector<pack::Variable>& variables,
                                             const ArchiveLayout& archive = {});

// A TI-83 program as Send(9 starts it.
struct Send9Start {
    std::vector<PlacedVariable> placed;  // every variable in RAM, in the order given
    std::uint16_t hexCode = 0;           // where the OS put the code of the hex part
    std::uint16_t binary = 0;            // the program's bytes after its hex part
};

// Puts variables into a TI-83 machine's RAM from kTi83UserMemory on, in order, and starts the one
// program as Send(9 does: the hex part, up to End, 0000, End, turned into code that the OS inserts
// at kTi83UserMemory, moving every variable up by its length, and runs there; the program's bytes
// after the hex part may run too. Answers the TI-83's _ChkFindSym from the variables where they
// then lie. Throws MachineError for no program or several, two variables of one name, a program
// or AppVar whose size word disagrees with its data, a malformed hex part, or variables (with the
// code and their symbol entries) that do not fit RAM.
Send9Start startSend9(Machine& machine, const std::vector<pack::Variable>& variables);

// A TI-82 program as a shell starts it.
struct ShellStart {
    std::vector<PlacedVariable> placed;  // every variable in RAM, the program first
    std::uint16_t entry = 0;             // where the shell calls the code
    std::size_t entryOffset = 0;         // the code's offset in the program's data
};

// Puts variables into a TI-82 machine's RAM and starts the one program as a shell does: the
// shell lists only a program whose data (after its size word) begins with pack::kTi82ShellHeader
// and a zero-terminated description; it moves the program so that the description lies at
// pack::kTi82StartAddress, the other variables after it, and calls the code after the
// description's zero. Throws MachineError for no program or several, two variables of one name,
// a size word that disagrees with its data, a program the shell would not list, or variables
// that do not fit RAM.
ShellStart startShell(Machine& machine, const std::vector<pack::Variable>& variables);

// The program's code from variable's data: without its size word and the assembly prefix.
// Throws MachineError when it is not an assembly program.
std::vector<std::uint8_t> programCode(const pack::Variable& variable);

}  // namespace emulator
