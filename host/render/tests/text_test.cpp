// Text elements: the project's fonts, the box, clipping and code page 1252.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "k729render/fonts.h"
#include "support.h"

namespace k729::render {
namespace {

using testing::art;
using testing::grid;
using testing::Pixel;
using testing::pixelAt;
using testing::pixelsOf;
using testing::render;

TEST(Fonts, NamesResolveToTheProjectsFaces) {
    std::string error;
    FontResolver* fonts = FontResolver::shared(&error);
    ASSERT_TRUE(fonts) << error;
    const struct {
        const char* name;
        std::uint32_t weight;
        const char* family;
        const char* style;
    } cases[] = {
        {"Times New Roman", 400, "Liberation Serif", "Regular"},
        {"Times New Roman", 0, "Liberation Serif", "Regular"},
        {"Times New Roman", 500, "Liberation Serif", "Regular"},
        {"Times New Roman", 600, "Liberation Serif", "Bold"},
        {"times new roman", 700, "Liberation Serif", "Bold"},
        {"Courier New", 400, "Liberation Mono", "Regular"},
        {"Arial", 400, "Liberation Sans", "Regular"},
        {"Quartz", 400, "DSEG7 Classic", "Regular"},
        {"Quartz", 600, "DSEG7 Classic", "Bold"},
        {"No Such Face", 400, "Liberation Sans", "Regular"},
        {"", 400, "Liberation Sans", "Regular"},
    };
    for (const auto& c : cases) {
        std::optional<ResolvedFont> font = fonts->resolve(c.name, c.weight);
        ASSERT_TRUE(font) << c.name;
        EXPECT_EQ(font->family, c.family) << c.name << " " << c.weight;
        EXPECT_EQ(font->style, c.style) << c.name << " " << c.weight;
        EXPECT_TRUE(fonts->face(c.name, c.weight)) << c.name;
    }
}

TEST(Fonts, AConfigurationThatDoesNotLoadIsRefused) {
    std::string error;
    EXPECT_FALSE(FontResolver::open("/nonexistent/fonts.conf", &error));
    EXPECT_EQ(error, "fontconfig: cannot load /nonexistent/fonts.conf");

    // One that loads but names no fonts.
    const std::string path = ::testing::TempDir() + "render_test_empty_fonts.conf";
    std::ofstream(path) << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
    EXPECT_FALSE(FontResolver::open(path, &error));
    EXPECT_NE(error.find("finds no fonts"), std::string::npos) << error;
    std::remove(path.c_str());
}

constexpr std::uint32_t kWhite = 0xFFFFFF, kBlue = 0xC08000; // 0x00BBGGRR

// A text element over a picture that covers the whole gauge.
struct TextGauge {
    PictureMap bitmaps;
    StaticImage under{elementBase(ElementKind::StaticImage, 1, {0, 0}, nullptr, nullptr)};
    StringElement text{};

    TextGauge(Point position, Extent box, std::uint32_t fore, std::uint32_t back,
              const char* font = "Times New Roman", std::uint32_t weight = 600) {
        bitmaps.add(1, art(std::vector<std::string>(24, std::string(48, 'Z'))));
        text.base = elementBase(ElementKind::StringElement, kNoBitmap, position, nullptr, nullptr);
        text.boxSize = box;
        text.foreColour = fore;
        text.backColour = back;
        std::strncpy(text.fontName, font, sizeof text.fontName - 1);
        text.fontWeight = weight;
    }

    Rendering draw(const std::string& content) {
        return render({DrawItem{&under.base, {}, {}}, DrawItem{&text.base, {}, content}}, bitmaps,
                      48, 24);
    }

