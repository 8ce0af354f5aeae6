// The road of one command, end to end: a click on a panel pixel finds the
// generator 2 button, its mouse function sends key event 66364, the command
// model turns token 575 on, and the next frame draws the lit lamp.
#include <gtest/gtest.h>

#include "k729host/host.h"
#include "k729host/sound.h"
#include "k729host/text_encoding.h"
#include "k729panel/commands.h"
#include "k729panel/panel_view.h"
#include "support.h"

namespace k729::panel {
namespace {

using testing::binFolder;

constexpr const char* kPanel = "panel 200 100\n"
                               "background #102030\n"
                               "gauge QT_K729_Gen2Btn.gau QT_K729_Gen2Btn 100 50 40 40\n"
                               "gauge QT_K729_Start2_Btn.gau QT_K729_Start2_Btn 150 50 29 30\n"
                               "gauge QT_ORV_CrsSel_NotBuilt.gau QT_ORV_CrsSel 10 10 68 40\n";

class Road : public ::testing::Test {
protected:
    void SetUp() override {
        host::prepareSound(host::SoundMode::Absent);
        host::ErrorOr<Panel> parsed = parsePanel(kPanel, "road.panel");
        ASSERT_FALSE(parsed.isError()) << parsed.error().message;
        panel = parsed.release();
        host::ErrorOr<std::vector<PlacedGauge>> opened =
            openGauges(host, panel, binFolder(), warnings);
        ASSERT_FALSE(opened.isError()) << opened.error().message;
        gauges = opened.release();
        frame();
    }

    void frame() {
        for (PlacedGauge& g : gauges)
            if (g.session) g.session->frame();
    }

    // What every click of the road does: route, click, carry out the events.
    int click(std::int32_t x, std::int32_t y, std::uint32_t repeats = 0) {
        const ClickTarget target = route(gauges, x, y);
        if (!target.gauge) return 0;
        const std::size_t before = host.keyEvents().size();
        const int calls = repeats ? target.gauge->session->hold(target.x, target.y, repeats)
                                  : target.gauge->session->click(target.x, target.y);
        for (std::size_t i = before; i < host.keyEvents().size(); ++i)
            carryOut(host.keyEvents()[i].event, host.variables());
        return calls;
    }

    double lampValue(std::size_t gauge) {
        for (const host::ElementState& e : gauges.at(gauge).session->elements())
            if (e.element->kind == ElementKind::Icon) return e.results.value.value_or(-1);
        ADD_FAILURE() << "no lamp";
        return -1;
    }

    // The panel pixel's colour, drawn from the gauges' last frame.
    render::Rgb pixel(int x, int y, const PanelDrawOptions& options = {}) {
        render::Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 200, 100));
        std::vector<DrawProblem> problems;
        drawPanel(surface.get(), panel, gauges, options, problems);
        EXPECT_TRUE(problems.empty()) << problems.front().what;
        cairo_surface_flush(surface.get());
        const unsigned char* p = cairo_image_surface_get_data(surface.get()) +
                                 y * cairo_image_surface_get_stride(surface.get()) + 4 * x;
        return {p[2], p[1], p[0]}; // opaque: premultiplied is plain
    }

    host::Host host;
    Panel panel;
    std::vector<std::string> warnings;
    std::vector<PlacedGauge> gauges;
};

TEST_F(Road, ClickOnTheGeneratorButtonLightsItsLampInTheNextFrame) {
    EXPECT_EQ(lampValue(0), 0);
    const render::Rgb dark = pixel(120, 80); // in the lamp window, lower half of the button

    // Panel (121, 70) is gauge pixel (21, 20), inside the area (1, 0, 40, 39).
    EXPECT_EQ(click(121, 70), 1);
    ASSERT_EQ(host.keyEvents().size(), 1u);
    EXPECT_EQ(host.keyEvents()[0], (host::KeyEvent{66364, 0}));
    EXPECT_EQ(host.variables().number(575), 1);
    EXPECT_EQ(lampValue(0), 0) << "the lamp changes with the next frame, not before";

    frame();
    EXPECT_EQ(lampValue(0), 1);
    const render::Rgb lit = pixel(120, 80);
    EXPECT_GT(lit.g, dark.g + 60) << "the lamp window turns green";
    EXPECT_GT(lit.g, lit.r + 60);

    // Again: off.
    click(121, 70);
    frame();
    EXPECT_EQ(lampValue(0), 0);
    EXPECT_EQ(pixel(120, 80), dark);
}

TEST_F(Road, HoldingTheStarterSendsItsEventForEveryRepeat) {
    EXPECT_EQ(click(160, 60, 3), 3);
    EXPECT_EQ(host.keyEvents().size(), 3u);
    EXPECT_EQ(host.variables().number(573), 1); // toggled three times
    frame();
    EXPECT_EQ(lampValue(1), 0) << "starter lamp: image 0 (bright) while 573 is not 0";
}

