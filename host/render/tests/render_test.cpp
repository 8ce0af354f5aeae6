// Each kind of element drawn on a small gauge made here, checked pixel by
// pixel (see support.h for how pictures are written as text).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

#include "support.h"

namespace k729::render {
namespace {

using testing::art;
using testing::grid;
using testing::Pixel;
using testing::pixelAt;
using testing::pixelsOf;
using testing::render;
using Grid = std::vector<std::string>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

Element base(ElementKind kind, std::int32_t id, Point at, Point centre = {0, 0}) {
    return elementBase(kind, id, at, nullptr, nullptr, centre);
}

DrawItem item(const Element& e, double v0 = 0, double v1 = 0, double v2 = 0) {
    return DrawItem{&e, {v0, v1, v2}, {}};
}

// A w x h grid of '.' with `text` at (x, y).
Grid at(int w, int h, int x, int y, const std::string& text) {
    Grid g(static_cast<std::size_t>(h), std::string(static_cast<std::size_t>(w), '.'));
    g[static_cast<std::size_t>(y)].replace(static_cast<std::size_t>(x), text.size(), text);
    return g;
}

TEST(StaticImage, DrawsInOrderWithPureBlackTransparent) {
    PictureMap bitmaps;
    bitmaps.add(1, art({"AAAA", "AAAA", "AAAA"}));
    bitmaps.add(2, art({"B.", ".B"}));
    const StaticImage under{base(ElementKind::StaticImage, 1, {0, 0})};
    const StaticImage over{base(ElementKind::StaticImage, 2, {1, 1})};
    // Black shows what is beneath; nothing beneath the gauge's pictures.
    EXPECT_EQ(grid(render({item(under.base), item(over.base)}, bitmaps, 5, 4).surface.get()),
              (Grid{"AAAA.", "ABAA.", "AABA.", "....."}));
    // Later elements are drawn above earlier ones.
    EXPECT_EQ(grid(render({item(over.base), item(under.base)}, bitmaps, 5, 4).surface.get()),
              (Grid{"AAAA.", "AAAA.", "AAAA.", "....."}));
}

TEST(HiddenFlag, SkipsTheElementButNotItsChildren) {
    PictureMap bitmaps;
    bitmaps.add(1, art({"AAA", "AAA"}));
    bitmaps.add(2, art({"BBB"}));
    bitmaps.add(3, art({"C"}));
    const StaticImage root{base(ElementKind::StaticImage, 1, {0, 0})};
    StaticImage hidden{base(ElementKind::StaticImage, 2, {0, 0})};
    const StaticImage child{base(ElementKind::StaticImage, 3, {1, 1})};
    setHidden(hidden.base, true);
    const std::vector<DrawItem> items = {item(root.base), item(hidden.base), item(child.base)};
    for (bool night : {false, true}) {
        DrawOptions options;
        options.night = night;
        options.nightBrightness = 1.0;
        EXPECT_EQ(grid(render(items, bitmaps, 3, 2, options).surface.get()), (Grid{"AAA", "ACA"}))
            << "night " << night;
    }
    setHidden(hidden.base, false);
    EXPECT_EQ(grid(render(items, bitmaps, 3, 2).surface.get()), (Grid{"BBB", "ACA"}));
}

TEST(Icon, ShowsImageOneOnlyForExactlyOne) {
    PictureMap bitmaps;
    bitmaps.add(20, art({"A"}));
    bitmaps.add(21, art({"B"}));
    const Icon icon{.base = base(ElementKind::Icon, 20, {0, 0}),
                    .sourceVar = {},
                    .switchMode = kIconSwitchMode,
                    .imageCount = kIconImageCount,
                    .callback = nullptr};
    const struct {
        double value;
        char shown;
    } cases[] = {{0, 'A'},  {1, 'B'},    {0.5, 'A'},  {2, 'A'},
                 {-1, 'A'}, {kNaN, 'A'}, {kInf, 'A'}, {1 + 1e-15, 'A'}};
    for (const auto& c : cases)
        EXPECT_EQ(grid(render({item(icon.base, c.value)}, bitmaps, 1, 1).surface.get()),
                  Grid{std::string(1, c.shown)})
            << c.value;

    // Without image 1 the icon keeps image 0, and says so.
    PictureMap single;
    single.add(20, art({"A"}));
    Rendering r = render({item(icon.base, 1)}, single, 1, 1);
    EXPECT_EQ(grid(r.surface.get()), Grid{"A"});
    EXPECT_EQ(
        r.report.problems,
        std::vector<std::string>{"element 0 (Icon): bitmap 21 is missing; image 0 shows instead"});
}

TEST(Slider, MovesByValueTimesScaleInWholePixels) {
    PictureMap bitmaps;
    bitmaps.add(5, art({"AB"}));
    const Slider slider{.base = base(ElementKind::Slider, 5, {2, 2}),
                        .sourceVarX = {},
                        .scaleX = 2.0,
                        .sourceVarY = {},
                        .scaleY = -1.0,
                        .callbackX = nullptr,
                        .callbackY = nullptr};
    const struct {
        double x, y;
        Grid expected;
    } cases[] = {
        {0, 0, at(8, 6, 2, 2, "AB")},    {1, 0, at(8, 6, 4, 2, "AB")},
        {0, 1, at(8, 6, 2, 1, "AB")},    {-1, -2, at(8, 6, 0, 4, "AB")},
        {0.3, 0, at(8, 6, 3, 2, "AB")},  // 0.6 pixels round to 1
        {0.2, 0, at(8, 6, 2, 2, "AB")},  // 0.4 to 0
        {1.25, 0, at(8, 6, 5, 2, "AB")}, // halves round away from zero
    };
    for (const auto& c : cases)
        EXPECT_EQ(grid(render({item(slider.base, c.x, c.y)}, bitmaps, 8, 6).surface.get()),
                  c.expected)
            << c.x << ", " << c.y;
}

TEST(MovingImage, ShowsThePartOfThePictureTheValueSelects) {
    PictureMap bitmaps;
    // The mask: a 2x2 window, a fixed symbol, a pixel where nothing shows.
    bitmaps.add(31, art({"++S", "++."}));
    bitmaps.add(30, art({"aaa", "bbb", "ccc", "ddd", "eee", "fff"}));
    auto image = [](double minY, double maxY) {
        return MovingImage{.base = base(ElementKind::MovingImage, 30, {1, 1}),
                           .sourceVarX = {},
                           .minX = 0,
                           .maxX = 10,
                           .sourceVarY = {},
                           .minY = minY,
                           .maxY = maxY,
                           .callbackX = nullptr,
                           .callbackY = nullptr};
    };
    auto rows = [](char top, char bottom) {
        return Grid{".....", std::string(".") + top + top + "S.",
                    std::string(".") + bottom + bottom + "..", "....."};
    };
    const struct {
        double minY, maxY, y;
        Grid expected;
    } cases[] = {
        {0, 100, 0, rows('a', 'b')},   // min: the top of the picture
        {0, 100, 100, rows('e', 'f')}, // max: the bottom
        {0, 100, 50, rows('c', 'd')},  // half of the 4-pixel travel
        {0, 100, 25, rows('b', 'c')},
        {0, 100, 150, rows('e', 'f')}, // held beyond the ends
        {0, 100, -10, rows('a', 'b')},
        {100, 0, 100, rows('a', 'b')}, // a reversed axis: min is still the top
        {100, 0, 0, rows('e', 'f')},
        {5, 5, 7, rows('a', 'b')}, // no range: the min end
    };
    for (const auto& c : cases) {
        const MovingImage e = image(c.minY, c.maxY);
        // x: the picture is as wide as the mask, so it cannot move sideways.
        EXPECT_EQ(grid(render({item(e.base, 10, c.y)}, bitmaps, 5, 4).surface.get()), c.expected)
            << c.minY << ".." << c.maxY << " at " << c.y;
    }
}

TEST(MovingImage, MovesSidewaysTheSameWay) {
    PictureMap bitmaps;
    bitmaps.add(31, art({"++"}));
    bitmaps.add(30, art({"abcd"}));
    const MovingImage image{.base = base(ElementKind::MovingImage, 30, {0, 0}),
                            .sourceVarX = {},
                            .minX = 0,
                            .maxX = 2,
                            .sourceVarY = {},
                            .minY = 0,
                            .maxY = 0,
                            .callbackX = nullptr,
                            .callbackY = nullptr};
    const struct {
        double x;
        const char* shown;
    } cases[] = {{0, "ab"}, {1, "bc"}, {2, "cd"}, {9, "cd"}, {-9, "ab"}};
    for (const auto& c : cases)
        EXPECT_EQ(grid(render({item(image.base, c.x)}, bitmaps, 2, 1).surface.get()), Grid{c.shown})
            << c.x;
}

// The sprite's mask frame (6x6 at (1, 1)) inside the 7x7 gauge.
Grid framed(const Grid& inner) {
    Grid g{"......."};
    for (const std::string& row : inner)
        g.push_back("." + row);
    return g;
}

TEST(Sprite, ShiftsInTheTexturesFrameThenTurnsCounterClockwise) {
    PictureMap bitmaps;
    bitmaps.add(11, art({"S+++++", "++++++", "++++++", "++++++", "++++++", "+++++."}));
    bitmaps.add(10, art({"AB", "CD"}));
    const struct {
        const char* what;
        double x, y, rot, scaleX, scaleRot;
        Grid expected; // in the mask's frame
    } cases[] = {
        {"at rest: the middle on the centre",
         0,
         0,
         0,
         1,
         90,
         {"S.....", "......", "..AB..", "..CD..", "......", "......"}},
        {"a quarter turn",
         0,
         0,
         1,
         1,
         90,
         {"S.....", "......", "..BD..", "..AC..", "......", "......"}},
        {"a half turn",
         0,
         0,
         2,
         1,
         90,
         {"S.....", "......", "..DC..", "..BA..", "......", "......"}},
        {"a negative turn is clockwise",
         0,
         0,
         -1,
         1,
         90,
         {"S.....", "......", "..CA..", "..DB..", "......", "......"}},
        {"five quarters equal one",
         0,
         0,
         5,
         1,
         90,
         {"S.....", "......", "..BD..", "..AC..", "......", "......"}},
        {"degrees are rot times scaleRot",
         0,
         0,
         2,
         1,
         45,
         {"S.....", "......", "..BD..", "..AC..", "......", "......"}},
        {"shift along x",
         2,
         0,
         0,
         1,
         90,
         {"S.....", "......", "....AB", "....CD", "......", "......"}},
        {"shift is value times scaleX",
         1,
         0,
         0,
         2,
         90,
         {"S.....", "......", "....AB", "....CD", "......", "......"}},
        {"x shift, then turned: it moves up",
         2,
         0,
         1,
         1,
         90,
         {"S.BD..", "..AC..", "......", "......", "......", "......"}},
        {"y shift, then turned: it moves right",
         0,
         1,
         1,
         1,
         90,
         {"S.....", "......", "...BD.", "...AC.", "......", "......"}},
        {"the mask clips",
         2,
         2,
         0,
         1,
         90,
         {"S.....", "......", "......", "......", "....AB", "....C."}},
        {"symbols are drawn over the texture",
         -2,
         -2,
         0,
         1,
         90,
         {"SB....", "CD....", "......", "......", "......", "......"}},
    };
    for (const auto& c : cases) {
        const Sprite sprite{.base = base(ElementKind::Sprite, 10, {1, 1}, {3, 3}),
                            .sourceVarX = {},
                            .scaleX = c.scaleX,
                            .sourceVarY = {},
                            .scaleY = 1.0,
                            .sourceVarRot = {},
                            .scaleRot = c.scaleRot,
                            .textureScale = {1, 1},
                            .callbackX = nullptr,
                            .callbackY = nullptr,
                            .callbackRot = nullptr};
        Rendering r = render({item(sprite.base, c.x, c.y, c.rot)}, bitmaps, 7, 7);
        EXPECT_EQ(grid(r.surface.get()), framed(c.expected)) << c.what;
        EXPECT_TRUE(r.report.problems.empty()) << c.what;
    }
}

TEST(Sprite, WithoutAMaskTheTextureIsUnclipped) {
    PictureMap bitmaps;
    bitmaps.add(10, art({"AB", "CD"}));
    const Sprite sprite{.base = base(ElementKind::Sprite, 10, {0, 0}, {1, 1})};
    Rendering r = render({item(sprite.base)}, bitmaps, 2, 2);
    EXPECT_EQ(grid(r.surface.get()), (Grid{"AB", "CD"}));
    EXPECT_EQ(r.report.problems,
              std::vector<std::string>{
                  "element 0 (Sprite): mask bitmap 11 is missing; the texture is drawn unclipped"});
}

Needle needleOf(Point position, Point centre, const NonlinearityPoint* table, std::uint32_t count) {
    return Needle{.base = base(ElementKind::Needle, 40, position, centre),
                  .sourceVar = {},
                  .nonlinearity = table,
                  .pointCount = count,
                  .callback = nullptr};
}

TEST(Needle, PivotsOnItsPositionAndClampsToTheTablesEnds) {
    PictureMap bitmaps;
    bitmaps.add(40, art({"ABCD", "EFGH"}));
    // Unsorted: right, left, up, down from the position (4, 4).
    const NonlinearityPoint table[] = {
        {8, 4, 0.0, 0}, {0, 4, 2.0, 0}, {4, 0, 3.0, 0}, {4, 8, 1.0, 0}};
    const Needle needle = needleOf({4, 4}, {0, 1}, table, 4);
    const Grid right{".........", ".........", ".........", "....ABCD.", "....EFGH.",
                     ".........", ".........", ".........", "........."};
    const Grid down{".........", ".........", ".........", ".........", "...EA....",
                    "...FB....", "...GC....", "...HD....", "........."};
    const Grid left{".........", ".........", ".........", "HGFE.....", "DCBA.....",
                    ".........", ".........", ".........", "........."};
    const Grid up{"...DH....", "...CG....", "...BF....", "...AE....", ".........",
                  ".........", ".........", ".........", "........."};
    const struct {
        double value;
        const Grid& expected;
    } cases[] = {{0, right}, {1, down}, {2, left}, {3, up}, {-1, right}, {50, up}};
    for (const auto& c : cases)
        EXPECT_EQ(grid(render({item(needle.base, c.value)}, bitmaps, 9, 9).surface.get()),
                  c.expected)
            << c.value;
}

// The direction a long needle points in, from the middle of what it drew.
double measuredDirection(const Needle& needle, const BitmapSource& bitmaps, double value) {
    Rendering r = render({item(needle.base, value)}, bitmaps, 41, 41);
    double sx = 0, sy = 0;
    for (int y = 0; y < 41; ++y)
        for (int x = 0; x < 41; ++x) {
            const double a = pixelAt(r.surface.get(), x, y).a;
            sx += a * (x + 0.5 - 20);
            sy += a * (y + 0.5 - 20);
        }
    return std::atan2(sy, sx) * 180 / std::numbers::pi;
}

double angleDifference(double a, double b) {
    double d = std::fmod(a - b, 360.0);
    if (d > 180) d -= 360;
    if (d < -180) d += 360;
    return std::fabs(d);
}

TEST(Needle, InterpolatesTheAngleBetweenNeighbouringPoints) {
    PictureMap bitmaps;
    bitmaps.add(40, art({"AAAAAAAAAAAAAAAA", "AAAAAAAAAAAAAAAA"}));
    // Unsorted, with a point whose value is not a number (ignored).
    const NonlinearityPoint table[] = {{20, 40, 50, 0}, {40, 20, 0, 0},  {0, 0, kNaN, 0},
                                       {0, 20, 100, 0}, {20, 0, 150, 0}, {40, 0, 200, 0}};
    const Needle needle = needleOf({20, 20}, {0, 1}, table, 6);
    const struct {
        double value, degrees; // screen degrees, y down
    } cases[] = {
        {-5, 0},      {0, 0},      {25, 45},   {50, 90},
        {75, 135},    {125, -135}, // 180 to -90 goes the short way, through 225
        {175, -67.5}, {200, -45},  {1e6, -45}, {kNaN, 0},
        {kInf, 0},    {-kInf, 0},  {1e300, 0}, // at rest: value 0
    };
    for (const auto& c : cases)
        EXPECT_LT(angleDifference(measuredDirection(needle, bitmaps, c.value), c.degrees), 1.5)
            << c.value;

    // Points half a turn apart: the difference counts as +180.
    const NonlinearityPoint half[] = {{40, 20, 0, 0}, {0, 20, 100, 0}};
    EXPECT_LT(
        angleDifference(measuredDirection(needleOf({20, 20}, {0, 1}, half, 2), bitmaps, 50), 90),
        1.5);
    // No table: along +x.
    EXPECT_LT(
        angleDifference(measuredDirection(needleOf({20, 20}, {0, 1}, nullptr, 9), bitmaps, 50), 0),
        1.5);
}

TEST(Values, UnusableValuesDrawTheElementAtRest) {
    PictureMap bitmaps;
    bitmaps.add(1, art({"AB", "CD"}));
    bitmaps.add(2, art({"EF", "GH"}));
    bitmaps.add(11, art({"++++", "++++", "++++", "++++"}));
    bitmaps.add(10, art({"AB", "CD"}));
    bitmaps.add(31, art({"++", "++"}));
    bitmaps.add(30, art({"AB", "CD", "EF", "GH"}));
    bitmaps.add(40, art({"ABCD", "EFGH"}));
    const NonlinearityPoint table[] = {{9, 4, 0, 0}, {4, 9, 1, 0}};
    const Slider slider{.base = base(ElementKind::Slider, 1, {3, 3}), .scaleX = 1, .scaleY = 1};
    const Slider hugeScale{
        .base = base(ElementKind::Slider, 1, {3, 3}), .scaleX = 1e300, .scaleY = kNaN};
    const Sprite sprite{.base = base(ElementKind::Sprite, 10, {2, 2}, {2, 2}),
                        .scaleX = 1,
                        .scaleY = 1,
                        .scaleRot = 90};
    const Sprite hugeTurn{.base = base(ElementKind::Sprite, 10, {2, 2}, {2, 2}),
                          .scaleX = 1,
                          .scaleY = 1,
                          .scaleRot = 1e300};
    const MovingImage moving{.base = base(ElementKind::MovingImage, 30, {2, 2}),
                             .minX = -1,
                             .maxX = 1,
                             .minY = -1,
                             .maxY = 1};
    const Needle needle = needleOf({4, 4}, {0, 1}, table, 2);
    const Icon icon{.base = base(ElementKind::Icon, 1, {1, 1})};

    const struct {
        const char* what;
        const Element& element;
    } elements[] = {{"slider", slider.base},
                    {"slider with huge scales", hugeScale.base},
                    {"sprite", sprite.base},
                    {"sprite with a huge turn scale", hugeTurn.base},
                    {"moving image", moving.base},
                    {"needle", needle.base},
                    {"icon", icon.base}};
    for (const auto& e : elements) {
        const auto rest = pixelsOf(render({item(e.element)}, bitmaps, 10, 10).surface.get());
        for (double bad : {kNaN, kInf, -kInf, 1e300, -1e300, 2e9}) {
            Rendering r = render({item(e.element, bad, bad, bad)}, bitmaps, 10, 10);
            EXPECT_EQ(pixelsOf(r.surface.get()), rest) << e.what << " at " << bad;
            EXPECT_EQ(r.report.problems, std::vector<std::string>{}) << e.what;
        }
    }
    // The huge scales alone, with an ordinary value.
    EXPECT_EQ(pixelsOf(render({item(hugeScale.base, 1, 1)}, bitmaps, 10, 10).surface.get()),
              pixelsOf(render({item(hugeScale.base)}, bitmaps, 10, 10).surface.get()));
    EXPECT_EQ(pixelsOf(render({item(hugeTurn.base, 0, 0, 1)}, bitmaps, 10, 10).surface.get()),
              pixelsOf(render({item(hugeTurn.base)}, bitmaps, 10, 10).surface.get()));
}

TEST(Night, DimsElementsWithoutTheBrightFlag) {
    PictureMap bitmaps;
    bitmaps.add(1, art({"A."}));
    bitmaps.add(2, art({"B"}));
    const StaticImage dark{base(ElementKind::StaticImage, 1, {0, 0})};
    StaticImage bright{base(ElementKind::StaticImage, 2, {2, 0})};
    markBright(bright.base);
    const Pixel a{'A', 100, 200, 255}, b{'B', 100, 200, 255}, none{0, 0, 0, 0};
    const struct {
        bool night;
        double brightness;
        Pixel dimmed;
    } cases[] = {
        {false, 0.5, a},
        {true, 0.5, {'A' / 2, 50, 100, 255}},
        {true, 0.0, {0, 0, 0, 255}},     // still covers what is beneath
        {true, kNaN, {23, 35, 70, 255}}, // the default, 0.35
    };
    for (const auto& c : cases) {
        DrawOptions options;
        options.night = c.night;
        options.nightBrightness = c.brightness;
        Rendering r = render({item(dark.base), item(bright.base)}, bitmaps, 3, 1, options);
        const Pixel got = pixelAt(r.surface.get(), 0, 0);
        EXPECT_NEAR(got.r, c.dimmed.r, 1) << c.night << " " << c.brightness;
        EXPECT_NEAR(got.g, c.dimmed.g, 1) << c.night << " " << c.brightness;
        EXPECT_NEAR(got.b, c.dimmed.b, 1) << c.night << " " << c.brightness;
        EXPECT_EQ(got.a, 255);
        EXPECT_EQ(pixelAt(r.surface.get(), 1, 0), none) << "transparent stays transparent";
        EXPECT_EQ(pixelAt(r.surface.get(), 2, 0), b) << "bright elements are not dimmed";
    }
}

TEST(Output, ScalesWholePixelsOverTheBackground) {
    PictureMap bitmaps;
    bitmaps.add(1, art({"AB", "C."}));
    const StaticImage image{base(ElementKind::StaticImage, 1, {0, 0})};
    DrawOptions options;
    options.scale = 3;
    options.background = {0, 0, 1, 1};
    Rendering r = renderGauge(std::vector{item(image.base)}, bitmaps, options);
    ASSERT_EQ(cairo_image_surface_get_width(r.surface.get()), 6);
    ASSERT_EQ(cairo_image_surface_get_height(r.surface.get()), 6);
    const Pixel blue{0, 0, 255, 255};
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            const char expected = "ABC."[(y / 3) * 2 + x / 3];
            const Pixel got = pixelAt(r.surface.get(), x, y);
            if (expected == '.') {
                EXPECT_EQ(got, blue) << x << "," << y;
            } else {
                EXPECT_EQ(testing::charOf(got), expected) << x << "," << y;
            }
        }
}

TEST(Output, DrawsOntoASurfaceAtAnOffsetAndLeavesTheRest) {
    PictureMap bitmaps;
    bitmaps.add(1, art({"A.", "BC"}));
    const StaticImage image{base(ElementKind::StaticImage, 1, {0, 0})};
    Surface target(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8));
    cairo_t* cr = cairo_create(target.get());
    const Rgb z = testing::colourOf('Z');
    cairo_set_source_rgb(cr, z.r / 255.0, z.g / 255.0, z.b / 255.0);
    cairo_paint(cr);
    cairo_destroy(cr);
    DrawOptions options;
    options.scale = 2;
    const std::vector items{item(image.base)};
    DrawReport report = drawGauge(target.get(), items, bitmaps, 3, 2, options);
    EXPECT_TRUE(report.problems.empty());
    EXPECT_EQ(grid(target.get()), (Grid{"ZZZZZZZZ", "ZZZZZZZZ", "ZZZAAZZZ", "ZZZAAZZZ", "ZZZBBCCZ",
                                        "ZZZBBCCZ", "ZZZZZZZZ", "ZZZZZZZZ"}));
}

