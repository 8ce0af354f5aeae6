// `gaugehost run` in-process: what a short run writes (frames, contact sheet,
// an animated PNG that plays back the frames exactly, the JSON account), and
// that a bad panel, scenario or module writes nothing.
#include <gtest/gtest.h>

#include <cairo.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include <nlohmann/json.hpp>

#include "k729panel/runner.h"
#include "support.h"

namespace k729::panel {
namespace {

namespace fs = std::filesystem;
using testing::binFolder;
using testing::filesIn;
using testing::testFolder;

// The runs' folders go when the tests end (each test leaves its own for a look until then).
class RemoveTestFolders : public ::testing::Environment {
public:
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(testing::testFolderRoot(), ignored);
    }
};
const auto* const kRemoveTestFolders = ::testing::AddGlobalTestEnvironment(new RemoveTestFolders);

struct Result {
    int status;
    std::string out, err;
};

Result run(const std::string& panel, const std::string& scenario, const fs::path& out,
           std::uint32_t framesEvery = 1, int scale = 1) {
    RunOptions o;
    o.panelText = panel;
    o.panelSource = "t.panel";
    o.scenarioText = scenario;
    o.scenarioSource = "t.csv";
    o.modules = binFolder();
    o.out = out.string();
    o.framesEvery = framesEvery;
    o.scale = scale;
    std::ostringstream outText, errText;
    const int status = runPanel(o, outText, errText);
    return {status, outText.str(), errText.str()};
}

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

std::vector<std::uint8_t> bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::uint32_t be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

// An animated PNG read back independently of the writer: its chunks checked
// (CRCs, order, sequence numbers) and its frames decoded and composed.
struct Animation {
    int width = 0, height = 0;
    std::uint32_t declaredFrames = 0;
    struct Frame {
        std::uint32_t x, y, w, h, delayMs;
        std::uint8_t dispose, blend;
        std::vector<std::uint8_t> data; // zlib stream
    };
    std::vector<Frame> frames;
};

void readAnimation(const std::vector<std::uint8_t>& file, Animation& a) {
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_GE(file.size(), 8u);
    ASSERT_EQ(std::memcmp(file.data(), kSignature, 8), 0);
    std::size_t at = 8;
    std::uint32_t expectedSequence = 0;
    bool sawIdat = false, sawEnd = false;
    std::vector<std::string> order;
    while (at < file.size()) {
        ASSERT_LE(at + 12, file.size());
        const std::uint32_t length = be32(&file[at]);
        ASSERT_LE(length, file.size() - at - 12);
        const std::string type(reinterpret_cast<const char*>(&file[at + 4]), 4);
        const std::uint8_t* body = &file[at + 8];
        EXPECT_EQ(crc32(0L, &file[at + 4], length + 4), be32(body + length)) << type << " CRC";
        order.push_back(type);
        if (type == "IHDR") {
            ASSERT_EQ(length, 13u);
            a.width = static_cast<int>(be32(body));
            a.height = static_cast<int>(be32(body + 4));
            EXPECT_EQ(body[8], 8) << "bit depth";
            EXPECT_EQ(body[9], 2) << "RGB: the panel is opaque";
            EXPECT_EQ(body[12], 0) << "not interlaced";
        } else if (type == "acTL") {
            ASSERT_EQ(length, 8u);
            a.declaredFrames = be32(body);
        } else if (type == "fcTL") {
            ASSERT_EQ(length, 26u);
            EXPECT_EQ(be32(body), expectedSequence++) << "fcTL sequence";
            // sequence, width, height, x, y, delay num and den, dispose, blend
            Animation::Frame f{be32(body + 12),
                               be32(body + 16),
                               be32(body + 4),
                               be32(body + 8),
                               0,
                               body[24],
                               body[25],
                               {}};
            const std::uint32_t num = (body[20] << 8) | body[21], den = (body[22] << 8) | body[23];
            ASSERT_EQ(den, 1000u);
            f.delayMs = num;
            EXPECT_LE(f.x + f.w, static_cast<std::uint32_t>(a.width));
            EXPECT_LE(f.y + f.h, static_cast<std::uint32_t>(a.height));
            a.frames.push_back(f);
        } else if (type == "IDAT") {
            ASSERT_EQ(a.frames.size(), 1u) << "IDAT belongs to the first frame";
            sawIdat = true;
            a.frames.back().data.insert(a.frames.back().data.end(), body, body + length);
        } else if (type == "fdAT") {
            ASSERT_GE(length, 4u);
            EXPECT_EQ(be32(body), expectedSequence++) << "fdAT sequence";
            ASSERT_GE(a.frames.size(), 2u);
            a.frames.back().data.insert(a.frames.back().data.end(), body + 4, body + length);
        } else if (type == "IEND") {
            sawEnd = true;
        }
        at += 12 + length;
    }
    ASSERT_GE(order.size(), 4u);
    EXPECT_EQ(order[0], "IHDR");
    EXPECT_EQ(order[1], "acTL");
    EXPECT_EQ(order[2], "fcTL") << "the first frame is the default image";
    EXPECT_EQ(order.back(), "IEND");
    EXPECT_TRUE(sawIdat && sawEnd);
    EXPECT_EQ(a.declaredFrames, a.frames.size());
    ASSERT_FALSE(a.frames.empty());
    const Animation::Frame& first = a.frames.front();
    EXPECT_EQ(std::make_tuple(first.x, first.y, first.w, first.h),
              std::make_tuple(0u, 0u, std::uint32_t(a.width), std::uint32_t(a.height)));
}

// RGB rows of a frame's zlib stream, unfiltered.
std::vector<std::uint8_t> decodeRows(const Animation::Frame& f) {
    const std::size_t row = f.w * 3;
    std::vector<std::uint8_t> raw((row + 1) * f.h);
    uLongf size = static_cast<uLongf>(raw.size());
    EXPECT_EQ(uncompress(raw.data(), &size, f.data.data(), static_cast<uLong>(f.data.size())),
              Z_OK);
    EXPECT_EQ(size, raw.size());
    std::vector<std::uint8_t> out(row * f.h);
    for (std::size_t y = 0; y < f.h; ++y) {
        const std::uint8_t filter = raw[y * (row + 1)];
        const std::uint8_t* in = &raw[y * (row + 1) + 1];
        std::uint8_t* line = &out[y * row];
        const std::uint8_t* up = y ? &out[(y - 1) * row] : nullptr;
        for (std::size_t i = 0; i < row; ++i) {
            const int a = i >= 3 ? line[i - 3] : 0, b = up ? up[i] : 0,
                      c = (up && i >= 3) ? up[i - 3] : 0;
            int predicted = 0;
            switch (filter) {
            case 1:
                predicted = a;
                break;
            case 2:
                predicted = b;
                break;
            case 3:
                predicted = (a + b) / 2;
                break;
            case 4: {
                const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b),
                          pc = std::abs(p - c);
                predicted = (pa <= pb && pa <= pc) ? a : pb <= pc ? b : c;
                break;
            }
            default:
                EXPECT_EQ(filter, 0);
                break;
            }
            line[i] = static_cast<std::uint8_t>(in[i] + predicted);
        }
    }
    return out;
}