    bool inBox(int x, int y) const {
        return x >= text.base.position.x && x < text.base.position.x + text.boxSize.w &&
               y >= text.base.position.y && y < text.base.position.y + text.boxSize.h;
    }
};

const Pixel kZ{'Z', 100, 200, 255};

TEST(Text, FillsItsBoxAndStaysInsideIt) {
    TextGauge gauge({3, 2}, {20, 10}, kWhite, kBlue);
    Rendering r = gauge.draw("WWWWWWWWWWWWWWWWWWWW");
    EXPECT_TRUE(r.report.problems.empty());
    const Pixel back{0x00, 0x80, 0xC0, 255};
    int ink = 0, backs = 0, rightEdgeInk = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 48; ++x) {
            const Pixel p = pixelAt(r.surface.get(), x, y);
            if (!gauge.inBox(x, y)) {
                EXPECT_EQ(p, kZ) << "outside the box at " << x << "," << y;
                continue;
            }
            EXPECT_EQ(p.a, 255) << x << "," << y;
            ink += p.r > 128; // white, or mostly white at the glyphs' edges
            backs += p == back;
            if (x == 22 && p != back) ++rightEdgeInk;
        }
    EXPECT_GT(ink, 20) << "the text is drawn in the fore colour";
    EXPECT_GT(backs, 50) << "on the back colour";
    EXPECT_GT(rightEdgeInk, 0) << "the text runs on to the box's edge, clipped there";
}

TEST(Text, ALabelWithAWideNumericFieldShowsOnlyTheLabel) {
    // The generator button's label: 200 columns of field after the label.
    TextGauge gauge({2, 6}, {40, 19}, kWhite, kBlue);
    Rendering label = gauge.draw("GEN2");
    Rendering withField = gauge.draw("GEN2" + std::string(199, ' ') + "1");
    Rendering empty = gauge.draw("");
    EXPECT_TRUE(withField.report.problems.empty());
    EXPECT_EQ(pixelsOf(withField.surface.get()), pixelsOf(label.surface.get()));
    EXPECT_NE(pixelsOf(label.surface.get()), pixelsOf(empty.surface.get())) << "the label shows";
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 48; ++x) {
            if (!gauge.inBox(x, y)) {
                EXPECT_EQ(pixelAt(withField.surface.get(), x, y), kZ);
            }
        }
}

TEST(Text, PureBlackInTheBoxIsTransparent) {
    TextGauge gauge({4, 4}, {30, 12}, kWhite, 0x000000);
    Rendering r = gauge.draw("I");
    int through = 0, ink = 0;
    for (int y = 4; y < 16; ++y)
        for (int x = 4; x < 34; ++x) {
            const Pixel p = pixelAt(r.surface.get(), x, y);
            through += p == kZ;
            ink += p.r > 200 && p.g > 200 && p.b > 200;
        }
    EXPECT_GT(through, 300) << "the picture beneath shows through the black box";
    EXPECT_GT(ink, 3) << "the text itself is drawn";
}

TEST(Text, CodePage1252TextIsConverted) {
    // Bytes that are not UTF-8 on their own: e acute, the degree sign, the euro.
    TextGauge gauge({0, 0}, {40, 16}, kWhite, kBlue, "Courier New", 400);
    const auto plain = pixelsOf(gauge.draw("e").surface.get());
    for (const char* text : {"\xE9", "\xB0", "\x80"}) {
        Rendering r = gauge.draw(text);
        EXPECT_TRUE(r.report.problems.empty()) << r.report.problems.at(0);
        EXPECT_NE(pixelsOf(r.surface.get()), pixelsOf(gauge.draw("").surface.get())) << "drawn";
    }
    EXPECT_NE(pixelsOf(gauge.draw("\xE9").surface.get()), plain);
}

TEST(Text, SegmentFontAndEmptyBoxes) {
    TextGauge digits({0, 0}, {40, 16}, kWhite, kBlue, "Quartz", 400);
    Rendering r = digits.draw("88");
    EXPECT_TRUE(r.report.problems.empty());
    EXPECT_NE(pixelsOf(r.surface.get()), pixelsOf(digits.draw("").surface.get()));

    for (Extent box : {Extent{0, 10}, Extent{10, 0}, Extent{-5, -5}}) {
        TextGauge none({1, 1}, box, kWhite, kBlue);
        Rendering nothing = none.draw("text");
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 48; ++x)
                ASSERT_EQ(pixelAt(nothing.surface.get(), x, y), kZ);
    }
}

} // namespace
} // namespace k729::render
