// The render and inspect commands, run as a user runs them: their pictures,
// their listings, their exit statuses and what they leave on disk.
#include <cairo.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "test_support.h"

namespace k729::host::view {
namespace {

namespace fs = std::filesystem;
using test::gaugePath;
using test::runGaugehost;
using test::testModulePath;
using Json = nlohmann::ordered_json;

const std::string kFixture = testModulePath("ViewFixture");
const std::string kGen2 = gaugePath("QT_K729_Gen2Btn");

// A fresh empty folder for one test's files.
fs::path scratch(const std::string& name) {
    const fs::path folder =
        fs::temp_directory_path() / ("k729-view-tests-" + std::to_string(::getpid())) / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

std::set<std::string> filesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Png {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels; // premultiplied ARGB, as cairo keeps them

    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

Png readPng(const fs::path& path) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    Png png;
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        png.width = cairo_image_surface_get_width(s);
        png.height = cairo_image_surface_get_height(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        for (int y = 0; y < png.height; ++y)
            for (int x = 0; x < png.width; ++x) {
                std::uint32_t v;
                std::memcpy(&v, data + y * cairo_image_surface_get_stride(s) + 4 * x, 4);
                png.pixels.push_back(v);
            }
    }
    cairo_surface_destroy(s);
    return png;
}

constexpr std::uint32_t kMagenta = 0xFFFF00FF;

bool oneLine(const std::string& text) {
    return !text.empty() && text.find('\n') == text.size() - 1;
}

// On every error nothing is written: not the picture, not a temporary file,
// and a picture already there stays as it was.
TEST(RenderProgram, ErrorsWriteNothingAndExitTwo) {
    const fs::path folder = scratch("errors");
    const std::string kept = (folder / "kept.png").string();
    std::ofstream(kept) << "the old picture";
    fs::create_directory(folder / "a-folder");
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        const char* message; // part of the one-line error
    };
    const std::string missing = (folder / "no-such-folder" / "out.png").string();
    const Case cases[] = {
        {"no --out", {"render", kGen2}, "--out"},
        {"scale 0", {"render", kGen2, "--out", kept, "--scale", "0"}, "--scale 0"},
        {"scale too large", {"render", kGen2, "--out", kept, "--scale", "65"}, "--scale 65"},
        {"scale not a number", {"render", kGen2, "--out", kept, "--scale", "2x"}, "--scale 2x"},
        {"negative scale", {"render", kGen2, "--out", kept, "--scale=-1"}, "--scale -1"},
        {"bad step", {"render", kGen2, "--out", kept, "--set", "575"}, "--set 575"},
        {"bad click", {"render", kGen2, "--out", kept, "--click", "1"}, "--click 1"},
        {"no module", {"render", (folder / "none.gau").string(), "--out", kept}, "none.gau"},
        {"not a module", {"render", kept, "--out", (folder / "x.png").string()}, "kept.png"},
        {"folder missing", {"render", kGen2, "--out", missing}, "cannot write"},
        {"out is a folder",
         {"render", kGen2, "--out", (folder / "a-folder").string()},
         "cannot write"},
        {"out names no file", {"render", kGen2, "--out", (folder / "").string()}, "names no file"},
    };
    for (const Case& c : cases) {
        const test::ProgramResult result = runGaugehost(c.arguments);
        EXPECT_EQ(result.status, 2) << c.what << ": " << result.err;
        EXPECT_TRUE(oneLine(result.err)) << c.what << ": " << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << c.what << ": " << result.err;
        EXPECT_EQ(result.out, "") << c.what;
        EXPECT_EQ(filesIn(folder), (std::set<std::string>{"kept.png", "a-folder"})) << c.what;
        EXPECT_TRUE(fs::is_empty(folder / "a-folder")) << c.what;
        EXPECT_EQ(contents(kept), "the old picture") << c.what;
    }
}

TEST(RenderProgram, PictureHasTheBackgroundSizeTimesTheScaleAndReplacesTheOldOne) {
    const fs::path folder = scratch("sizes");
    const fs::path out = folder / "gen2.png";
    std::ofstream(out) << "an older picture";
    for (int scale : {1, 3}) {
        const test::ProgramResult result =
            runGaugehost({"render", kGen2, "--set", "575=1", "--out", out.string(), "--scale",
                          std::to_string(scale)});
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out + result.err, "");
        const Png png = readPng(out);
        EXPECT_EQ(png.width, 40 * scale);
        EXPECT_EQ(png.height, 40 * scale);
        EXPECT_EQ(filesIn(folder), std::set<std::string>{"gen2.png"}) << "no temporary left";
    }
}

// Steps run as probe runs them: a click the host answers changes nothing on
// its own, a set variable lights the lamp, a hidden-flag-free label shows.
TEST(RenderProgram, StepsDecideWhatIsDrawn) {
    const fs::path folder = scratch("steps");
    auto render = [&](const std::string& name, std::vector<std::string> steps) {
        std::vector<std::string> arguments = {"render", kGen2, "--out", (folder / name).string()};
        arguments.insert(arguments.end(), steps.begin(), steps.end());
        const test::ProgramResult result = runGaugehost(arguments);
        EXPECT_EQ(result.status, 0) << name << ": " << result.err;
        return readPng(folder / name);
    };
    const Png dark = render("dark.png", {});
    const Png clicked = render("clicked.png", {"--click", "5,30"});
    const Png lit = render("lit.png", {"--set", "575=1"});
    const Png litThenDark =
        render("again.png", {"--set", "575=1", "--frame", "--set", "575=0", "--frame"});
    ASSERT_EQ(dark.pixels.size(), 1600u);
    EXPECT_EQ(clicked.pixels, dark.pixels);
    EXPECT_NE(lit.pixels, dark.pixels);
    EXPECT_EQ(litThenDark.pixels, dark.pixels);
    // The lamp window (under the label) is green when lit, grey when dark.
    const std::uint32_t litPixel = lit.at(20, 32), darkPixel = dark.at(20, 32);
    EXPECT_GT((litPixel >> 8) & 0xFF, (litPixel >> 16) & 0xFF) << std::hex << litPixel;
    EXPECT_LT(std::abs(static_cast<int>((darkPixel >> 8) & 0xFF) -
                       static_cast<int>((darkPixel >> 16) & 0xFF)),
              8)
        << std::hex << darkPixel;
}

// A bitmap the module lacks: the picture is written without it, each one is
// named on the error output, and the status is 1.
TEST(RenderProgram, MissingBitmapsAreReportedButThePictureIsWritten) {
    const fs::path out = scratch("missing") / "fixture.png";
    const test::ProgramResult result =
        runGaugehost({"render", kFixture, "--out", out.string(), "--set", "205=1"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    for (const char* line : {"gaugehost render: element 1 (Icon): bitmap 111 is missing; image 0 "
                             "shows instead\n",
                             "gaugehost render: element 2 (MovingImage): bitmap 121 is missing\n",
                             "gaugehost render: element 5 (Slider): bitmap 150 is missing\n"})
        EXPECT_NE(result.err.find(line), std::string::npos) << result.err;
    const Png png = readPng(out);
    EXPECT_EQ(png.width, 24);
    EXPECT_EQ(png.height, 16);
    EXPECT_EQ(png.at(0, 0), 0xFF2850A0u) << "the background";
    EXPECT_EQ(png.at(1, 1), 0xFF00C800u) << "the icon's image 0";
}

// Each area's outline runs along the inside of its box, scaled; the pixels
// just outside it are the gauge's. The listing names the tooltip and areas.
TEST(RenderProgram, AreasAreOutlinedAndListed) {
    const fs::path folder = scratch("areas");
    const test::ProgramResult plain = runGaugehost(
        {"render", kFixture, "--out", (folder / "plain.png").string(), "--scale", "3"});
    const test::ProgramResult areas = runGaugehost(
        {"render", kFixture, "--out", (folder / "areas.png").string(), "--scale", "3", "--areas"});
    EXPECT_EQ(areas.status, 1) << "the fixture lacks bitmaps";
    EXPECT_EQ(areas.out, "tooltip: View fixture\n"
                         "area 2: box (2, 3, 8, 5), cursor 2, flags 0x20200000\n"
                         "area 3: box (12, 3, 8, 5), cursor 1, flags 0x20200000\n");
    EXPECT_EQ(plain.out, "") << "the listing comes with --areas only";
    const Png without = readPng(folder / "plain.png"), with = readPng(folder / "areas.png");
    ASSERT_EQ(with.width, 72);
    ASSERT_EQ(without.width, 72);
    // Area 2 spans device pixels 6..29 across and 9..23 down; area 3 36..59.
    struct Edge {
        int x, y;
        bool outline;
    };
    const Edge edges[] = {
        {6, 20, true},   {5, 20, false}, {29, 15, true},  {30, 15, false}, {15, 9, true},
        {15, 8, false},  {15, 23, true}, {15, 24, false}, {36, 12, true},  {59, 12, true},
        {60, 12, false}, {45, 23, true}, {45, 24, false}, {20, 16, false}, {35, 12, false},
    };
    for (const Edge& e : edges) {
        if (e.outline) {
            EXPECT_EQ(with.at(e.x, e.y), kMagenta) << e.x << "," << e.y;
        } else {
            EXPECT_EQ(with.at(e.x, e.y), without.at(e.x, e.y)) << e.x << "," << e.y;
            EXPECT_NE(with.at(e.x, e.y), kMagenta) << e.x << "," << e.y;
        }
    }
    // The cursor code: "2" in a 3 x 5 font on a dark backing inside the corner.
    EXPECT_EQ(with.at(8, 11), kMagenta) << "top bar of the 2";
    EXPECT_NE(with.at(8, 12), kMagenta) << "the 2's open left side";
}

TEST(InspectProgram, ListsTheRecordsOfABuiltGauge) {
    const test::ProgramResult result = runGaugehost({"inspect", kGen2});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    for (const char* line :
         {"gauge: \"QT_K729_Gen2Btn\"\n",
          "module: id 19, version 0x800, flags 0x0, priority 0, init yes, deinit yes, gauges 1\n",
          "header: version 0x320, size 100, host flags 0x0, root cell yes, mouse list yes, "
          "service handler yes\n",
          "elements, in drawing order (3):\n",
          "  0  StaticImage at (0, 0), centre (0, 0), draw flags 0x83\n"
          "      bitmap 5120 (picture)\n",
          "    Icon at (0, 0), centre (0, 0), draw flags 0x83\n"
          "        bitmaps 4608 (image 0), 4609 (image 1)\n"
          "        source 575, switch mode 3, images 2, callback yes\n",
          "StringElement at (2, 6), centre (0, 0), draw flags 0x83\n"
          "          no bitmap\n"
          "          sources 0, 0, 0; box 40x19; callback yes\n"
          "          colours fore 0xFFFFFF, back 0xC08000, hilite 0xC08000; font \"Times New "
          "Roman\", weight 600, charset 1; options 0x4240\n",
          "mouse list (5 entries):\n"
          "  0  parent         box (0, 0, 0, 0), cursor -1, help 0, flags 0x0, event 0, target "
          "no, data no\n"
          "  1  tooltip        box (0, 0, 0, 0), cursor -1, help 0, flags 0x0, event 0, text "
          "\"Generator 2 Button\", data yes\n"
          "  2  child          box (1, 0, 40, 39), cursor 5, help 0, flags 0x20000000, event 0, "
          "function yes, data no\n"
          "  3  end of parent  box (0, 0, 0, 0), cursor -1, help 0, flags 0x0, event 0, target "
          "no, data no\n"
          "  4  end of list    box (0, 0, 0, 0), cursor -1, help 0, flags 0x0, event 0, target "
          "no, data no\n"
          "tooltip: \"Generator 2 Button\"\n"
          "bitmap resources (3):\n"
          "  4608  40x40, 8 bits per pixel, 256 colours, 2664 bytes, language 1033\n"
          "  4609  40x40, 8 bits per pixel, 256 colours, 2664 bytes, language 1033\n"
          "  5120  40x40, 8 bits per pixel, 256 colours, 2664 bytes, language 1033\n"
          "missing bitmaps: none\n"})
        EXPECT_NE(result.out.find(line), std::string::npos) << line << "\nin:\n" << result.out;
    EXPECT_EQ(result.out.rfind("file: " + kGen2 + " (ELF ", 0), 0u) << result.out;
}

TEST(InspectProgram, JsonCarriesEveryKindsFieldsAndTheMissingBitmaps) {
    const test::ProgramResult result = runGaugehost({"inspect", "--json", kFixture});
    EXPECT_EQ(result.status, 1) << "bitmaps are missing";
    EXPECT_EQ(result.err, "");
    ASSERT_TRUE(oneLine(result.out)) << result.out;
    const Json j = Json::parse(result.out);
    EXPECT_EQ(j["gauge"], "ViewFixture");
    EXPECT_EQ(j["loaded"], true);
    EXPECT_EQ(j["resources"], true);
    const Json& e = j["elements"];
    ASSERT_EQ(e.size(), 7u);
    std::vector<std::string> kinds;
    for (const Json& element : e)
        kinds.push_back(element["kind"]);
    EXPECT_EQ(kinds, (std::vector<std::string>{"StaticImage", "Icon", "MovingImage", "Needle",
                                               "Sprite", "Slider", "StringElement"}));
    EXPECT_EQ(e[1]["bitmaps"].dump(), R"([{"id":110,"role":"image 0","present":true},)"
                                      R"({"id":111,"role":"image 1","present":false}])");
    EXPECT_EQ(e[2]["minY"], -1.5);
    EXPECT_EQ(e[2]["sourceY"], 204);
    EXPECT_EQ(e[3]["centre"].dump(), "[0,1]");
    EXPECT_EQ(e[3]["nonlinearity"].dump(), R"([{"x":20,"y":8,"value":0},{"x":14,"y":2,"value":1},)"
                                           R"({"x":8,"y":8,"value":2.5}])");
    EXPECT_EQ(e[3]["callback"], false);
    EXPECT_EQ(e[4]["bitmaps"].dump(), R"([{"id":140,"role":"texture","present":true},)"
                                      R"({"id":141,"role":"mask","present":true}])");
    EXPECT_EQ(e[4]["scaleRot"], 90);
    EXPECT_EQ(e[4]["textureScale"].dump(), "[1,1]");
    EXPECT_EQ(e[5]["scaleX"], 0.5);
    EXPECT_EQ(e[6]["bitmaps"].dump(), "[]");
    EXPECT_EQ(e[6]["font"], "Courier New");
    EXPECT_EQ(e[6]["box"].dump(), "[10,6]");
    EXPECT_EQ(e[6]["depth"], 6);
    EXPECT_EQ(e[6]["parent"], 5);
    EXPECT_EQ(j["missingBitmaps"].dump(),
              R"([{"bitmap":111,"element":1,"kind":"Icon","role":"image 1"},)"
              R"({"bitmap":121,"element":2,"kind":"MovingImage","role":"mask"},)"
              R"({"bitmap":150,"element":5,"kind":"Slider","role":"picture"}])");
    EXPECT_EQ(j["mouseList"].size(), 6u);
    EXPECT_EQ(j["mouseList"][3].dump(),
              R"({"index":3,"kind":"child","box":[12,3,8,5],"cursor":1,"helpId":0,)"
              R"("flags":538968064,"eventId":0,"function":true,"data":false})");
    EXPECT_EQ(j["tooltip"], "View fixture");
    ASSERT_EQ(j["bitmaps"].size(), 6u);
    EXPECT_EQ(j["bitmaps"][0].dump(), R"({"id":100,"width":24,"height":16,"bitsPerPixel":8,)"
                                      R"("colours":2,"bytes":432,"language":1033})");
    EXPECT_EQ(j["errors"].dump(), "[]");
}

TEST(InspectProgram, TextFlagsMissingBitmapsWhereTheyAreNamedAndInASummary) {
    const test::ProgramResult result = runGaugehost({"inspect", kFixture});
    EXPECT_EQ(result.status, 1);
    for (const char* line :
         {"bitmaps 110 (image 0), 111 (image 1) MISSING\n",
          "bitmaps 120 (picture), 121 (mask) MISSING\n", "bitmap 150 (picture) MISSING\n",
          "missing bitmaps (3):\n"
          "  111  image 1 of element 1 (Icon)\n"
          "  121  mask of element 2 (MovingImage)\n"
          "  150  picture of element 5 (Slider)\n"})
        EXPECT_NE(result.out.find(line), std::string::npos) << line << "\nin:\n" << result.out;
}

// A module without a resource section carries no bitmaps: every one is missing.
TEST(InspectProgram, ModuleWithoutResourcesMissesEveryBitmap) {
    const test::ProgramResult result =
        runGaugehost({"inspect", "--json", testModulePath("HostFixtureKinds")});
    EXPECT_EQ(result.status, 1);
    const Json j = Json::parse(result.out);
    EXPECT_EQ(j["resources"], false);
    std::vector<std::int64_t> missing;
    for (const Json& m : j["missingBitmaps"])
        missing.push_back(m["bitmap"]);
    EXPECT_EQ(missing, (std::vector<std::int64_t>{10, 11, 12, 13, 14, 14, 15, 15, 16}));
}

// Faults in what the module hands the host are listed, and the walk stops at
// a tree that does not end.
TEST(InspectProgram, FaultyRecordsAreListedAsErrorsWithStatusOne) {
    const struct {
        const char* module;
        std::size_t elements;
        const char* error;
    } cases[] = {
        {"HostFixtureCycle", 3,
         "element tree has a cycle: the child list of element 2 leads back to an element above "
         "it"},
        {"HostFixtureDeep", 33, "element tree deeper than 32 levels"},
        {"HostFixtureFaulty", 2, "host entry 47: unexpected call"},
    };
    for (const auto& c : cases) {
        const test::ProgramResult result =
            runGaugehost({"inspect", "--json", testModulePath(c.module)});
        EXPECT_EQ(result.status, 1) << c.module;
        const Json j = Json::parse(result.out);
        EXPECT_EQ(j["elements"].size(), c.elements) << c.module;
        EXPECT_EQ(j["errors"], Json::array({c.error})) << c.module;
    }
}

TEST(InspectProgram, BadFilesAndModulesGiveOneLineAndStatusTwo) {
    const fs::path folder = scratch("inspect");
    std::ofstream(folder / "text.gau") << "not a module";
    std::ofstream(folder / "short.gau") << "\x7F"
                                           "ELF";
    const std::pair<std::string, const char*> cases[] = {
        {(folder / "none.gau").string(), "cannot open"},
        {(folder / "text.gau").string(), "not a module file"},
        {(folder / "short.gau").string(), "malformed ELF file"},
        {testModulePath("MalformedBadId"), "Linkage has id"},
    };
    for (const auto& [path, message] : cases) {
        const test::ProgramResult result = runGaugehost({"inspect", path});
        EXPECT_EQ(result.status, 2) << path;
        EXPECT_EQ(result.out, "") << path;
        EXPECT_TRUE(oneLine(result.err)) << path << ": " << result.err;
        EXPECT_NE(result.err.find(message), std::string::npos) << path << ": " << result.err;
    }
}

} // namespace
} // namespace k729::host::view
