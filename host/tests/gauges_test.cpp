// The host against the real button and light modules: what it walks, what the
// callbacks hand back, where the clicks land. (The lamp rules themselves are
// tested with the gauges.)
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "k729host/session.h"
#include "test_support.h"

namespace k729::host {
namespace {

class GaugeTest : public ::testing::Test {
protected:
    void open(const char* gauge, SessionOptions options = {}) {
        ErrorOr<std::unique_ptr<GaugeSession>> opened =
            GaugeSession::open(host, test::gaugePath(gauge), options);
        ASSERT_FALSE(opened.isError()) << opened.error().message;
        session = opened.release();
    }
    std::vector<ElementKind> kinds() const {
        std::vector<ElementKind> out;
        for (const ElementState& state : session->elements())
            out.push_back(state.element->kind);
        return out;
    }

    Host host;
    std::unique_ptr<GaugeSession> session;
};

const std::string kGen2Label = "GEN2" + std::string(199, ' ') + "0";

TEST_F(GaugeTest, Gen2ButtonWalkAndResults) {
    open("QT_K729_Gen2Btn");
    host.variables().set(575, StoredValue::ofNumber(1));
    session->frame();
    EXPECT_EQ(session->gaugeName(), "QT_K729_Gen2Btn");
    ASSERT_EQ(kinds(), (std::vector<ElementKind>{ElementKind::StaticImage, ElementKind::Icon,
                                                 ElementKind::StringElement}));
    const auto& elements = session->elements();
    EXPECT_EQ(elements[0].element->bitmapId, 5120);
    EXPECT_EQ(elements[1].element->bitmapId, 4608);
    EXPECT_EQ(elements[2].element->position.x, 2);
    EXPECT_EQ(elements[2].element->position.y, 6);
    EXPECT_EQ(elements[0].element->drawFlags, 131u);
    EXPECT_EQ(elements[1].element->drawFlags, 135u);
    EXPECT_EQ(elements[1].results.value, 1.0);
    EXPECT_EQ(elements[2].results.value, 0.0);
    EXPECT_EQ(elements[2].text, kGen2Label);
    EXPECT_EQ(session->tooltip(), "Generator 2 Button");
    EXPECT_TRUE(session->errors().empty());
    EXPECT_TRUE(host.problems().empty());
}

TEST_F(GaugeTest, Gen2LabelSourcesAreTokenZeroAndStayAtRest) {
    open("QT_K729_Gen2Btn");
    host.variables().set(0, StoredValue::ofNumber(5));
    session->frame();
    EXPECT_EQ(session->elements()[2].text, kGen2Label);
}

TEST_F(GaugeTest, Gen2ClicksInsideItsBoxOnly) {
    open("QT_K729_Gen2Btn");
    session->frame();
    struct Case {
        std::int32_t x, y;
        int calls;
    };
    // Box {1, 0, 40, 39}.
    const Case cases[] = {{1, 0, 1},  {40, 38, 1}, {20, 20, 1}, {0, 0, 0},
                          {41, 0, 0}, {1, 39, 0},  {-5, 10, 0}};
    std::size_t expected = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(session->click(c.x, c.y), c.calls) << c.x << "," << c.y;
        EXPECT_EQ(session->hold(c.x, c.y, 5), c.calls) << "single-click area: one call";
        expected += 2 * c.calls;
    }
    EXPECT_EQ(host.keyEvents(), std::vector<KeyEvent>(expected, KeyEvent{66364, 0}));
}

TEST_F(GaugeTest, Start2ButtonRepeatsWhileHeld) {
    open("QT_K729_Start2_Btn");
    session->frame();
    EXPECT_EQ(kinds(), (std::vector<ElementKind>{ElementKind::StaticImage, ElementKind::Icon}));
    EXPECT_EQ(session->elements()[1].results.value, 1.0); // lit while its source reads 0
    EXPECT_EQ(session->hold(27, 29, 4), 4);
    EXPECT_EQ(session->click(0, 0), 1);
    EXPECT_EQ(session->hold(28, 0, 4), 0);
    EXPECT_EQ(host.keyEvents(), std::vector<KeyEvent>(5, KeyEvent{66301, 0}));
}

TEST_F(GaugeTest, TinyTextBuffersCutTheLabel) {
    for (std::uint32_t size = 1; size <= 8; ++size) {
        open("QT_K729_BattBtn", {.textBufferBytes = size});
        session->frame();
        EXPECT_EQ(session->elements()[2].text, std::string("BAT     ").substr(0, size - 1));
        EXPECT_TRUE(session->errors().empty()) << size;
        session.reset();
    }
}

TEST_F(GaugeTest, LightReadsItsRefreshListThroughTheHost) {
    open("QT_K729_WrngLt");
    host.variables().set(626, StoredValue::ofNumber(10));
    host.variables().set(645, StoredValue::ofNumber(10));
    session->frame();
    ASSERT_EQ(kinds(), (std::vector<ElementKind>{ElementKind::StaticImage, ElementKind::Icon}));
    EXPECT_EQ(session->elements()[1].results.value, 0.0);
    host.variables().set(645, StoredValue::ofNumber(1));
    session->frame();
    EXPECT_EQ(session->elements()[1].results.value, 1.0);
    EXPECT_TRUE(session->areas().empty());
    EXPECT_EQ(session->tooltip(), "Engines Warning Light");
}

TEST_F(GaugeTest, StallLightShowsItsSource) {
    open("QT_K729_StallWrng");
    host.variables().set(67, StoredValue::ofNumber(1));
    session->frame();
    ASSERT_EQ(session->elements().size(), 2u);
    EXPECT_EQ(session->elements()[0].element->bitmapId, 256);
    EXPECT_EQ(session->elements()[1].element->bitmapId, 4352);
    EXPECT_EQ(session->elements()[1].results.value, 1.0);
}

} // namespace
} // namespace k729::host
