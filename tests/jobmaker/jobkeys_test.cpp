#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "defaultjobfile.hpp"
#include "inifiles.hpp"
#include "jobsettings.hpp"
#include "jobvalues.hpp"
#include "tempdir.hpp"

using namespace jobmaker;

namespace {

using conversion::JobKey;
using conversion::kJobKeys;
using INIfiles::findIniString;

std::string lower(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// An entry "name = value" of a job file and the section it stands in, names in lower case.
struct Entry {
    std::string section;
    std::string name;
    std::string value;
};

// The CR LF lines of text, split into sections and entries; comments and blank lines dropped.
std::vector<Entry> entriesOf(std::string_view text) {
    std::vector<Entry> entries;
    std::string section;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find("\r\n", at), text.size());
        const std::string_view line = trimmed(text.substr(at, end - at));
        at = end + 2;
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[' && line.back() == ']') {
            section = lower(line.substr(1, line.size() - 2));
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            ADD_FAILURE() << "a line that is neither header nor entry: " << line;
            continue;
        }
        entries.push_back({section, lower(trimmed(line.substr(0, equals))),
                           std::string(trimmed(line.substr(equals + 1)))});
    }
    return entries;
}

// The lines of text from the header of section up to the next header.
std::string sectionText(std::string_view text, std::string_view section) {
    const std::string header = "[" + std::string(section) + "]";
    const std::size_t begin = lower(text).find(header);
    if (begin == std::string::npos) return {};
    const std::size_t end = text.find("\r\n[", begin);
    return std::string(text.substr(begin, end == std::string_view::npos ? end : end + 2 - begin));
}

std::string name(const JobKey& key) {
    return std::string(key.section) + "/" + std::string(key.key);
}

TEST(JobKeys, TableListsEveryReadOfTheConverterInItsOrder) {
    const testsupport::TempDir dir;
    const std::string path = dir.write("thisjob.ini", kDefaultJobFile.toStdString());
    std::vector<std::string> reads;
    const auto trace = [&](std::string_view section, std::string_view key, double) {
        reads.push_back(std::string(section) + "/" + std::string(key));
    };
    conversion::readLoadValues(path, trace);
    conversion::readConvertSettings(path, trace);
    std::vector<std::string> table;
    for (const JobKey& key : kJobKeys)
        table.push_back(name(key));
    EXPECT_EQ(reads, table);
}

// The shipped job file, and the job maker's text for settings other than the defaults.
JobSettings changedSettings() {
    JobSettings settings;
    settings.deviceName = QStringLiteral("TI83");
    settings.width = QStringLiteral("120");
    settings.qualityPosition = 3;
    settings.ditherMode = 2;
    settings.preview = false;
    settings.background = 1;
    settings.interlace = false;
    return settings;
}

class JobFileText : public testing::TestWithParam<std::pair<const char*, std::string>> {};

TEST_P(JobFileText, HoldsEveryKeyTheConverterReadsInItsSection) {
    const std::string& text = GetParam().second;
    for (const JobKey& key : kJobKeys) {
        const std::string inSection =
            findIniString(sectionText(text, key.section), key.section, key.key);
        if (!key.fromJobMaker) {
            EXPECT_EQ(findIniString(text, key.section, key.key), "") << name(key);
            continue;
        }
        EXPECT_NE(inSection, "") << name(key) << " is not in its section";
        EXPECT_EQ(findIniString(text, key.section, key.key), inSection) << name(key);
    }
}

TEST_P(JobFileText, HoldsNoEntryTheConverterDoesNotRead) {
    const std::string& text = GetParam().second;
    for (const Entry& entry : entriesOf(text)) {
        // The calculator model is only written (README, "Using it").
        if (entry.section == "device" && entry.name == "devicename") continue;
        bool read = false;
        for (const JobKey& key : kJobKeys) {
            // The reader matches the key as a prefix of the name, and the first match wins.
            read = read || (key.section == entry.section && entry.name.starts_with(key.key) &&
                            findIniString(text, key.section, key.key) == entry.value);
        }
        EXPECT_TRUE(read) << "[" << entry.section << "] " << entry.name << " is never read";
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, JobFileText,
                         testing::Values(std::pair("ShippedSample", kDefaultJobFile.toStdString()),
                                         std::pair("JobMakerChanged",
                                                   jobFileText(changedSettings()).toStdString())),
                         [](const auto& info) { return std::string(info.param.first); });

}  // namespace
