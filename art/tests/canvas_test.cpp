// The primitives where a slip would show: clipping at the borders (a write
// past a row's end lands in the next row), the fill rule on shared edges, and
// the shape of the glow and the turn.
#include <cmath>
#include <functional>
#include <set>

#include "test_support.h"

namespace k729::art {
namespace {

constexpr Rgb kInk{255, 255, 255};

// The canvas as rows of '#' (ink) and '.' (anything else).
std::vector<std::string> mask(const Canvas& c) {
    std::vector<std::string> rows;
    for (int y = 0; y < c.height(); ++y) {
        std::string row;
        for (int x = 0; x < c.width(); ++x)
            row += c.at(x, y) == kInk ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

struct ClipCase {
    const char* what;
    std::function<void(Canvas&)> draw;
    std::vector<std::string> expected; // on a 5x4 canvas
};

TEST(Canvas, PrimitivesClipAtEveryBorderWithoutWrappingIntoOtherRows) {
    const ClipCase cases[] = {
        {"rect over the left edge",
         [](Canvas& c) { c.fillRect(-3, 1, 4, 2, kInk); },
         {".....", "#....", "#....", "....."}},
        {"rect over the right edge",
         [](Canvas& c) { c.fillRect(4, 1, 9, 1, kInk); },
         {".....", "....#", ".....", "....."}},
        {"rect over all edges",
         [](Canvas& c) { c.fillRect(-100, -100, 1000, 1000, kInk); },
         {"#####", "#####", "#####", "#####"}},
        {"rect with extreme extent",
         [](Canvas& c) { c.fillRect(3, 3, 2147483647, 2147483647, kInk); },
         {".....", ".....", ".....", "...##"}},
        {"frame larger than the canvas",
         [](Canvas& c) { c.frameRect(-1, -1, 7, 6, 2, kInk); },
         {"#####", "#...#", "#...#", "#####"}},
        {"line leaving at the right",
         [](Canvas& c) { c.line(2, 0, 8, 6, kInk); },
         {"..#..", "...#.", "....#", "....."}},
        {"thick line along the top",
         [](Canvas& c) { c.line(-2, 0, 8, 0, kInk, 3); },
         {"#####", "#####", ".....", "....."}},
        {"circle centred on the corner",
         [](Canvas& c) { c.fillCircle(5.0, 4.0, 1.6, kInk); },
         {".....", ".....", "....#", "...##"}},
        {"triangle hanging off the left",
         [](Canvas& c) {
             c.fillPolygon({{-4.0, 0.0}, {4.0, 2.0}, {-4.0, 4.0}}, kInk);
         },
         {".....", "##...", "##...", "....."}},
        {"text running off the right",
         [](Canvas& c) { drawText(c, 1, 0, "LL", kInk); },
         {".#...", ".#...", ".#...", ".#..."}},
        {"text starting above and left of the canvas",
         [](Canvas& c) { drawText(c, -2, -10, "L", kInk, 2); },
         {".....", ".....", "#####", "#####"}},
        {"shapes far outside",
         [](Canvas& c) {
             c.fillCircle(-1e6, 2.0, 10.0, kInk);
             c.fillPolygon({{1e12, 0.0}, {1e12, 1.0}, {0.0, 1e12}}, kInk);
             c.fillCircle(std::nan(""), 1.0, 3.0, kInk);
         },
         {".....", ".....", ".....", "....."}},
    };
    for (const ClipCase& test : cases) {
        Canvas c(5, 4);
        test.draw(c);
        EXPECT_EQ(mask(c), test.expected) << test.what;
    }
}

TEST(Canvas, ShapesSharingAnEdgeCoverEachPixelExactlyOnce) {
    // The cuts run exactly through pixel centres, where a wrong rule fills
    // a pixel twice or not at all: a rectangle cut along its diagonal, one
    // cut in four, and one cut off-centre.
    using Piece = std::vector<std::pair<double, double>>;
    const std::vector<Piece> pieces[] = {
        {{{0.5, 0.5}, {8.5, 0.5}, {8.5, 4.5}}, {{0.5, 0.5}, {8.5, 4.5}, {0.5, 4.5}}},
        {{{0.0, 0.0}, {4.5, 0.0}, {4.5, 2.5}, {0.0, 2.5}},
         {{4.5, 0.0}, {9.0, 0.0}, {9.0, 2.5}, {4.5, 2.5}},
         {{0.0, 2.5}, {4.5, 2.5}, {4.5, 6.0}, {0.0, 6.0}},
         {{4.5, 2.5}, {9.0, 2.5}, {9.0, 6.0}, {4.5, 6.0}}},
        {{{0.2, 0.2}, {6.3, 0.2}, {2.5, 5.8}, {0.2, 5.8}},
         {{6.3, 0.2}, {8.7, 0.2}, {8.7, 5.8}, {2.5, 5.8}}},
    };
    for (const auto& shape : pieces) {
        std::vector<int> hits(9 * 6, 0);
        for (const auto& piece : shape) {
            Canvas c(9, 6);
            c.fillPolygon(piece, kInk);
            for (int y = 0; y < 6; ++y)
                for (int x = 0; x < 9; ++x)
                    hits[y * 9 + x] += c.at(x, y) == kInk;
        }
        Canvas whole(9, 6);
        std::vector<std::pair<double, double>> outline;
        double left = 1e9, top = 1e9, right = -1e9, bottom = -1e9;
        for (const auto& piece : shape)
            for (const auto& [x, y] : piece) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        whole.fillPolygon({{left, top}, {right, top}, {right, bottom}, {left, bottom}}, kInk);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 9; ++x)
                EXPECT_EQ(hits[y * 9 + x], whole.at(x, y) == kInk ? 1 : 0)
                    << "pixel " << x << "," << y;
    }
}

TEST(Canvas, PolygonFillsPixelsWhoseCentresAreInside) {
    Canvas c(6, 5);
    c.fillPolygon({{1.0, 1.0}, {4.0, 1.0}, {4.0, 3.0}, {1.0, 3.0}}, kInk);
    EXPECT_EQ(mask(c),
              (std::vector<std::string>{"......", ".###..", ".###..", "......", "......"}));
    // Centres exactly on the left and top edges count, on the right and bottom do not.
    Canvas d(6, 5);
    d.fillPolygon({{0.5, 0.5}, {3.5, 0.5}, {3.5, 2.5}, {0.5, 2.5}}, kInk);
    EXPECT_EQ(mask(d),
              (std::vector<std::string>{"###...", "###...", "......", "......", "......"}));
    // Even-odd: a square with a square hole.
    Canvas e(6, 5);
    e.fillPolygon({{0, 0}, {5, 0}, {5, 5}, {0, 5}, {0, 0}, {1, 1}, {1, 4}, {4, 4}, {4, 1}, {1, 1}},
                  kInk);
    EXPECT_EQ(mask(e),
              (std::vector<std::string>{"#####.", "#...#.", "#...#.", "#...#.", "#####."}));
}

TEST(Canvas, CircleIsSymmetricAboutItsCentre) {
    Canvas c(11, 11);
    c.fillCircle(5.5, 5.5, 4.2, kInk);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 11; ++x) {
            EXPECT_EQ(c.at(x, y), c.at(10 - x, y));
            EXPECT_EQ(c.at(x, y), c.at(y, x));
        }
    EXPECT_EQ(mask(c)[5], ".#########.");
    EXPECT_EQ(mask(c)[1], "....###....");
}

TEST(Canvas, GlowRunsFromEdgeColourToMiddleColourInBands) {
    const Rgb edge{100, 0, 0}, middle{200, 250, 0};
    Canvas c(30, 12);
    c.fillGlow(1, 1, 28, 10, edge, middle, 4);
    EXPECT_EQ(c.at(0, 0), kTransparent); // outside the rectangle
    EXPECT_EQ(c.at(1, 1), edge);
    EXPECT_EQ(c.at(28, 10), edge);
    EXPECT_EQ(c.at(15, 6), middle);
    std::set<std::tuple<int, int, int>> colours;
    for (int y = 1; y < 11; ++y)
        for (int x = 1; x < 29; ++x)
            colours.insert({c.at(x, y).r, c.at(x, y).g, c.at(x, y).b});
    EXPECT_EQ(colours.size(), 4u);
    // Brighter towards the middle along the centre row.
    for (int x = 2; x <= 15; ++x)
        EXPECT_GE(c.at(x, 6).g, c.at(x - 1, 6).g) << x;
}

TEST(Rotation, TurnsClockwiseWithoutNewColours) {
    Canvas bar(40, 21);
    bar.fillRect(0, 10, 40, 1, kInk);
    bar.set(20, 10, Rgb{9, 9, 9});
    EXPECT_TRUE(testing::samePixels(rotated(bar, 0.0), bar));
    EXPECT_TRUE(testing::samePixels(rotated(bar, std::nan("")), bar));
    EXPECT_TRUE(testing::samePixels(rotated(bar, 60.0), bar));

    const Canvas turned = rotated(bar, 5.0);
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 40; ++x) {
            const Rgb p = turned.at(x, y);
            EXPECT_TRUE(p == kInk || p == kTransparent || p == (Rgb{9, 9, 9})) << x << "," << y;
        }
    // Clockwise on screen: 17.5 pixels from the centre the bar drops (or
    // rises) by 17.5 tan 5 degrees, about 2 rows; the centre stays.
    auto rowOf = [&](int x) {
        int found = -1;
        for (int y = 0; y < 21; ++y)
            if (turned.at(x, y) != kTransparent) {
                EXPECT_EQ(found, -1) << "the bar is one pixel thick at x " << x;
                found = y;
            }
        return found;
    };
    EXPECT_EQ(turned.at(20, 10), (Rgb{9, 9, 9}));
    EXPECT_EQ(rowOf(37), 12);
    EXPECT_EQ(rowOf(2), 8);
}

} // namespace
} // namespace k729::art
