// The calculator files: written, read back by our reader and by libtifiles, checked byte by byte.

#include <gtest/gtest.h>

// libtifiles' headers are C: their "restrict" is C++'s __restrict.
#define restrict __restrict
#include <tifiles.h>
#undef restrict

#include <fstream>
#include <numeric>

#include "fileerror.hpp"
#include "tempdir.hpp"
#include "tifile.hpp"

namespace {

using pack::CalcFile;
using pack::Family;
using pack::Variable;

std::vector<std::uint8_t> pattern(std::size_t size, unsigned seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 131 + seed * 17 + (i >> 8)) & 0xFF);
    return bytes;
}

std::size_t get16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | static_cast<std::size_t>(bytes[at + 1]) << 8;
}

struct FileCase {
    const char* label;
    CalcFile file;
    const char* extension;
};

std::vector<FileCase> fileCases() {
    const auto var = [](std::uint8_t type, const char* name, bool archived, std::size_t size,
                        unsigned seed) {
        return Variable{type, name, archived, pack::sizedData(pattern(size, seed))};
    };
    return {
        {"Program",
         {Family::Ti83Plus, "kelvonar-pack 0.1.0", {var(0x06, "CLIP", false, 900, 1)}},
         "8xp"},
        {"ArchivedAppVar", {Family::Ti83Plus, "", {var(0x15, "CLIP0", true, 16000, 2)}}, "8xv"},
        {"Group",
         {Family::Ti83Plus,
          "a comment of exactly forty-two characters!",
          {var(0x06, "ABCDEFGH", false, 10, 3), var(0x15, "A1", false, 0, 4),
           var(0x15, "Z9Z9Z9Z9", true, 65000, 5)}},
         "8xg"},
        {"Ti83Program", {Family::Ti83, "TI-83", {var(0x05, "PLAY", false, 24000, 10)}}, "83p"},
    };
}

class CalcFiles : public testing::TestWithParam<FileCase> {};

TEST_P(CalcFiles, HeaderLengthsAndChecksumFollowTheFormat) {
    const FileCase& c = GetParam();
    const std::vector<std::uint8_t> bytes = pack::writeCalcFile(c.file);
    EXPECT_EQ(pack::fileExtension(c.file), c.extension);

    const std::string signature(bytes.begin(), bytes.begin() + 8);
    EXPECT_EQ(signature, c.file.family == Family::Ti83 ? "**TI83**" : "**TI83F*");
    EXPECT_EQ(bytes[8], 0x1A);
    EXPECT_EQ(bytes[9], 0x0A);
    EXPECT_EQ(bytes[10], 0x00);
    const std::size_t sectionLength = bytes.size() - 55 - 2;
    EXPECT_EQ(get16(bytes, 53), sectionLength & 0xFFFF);
    const std::uint32_t sum = std::accumulate(bytes.begin() + 55, bytes.end() - 2, 0U);
    EXPECT_EQ(get16(bytes, bytes.size() - 2), sum & 0xFFFF);

    // Each entry: header length, data length, type, name, [version, flag], data length, data.
    const std::size_t header = c.file.family == Family::Ti83 ? 11 : 13;
    std::size_t at = 55;
    for (const Variable& variable : c.file.variables) {
        EXPECT_EQ(get16(bytes, at), header);
        EXPECT_EQ(get16(bytes, at + 2), variable.data.size());
        EXPECT_EQ(bytes[at + 4], variable.type);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[at + 5])).substr(0, 8),
                  variable.name);
        if (c.file.family == Family::Ti83Plus) {
            EXPECT_EQ(bytes[at + 14], variable.archived ? 0x80 : 0);
        }
        EXPECT_EQ(get16(bytes, at + 2 + header), variable.data.size());
        EXPECT_EQ(get16(bytes, at + 4 + header), variable.data.size() - 2);
        at += 4 + header + variable.data.size();
    }
    EXPECT_EQ(at, bytes.size() - 2);
}

TEST_P(CalcFiles, OurReaderGivesBackWhatWasWritten) {
    const FileCase& c = GetParam();
    const CalcFile read = pack::readCalcFile(pack::writeCalcFile(c.file), "f");
    EXPECT_EQ(read.family, c.file.family);
    EXPECT_EQ(read.comment, c.file.comment);
    EXPECT_EQ(read.variables, c.file.variables);
}