// The RGB of a PNG frame file, as cairo reads it (opaque, so not premultiplied).
std::vector<std::uint8_t> rgbOf(const fs::path& png, int& width, int& height) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(png.string().c_str());
    EXPECT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS) << png;
    width = cairo_image_surface_get_width(s);
    height = cairo_image_surface_get_height(s);
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p =
                cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s) + 4 * x;
            EXPECT_EQ(p[3], 255) << "frames are opaque";
            rgb.insert(rgb.end(), {p[2], p[1], p[0]});
        }
    cairo_surface_destroy(s);
    return rgb;
}

// Plays the animation and compares it, at each written frame's time, with that frame's file.
void expectAnimationPlaysTheFrames(const fs::path& folder, std::size_t written,
                                   std::uint32_t frameMs) {
    Animation a;
    readAnimation(bytesOf(folder / kAnimationFile), a);
    if (::testing::Test::HasFatalFailure()) return;
    std::uint32_t total = 0;
    for (const Animation::Frame& f : a.frames) {
        EXPECT_EQ(f.dispose, 0);
        EXPECT_EQ(f.blend, 0);
        total += f.delayMs;
    }
    EXPECT_EQ(total, written * frameMs) << "the animation lasts as long as the frames";

    std::vector<std::uint8_t> canvas(static_cast<std::size_t>(a.width) * a.height * 3);
    std::size_t shown = 0;        // frames composed so far
    std::uint32_t shownUntil = 0; // when the last composed frame ends
    for (std::size_t j = 0; j < written; ++j) {
        const std::uint32_t t = static_cast<std::uint32_t>(j) * frameMs;
        while (shown < a.frames.size() && (shown == 0 || shownUntil <= t)) {
            const Animation::Frame& f = a.frames[shown++];
            const std::vector<std::uint8_t> rows = decodeRows(f);
            for (std::uint32_t y = 0; y < f.h; ++y)
                for (std::uint32_t x = 0; x < f.w; ++x)
                    std::memcpy(&canvas[((f.y + y) * a.width + f.x + x) * 3],
                                &rows[(y * f.w + x) * 3], 3);
            shownUntil += f.delayMs;
        }
        int w = 0, h = 0;
        const std::vector<std::uint8_t> expected = rgbOf(folder / frameFile(j), w, h);
        ASSERT_EQ(std::make_pair(w, h), std::make_pair(a.width, a.height));
        EXPECT_TRUE(canvas == expected) << "animation differs from " << frameFile(j);
    }
}

