// The golden pictures: every case of cases.txt rendered by gaugehost and
// compared with its PNG in tests/golden/, within a tolerance that absorbs
// the antialiasing of text by another FreeType. On a mismatch the rendering
// and a difference picture are left in the build folder.
//
//   golden_pictures            the comparison (GoogleTest, one test per case)
//   golden_pictures --update   renders every case into tests/golden/
#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;

// A pixel differs when a channel (alpha included) is further off than this;
// a picture differs when more pixels differ than the allowance.
constexpr int kChannelTolerance = 64;
constexpr double kDifferingShare = 0.02;
constexpr std::size_t kDifferingMinimum = 8;

struct GoldenCase {
    std::string name, gauge;
    std::vector<std::string> arguments;
    int line = 0;
};

void PrintTo(const GoldenCase& c, std::ostream* out) {
    *out << c.name << " (cases.txt line " << c.line << ")";
}

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<GoldenCase> readCases() {
    std::ifstream file(K729_GOLDEN_CASES);
    std::vector<GoldenCase> cases;
    std::string text;
    for (int line = 1; std::getline(file, text); ++line) {
        text = trim(text);
        if (text.empty() || text[0] == '#') continue;
        std::vector<std::string> fields;
        std::istringstream parts(text);
        for (std::string field; std::getline(parts, field, '|');)
            fields.push_back(trim(field));
        GoldenCase c;
        c.line = line;
        c.name = fields.at(0);
        if (fields.size() > 1) c.gauge = fields[1];
        if (fields.size() > 2) {
            std::istringstream words(fields[2]);
            for (std::string word; words >> word;)
                c.arguments.push_back(word);
        }
        cases.push_back(c);
    }
    return cases;
}

// The arguments of `gaugehost render` for a case, writing to `out`.
std::vector<std::string> renderArguments(const GoldenCase& c, const fs::path& out) {
    std::vector<std::string> arguments = {"render", k729::host::test::gaugePath(c.gauge), "--out",
                                          out.string()};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    return arguments;
}

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

Surface readPng(const fs::path& path) {
    Surface s(cairo_image_surface_create_from_png(path.c_str()));
    if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    // Whatever the file held, compare as 32-bit ARGB.
    if (cairo_image_surface_get_format(s.get()) != CAIRO_FORMAT_ARGB32) {
        Surface argb(cairo_image_surface_create(CAIRO_FORMAT_ARGB32,
                                                cairo_image_surface_get_width(s.get()),
                                                cairo_image_surface_get_height(s.get())));
        cairo_t* cr = cairo_create(argb.get());
        cairo_set_source_surface(cr, s.get(), 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        s = std::move(argb);
    }
    cairo_surface_flush(s.get());
    return s;
}

std::uint32_t pixel(cairo_surface_t* s, int x, int y) {
    std::uint32_t v;
    std::memcpy(&v,
                cairo_image_surface_get_data(s) +
                    static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(s) + 4 * x,
                4);
    return v;
}

int channelDifference(std::uint32_t a, std::uint32_t b) {
    int most = 0;
    for (int shift = 0; shift < 32; shift += 8)
        most = std::max(most, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                       static_cast<int>((b >> shift) & 0xFF)));
    return most;
}

struct Comparison {
    std::size_t differing = 0, allowed = 0;
    int largest = 0, largestX = 0, largestY = 0;
};

// Compares two pictures of one size; writes the difference picture (red
// where a pixel differs, the golden picture faded to grey elsewhere).
Comparison compare(cairo_surface_t* golden, cairo_surface_t* actual, const fs::path& diffPath) {
    const int w = cairo_image_surface_get_width(golden), h = cairo_image_surface_get_height(golden);
    Comparison c;
    c.allowed = std::max(kDifferingMinimum,
                         static_cast<std::size_t>(kDifferingShare * static_cast<double>(w) * h));
    Surface diff(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
    unsigned char* data = cairo_image_surface_get_data(diff.get());
    const int stride = cairo_image_surface_get_stride(diff.get());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t g = pixel(golden, x, y), a = pixel(actual, x, y);
            const int d = channelDifference(g, a);
            if (d > c.largest) c.largest = d, c.largestX = x, c.largestY = y;
            std::uint32_t shown;
            if (d > kChannelTolerance) {
                ++c.differing;
                shown = 0xFFFF0000u;
            } else {
                const std::uint32_t grey =
                    64 + (((g >> 16) & 0xFF) + ((g >> 8) & 0xFF) + (g & 0xFF)) / 12;
                shown = 0xFF000000u | grey << 16 | grey << 8 | grey;
            }
            std::memcpy(data + static_cast<std::ptrdiff_t>(y) * stride + 4 * x, &shown, 4);
        }
    cairo_surface_mark_dirty(diff.get());
    if (c.differing > c.allowed) cairo_surface_write_to_png(diff.get(), diffPath.c_str());
    return c;
}