TEST_F(Road, ClicksOutsideEveryAreaOrOnAGaugeNotBuiltSendNothing) {
    // Gauge (0, 39) lies outside the generator's area (1, 0, 40, 39).
    EXPECT_EQ(route(gauges, 100, 89).gauge, nullptr);
    EXPECT_EQ(route(gauges, 100, 89).under, &gauges[0]);
    const ClickTarget course = route(gauges, 60, 30);
    EXPECT_EQ(course.gauge, nullptr);
    ASSERT_NE(course.under, nullptr);
    EXPECT_EQ(course.under->place.name, "QT_ORV_CrsSel");
    EXPECT_EQ(route(gauges, 5, 5).under, nullptr);
    EXPECT_EQ(click(60, 30), 0);
    EXPECT_TRUE(host.keyEvents().empty());
}

TEST_F(Road, CourseArrowsStepTheCourseThroughTheirKeyEvent) {
    // No course gauge is built yet: its arrows' event goes in directly.
    host.variables().set(854, host::StoredValue::ofNumber(359));
    host.triggerKeyEvent(65663, 0);
    carryOut(host.keyEvents().back().event, host.variables());
    EXPECT_EQ(host.variables().number(854), 0);
    host.triggerKeyEvent(65662, 0);
    carryOut(host.keyEvents().back().event, host.variables());
    EXPECT_EQ(host.variables().number(854), 359);
}

// The generator's area (1, 0, 40, 39), cursor 5, on the gauge at (100, 50):
// outlined along its inside, its right edge beyond the gauge cut off, and its
// cursor code in the corner.
TEST_F(Road, AreasAreOutlinedWithinTheirGaugeWithTheirCursorCode) {
    const PanelDrawOptions areas{.areas = true};
    constexpr render::Rgb kMagenta{255, 0, 255};
    EXPECT_EQ(pixel(101, 70, areas), kMagenta) << "left edge";
    EXPECT_EQ(pixel(120, 88, areas), kMagenta) << "bottom edge";
    EXPECT_EQ(pixel(100, 70, areas), pixel(100, 70)) << "left of the area: the gauge's";
    EXPECT_EQ(pixel(140, 70, areas), (render::Rgb{0x10, 0x20, 0x30})) << "beyond the gauge";
    EXPECT_EQ(pixel(103, 52, areas), kMagenta) << "top bar of the 5";
    EXPECT_NE(pixel(104, 53, areas), kMagenta) << "the 5's open right side";
}

TEST_F(Road, AGaugeNotBuiltIsAPlaceholderWithOneWarning) {
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("road.panel:5: QT_ORV_CrsSel is not built yet"), std::string::npos)
        << warnings[0];
    EXPECT_EQ(gauges[2].session, nullptr);
    // The placeholder is drawn: darker than the panel inside its box.
    const render::Rgb inside = pixel(20, 30), outside = pixel(5, 5);
    EXPECT_EQ(outside, (render::Rgb{0x10, 0x20, 0x30}));
    EXPECT_LT(inside.b, outside.b);
}

// Cairo draws nothing more on a context once handed text that is not UTF-8:
// a name in code page 1252 (a file name, a gauge name) must not blank what
// is drawn after it.
render::Rgb pixelOf(cairo_surface_t* surface, int x, int y) {
    cairo_surface_flush(surface);
    const unsigned char* p =
        cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface) + 4 * x;
    return {p[2], p[1], p[0]};
}

TEST(Labels, ANameThatIsNotUtf8BlanksNothingDrawnAfterIt) {
    for (const std::string name : {"Plain", "Caf\xe9"}) {
        SCOPED_TRACE(host::cp1252ToUtf8(name));
        render::Surface frame(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 40, 20));
        cairo_t* cr = cairo_create(frame.get());
        cairo_set_source_rgb(cr, 1, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        std::vector<render::Surface> thumbnails;
        thumbnails.push_back(thumbnail(frame.get(), 40));
        const render::Surface sheet = contactSheet(thumbnails, {"0 s"}, name + ".panel", 1);
        EXPECT_EQ(pixelOf(sheet.get(), 32, 40), (render::Rgb{255, 0, 0})) << "the frame";

        // Two placeholders: the second is drawn after the first one's label.
        host::ErrorOr<Panel> panel = parsePanel("panel 100 50\nbackground #808080\n"
                                                "gauge a.gau " +
                                                    name + " 0 0 50 50\ngauge b.gau B 50 0 50 50\n",
                                                "labels.panel");
        ASSERT_FALSE(panel.isError()) << panel.error().message;
        host::Host host;
        std::vector<std::string> warnings;
        host::ErrorOr<std::vector<PlacedGauge>> gauges =
            openGauges(host, panel.value(), "/nonexistent", warnings);
        ASSERT_FALSE(gauges.isError()) << gauges.error().message;
        render::Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 100, 50));
        std::vector<DrawProblem> problems;
        drawPanel(surface.get(), panel.value(), gauges.value(), {}, problems);
        EXPECT_LT(pixelOf(surface.get(), 52, 5).r, 0x80) << "the second placeholder's recess";
    }
}

} // namespace
} // namespace k729::panel
