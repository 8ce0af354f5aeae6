// The gauge folders' art tools, run as the build runs them: every gauge of
// the tables gets its three bitmaps at the table's size, the pictures keep
// the promises the gauges rely on, and the command line refuses bad input.
#include <sys/wait.h>

#include <cstdlib>
#include <map>
#include <set>

#include "buttons/buttons.h"
#include "k729art/bundle.h"
#include "lights/lights.h"
#include "test_support.h"

namespace k729::art {
namespace {

using testing::decodeBmp;
using testing::readFile;

int run(const std::string& tool, const std::vector<std::string>& args) {
    std::string command = tool;
    for (const std::string& arg : args)
        command += " '" + arg + "'";
    command += " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Gauge {
    const char* tool;
    const char* name;
    int width, height;
    std::set<std::uint32_t> ids;
};

std::vector<Gauge> allGauges() {
    std::vector<Gauge> gauges;
    for (const auto& b : buttons::kButtons)
        gauges.push_back(
            {K729_BUTTONS_ART,
             b.name,
             b.size.w,
             b.size.h,
             {static_cast<std::uint32_t>(b.background), static_cast<std::uint32_t>(b.lamp),
              static_cast<std::uint32_t>(b.lamp + 1)}});
    for (const auto& l : lights::kLights)
        gauges.push_back({K729_LIGHTS_ART,
                          l.name,
                          l.size.w,
                          l.size.h,
                          {static_cast<std::uint32_t>(lights::kBackground),
                           static_cast<std::uint32_t>(lights::kLamp),
                           static_cast<std::uint32_t>(lights::kLamp + 1)}});
    return gauges;
}

class ArtTools : public testing::ScratchFolder {
protected:
    // Runs the gauge's tool into its own folder; the folder's pictures by id.
    std::map<int, Canvas> draw(const std::string& tool, const std::string& gauge) {
        const auto folder = dir() / gauge;
        EXPECT_EQ(run(tool, {gauge, folder.string()}), 0) << gauge;
        std::map<int, Canvas> pictures;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().extension() == ".bmp")
                pictures.emplace(std::stoi(entry.path().stem().string()),
                                 decodeBmp(readFile(entry.path())));
        return pictures;
    }
    static bool allBlack(const Canvas& c, int x, int y, int w, int h) {
        for (int row = y; row < y + h; ++row)
            for (int col = x; col < x + w; ++col)
                if (c.at(col, row) != kTransparent) return false;
        return true;
    }
};

TEST_F(ArtTools, EveryGaugeGetsItsBitmapsAtTheTableSize) {
    for (const Gauge& g : allGauges()) {
        const auto pictures = draw(g.tool, g.name);
        const auto bundle = readFile(dir() / g.name / "resources.bin");
        ASSERT_GE(bundle.size(), 16u) << g.name;
        std::set<std::uint32_t> ids;
        for (std::uint32_t i = 0; i < testing::u32(bundle, 8); ++i)
            ids.insert(testing::u32(bundle, 16 + 24 * i + 4));
        EXPECT_EQ(ids, g.ids) << g.name;
        EXPECT_EQ(pictures.size(), g.ids.size()) << g.name;
        for (const auto& [id, picture] : pictures) {
            EXPECT_EQ(picture.width(), g.width) << g.name << " " << id;
            EXPECT_EQ(picture.height(), g.height) << g.name << " " << id;
        }
        EXPECT_TRUE(std::filesystem::exists(dir() / g.name / "bitmaps.rc")) << g.name;
        EXPECT_EQ(testing::listing(dir() / g.name).size(), 5u) << "no temporary files";
    }
}

TEST_F(ArtTools, OutputIsTheSameOnEveryRun) {
    for (const Gauge& g : allGauges()) {
        const auto a = dir() / "a", b = dir() / "b";
        ASSERT_EQ(run(g.tool, {g.name, a.string()}), 0);
        ASSERT_EQ(run(g.tool, {g.name, b.string()}), 0);
        for (std::uint32_t id : g.ids) {
            const std::string file = std::to_string(id) + ".bmp";
            EXPECT_EQ(readFile(a / file), readFile(b / file)) << g.name << " " << file;
        }
        EXPECT_EQ(readFile(a / "resources.bin"), readFile(b / "resources.bin")) << g.name;
    }
}

TEST_F(ArtTools, GeneratorAndBatteryButtonsCarryTheSameBitmaps) {
    draw(K729_BUTTONS_ART, "QT_K729_Gen2Btn");
    draw(K729_BUTTONS_ART, "QT_K729_BattBtn");
    for (const char* file : {"4608.bmp", "4609.bmp", "5120.bmp", "resources.bin"})
        EXPECT_EQ(readFile(dir() / "QT_K729_Gen2Btn" / file),
                  readFile(dir() / "QT_K729_BattBtn" / file))
            << file;
}

TEST_F(ArtTools, SquareButtonLeavesTheLabelAreaTransparent) {
    const auto* button = buttons::findButton("QT_K729_Gen2Btn");
    const auto p = draw(K729_BUTTONS_ART, button->name);
    const Canvas &background = p.at(button->background), &dark = p.at(button->lamp),
                 &lit = p.at(button->lamp + 1);
    EXPECT_TRUE(testing::samePixels(background, dark));
    // Both labels' boxes, clipped to the button, over every image.
    for (const char* name : {"QT_K729_Gen2Btn", "QT_K729_BattBtn"}) {
        const auto& label = buttons::findButton(name)->label;
        const int w = std::min(label.box.w, button->size.w - label.position.x);
        for (const Canvas* c : {&dark, &lit})
            EXPECT_TRUE(allBlack(*c, label.position.x, label.position.y, w, label.box.h)) << name;
    }
    EXPECT_TRUE(allBlack(dark, 0, 0, button->size.w, 6)); // above the label, too
    // The lamp window below the label: grey when dark, green when lit.
    const int cx = button->size.w / 2, cy = 31;
    const Rgb off = dark.at(cx, cy), on = lit.at(cx, cy);
    EXPECT_TRUE(std::max({off.r, off.g, off.b}) - std::min({off.r, off.g, off.b}) <= 10 &&
                off.r > 40)
        << int(off.r) << " " << int(off.g) << " " << int(off.b);
    EXPECT_TRUE(on.g > 200 && on.g > on.r && on.g > on.b) << int(on.g);
    EXPECT_GT(testing::differingPixels(dark, lit), 100);
}

TEST_F(ArtTools, StarterGlowsBrightGreenInItsFirstImageAndDarkInItsSecond) {
    const auto* button = buttons::findButton("QT_K729_Start2_Btn");
    const auto p = draw(K729_BUTTONS_ART, button->name);
    EXPECT_TRUE(allBlack(p.at(button->background), 0, 0, button->size.w, button->size.h));
    const Canvas &bright = p.at(button->lamp), &dark = p.at(button->lamp + 1);
    const Rgb b = bright.at(button->size.w / 2, button->size.h / 2);
    const Rgb d = dark.at(button->size.w / 2, button->size.h / 2);
    EXPECT_GT(b.g, 200);
    EXPECT_LT(d.g, 128);
    EXPECT_GT(d.g, d.r);
    for (const Canvas* c : {&bright, &dark}) // round: the corners show the panel
        EXPECT_TRUE(allBlack(*c, 0, 0, 3, 3) &&
                    allBlack(*c, button->size.w - 3, button->size.h - 3, 3, 3));
}

TEST_F(ArtTools, LightBackgroundIsTheUnlitPlate) {
    for (const auto& light : lights::kLights) {
        const auto p = draw(K729_LIGHTS_ART, light.name);
        const Canvas &background = p.at(lights::kBackground), &unlit = p.at(lights::kLamp),
                     &lit = p.at(lights::kLamp + 1);
        const int changed = testing::differingPixels(background, unlit);
        if (light.plate == lights::Plate::Caution) {
            // A few pixels, where the lamp images are transparent so they show.
            EXPECT_GE(changed, 1);
            EXPECT_LE(changed, 16);
            for (int y = 0; y < unlit.height(); ++y)
                for (int x = 0; x < unlit.width(); ++x)
                    if (background.at(x, y) != unlit.at(x, y)) {
                        EXPECT_EQ(unlit.at(x, y), kTransparent) << x << "," << y;
                    }
        } else {
            EXPECT_EQ(changed, 0) << light.name;
        }
        EXPECT_GT(testing::differingPixels(unlit, lit), unlit.width() * unlit.height() / 20)
            << light.name;
        // A tilted plate on black: the corners are transparent, the middle is not.
        for (const Canvas* c : {&unlit, &lit}) {
            EXPECT_EQ(c->at(c->width() - 1, 0), kTransparent) << light.name;
            EXPECT_EQ(c->at(0, c->height() - 1), kTransparent) << light.name;
            EXPECT_NE(c->at(c->width() / 2, c->height() / 2 + 2), kTransparent) << light.name;
        }
    }
}

TEST_F(ArtTools, CommandLineRefusesBadArgumentsAndUnknownGauges) {
    const auto out = (dir() / "out").string();
    for (const char* tool : {K729_BUTTONS_ART, K729_LIGHTS_ART}) {
        EXPECT_EQ(run(tool, {"--help"}), 0);
        EXPECT_NE(run(tool, {}), 0);
        EXPECT_NE(run(tool, {"QT_K729_Gen2Btn"}), 0);
        EXPECT_NE(run(tool, {"QT_K729_Gen2Btn", out, "extra"}), 0);
        EXPECT_NE(run(tool, {"QT_K729_NoSuchGauge", out}), 0);
        EXPECT_NE(run(tool, {"", out}), 0);
        EXPECT_FALSE(std::filesystem::exists(out)) << tool;
    }
    // Each tool knows only its own folder's gauges.
    EXPECT_NE(run(K729_LIGHTS_ART, {"QT_K729_Gen2Btn", out}), 0);
    EXPECT_NE(run(K729_BUTTONS_ART, {"QT_K729_CautLt", out}), 0);
}

} // namespace
} // namespace k729::art
