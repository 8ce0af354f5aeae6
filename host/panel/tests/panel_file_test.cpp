// Panel files: what a good file gives, and for each kind of bad line the
// error that names it.
#include <gtest/gtest.h>

#include <map>

#include "k729panel/embedded.h"
#include "k729panel/panel_file.h"

namespace k729::panel {
namespace {

TEST(PanelFile, ReadsSizeColourAndGaugesInOrder) {
    const char* text = "# a comment\n"
                       "\n"
                       "panel 300 200\r\n"
                       "  background #0a1B2c  \n"
                       "\tgauge QT_K729_Gen2Btn.gau QT_K729_Gen2Btn 10 20 40 40\n"
                       "gauge /abs/QT_ORV_CrsSel.gau QT_ORV_CrsSel 260 160 40 40\n"
                       "   # an indented comment\n";
    host::ErrorOr<Panel> panel = parsePanel(text, "p.panel");
    ASSERT_FALSE(panel.isError()) << panel.error().message;
    const Panel& p = panel.value();
    EXPECT_EQ(p.width, 300);
    EXPECT_EQ(p.height, 200);
    EXPECT_EQ(p.background, (render::Rgb{0x0A, 0x1B, 0x2C}));
    ASSERT_EQ(p.gauges.size(), 2u);
    EXPECT_EQ(p.gauges[0].module, "QT_K729_Gen2Btn.gau");
    EXPECT_EQ(p.gauges[0].name, "QT_K729_Gen2Btn");
    EXPECT_EQ(p.gauges[0].x, 10);
    EXPECT_EQ(p.gauges[0].y, 20);
    EXPECT_EQ(p.gauges[0].line, 5);
    // Touching the panel's right and bottom edges is inside.
    EXPECT_EQ(p.gauges[1].module, "/abs/QT_ORV_CrsSel.gau");
    EXPECT_EQ(p.gauges[1].line, 6);
}

TEST(PanelFile, BackgroundIsOptional) {
    host::ErrorOr<Panel> panel = parsePanel("panel 10 10\n", "p");
    ASSERT_FALSE(panel.isError());
    EXPECT_EQ(panel.value().background, (render::Rgb{32, 32, 32}));
    EXPECT_TRUE(panel.value().gauges.empty());
}

struct BadPanel {
    const char* text;
    const char* error; // the whole message
};
void PrintTo(const BadPanel& b, std::ostream* os) {
    *os << '"' << b.text << '"';
}

class PanelFileErrors : public ::testing::TestWithParam<BadPanel> {};

TEST_P(PanelFileErrors, NameTheFileAndLine) {
    host::ErrorOr<Panel> panel = parsePanel(GetParam().text, "k.panel");
    ASSERT_TRUE(panel.isError());
    EXPECT_EQ(panel.error().message, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, PanelFileErrors,
    ::testing::Values(
        BadPanel{"", "k.panel: no \"panel WIDTH HEIGHT\" line"},
        BadPanel{"# only\ngauge a.gau A 0 0 1 1\n", "k.panel: no \"panel WIDTH HEIGHT\" line"},
        BadPanel{"panel 10\n", "k.panel:1: expected \"panel WIDTH HEIGHT\""},
        BadPanel{"panel 10 0\n",
                 "k.panel:1: the panel's width and height must be whole numbers from 1 to 4096"},
        BadPanel{"panel 4097 10\n",
                 "k.panel:1: the panel's width and height must be whole numbers from 1 to 4096"},
        BadPanel{"panel 10 1e2\n",
                 "k.panel:1: the panel's width and height must be whole numbers from 1 to 4096"},
        BadPanel{"panel 10 10\n\npanel 20 20\n",
                 "k.panel:3: a second panel line (the first is line 1)"},
        BadPanel{"panel 10 10\nbackground 123456\n",
                 "k.panel:2: \"123456\" is not a colour #RRGGBB"},
        BadPanel{"panel 10 10\nbackground #12345g\n",
                 "k.panel:2: \"#12345g\" is not a colour #RRGGBB"},
        BadPanel{"panel 10 10\nbackground #123456 # grey\n",
                 "k.panel:2: expected \"background #RRGGBB\""},
        BadPanel{"panel 10 10\nbackground #000000\nbackground #000000\n",
                 "k.panel:3: a second background line (the first is line 2)"},
        BadPanel{"panel 10 10\ngauge a.gau A 0 0 1\n",
                 "k.panel:2: expected \"gauge MODULE-FILE GAUGE-NAME X Y WIDTH HEIGHT\""},
        BadPanel{"panel 10 10\ngauge a.gau A -1 0 1 1\n",
                 "k.panel:2: X \"-1\" is not a whole number from 0 to 4096"},
        BadPanel{"panel 10 10\ngauge a.gau A 0 y 1 1\n",
                 "k.panel:2: Y \"y\" is not a whole number from 0 to 4096"},
        BadPanel{"panel 10 10\ngauge a.gau A 0 0 0 1\n",
                 "k.panel:2: WIDTH \"0\" is not a whole number from 1 to 4096"},
        BadPanel{"panel 10 10\ngauge a.gau A 0 0 1 99999999999\n",
                 "k.panel:2: HEIGHT \"99999999999\" is not a whole number from 1 to 4096"},
        BadPanel{"panel 10 10\ngauge a.gau A 0 0 1 1\ngauge a.gau B 2 2 1 1\n",
                 "k.panel:3: module a.gau is placed twice (first on line 2); a module carries "
                 "one gauge"},
        BadPanel{"panel 10 10\ngauge a.gau A 0 0 1 1\ngauge b.gau A 2 2 1 1\n",
                 "k.panel:3: gauge A is placed twice (first on line 2)"},
        BadPanel{"panel 10 10\ngauge a.gau A 5 0 6 1\n",
                 "k.panel:2: gauge A (5, 0, 6x1) reaches beyond the 10x10 panel"},
        BadPanel{"gauge a.gau A 0 9 1 2\npanel 10 10\n",
                 "k.panel:1: gauge A (0, 9, 1x2) reaches beyond the 10x10 panel"},
        BadPanel{"panel 10 10\nguage a.gau A 0 0 1 1\n",
                 "k.panel:2: unknown statement \"guage\" (expected panel, background or gauge)"}));

TEST(PanelFile, ReadingAMissingFileNamesIt) {
    host::ErrorOr<Panel> panel = readPanel("/nonexistent/k729.panel");
    ASSERT_TRUE(panel.isError());
    EXPECT_EQ(panel.error().message, "/nonexistent/k729.panel: cannot open the file");
}

// The panel the demo flies: all twelve instruments at their own sizes, none
// overlapping another, each module named after its gauge.
TEST(PanelFile, TheK729PanelPlacesAllTwelveInstruments) {
    host::ErrorOr<Panel> panel = parsePanel(kEmbeddedPanel, kEmbeddedPanelName);
    ASSERT_FALSE(panel.isError()) << panel.error().message;
    const std::map<std::string, std::pair<int, int>> sizes = {
        {"QT_K729_PFD", {189, 166}},       {"QT_K729_ND_Data", {183, 28}},
        {"QT_ORV_HSI", {298, 248}},        {"QT_K729_SbyAttitude", {120, 120}},
        {"QT_ORV_CrsSel", {68, 40}},       {"QT_K729_Gen2Btn", {40, 40}},
        {"QT_K729_Start2_Btn", {29, 30}},  {"QT_K729_BattBtn", {40, 40}},
        {"QT_K729_StallWrng", {208, 176}}, {"QT_K729_OvSpdLbl", {35, 31}},
        {"QT_K729_WrngLt", {72, 62}},      {"QT_K729_CautLt", {72, 62}},
    };
    const std::vector<PanelGauge>& gauges = panel.value().gauges;
    ASSERT_EQ(gauges.size(), sizes.size());
    for (const PanelGauge& g : gauges) {
        ASSERT_TRUE(sizes.count(g.name)) << g.name;
        EXPECT_EQ(std::make_pair(g.width, g.height), sizes.at(g.name)) << g.name;
        EXPECT_EQ(g.module, g.name + ".gau");
        for (const PanelGauge& other : gauges) {
            if (&other == &g) continue;
            EXPECT_FALSE(g.x < other.x + other.width && other.x < g.x + g.width &&
                         g.y < other.y + other.height && other.y < g.y + g.height)
                << g.name << " overlaps " << other.name;
        }
    }
}

} // namespace
} // namespace k729::panel
