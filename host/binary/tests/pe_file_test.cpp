// The PE reader on a small hand-made DLL image: one that parses, every
// truncation of it, and single-field corruptions that must each be caught.
#include "k729binary/pe_file.h"

#include <cstring>
#include <functional>

#include <gtest/gtest.h>

namespace k729::binary {
namespace {

void put16(std::vector<std::uint8_t>& f, std::size_t at, std::uint16_t v) {
    f[at] = static_cast<std::uint8_t>(v);
    f[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::vector<std::uint8_t>& f, std::size_t at, std::uint32_t v) {
    put16(f, at, static_cast<std::uint16_t>(v));
    put16(f, at + 2, static_cast<std::uint16_t>(v >> 16));
}
void putText(std::vector<std::uint8_t>& f, std::size_t at, const char* text) {
    std::memcpy(&f[at], text, std::strlen(text) + 1);
}

// Where the fixture keeps what the corruptions below change.
constexpr std::size_t kPe = 0x40;
constexpr std::size_t kCoff = kPe + 4;
constexpr std::size_t kOptional = kCoff + 20;
constexpr std::size_t kDirectories = kOptional + 96;
constexpr std::size_t kSectionTable = kOptional + 224;
constexpr std::size_t kRdata = 0x400; // file offset of .rdata, at RVA 0x2000
constexpr std::size_t kExportFunctions = kRdata + 0x40;
constexpr std::size_t kExportOrdinals = kRdata + 0x50;
constexpr std::size_t kResources = kRdata + 0x100; // the root, at RVA 0x2100
constexpr std::size_t kTypeDirectoryEntry = kResources + 0x18 + 16;
constexpr std::size_t kDataEntry = kResources + 0x48;

// A DLL with three sections (.text, .rdata holding the directories, .data),
// exporting "Code" (in .text) and "Data" (in .data), importing from
// KERNEL32.dll, with one resource: type 2, id 7, language 1033, "BMP!".
std::vector<std::uint8_t> fixture() {
    std::vector<std::uint8_t> f(0x620);
    put16(f, 0, 0x5A4D);
    put32(f, 0x3C, kPe);
    put32(f, kPe, 0x00004550);
    put16(f, kCoff, kMachineI386);
    put16(f, kCoff + 2, 3);
    put16(f, kCoff + 16, 224);
    put16(f, kCoff + 18, 0x2102);
    put16(f, kOptional, kOptionalPe32);
    put32(f, kOptional + 28, 0x10000000);
    put32(f, kOptional + 92, 16);
    put32(f, kDirectories + 0, 0x2000); // exports
    put32(f, kDirectories + 4, 0xA0);
    put32(f, kDirectories + 8, 0x20A0); // imports
    put32(f, kDirectories + 12, 40);
    put32(f, kDirectories + 16, 0x2100); // resources
    put32(f, kDirectories + 20, 0x60);

    struct Section {
        const char* name;
        std::uint32_t address, size, offset, flags;
    };
    const Section sections[] = {{".text", 0x1000, 0x10, 0x200, 0x60000020},
                                {".rdata", 0x2000, 0x160, 0x400, 0x40000040},
                                {".data", 0x3000, 0x20, 0x600, 0xC0000040}};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t at = kSectionTable + 40 * i;
        std::memcpy(&f[at], sections[i].name, std::strlen(sections[i].name));
        put32(f, at + 8, sections[i].size);
        put32(f, at + 12, sections[i].address);
        put32(f, at + 16, sections[i].size);
        put32(f, at + 20, sections[i].offset);
        put32(f, at + 36, sections[i].flags);
    }

    // Export directory, its tables and names.
    put32(f, kRdata + 12, 0x2080);
    put32(f, kRdata + 16, 1);
    put32(f, kRdata + 20, 2);
    put32(f, kRdata + 24, 2);
    put32(f, kRdata + 28, 0x2040);
    put32(f, kRdata + 32, 0x2048);
    put32(f, kRdata + 36, 0x2050);
    put32(f, kExportFunctions, 0x3000);
    put32(f, kExportFunctions + 4, 0x1000);
    put32(f, kRdata + 0x48, 0x2090);
    put32(f, kRdata + 0x4C, 0x2098);
    put16(f, kExportOrdinals, 1);
    put16(f, kExportOrdinals + 2, 0);
    putText(f, kRdata + 0x80, "fixture.dll");
    putText(f, kRdata + 0x90, "Code");
    putText(f, kRdata + 0x98, "Data");

    // One import descriptor and the null one.
    put32(f, kRdata + 0xA0 + 12, 0x20E0);
    putText(f, kRdata + 0xE0, "KERNEL32.dll");

    // Resources: root -> type 2 -> id 7 -> language 1033 -> data.
    put16(f, kResources + 14, 1);
    put32(f, kResources + 16, 2);
    put32(f, kResources + 20, 0x80000018);
    put16(f, kResources + 0x18 + 14, 1);
    put32(f, kTypeDirectoryEntry, 7);
    put32(f, kTypeDirectoryEntry + 4, 0x80000030);
    put16(f, kResources + 0x30 + 14, 1);
    put32(f, kResources + 0x30 + 16, 1033);
    put32(f, kResources + 0x30 + 20, 0x48);
    put32(f, kDataEntry, 0x2158);
    put32(f, kDataEntry + 4, 4);
    std::memcpy(&f[kResources + 0x58], "BMP!", 4);
    return f;
}

TEST(PeReader, ReadsTheFixture) {
    std::string error;
    const auto pe = readPe(fixture(), &error);
    ASSERT_TRUE(pe) << error;
    EXPECT_EQ(pe->machine, kMachineI386);
    EXPECT_EQ(pe->optionalMagic, kOptionalPe32);
    EXPECT_TRUE(pe->isDll());
    ASSERT_EQ(pe->sections.size(), 3u);
    EXPECT_EQ(pe->sections[1].name, ".rdata");

    EXPECT_EQ(pe->exportName, "fixture.dll");
    ASSERT_EQ(pe->exports.size(), 2u);
    // In address-table order: ordinal 1 is "Data", ordinal 2 "Code".
    EXPECT_EQ(pe->exports[0].name, "Data");
    EXPECT_EQ(pe->exports[0].ordinal, 1u);
    EXPECT_EQ(pe->exports[0].rva, 0x3000u);
    EXPECT_EQ(pe->sections[pe->exports[0].section].name, ".data");
    EXPECT_EQ(pe->exports[0].sectionFlags, 0xC0000040u);
    EXPECT_EQ(pe->exports[1].name, "Code");
    EXPECT_EQ(pe->exports[1].ordinal, 2u);
    EXPECT_EQ(pe->exports[1].sectionFlags & kSectionExecute, kSectionExecute);

    EXPECT_EQ(pe->imports, std::vector<std::string>{"KERNEL32.dll"});
    EXPECT_TRUE(pe->delayImports.empty());

    ASSERT_EQ(pe->resources.size(), 1u);
    const PeResource& r = pe->resources[0];
    EXPECT_EQ(r.type.id, 2u);
    EXPECT_EQ(r.id.id, 7u);
    EXPECT_EQ(r.language, 1033u);
    EXPECT_EQ(std::string(r.data.begin(), r.data.end()), "BMP!");
}

TEST(PeReader, EveryTruncationIsAnError) {
    const auto whole = fixture();
    for (std::size_t size = 0; size < whole.size(); ++size) {
        std::string error;
        EXPECT_FALSE(readPe(std::span(whole).first(size), &error)) << "cut at " << size;
        EXPECT_NE(error, "") << "cut at " << size;
    }
}

struct Corruption {
    const char* what;
    std::function<void(std::vector<std::uint8_t>&)> apply;
    const char* error; // a part of the expected message
};
void PrintTo(const Corruption& c, std::ostream* out) {
    *out << c.what;
}

class PeCorruption : public testing::TestWithParam<Corruption> {};

TEST_P(PeCorruption, IsReported) {
    auto file = fixture();
    GetParam().apply(file);
    std::string error;
    EXPECT_FALSE(readPe(file, &error));
    EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Fixture, PeCorruption,
    testing::Values(
        Corruption{"PeHeaderPastTheEnd", [](auto& f) { put32(f, 0x3C, 0x10000); }, "PE signature"},
        Corruption{"SectionTablePastTheEnd", [](auto& f) { put16(f, kCoff + 2, 0xFFFF); },
                   "section table"},
        Corruption{"SectionDataPastTheEnd",
                   [](auto& f) { put32(f, kSectionTable + 2 * 40 + 16, 0x1000); },
                   "runs past the end of the file"},
        Corruption{"OverlappingSections",
                   [](auto& f) { put32(f, kSectionTable + 40 + 12, 0x1008); }, "overlaps"},
        Corruption{"TooManyDataDirectories", [](auto& f) { put32(f, kOptional + 92, 17); },
                   "data directories"},
        Corruption{"ExportDirectoryOutsideEverySection",
                   [](auto& f) { put32(f, kDirectories, 0x9000); }, "outside every section"},
        Corruption{"ExportAddressOutsideEverySection",
                   [](auto& f) { put32(f, kExportFunctions, 0x8000); },
                   "export 'Data' at RVA 0x8000 lies outside every section"},
        Corruption{"ExportOrdinalBeyondTheAddressTable",
                   [](auto& f) { put16(f, kExportOrdinals, 5); }, "ordinal index 5 of 2"},
        Corruption{"ExportNameWithoutNul",
                   [](auto& f) {
                       put32(f, kRdata + 0x15C, 0x41414141); // to the section's end
                       put32(f, kRdata + 0x48, 0x215C);
                   },
                   "no terminating NUL"},
        Corruption{"ImportNameOutsideEverySection",
                   [](auto& f) { put32(f, kRdata + 0xA0 + 12, 0x7000); }, "outside every section"},
        Corruption{"ResourceDirectoryLoop",
                   [](auto& f) { put32(f, kTypeDirectoryEntry + 4, 0x80000000); },
                   "a loop in the tree"},
        Corruption{"ResourceDataEntryAsType", [](auto& f) { put32(f, kResources + 20, 0x48); },
                   "above the language level"},
        Corruption{"ResourceDataPastItsSection", [](auto& f) { put32(f, kDataEntry + 4, 0x100); },
                   "resource data"}),
    [](const testing::TestParamInfo<Corruption>& info) { return info.param.what; });

} // namespace
} // namespace k729::binary