nlohmann::json reportOf(const fs::path& folder) {
    std::ifstream in(folder / kReportFile);
    return nlohmann::json::parse(in);
}

constexpr const char* kPanel = "panel 160 60\n"
                               "background #303438\n"
                               "gauge QT_K729_BattBtn.gau QT_K729_BattBtn 10 10 40 40\n"
                               "gauge QT_K729_Gen2Btn.gau QT_K729_Gen2Btn 60 10 40 40\n"
                               "gauge QT_K729_NotBuilt.gau QT_K729_NotBuilt 110 10 40 40\n";

// One second at 10 frames a second: the battery at 0.2 s, a click on the
// gauge not built at 0.5 s, the generator through its keyframe at 0.8 s.
constexpr const char* kScenario = "fps,10\nduration,1\n"
                                  "discrete,575\n"
                                  "set,0,575,0\nset,0.8,575,1\n"
                                  "click,0.2,30,30\n"
                                  "click,0.5,130,30\n";

TEST(Run, WritesFramesContactSheetAnimationAndReport) {
    const fs::path out = testFolder() / "out";
    const Result r = run(kPanel, kScenario, out);
    ASSERT_EQ(r.status, kRunOk) << r.err;

    std::set<std::string> expected = {kContactSheetFile, kAnimationFile, kReportFile};
    for (std::size_t i = 0; i < 11; ++i)
        expected.insert(frameFile(i));
    EXPECT_EQ(filesIn(out), expected);
    EXPECT_EQ(filesIn(out.parent_path()), std::set<std::string>{"out"}) << "no staging left";
    expectAnimationPlaysTheFrames(out, 11, 100);

    int w = 0, h = 0;
    rgbOf(out / frameFile(0), w, h);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(160, 60));

    // The gauge not built is reported once, however many frames run.
    EXPECT_EQ(occurrences(r.err, "QT_K729_NotBuilt is not built yet"), 1u) << r.err;
    EXPECT_NE(r.out.find(frameFile(10)), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("skipped: 0.5 s click at (130, 30)"), std::string::npos) << r.out;

    const nlohmann::json report = reportOf(out);
    EXPECT_EQ(report["frames"], 11);
    ASSERT_EQ(report["mouse"].size(), 2u);
    EXPECT_EQ(report["mouse"][0]["gauge"], "QT_K729_BattBtn");
    EXPECT_EQ(report["mouse"][0]["calls"], 1);
    EXPECT_EQ(report["mouse"][1]["skipped"], "QT_K729_NotBuilt is not built yet");
    ASSERT_EQ(report["commands"].size(), 1u);
    EXPECT_EQ(report["commands"][0]["event"], 66241);
    EXPECT_EQ(report["commands"][0]["after"], 1.0);

    // The battery lamp is lit from the click's frame on; the generator's from its keyframe.
    auto greenAt = [&](std::size_t frame, int x, int y) {
        int fw = 0, fh = 0;
        const std::vector<std::uint8_t> rgb = rgbOf(out / frameFile(frame), fw, fh);
        const std::size_t at = (static_cast<std::size_t>(y) * fw + x) * 3;
        return rgb[at + 1] > rgb[at] + 60;
    };
    EXPECT_FALSE(greenAt(1, 30, 40));
    EXPECT_TRUE(greenAt(2, 30, 40));
    EXPECT_FALSE(greenAt(7, 80, 40));
    EXPECT_TRUE(greenAt(8, 80, 40));
}

