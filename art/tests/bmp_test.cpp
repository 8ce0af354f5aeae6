// The BMP writer, byte by byte on pictures small enough to check by hand.
#include "test_support.h"

namespace k729::art {
namespace {

using testing::decodeBmp;
using testing::readFile;
using testing::u16;
using testing::u32;

constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};

std::vector<std::uint8_t> encode(const Canvas& picture) {
    std::vector<std::uint8_t> file;
    std::string error;
    EXPECT_TRUE(encodeBmp(picture, &file, &error)) << error;
    return file;
}

TEST(Bmp, ThreeByTwoPictureByteForByte) {
    Canvas picture(3, 2);
    picture.set(0, 0, kRed);
    picture.set(1, 0, kGreen);
    picture.set(2, 0, kBlue);
    picture.set(0, 1, kTransparent);
    picture.set(1, 1, kWhite);
    picture.set(2, 1, kRed);
    const std::vector<std::uint8_t> f = encode(picture);

    ASSERT_EQ(f.size(), 14u + 40u + 1024u + 2u * 4u);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(u32(f, 2), f.size());
    EXPECT_EQ(u32(f, 6), 0u);
    EXPECT_EQ(u32(f, 10), 1078u); // pixels follow the table
    EXPECT_EQ(u32(f, 14), 40u);   // BITMAPINFOHEADER
    EXPECT_EQ(u32(f, 18), 3u);
    EXPECT_EQ(u32(f, 22), 2u); // positive: bottom-up
    EXPECT_EQ(u16(f, 26), 1u);
    EXPECT_EQ(u16(f, 28), 8u);
    EXPECT_EQ(u32(f, 30), 0u); // uncompressed
    EXPECT_EQ(u32(f, 34), 8u); // two rows of 4 bytes
    EXPECT_EQ(u32(f, 46), 256u);
    EXPECT_EQ(u32(f, 50), 0u);

    // The table in ascending RGB order, blue-green-red-zero, then zeros.
    const std::uint8_t table[] = {0, 0, 0, 0, 255, 0, 0,   0,   0,   255,
                                  0, 0, 0, 0, 255, 0, 255, 255, 255, 0};
    for (std::size_t i = 0; i < 1024; ++i)
        EXPECT_EQ(f[54 + i], i < sizeof table ? table[i] : 0) << "table byte " << i;

    // Bottom row first: black, white, red; then red, green, blue; each padded.
    const std::uint8_t rows[] = {0, 4, 3, 0, 3, 2, 1, 0};
    for (std::size_t i = 0; i < sizeof rows; ++i)
        EXPECT_EQ(f[1078 + i], rows[i]) << i;
}

TEST(Bmp, RowsPadToFourBytesAndDecodeBackForEveryWidth) {
    for (int w = 1; w <= 9; ++w) {
        Canvas picture(w, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < w; ++x)
                picture.set(x, y,
                            Rgb{static_cast<std::uint8_t>(x * 20 + 1),
                                static_cast<std::uint8_t>(y * 70), 9});
        const std::vector<std::uint8_t> f = encode(picture);
        const std::size_t stride = static_cast<std::size_t>((w + 3) / 4 * 4);
        EXPECT_EQ(u32(f, 34), stride * 3) << w;
        EXPECT_EQ(f.size(), 1078 + stride * 3) << w;
        for (std::size_t row = 0; row < 3; ++row)
            for (std::size_t pad = static_cast<std::size_t>(w); pad < stride; ++pad)
                EXPECT_EQ(f[1078 + row * stride + pad], 0) << w;
        EXPECT_TRUE(testing::samePixels(decodeBmp(f), picture)) << w;
    }
}

TEST(Bmp, HoldsExactly256ColoursAndRefusesMore) {
    Canvas full(16, 16);
    for (int i = 0; i < 256; ++i)
        full.set(i % 16, i / 16, Rgb{static_cast<std::uint8_t>(i), 7, 200});
    const std::vector<std::uint8_t> f = encode(full);
    EXPECT_TRUE(testing::samePixels(decodeBmp(f), full));

    Canvas over(17, 16);
    for (int i = 0; i < 257; ++i)
        over.set(i % 17, i / 17,
                 Rgb{static_cast<std::uint8_t>(i % 256), static_cast<std::uint8_t>(i / 256), 0});
    std::vector<std::uint8_t> file;
    std::string error;
    EXPECT_FALSE(encodeBmp(over, &file, &error));
    EXPECT_NE(error.find("257"), std::string::npos) << error;

    EXPECT_FALSE(encodeBmp(Canvas(0, 5), &file, &error));
    EXPECT_FALSE(encodeBmp(Canvas(-3, 5), &file, &error));
}

TEST(Bmp, NearBlackStaysApartFromTransparentBlack) {
    Canvas picture(2, 1);
    picture.set(1, 0, Rgb{1, 1, 1});
    const std::vector<std::uint8_t> f = encode(picture);
    EXPECT_EQ(f[1078], 0); // pure black is entry 0 ...
    EXPECT_EQ(f[1079], 1); // ... and (1, 1, 1) its own entry
    EXPECT_EQ(f[58], 1);
    EXPECT_TRUE(testing::samePixels(decodeBmp(f), picture));
}

class BmpFile : public testing::ScratchFolder {};

TEST_F(BmpFile, WritesTheEncodingWholeAndLeavesNoTemporaryFile) {
    Canvas picture(5, 5, kBlue);
    const std::string path = (dir() / "a.bmp").string();
    std::string error;
    ASSERT_TRUE(writeBmp(path, Canvas(2, 2, kRed), &error)) << error;
    ASSERT_TRUE(writeBmp(path, picture, &error)) << error; // replaces
    EXPECT_EQ(readFile(path), encode(picture));
    EXPECT_EQ(testing::listing(dir()), std::vector<std::string>{"a.bmp"});

    Canvas tooMany(300, 1);
    for (int x = 0; x < 300; ++x)
        tooMany.set(x, 0, Rgb{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(x >> 8), 0});
    EXPECT_FALSE(writeBmp((dir() / "b.bmp").string(), tooMany, &error));
    EXPECT_FALSE(writeBmp((dir() / "missing" / "c.bmp").string(), picture, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(testing::listing(dir()), std::vector<std::string>{"a.bmp"});
}

} // namespace
} // namespace k729::art