TEST(Output, GaugeExtentCoversTheElementsAtRest) {
    PictureMap bitmaps;
    bitmaps.add(1, art({"AAAA", "AAAA", "AAAA", "AAAA"}));
    bitmaps.add(40, art({"AAAA", "AAAA"}));
    const StaticImage image{base(ElementKind::StaticImage, 1, {2, 3})};
    const Needle needle = needleOf({20, 20}, {0, 1}, nullptr, 0);
    StringElement text{};
    text.base = base(ElementKind::StringElement, kNoBitmap, {30, 1});
    text.boxSize = {5, 2};
    const StaticImage far{base(ElementKind::StaticImage, 1, {kMaxCoordinate + 1, 0})};
    const StaticImage missing{base(ElementKind::StaticImage, 99, {50, 50})};
    const struct {
        const char* what;
        std::vector<DrawItem> items;
        Extent expected;
    } cases[] = {
        {"nothing", {}, {0, 0}},
        {"a picture", {item(image.base)}, {6, 7}},
        {"a needle sweeps a circle", {item(needle.base)}, {25, 25}}, // radius 4.12
        {"a text box", {item(text.base)}, {35, 3}},
        {"all", {item(image.base), item(needle.base), item(text.base)}, {35, 25}},
        {"out of range or missing", {item(far.base), item(missing.base)}, {0, 0}},
    };
    for (const auto& c : cases) {
        const Extent got = gaugeExtent(c.items, bitmaps);
        EXPECT_EQ(got.w, c.expected.w) << c.what;
        EXPECT_EQ(got.h, c.expected.h) << c.what;
    }
}

