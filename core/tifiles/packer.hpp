#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace pack {

// The calculators a video is packed for.
enum class Model {
    Ti83Plus,  // TI-83 Plus, TI-84 Plus and their SE models: Asm( program and AppVars
    Ti83,      // TI-83 with ROM 1.x: one Send(9 program
    Ti82,      // TI-82: one program a shell lists and runs
};

// The free RAM of a TI-83 Plus or TI-83 for a video: the converter's budget for data played from
// RAM.
inline constexpr std::size_t kRamBudget = 24'000;
// The archive of a TI-84 Plus: the most an 83 Plus family video may hold.
inline constexpr std::size_t kArchiveLimit = 480 * 1024;
// Records in one AppVar at most: each must fit the free RAM the calculator receives it in.
inline constexpr std::size_t kAppVarRecords = 16'000;
// Records of a TI-83 program at most: it lives in the TI-83's RAM with its player.
inline constexpr std::size_t kTi83Limit = 26'000;
// The TI-83's free RAM: the whole program (hex part, player, records) at most.
inline constexpr std::size_t kTi83Ram = 27'000;
// TI-83 (ROM 1.x) facts the hex part relies on: the OS's first floating-point register, where a
// symbol search takes its type and name, and _ChkFindSym, called directly (no rst 0x28 on the
// TI-83), which returns DE = the variable's data (its size word) and carry when it is missing.
inline constexpr std::uint16_t kTi83Op1 = 0x8039;
inline constexpr std::uint16_t kTi83ChkFindSym = 0x442A;
// The TI-82's shell program: the header a shell lists it by, and the address the shell moves the
// program's description to (its code follows the description's zero).
inline constexpr std::uint8_t kTi82ShellHeader[] = {0xD5, 0x00, 0x11};
inline constexpr std::uint16_t kTi82StartAddress = 0x9104;
// The longest description the packer writes.
inline constexpr std::size_t kTi82DescriptionLength = 24;
// Records of a TI-82 program at most, and the whole program at most: the TI-82's 28 KB of RAM
// less the shell, the OS's own use and the stack.
inline constexpr std::size_t kTi82Limit = 22'000;
inline constexpr std::size_t kTi82Ram = 23'500;
// The most AppVars one video uses: their names end in 0-9 and A-Z.
inline constexpr std::size_t kMaxAppVars = 36;
// The largest frame record: the converter's output may pass its budget by this much.
inline constexpr std::size_t kLargestRecord = 2305;

// Data a model cannot hold, or a record that cannot be packed; what() says why.
class PackError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What to pack and how.
struct PackRequest {
    Model model = Model::Ti83Plus;
    std::string name;      // the program's name, valid (nameProblem is empty)
    std::string comment;   // the files' comment field
    bool archive = false;  // Ti83Plus: the AppVars go to the archive even if they fit in RAM
    std::string description = {};  // Ti82: the line the shell's menu shows; empty: the name
};

// One file to write: its name within the output folder and its bytes.
struct OutputFile {
    std::string fileName;
    std::vector<std::uint8_t> bytes;
};

// The files for request: the player (the program's bytes from its first instruction to its
// data label) with the records of data, whose sizes in order are recordSizes.
// Ti83Plus: NAME.8xp, holding the player and the names of the AppVars, one .8xv per AppVar of
// whole records (archived when request.archive, or when the records and the program twice, as
// Asm( copies it, pass kRamBudget), and NAME.8xg
// with all of them; when they pass a file's 64 KB, NAME-1.8xg, NAME-2.8xg, ... instead.
// Ti83: NAME.83p, one program: the hex part (ti83HexPart), then the player, which moves the
// words at movedWords (offsets from its first byte) to where it lies, the records' size, the
// records and that table; records past kTi83Limit or a program past kTi83Ram are refused.
// Ti82: NAME.82p, one program: kTi82ShellHeader, the description and its zero, the player linked
// right after it (movedWords gives its absolute words, as for the Ti83), the records' size and the
// records; records past kTi82Limit or a program past kTi82Ram are refused.
// Throws PackError when the data exceed the model's limit, a record is larger than an AppVar, or
// the sizes do not add up to the data.
std::vector<OutputFile> packVideo(const PackRequest& request,
                                  std::span<const std::uint8_t> calcProgram,
                                  std::span<const std::uint8_t> data,
                                  std::span<const std::size_t> recordSizes,
                                  std::span<const std::uint16_t> movedWords = {});

// The offsets of the absolute addresses in code, a program linked at 0, from the same program
// linked at 0x100 (movedByPage) and at 1 (movedByOne): each word whose high byte grows by one at
// 0x100 and whose low byte grows by one at 1. Throws PackError when the three do not agree on
// that, as when an address is split into bytes.
std::vector<std::uint16_t> relocations(std::span<const std::uint8_t> code,
                                       std::span<const std::uint8_t> movedByPage,
                                       std::span<const std::uint8_t> movedByOne);

// The tokens of the hex part of a TI-83 program named name, which Send(9 turns into code: it
// finds the program and jumps into its binary part, which starts right after these tokens, with
// HL = the binary part's address: the hex digits in lines, then End, 0000, End.
std::vector<std::uint8_t> ti83HexPart(const std::string& name);

// The names of the AppVars a Ti83Plus program plays, in order, from its code (the program's
// content after the assembly prefix) whose table starts at tableOffset. Throws PackError when the
// table does not lie in the code.
std::vector<std::string> appVarTable(std::span<const std::uint8_t> code, std::size_t tableOffset);

// The AppVar names a Ti83Plus video named name uses: name cut to 7 characters and a suffix.
std::vector<std::string> appVarNames(const std::string& name, std::size_t count);

// Whether packVideo may name a file fileName for a video named name and model: NAME.8xp,
// NAME.8xg, NAME-N.8xg and the AppVars' NAMEx.8xv (Ti83Plus), NAME.83p (Ti83) or NAME.82p (Ti82).
bool packedFileName(Model model, const std::string& name, const std::string& fileName);

// A converter budget (--budget) whose output fits records of at most limit bytes: limit less
// kLargestRecord, rounded down to a multiple of 500.
std::size_t fittingBudget(std::size_t limit);

}  // namespace pack