class GoldenPicture : public testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenPicture, MatchesItsGolden) {
    const GoldenCase& c = GetParam();
    const fs::path out = fs::path(K729_GOLDEN_OUT);
    fs::create_directories(out);
    const fs::path actualPath = out / (c.name + ".png"), diffPath = out / (c.name + ".diff.png");
    fs::remove(actualPath);
    fs::remove(diffPath);
    const fs::path goldenPath = fs::path(K729_GOLDEN_DIR) / (c.name + ".png");
    const std::string regenerate = "if the change is intended, regenerate the golden pictures "
                                   "with ./k729 golden and look at them before committing";

    const k729::host::test::ProgramResult result =
        k729::host::test::runGaugehost(renderArguments(c, actualPath));
    ASSERT_EQ(result.status, 0) << "gaugehost render failed:\n" << result.err;
    EXPECT_EQ(result.err, "");

    Surface golden = readPng(goldenPath);
    ASSERT_TRUE(golden) << "no golden picture " << goldenPath << "; " << regenerate;
    Surface actual = readPng(actualPath);
    ASSERT_TRUE(actual) << "gaugehost wrote no readable picture " << actualPath;
    const int gw = cairo_image_surface_get_width(golden.get());
    const int gh = cairo_image_surface_get_height(golden.get());
    const int aw = cairo_image_surface_get_width(actual.get());
    const int ah = cairo_image_surface_get_height(actual.get());
    ASSERT_TRUE(gw == aw && gh == ah)
        << c.name << ": the picture is " << aw << "x" << ah << ", its golden " << gw << "x" << gh
        << " (" << actualPath << "); " << regenerate;

    const Comparison comparison = compare(golden.get(), actual.get(), diffPath);
    EXPECT_LE(comparison.differing, comparison.allowed)
        << c.name << ": " << comparison.differing << " of " << gw * gh
        << " pixels differ from the golden picture by more than " << kChannelTolerance
        << " in a channel (at most " << comparison.allowed << " may); the largest difference is "
        << comparison.largest << " at (" << comparison.largestX << ", " << comparison.largestY
        << ").\n  rendered:   " << actualPath.string() << "\n  difference: " << diffPath.string()
        << " (red: differing pixels)\n  golden:     " << goldenPath.string() << "\n"
        << regenerate;
}

std::string caseName(const testing::TestParamInfo<GoldenCase>& info) {
    std::string name = info.param.name;
    std::replace_if(
        name.begin(), name.end(),
        [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Instruments, GoldenPicture, testing::ValuesIn(readCases()), caseName);

// Renders every case into the source folder and says what changed.
int update() {
    const fs::path folder(K729_GOLDEN_DIR);
    std::set<std::string> named;
    int failed = 0;
    for (const GoldenCase& c : readCases()) {
        const fs::path target = folder / (c.name + ".png");
        named.insert(target.filename().string());
        std::string before;
        if (std::ifstream in(target, std::ios::binary); in)
            before.assign(std::istreambuf_iterator<char>(in), {});
        const k729::host::test::ProgramResult result =
            k729::host::test::runGaugehost(renderArguments(c, target));
        if (result.status != 0) {
            std::cerr << "golden: " << c.name << ": gaugehost render failed (status "
                      << result.status << "):\n"
                      << result.err;
            ++failed;
            continue;
        }
        std::ifstream in(target, std::ios::binary);
        const std::string after(std::istreambuf_iterator<char>(in), {});
        std::cout << "golden: " << target.string() << " "
                  << (before.empty()    ? "new"
                      : before == after ? "unchanged"
                                        : "CHANGED")
                  << '\n';
    }
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".png" && !named.count(entry.path().filename().string()))
            std::cout << "golden: " << entry.path().string()
                      << " is no case's picture any more: remove it\n";
    return failed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--update") return update();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