TEST(Output, ReportsWhatCannotBeDrawn) {
    PictureMap bitmaps;
    const StaticImage missing{base(ElementKind::StaticImage, 99, {0, 0})};
    Element odd = base(ElementKind::StaticImage, 1, {0, 0});
    odd.kind = static_cast<ElementKind>(42);
    const StaticImage far{base(ElementKind::StaticImage, 1, {0, -kMaxCoordinate - 1})};
    const std::vector<DrawItem> items = {item(missing.base), item(odd), DrawItem{}, item(far.base),
                                         item(missing.base)};
    Rendering r = render(items, bitmaps, 2, 2);
    EXPECT_EQ(r.report.problems,
              (std::vector<std::string>{
                  "element 0 (StaticImage): bitmap 99 is missing",
                  "element 1 (unknown kind): kind 42 is not drawable",
                  "item 2 has no element",
                  "element 3 (StaticImage): position or centre beyond the drawable range",
                  "element 4 (StaticImage): bitmap 99 is missing",
              }));
}

TEST(Output, WritesAPngWithAlpha) {
    PictureMap bitmaps;
    bitmaps.add(1, art({"A.", "BC"}));
    const StaticImage image{base(ElementKind::StaticImage, 1, {0, 0})};
    Rendering r = render({item(image.base)}, bitmaps, 2, 2);
    const std::string path = ::testing::TempDir() + "render_test_output.png";
    std::string error;
    ASSERT_TRUE(writePng(r.surface.get(), path, &error)) << error;
    Surface back(cairo_image_surface_create_from_png(path.c_str()));
    ASSERT_EQ(cairo_surface_status(back.get()), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(pixelsOf(back.get()), pixelsOf(r.surface.get()));
    std::remove(path.c_str());

    EXPECT_FALSE(writePng(r.surface.get(), "/nonexistent/folder/out.png", &error));
    EXPECT_NE(error.find("cannot write /nonexistent/folder/out.png"), std::string::npos) << error;
}

} // namespace
} // namespace k729::render