TEST(Run, WritesEveryNthFrameScaledAndClearsOlderFrames) {
    const fs::path out = testFolder() / "out";
    ASSERT_EQ(run(kPanel, kScenario, out).status, kRunOk);
    const Result r = run(kPanel, kScenario, out, 4, 2);
    ASSERT_EQ(r.status, kRunOk) << r.err;
    // Frames 0, 4 and 8 of 11, renumbered; the first run's others are gone.
    EXPECT_EQ(filesIn(out),
              (std::set<std::string>{frameFile(0), frameFile(1), frameFile(2), kContactSheetFile,
                                     kAnimationFile, kReportFile}));
    expectAnimationPlaysTheFrames(out, 3, 400);
    int w = 0, h = 0;
    rgbOf(out / frameFile(0), w, h);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(320, 120));
    EXPECT_EQ(reportOf(out)["written"][2]["frame"], 8);
}

struct BadRun {
    const char* name;
    std::string panel, scenario;
    std::string error; // a part of the message
};
void PrintTo(const BadRun& b, std::ostream* os) {
    *os << b.name;
}

class BadInput : public ::testing::TestWithParam<BadRun> {};

TEST_P(BadInput, WritesNothing) {
    const fs::path folder = testFolder();
    const fs::path out = folder / "out";
    // An earlier run's pictures stay as they are.
    fs::create_directories(out);
    testing::writeFile(out / "frame-0000.png", "earlier");
    const Result r = run(GetParam().panel, GetParam().scenario, out);
    EXPECT_EQ(r.status, kRunBadInput);
    EXPECT_NE(r.err.find(GetParam().error), std::string::npos) << r.err;
    EXPECT_EQ(filesIn(out), std::set<std::string>{"frame-0000.png"});
    EXPECT_EQ(filesIn(folder), std::set<std::string>{"out"});
    EXPECT_TRUE(r.out.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadInput,
    ::testing::Values(
        BadRun{"PanelLine", std::string(kPanel) + "gauge x.gau X 0 0 1\n", kScenario,
               "t.panel:6: expected \"gauge MODULE-FILE"},
        BadRun{"ScenarioLine", kPanel, std::string(kScenario) + "set,1,61\n",
               "t.csv:8: expected \"set,TIME,TOKEN,VALUE\""},
        BadRun{"ClickOutsideThePanel", kPanel, std::string(kScenario) + "click,1,160,10\n",
               "t.csv:8: (160, 10) lies outside the 160x60 panel t.panel"},
        BadRun{"GaugeNameDiffers",
               "panel 160 60\ngauge QT_K729_Gen2Btn.gau QT_K729_BattBtn 0 0 40 40\n", kScenario,
               "t.panel:2: " + binFolder() +
                   "/QT_K729_Gen2Btn.gau carries the gauge \"QT_K729_Gen2Btn\", not "
                   "\"QT_K729_BattBtn\""},
        BadRun{"GaugeSizeDiffers",
               "panel 160 80\ngauge QT_K729_WrngLt.gau QT_K729_WrngLt 0 0 70 60\n", kScenario,
               "t.panel:2: gauge QT_K729_WrngLt is 72x62, the panel gives it 70x60"},
        BadRun{"NotAModule", "panel 160 60\ngauge /etc/passwd X 0 0 10 10\n", kScenario,
               "t.panel:2: cannot load"}),
    [](const ::testing::TestParamInfo<BadRun>& info) { return std::string(info.param.name); });

// `./k729 demo` in small: the program with its built-in panel and flight.
TEST(Demo, FliesTheBuiltInFlightOnTheBuiltInPanel) {
    const fs::path folder = testFolder();
    const fs::path out = folder / "demo";
    const std::string command = "'" + binFolder() + "/gaugehost' demo --frames-every 60 --out '" +
                                out.string() + "' >'" + (folder / "out.txt").string() + "' 2>'" +
                                (folder / "err.txt").string() + "'";
    const int status = std::system(command.c_str());
    std::ifstream errFile(folder / "err.txt"), outFile(folder / "out.txt");
    const std::string err{std::istreambuf_iterator<char>(errFile), {}};
    const std::string said{std::istreambuf_iterator<char>(outFile), {}};
    ASSERT_EQ(status, 0) << err;
    EXPECT_NE(said.find("contact-sheet.png"), std::string::npos) << said;

    // 48 s at 10 fps, one frame in 60 written: frames 0, 60, ... 480.
    std::set<std::string> expected = {kContactSheetFile, kAnimationFile, kReportFile};
    for (std::size_t i = 0; i < 9; ++i)
        expected.insert(frameFile(i));
    EXPECT_EQ(filesIn(out), expected);

    // The crew's buttons worked: battery, starter (held), generator.
    const nlohmann::json report = reportOf(out);
    std::map<unsigned, int> events;
    for (const nlohmann::json& c : report["commands"])
        ++events[c["event"].get<unsigned>()];
    EXPECT_EQ(events[66241], 1);
    EXPECT_EQ(events[66301], 3);
    EXPECT_EQ(events[66364], 1);
    for (const nlohmann::json& m : report["mouse"])
        EXPECT_TRUE(m.contains("calls") || m.contains("skipped")) << m.dump();
    EXPECT_TRUE(report["faults"].empty()) << report["faults"].dump();

    // In the last frame the battery and generator 2 lamps are lit.
    int w = 0, h = 0;
    const std::vector<std::uint8_t> rgb = rgbOf(out / frameFile(8), w, h);
    for (int x : {746, 798}) {
        const std::size_t at = (static_cast<std::size_t>(330) * w + x) * 3;
        EXPECT_GT(rgb[at + 1], rgb[at] + 60) << "lamp at x " << x;
    }
}

TEST(Run, BadOptionsWriteNothing) {
    const fs::path folder = testFolder();
    EXPECT_EQ(run(kPanel, kScenario, folder / "a", 0).status, kRunBadInput);
    EXPECT_EQ(run(kPanel, kScenario, folder / "b", 1, 0).status, kRunBadInput);
    EXPECT_EQ(run(kPanel, kScenario, folder / "c", 1, 60).status, kRunBadInput); // 9600 pixels
    testing::writeFile(folder / "file", "");
    const Result r = run(kPanel, kScenario, folder / "file");
    EXPECT_EQ(r.status, kRunBadInput);
    EXPECT_NE(r.err.find("is a file, not a folder"), std::string::npos) << r.err;
    EXPECT_EQ(filesIn(folder), std::set<std::string>{"file"});
}

} // namespace
} // namespace k729::panel
