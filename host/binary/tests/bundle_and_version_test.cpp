// The bundle and version-resource readers on tiny hand-made blobs: one that
// parses, and corruptions that must each be caught.
#include <cstring>
#include <functional>
#include <map>

#include <gtest/gtest.h>

#include "k729binary/bundle_file.h"
#include "k729binary/version_info.h"

namespace k729::binary {
namespace {

void put32(std::vector<std::uint8_t>& f, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        f[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Two bitmaps: id 5 holding "abc" and id 9 holding "defg".
constexpr std::size_t kEntries = 16;
std::vector<std::uint8_t> bundle() {
    std::vector<std::uint8_t> f(16 + 2 * 24 + 8);
    std::memcpy(f.data(), "K729RES1", 8);
    put32(f, 8, 2);
    const std::uint32_t rows[2][5] = {{2, 5, 1033, 64, 3}, {2, 9, 1033, 68, 4}};
    for (std::size_t e = 0; e < 2; ++e)
        for (std::size_t i = 0; i < 5; ++i)
            put32(f, kEntries + 24 * e + 4 * i, rows[e][i]);
    std::memcpy(&f[64], "abc", 3);
    std::memcpy(&f[68], "defg", 4);
    return f;
}

TEST(BundleReader, ReadsEntriesAndPayloads) {
    std::string error;
    const auto resources = readBundle(bundle(), &error);
    ASSERT_TRUE(resources) << error;
    ASSERT_EQ(resources->size(), 2u);
    EXPECT_EQ((*resources)[0].id, 5u);
    EXPECT_EQ((*resources)[0].type, 2u);
    EXPECT_EQ((*resources)[0].language, 1033u);
    EXPECT_EQ(std::string((*resources)[0].data.begin(), (*resources)[0].data.end()), "abc");
    EXPECT_EQ(std::string((*resources)[1].data.begin(), (*resources)[1].data.end()), "defg");
}

struct Corruption {
    const char* what;
    std::function<void(std::vector<std::uint8_t>&)> apply;
    const char* error;
};
void PrintTo(const Corruption& c, std::ostream* out) {
    *out << c.what;
}

class BundleCorruption : public testing::TestWithParam<Corruption> {};

TEST_P(BundleCorruption, IsReported) {
    auto file = bundle();
    GetParam().apply(file);
    std::string error;
    EXPECT_FALSE(readBundle(file, &error));
    EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Blob, BundleCorruption,
    testing::Values(Corruption{"WrongMagic", [](auto& f) { f[7] = '2'; }, "magic"},
                    Corruption{"Truncated", [](auto& f) { f.resize(10); }, "entry count"},
                    Corruption{"MoreEntriesThanFit", [](auto& f) { put32(f, 8, 0x0AAAAAAB); },
                               "entry table"},
                    Corruption{"PayloadPastTheEnd",
                               [](auto& f) { put32(f, kEntries + 24 + 16, 5); }, "bundle payload"},
                    // 0xFFFFFFF0 + 0x20 wraps in 32 bits.
                    Corruption{"PayloadOffsetWraps",
                               [](auto& f) {
                                   put32(f, kEntries + 12, 0xFFFFFFF0);
                                   put32(f, kEntries + 16, 0x20);
                               },
                               "bundle payload"},
                    Corruption{"PayloadOverTheTable", [](auto& f) { put32(f, kEntries + 12, 8); },
                               "overlaps the entry table"}),
    [](const testing::TestParamInfo<Corruption>& info) { return info.param.what; });

// A version resource: the root block with its fixed part and one string,
// StringFileInfo / 040904B0 / OriginalFilename = "a.gau".
class VersionBlob {
public:
    std::vector<std::uint8_t> bytes;

    std::size_t open(const char* key) {
        align();
        const std::size_t at = bytes.size();
        u16(0);
        u16(0);
        u16(1);
        for (const char* c = key; *c; ++c)
            u16(static_cast<std::uint8_t>(*c));
        u16(0);
        align();
        return at;
    }
    void close(std::size_t at) {
        const std::size_t length = bytes.size() - at;
        bytes[at] = static_cast<std::uint8_t>(length);
        bytes[at + 1] = static_cast<std::uint8_t>(length >> 8);
    }
    void u16(std::uint16_t v) {
        bytes.push_back(static_cast<std::uint8_t>(v));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v) {
        u16(static_cast<std::uint16_t>(v));
        u16(static_cast<std::uint16_t>(v >> 16));
    }
    void align() {
        while (bytes.size() % 4)
            bytes.push_back(0);
    }
};

std::vector<std::uint8_t> versionResource() {
    VersionBlob b;
    const std::size_t root = b.open("VS_VERSION_INFO");
    b.bytes[root + 2] = 52; // binary value length
    b.bytes[root + 4] = 0;
    b.u32(kFixedInfoSignature);
    b.u32(0x10000);
    b.u32(0x00010002); // 1.2
    b.u32(0x00030000); // .3.0
    for (int i = 0; i < 5; ++i)
        b.u32(0);
    b.u32(kFileTypeDll);
    for (int i = 0; i < 3; ++i)
        b.u32(0);
    const std::size_t files = b.open("StringFileInfo");
    const std::size_t table = b.open("040904B0");
    const std::size_t name = b.open("OriginalFilename");
    b.bytes[name + 2] = 6; // characters with the NUL
    for (const char* c = "a.gau"; *c; ++c)
        b.u16(static_cast<std::uint8_t>(*c));
    b.u16(0);
    b.close(name);
    b.close(table);
    b.close(files);
    b.close(root);
    return b.bytes;
}

TEST(VersionReader, ReadsFixedPartAndStrings) {
    std::string error;
    const auto info = readVersionInfo(versionResource(), &error);
    ASSERT_TRUE(info) << error;
    EXPECT_EQ(info->fileVersionHigh, 0x00010002u);
    EXPECT_EQ(info->fileVersionLow, 0x00030000u);
    EXPECT_EQ(info->fileType, kFileTypeDll);
    EXPECT_EQ(info->strings, (std::map<std::string, std::string>{{"OriginalFilename", "a.gau"}}));
}

TEST(VersionReader, RejectsMalformedBlocks) {
    // A child longer than its parent, a wrong signature, and every truncation.
    auto longChild = versionResource();
    longChild[0x5C] = 0xFF; // the StringFileInfo block's length
    std::string error;
    EXPECT_FALSE(readVersionInfo(longChild, &error));
    EXPECT_NE(error.find("does not fit"), std::string::npos) << error;

    auto signature = versionResource();
    signature[0x28] ^= 1;
    EXPECT_FALSE(readVersionInfo(signature));

    const auto whole = versionResource();
    for (std::size_t size = 0; size < whole.size(); ++size)
        EXPECT_FALSE(readVersionInfo(std::span(whole).first(size))) << "cut at " << size;
}

} // namespace
} // namespace k729::binary