TEST_P(CalcFiles, LibtifilesReadsNamesTypesSizesAndChecksum) {
    const FileCase& c = GetParam();
    testsupport::TempDir dir;
    const std::string path = dir.file(std::string("file.") + c.extension);
    const std::vector<std::uint8_t> bytes = pack::writeCalcFile(c.file);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));

    tifiles_library_init();
    FileContent* content =
        tifiles_content_create_regular(c.file.family == Family::Ti83 ? CALC_TI83 : CALC_TI83P);
    ASSERT_EQ(tifiles_file_read_regular(path.c_str(), content), 0);
    EXPECT_EQ(content->model, c.file.family == Family::Ti83 ? CALC_TI83 : CALC_TI83P);
    EXPECT_EQ(std::string(content->comment), c.file.comment);
    EXPECT_EQ(content->checksum, content->stored_checksum);
    ASSERT_EQ(content->num_entries, c.file.variables.size());
    for (std::size_t k = 0; k < c.file.variables.size(); ++k) {
        const Variable& variable = c.file.variables[k];
        const VarEntry* entry = content->entries[k];
        EXPECT_EQ(std::string(entry->name), variable.name);
        EXPECT_EQ(entry->type, variable.type);
        if (c.file.family == Family::Ti83Plus) {
            EXPECT_EQ(entry->attr, variable.archived ? ATTRB_ARCHIVED : ATTRB_NONE);
        }
        ASSERT_EQ(entry->size, variable.data.size());
        EXPECT_TRUE(std::equal(variable.data.begin(), variable.data.end(), entry->data));
    }
    tifiles_content_delete_regular(content);
}

INSTANTIATE_TEST_SUITE_P(Kinds, CalcFiles, testing::ValuesIn(fileCases()),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(CalcFileReader, FindsAChangedByteTruncationAndWrongLengths) {
    const std::vector<std::uint8_t> good = pack::writeCalcFile(fileCases()[2].file);
    struct Damage {
        const char* expected;
        std::function<void(std::vector<std::uint8_t>&)> apply;
    };
    const std::vector<Damage> damages = {
        {"checksum", [](auto& b) { b[200] ^= 0x10; }},
        {"checksum", [](auto& b) { b[b.size() - 1] ^= 0x01; }},
        {"data section's length", [](auto& b) { b.pop_back(); }},
        {"not a TI-82, TI-83 or TI-83 Plus", [](auto& b) { b[5] = 'X'; }},
        {"header length",
         [](auto& b) {
             b[55] = 0x0C;
             b[b.size() - 2] -= 1;
         }},
        {"ends inside its header", [](auto& b) { b.resize(40); }},
    };
    for (const Damage& damage : damages) {
        std::vector<std::uint8_t> bytes = good;
        damage.apply(bytes);
        try {
            pack::readCalcFile(bytes, "f.8xg");
            ADD_FAILURE() << "accepted damage expecting " << damage.expected;
        } catch (const support::FileError& error) {
            EXPECT_NE(std::string(error.what()).find(damage.expected), std::string::npos)
                << error.what();
        }
    }
}

TEST(CalcFileWriter, RefusesWhatTheFormatCannotHold) {
    EXPECT_THROW(pack::sizedData(std::vector<std::uint8_t>(65534)), pack::FormatError);
    EXPECT_NO_THROW(pack::sizedData(std::vector<std::uint8_t>(65533)));
    EXPECT_THROW(pack::writeCalcFile({Family::Ti83Plus, "", {{0x15, "NINECHARS", false, {0, 0}}}}),
                 pack::FormatError);
    EXPECT_THROW(pack::writeCalcFile({Family::Ti83Plus, "", {}}), pack::FormatError);
    // Two variables pass the 16-bit length of the data section that readers go by.
    const Variable half{0x15, "HALF", true, pack::sizedData(std::vector<std::uint8_t>(32760))};
    EXPECT_EQ(pack::entrySize(Family::Ti83Plus, half), 32779U);
    EXPECT_THROW(pack::writeCalcFile({Family::Ti83Plus, "", {half, half}}), pack::FormatError);
}

}  // namespace
