// A module's art folder: the BMP files, the resource script and the bundle.
#include <cstring>

#include "k729art/bundle.h"
#include "test_support.h"

namespace k729::art {
namespace {

using testing::readFile;
using testing::u32;

// Three bitmaps of different sizes, out of id order.
std::vector<Bitmap> sample() {
    Canvas big(7, 3, Rgb{10, 20, 30});
    big.set(6, 2, Rgb{255, 0, 0});
    Canvas small(1, 1, Rgb{1, 2, 3});
    Canvas mid(4, 5);
    mid.fillRect(1, 1, 2, 3, Rgb{0, 200, 0});
    return {{300, big}, {7, small}, {42, mid}};
}

class ModuleArt : public testing::ScratchFolder {};

TEST_F(ModuleArt, BundleListsBitmapsByIdWithTheirBmpFilesAsPayloads) {
    std::string error;
    ASSERT_TRUE(writeModuleArt(dir().string(), sample(), &error)) << error;
    const std::vector<std::uint8_t> b = readFile(dir() / "resources.bin");

    ASSERT_GE(b.size(), sizeof(BundleHeader) + 3 * sizeof(BundleEntry));
    EXPECT_EQ(std::memcmp(b.data(), kBundleMagic, sizeof kBundleMagic), 0);
    EXPECT_EQ(u32(b, 8), 3u);
    EXPECT_EQ(u32(b, 12), 0u);

    const std::uint32_t ids[] = {7, 42, 300};
    std::uint32_t expectedOffset = sizeof(BundleHeader) + 3 * sizeof(BundleEntry);
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t e = sizeof(BundleHeader) + i * sizeof(BundleEntry);
        EXPECT_EQ(u32(b, e), kResourceBitmap);
        EXPECT_EQ(u32(b, e + 4), ids[i]);
        EXPECT_EQ(u32(b, e + 8), kLanguageEnUs);
        EXPECT_EQ(u32(b, e + 20), 0u);
        const std::uint32_t offset = u32(b, e + 12), size = u32(b, e + 16);
        EXPECT_EQ(offset, expectedOffset) << "payloads follow each other";
        EXPECT_EQ(offset % 4, 0u);
        const std::vector<std::uint8_t> bmp = readFile(dir() / (std::to_string(ids[i]) + ".bmp"));
        ASSERT_EQ(size, bmp.size() - kBmpFileHeaderSize) << ids[i];
        ASSERT_LE(std::size_t{offset} + size, b.size());
        EXPECT_TRUE(std::equal(bmp.begin() + kBmpFileHeaderSize, bmp.end(), b.begin() + offset))
            << ids[i];
        expectedOffset = offset + size;
    }
    EXPECT_EQ(b.size(), expectedOffset);
}

TEST_F(ModuleArt, ScriptNamesEachBitmapByAbsolutePath) {
    // Given a relative folder, the script still holds absolute paths: the
    // resource compiler runs in another directory.
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir());
    std::string error;
    const bool written = writeModuleArt("out/art", sample(), &error);
    std::filesystem::current_path(previous);
    ASSERT_TRUE(written) << error;

    const std::string base = (dir() / "out" / "art").generic_string();
    const std::vector<std::uint8_t> rc = readFile(dir() / "out" / "art" / "bitmaps.rc");
    EXPECT_EQ(std::string(rc.begin(), rc.end()), "7 BITMAP \"" + base + "/7.bmp\"\n" +
                                                     "42 BITMAP \"" + base + "/42.bmp\"\n" +
                                                     "300 BITMAP \"" + base + "/300.bmp\"\n");
    EXPECT_EQ(
        testing::listing(dir() / "out" / "art"),
        (std::vector<std::string>{"300.bmp", "42.bmp", "7.bmp", "bitmaps.rc", "resources.bin"}));
}

TEST_F(ModuleArt, SameBitmapsGiveSameBytesWhateverTheirOrder) {
    std::vector<Bitmap> reversed = sample();
    std::reverse(reversed.begin(), reversed.end());
    std::string error;
    ASSERT_TRUE(writeModuleArt((dir() / "a").string(), sample(), &error)) << error;
    ASSERT_TRUE(writeModuleArt((dir() / "b").string(), reversed, &error)) << error;
    const auto first = readFile(dir() / "a" / "resources.bin");
    ASSERT_TRUE(writeModuleArt((dir() / "a").string(), sample(), &error)) << error; // again
    for (const char* name : {"resources.bin", "7.bmp", "42.bmp", "300.bmp"})
        EXPECT_EQ(readFile(dir() / "a" / name), readFile(dir() / "b" / name)) << name;
    EXPECT_EQ(readFile(dir() / "a" / "resources.bin"), first);
}

TEST_F(ModuleArt, RefusesBadSetsAndWritesNothingForThem) {
    Canvas tooMany(300, 1);
    for (int x = 0; x < 300; ++x)
        tooMany.set(x, 0, Rgb{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(x >> 8), 0});
    const struct {
        const char* what;
        std::vector<Bitmap> bitmaps;
    } cases[] = {
        {"no bitmaps", {}},
        {"id used twice", {{5, Canvas(1, 1)}, {6, Canvas(1, 1)}, {5, Canvas(2, 2)}}},
        {"id 0", {{0, Canvas(1, 1)}}},
        {"id beyond 16 bits", {{65536, Canvas(1, 1)}}},
        {"negative id", {{-4, Canvas(1, 1)}}},
        {"empty picture", {{5, Canvas(0, 0)}}},
        {"too many colours", {{5, Canvas(1, 1)}, {9, tooMany}}},
    };
    for (const auto& test : cases) {
        std::string error;
        EXPECT_FALSE(writeModuleArt(dir().string(), test.bitmaps, &error)) << test.what;
        EXPECT_FALSE(error.empty()) << test.what;
        EXPECT_TRUE(testing::listing(dir()).empty()) << test.what;
    }
    std::string error;
    EXPECT_TRUE(writeModuleArt(dir().string(), {{65535, Canvas(1, 1)}, {1, Canvas(1, 1)}}, &error))
        << error;
}

} // namespace
} // namespace k729::art
