// firmware/README.md describes the firmware by its addresses and byte
// counts: they are read here against the listing and the symbol table that
// the build writes, so that the description cannot drift from the code.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace tallivo::testing {
namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const std::string kReadme = readText(std::string(TALLIVO_SOURCE_DIR) + "/firmware/README.md");

std::map<std::string, int> symbols() {
    std::map<std::string, int> table;
    std::istringstream in(readText(std::string(TALLIVO_BIN_DIR) + "/4001.sym"));
    std::string name, value;
    while (in >> name >> value) table[name] = std::stoi(value, nullptr, 16);
    return table;
}

// The ROM addresses that the listing fills.
std::set<int> usedAddresses() {
    std::set<int> seen;
    std::istringstream in(readText(std::string(TALLIVO_BIN_DIR) + "/4001.lst"));
    const std::regex row(R"(^([0-9A-F]{3})  ((?:[0-9A-F]{2} ?)+))");
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        const std::string head = line.substr(0, 20);
        if (!std::regex_search(head, m, row)) continue;
        const int address = std::stoi(m[1].str(), nullptr, 16);
        std::istringstream bytes(m[2].str());
        std::string byte;
        for (int k = 0; bytes >> byte; ++k)
            if (address + k < 0x500) seen.insert(address + k);
    }
    return seen;
}

// The bytes of each ROM page that the listing fills.
std::array<int, 5> usedPerPage() {
    std::array<int, 5> used{};
    for (int address : usedAddresses()) ++used[static_cast<std::size_t>(address / 256)];
    return used;
}

std::string section(const std::string& title) {
    const auto start = kReadme.find("## " + title);
    EXPECT_NE(start, std::string::npos) << "no section " << title;
    if (start == std::string::npos) return {};
    const auto end = kReadme.find("\n## ", start + 3);
    return kReadme.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

TEST(FirmwareReadme, EveryAddressItGivesIsTheLabelsAddress) {
    const auto table = symbols();
    ASSERT_FALSE(table.empty());
    // "`name` 0x123", "`name` at 0x123" and "`name` (0x123)".
    const std::regex named(R"(`(\w+)`(?: at | \(| )0x([0-9A-F]{3}))");
    int checked = 0;
    for (std::sregex_iterator it(kReadme.begin(), kReadme.end(), named), end; it != end; ++it) {
        const std::string name = (*it)[1].str();
        const int address = std::stoi((*it)[2].str(), nullptr, 16);
        ASSERT_TRUE(table.count(name))
            << "the README names " << name << ", which the firmware has not";
        EXPECT_EQ(table.at(name), address) << name << " is at " << std::hex << table.at(name);
        ++checked;
    }
    EXPECT_GE(checked, 15);
    // Every routine the map names is a label.
    const std::string map = section("Routine map");
    const std::regex word(R"(`(\w+)`)");
    for (std::sregex_iterator it(map.begin(), map.end(), word), end; it != end; ++it) {
        const std::string name = (*it)[1].str();
        if (name.rfind("op_*", 0) == 0) continue;
        EXPECT_TRUE(table.count(name))
            << "the routine map names " << name << ", which the firmware has not";
    }
}

TEST(FirmwareReadme, TheByteCountsAreTheListings) {
    const auto used = usedPerPage();
    int total = 0;
    for (int page : used) total += page;
    const std::string bytes = section("Bytes");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(
        bytes, m,
        std::regex(R"((\d+)\s+of\s+the\s+1280\s+bytes\s+are\s+used;\s+(\d+)\s+are\s+free)")))
        << bytes;
    EXPECT_EQ(std::stoi(m[1].str()), total);
    EXPECT_EQ(std::stoi(m[2].str()), 1280 - total);
    // "3 in page 0", ..., "none in page 4".
    for (int page = 0; page < 5; ++page) {
        std::smatch free;
        const std::regex phrase("(\\d+|none)\\s+in\\s+page\\s+" + std::to_string(page));
        ASSERT_TRUE(std::regex_search(bytes, free, phrase)) << "page " << page;
        const int said = free[1].str() == "none" ? 0 : std::stoi(free[1].str());
        EXPECT_EQ(said, 256 - used[static_cast<std::size_t>(page)])
            << "free bytes of page " << page;
    }
    // The opening paragraph says the same.
    EXPECT_NE(kReadme.find("(" + std::to_string(total) + " of 1280 bytes"), std::string::npos);
}

// "Where the bytes go": a row per routine or table, | 0x123 | `name` | bytes
// | `file` |, in the order of the addresses. A row's bytes are those filled
// from its address to the next row's (or the end of its page), so the rows
// account for every byte of every page.
TEST(FirmwareReadme, TheRoutineTableAccountsForEveryByte) {
    const auto table = symbols();
    const std::set<int> used = usedAddresses();
    const std::string part = section("Where the bytes go");
    const std::regex row(R"(\| 0x([0-9A-F]{3}) \| `(\w+)` \| (\d+) \| `(\w+\.asm)` \|)");
    struct Row {
        int address;
        std::string name;
        int bytes;
    };
    std::vector<Row> rows;
    for (std::sregex_iterator it(part.begin(), part.end(), row), end; it != end; ++it) {
        rows.push_back(
            {std::stoi((*it)[1].str(), nullptr, 16), (*it)[2].str(), std::stoi((*it)[3].str())});
        ASSERT_TRUE(table.count(rows.back().name)) << rows.back().name << " is no label";
        EXPECT_EQ(table.at(rows.back().name), rows.back().address)
            << rows.back().name << " is at " << std::hex << table.at(rows.back().name);
    }
    ASSERT_GE(rows.size(), 40u);
    std::array<int, 5> counted{};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int page = rows[i].address / 256;
        int end = (page + 1) * 256;
        if (i + 1 < rows.size()) {
            EXPECT_LT(rows[i].address, rows[i + 1].address)
                << "rows out of order at " << rows[i + 1].name;
            end = std::min(end, rows[i + 1].address);
        }
        int bytes = 0;
        for (int a = rows[i].address; a < end; ++a) bytes += static_cast<int>(used.count(a));
        EXPECT_EQ(rows[i].bytes, bytes) << rows[i].name;
        counted[static_cast<std::size_t>(page)] += bytes;
    }
    const auto perPage = usedPerPage();
    for (std::size_t page = 0; page < 5; ++page)
        EXPECT_EQ(counted[page], perPage[page]) << "bytes of page " << page << " in no row";
}

TEST(FirmwareReadme, ItsFileTableNamesEverySourceFile) {
    std::set<std::string> files;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(TALLIVO_SOURCE_DIR) + "/firmware")) {
        if (entry.path().extension() == ".asm") files.insert(entry.path().filename().string());
    }
    std::set<std::string> named;
    const std::regex file(R"(`(\w+\.asm)`)");
    for (std::sregex_iterator it(kReadme.begin(), kReadme.end(), file), end; it != end; ++it)
        named.insert((*it)[1].str());
    for (const std::string& f : files) EXPECT_TRUE(named.count(f)) << f << " is not in the README";
    for (const std::string& f : named)
        EXPECT_TRUE(files.count(f)) << "the README names " << f << ", which is gone";
}

}  // namespace
}  // namespace tallivo::testing
