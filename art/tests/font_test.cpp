// The pixel font: widths the gauges centre their words with, and glyphs
// landing where textWidth says.
#include "test_support.h"

namespace k729::art {
namespace {

constexpr Rgb kInk{255, 255, 255};

struct Box {
    int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1; // right, bottom: exclusive
};
Box inked(const Canvas& c) {
    Box box;
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x)
            if (c.at(x, y) == kInk) {
                box.left = std::min(box.left, x), box.right = std::max(box.right, x + 1);
                box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y + 1);
            }
    return box;
}

TEST(Font, WidthIsCellsAndGapsWithoutATrailingGap) {
    const struct {
        const char* text;
        int scale, width;
    } cases[] = {
        {"", 1, 0},        {"", 4, 0},       {"A", 1, 5},      {"AB", 1, 11},
        {"STALL", 5, 145}, {"CAUTN", 2, 58}, {"A B", 1, 17},   {"AB", 0, 11},
        {"AB", -3, 11},    {"OVER", 1, 23},  {"SPEED", 1, 29},
    };
    for (const auto& c : cases)
        EXPECT_EQ(textWidth(c.text, c.scale), c.width) << '"' << c.text << "\" x" << c.scale;
}

TEST(Font, DrawnWordFillsExactlyItsMeasuredBox) {
    // W and G reach both sides and both the top and bottom rows of their cells.
    for (int scale : {1, 2, 3}) {
        Canvas c(80, 30);
        drawText(c, 3, 4, "WRNG", kInk, scale);
        const Box box = inked(c);
        EXPECT_EQ(box.left, 3);
        EXPECT_EQ(box.top, 4);
        EXPECT_EQ(box.right - box.left, textWidth("WRNG", scale)) << scale;
        EXPECT_EQ(box.bottom - box.top, kGlyphHeight * scale) << scale;
    }
}

TEST(Font, GlyphPixelsAtScale) {
    Canvas one(6, 7), two(12, 14);
    drawText(one, 0, 0, "T", kInk);
    drawText(two, 0, 0, "T", kInk, 2);
    const char* t[] = {"#####.", "..#...", "..#...", "..#...", "..#...", "..#...", "..#..."};
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool ink = t[y / 2][x / 2] == '#';
            EXPECT_EQ(two.at(x, y) == kInk, ink) << x << "," << y;
            if (x < 6 && y < 7) {
                EXPECT_EQ(one.at(x, y) == kInk, t[y][x] == '#') << x << "," << y;
            }
        }
}

TEST(Font, SmallLettersDrawAsCapitalsAndUnknownCharactersAsBlanks) {
    Canvas upper(40, 7), lower(40, 7), odd(40, 7), spaced(40, 7);
    drawText(upper, 0, 0, "GEN2", kInk);
    drawText(lower, 0, 0, "gen2", kInk);
    drawText(odd, 0, 0, "G~N2", kInk);
    drawText(spaced, 0, 0, "G N2", kInk);
    EXPECT_TRUE(testing::samePixels(upper, lower));
    EXPECT_TRUE(testing::samePixels(odd, spaced));
    EXPECT_FALSE(testing::samePixels(upper, spaced));
}

} // namespace
} // namespace k729::art
