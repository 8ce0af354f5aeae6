// Sessions on the modules made for these tests: opening and refusing, the
// element walk and its results, mouse areas, text buffers, faults.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "k729host/session.h"
#include "test_support.h"

namespace k729::host {
namespace {

using test::testModulePath;

std::unique_ptr<GaugeSession> openOrFail(Host& host, const std::string& path,
                                         SessionOptions options = {}) {
    ErrorOr<std::unique_ptr<GaugeSession>> session = GaugeSession::open(host, path, options);
    if (session.isError()) {
        ADD_FAILURE() << session.error().message;
        return nullptr;
    }
    return session.release();
}

TEST(OpenSession, RefusesWhatIsNotAModuleWithAClearError) {
    const std::pair<std::string, std::string> cases[] = {
        {test::binFolder() + "/no-such-module.gau", "cannot read the file"},
        {test::binFolder(), "cannot read the file"},
        {test::temporaryFile("text.gau", "not a module\n"), "not a loadable module"},
        {test::temporaryFile("empty.gau", ""), "not a loadable module"},
        {test::soundLibraryPath(), "no Linkage record"},
        {testModulePath("MalformedNoLinkage"), "no Linkage record"},
        {testModulePath("MalformedNoImportTable"), "no ImportTable record"},
        {testModulePath("MalformedBadId"), "Linkage has id 7, not 19"},
        {testModulePath("MalformedNoGauge"), "Linkage lists no gauge"},
        {testModulePath("MalformedTwoGauges"), "Linkage lists more than one gauge"},
    };
    Host host;
    for (const auto& [path, expected] : cases) {
        ErrorOr<std::unique_ptr<GaugeSession>> session = GaugeSession::open(host, path);
        ASSERT_TRUE(session.isError()) << path;
        EXPECT_NE(session.error().message.find(expected), std::string::npos)
            << session.error().message;
        EXPECT_EQ(session.error().message.find('\n'), std::string::npos);
    }
    EXPECT_TRUE(host.problems().empty());
}

// The fixture with every kind (see fixtures/fixture_module.cpp).
class KindsSession : public ::testing::Test {
protected:
    void open(SessionOptions options = {}) {
        session = openOrFail(host, testModulePath("HostFixtureKinds"), options);
        ASSERT_TRUE(session);
    }
    void set(VarToken token, StoredValue value) { host.variables().set(token, value); }
    const ElementState& element(std::size_t index) const { return session->elements().at(index); }

    Host host;
    std::unique_ptr<GaugeSession> session;
};

TEST_F(KindsSession, WalksRootFirstThenEachChildListDepthFirst) {
    open();
    EXPECT_TRUE(session->elements().empty()); // no frame yet
    session->frame();
    const std::vector<std::pair<ElementKind, int>> expected = {
        {ElementKind::StaticImage, 0},   {ElementKind::Needle, 1}, {ElementKind::Slider, 2},
        {ElementKind::StringElement, 1}, {ElementKind::Icon, 1},   {ElementKind::MovingImage, 2},
        {ElementKind::Sprite, 2},
    };
    ASSERT_EQ(session->elements().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(element(i).element->kind, expected[i].first) << i;
        EXPECT_EQ(element(i).depth, expected[i].second) << i;
    }
    EXPECT_EQ(element(0).parent, nullptr);
    EXPECT_EQ(element(2).parent, element(1).element);
    EXPECT_EQ(element(6).parent, element(4).element);
    EXPECT_EQ(element(1).element->bitmapId, 11);
    EXPECT_EQ(element(1).element->position.y, 2);
    EXPECT_TRUE(session->errors().empty());
}

TEST_F(KindsSession, CallbackResultsPerKindFromFreshSources) {
    open();
    set(100, StoredValue::ofNumber(1.5));
    set(101, StoredValue::ofNumber(2));
    set(102, StoredValue::ofNumber(3));
    set(103, StoredValue::ofNumber(4));
    set(104, StoredValue::ofNumber(5));
    set(105, StoredValue::ofNumber(6));
    set(106, StoredValue::ofInteger(-7));
    set(107, StoredValue::ofNumber(8));
    set(108, StoredValue::ofNumber(-0.0));
    set(109, StoredValue::ofText("abc"));
    set(110, StoredValue::ofNumber(10));
    session->frame();

    const ElementResults& root = element(0).results;
    EXPECT_FALSE(root.value || root.x || root.y || root.rot);
    EXPECT_EQ(element(1).results.value, 3.0); // needle: doubled
    EXPECT_EQ(element(2).results.x, 3.5);     // slider: plus 0.5
    EXPECT_EQ(element(2).results.y, 4.0);     // no callback: the source itself
    EXPECT_FALSE(element(2).results.value);
    EXPECT_EQ(element(3).results.value, 5.0); // label: its third source
    EXPECT_EQ(element(3).text, "T=2\xB0 abc");
    EXPECT_EQ(element(4).results.value, 6.0); // icon without callback
    EXPECT_EQ(element(5).results.x, -7.0);    // an integer token
    EXPECT_EQ(element(5).results.y, 42.0);    // token 0 slot untouched
    EXPECT_EQ(element(6).results.x, 8.0);
    ASSERT_TRUE(element(6).results.y);
    EXPECT_TRUE(std::signbit(*element(6).results.y));
    EXPECT_EQ(element(6).results.rot, 10.0);
    EXPECT_FALSE(element(1).element->drawFlags & HiddenFlag);
    EXPECT_EQ(element(1).element->drawFlags, kDeclaredDrawFlags | BrightFlag);
    EXPECT_EQ(element(0).element->drawFlags, kDeclaredDrawFlags);

    // Sources are refreshed before every frame's callbacks.
    set(100, StoredValue::ofNumber(-1));
    set(109, StoredValue::ofText("xyz"));
    session->frame();
    EXPECT_EQ(element(1).results.value, -2.0);
    EXPECT_EQ(element(3).text, "T=2\xB0 xyz");
    EXPECT_EQ(session->frames(), 2u);
    EXPECT_TRUE(session->errors().empty());
    EXPECT_TRUE(host.problems().empty());
}

TEST_F(KindsSession, NamedVariableLivesFromInstallToKill) {
    open();
    ASSERT_NE(host.findNamedVariable("FIXTURE_VALUE"), nullptr);
    EXPECT_EQ(host.findNamedVariable("FIXTURE_VALUE")->read(), 7u);
    session->frame();
    EXPECT_EQ(host.findNamedVariable("FIXTURE_VALUE")->read(), 8u);
    session->kill();
    EXPECT_TRUE(session->killed());
    EXPECT_EQ(host.findNamedVariable("FIXTURE_VALUE"), nullptr);
}

TEST_F(KindsSession, EndingTheSessionKillsTheModule) {
    open();
    EXPECT_EQ(host.namedVariables().size(), 1u);
    session.reset();
    EXPECT_TRUE(host.namedVariables().empty());
}

TEST_F(KindsSession, MouseAreasAndTooltip) {
    open();
    EXPECT_EQ(session->tooltip(), "Fixture \xB0 tip");
    ASSERT_EQ(session->areas().size(), 4u);
    const MouseArea& b = session->areas()[1];
    EXPECT_EQ(b.box.x, 5);
    EXPECT_EQ(b.box.h, 10);
    EXPECT_EQ(b.cursor, kCursorStepUp);
    EXPECT_EQ(b.flags, kMouseLeftHeld);
    EXPECT_EQ(b.listIndex, 3u);
}

TEST_F(KindsSession, HitTestFirstMatchWithHalfOpenBoxes) {
    open();
    struct Case {
        std::int32_t x, y;
        int area; // index in areas(), -1 for none
    };
    const Case cases[] = {
        {0, 0, 0},   {9, 9, 0},    {5, 5, 0},    {10, 10, 1},
        {14, 14, 1}, {15, 14, -1}, {14, 15, -1}, {10, 0, -1},
        {-1, 0, -1}, {0, -1, -1},  {20, 0, 2},   {24, 4, 2},
        {25, 4, -1}, {24, 5, -1},  {30, 0, 3},   {INT32_MAX, INT32_MAX, -1},
    };
    for (const Case& c : cases) {
        const MouseArea* area = session->areaAt(c.x, c.y);
        int index = area ? static_cast<int>(area - session->areas().data()) : -1;
        EXPECT_EQ(index, c.area) << c.x << "," << c.y;
    }
}

TEST_F(KindsSession, ClickNeedsTheSingleFlagHoldRepeatsOnlyWithTheRepeatFlag) {
    open();
    struct Case {
        std::int32_t x, y;
        int clickCalls, holdCalls;
        KeyEventId event;
    };
    const Case cases[] = {
        {0, 0, 1, 1, 1},   // single only: a hold is one press
        {12, 12, 1, 3, 2}, // single and repeat
        {20, 0, 0, 3, 3},  // repeat only
        {30, 0, 0, 0, 4},  // no flags
        {50, 50, 0, 0, 0}, // outside every area
    };
    for (const Case& c : cases) {
        std::size_t before = host.keyEvents().size();
        EXPECT_EQ(session->click(c.x, c.y), c.clickCalls) << c.x << "," << c.y;
        EXPECT_EQ(session->hold(c.x, c.y, 3), c.holdCalls) << c.x << "," << c.y;
        std::vector<KeyEvent> sent(host.keyEvents().begin() + before, host.keyEvents().end());
        EXPECT_EQ(sent, std::vector<KeyEvent>(c.clickCalls + c.holdCalls, KeyEvent{c.event, 0}))
            << c.x << "," << c.y;
    }
    EXPECT_EQ(mousePosition(3, 5), 0x00050003u);
    EXPECT_EQ(mousePosition(-1, 0x12345), 0x2345FFFFu);
}

TEST_F(KindsSession, SmallTextBuffersCutTheTextWithoutOverrun) {
    const std::string full = "T=0\xB0 -";
    for (std::uint32_t size = 1; size <= full.size() + 2; ++size) {
        open({.textBufferBytes = size});
        session->frame();
        EXPECT_EQ(element(3).text, full.substr(0, size - 1)) << size;
        EXPECT_EQ(as<StringElement>(*element(3).element).textSize, size);
        EXPECT_TRUE(session->errors().empty()) << size << ": " << session->errors().front();
        session.reset();
    }
}

TEST_F(KindsSession, ZeroTextBufferHandsANullBuffer) {
    open({.textBufferBytes = 0});
    session->frame();
    const StringElement& label = as<StringElement>(*element(3).element);
    EXPECT_EQ(label.text, nullptr);
    EXPECT_EQ(label.textSize, 0u);
    EXPECT_EQ(element(3).text, "");
    EXPECT_TRUE(session->errors().empty());
}

TEST(OpenSession, RefusesATextBufferOverTheLimit) {
    Host host;
    ErrorOr<std::unique_ptr<GaugeSession>> session = GaugeSession::open(
        host, testModulePath("HostFixtureKinds"), {.textBufferBytes = kMaxTextBufferBytes + 1});
    EXPECT_TRUE(session.isError());
}

TEST(FaultySession, OverrunsMissingNulsAndUnexpectedCallsAreReported) {
    for (std::uint32_t size : {1u, 8u, 512u}) {
        Host host;
        std::unique_ptr<GaugeSession> session =
            openOrFail(host, testModulePath("HostFixtureFaulty"), {.textBufferBytes = size});
        ASSERT_TRUE(session);
        ASSERT_EQ(host.problems().size(), 1u);
        EXPECT_EQ(host.problems()[0].entry, 47u);

        session->frame();
        const std::string bytes = std::to_string(size) + "-byte buffer";
        EXPECT_EQ(session->errors(),
                  (std::vector<std::string>{
                      "element 0 (StringElement): text written outside its " + bytes,
                      "element 0 (StringElement): text has no NUL within its " + bytes,
                      "element 1 (StringElement): text has no NUL within its " + bytes,
                  }));
        // What was in the buffer, no more.
        EXPECT_EQ(session->elements()[0].text, std::string(size, 'x'));
        EXPECT_EQ(session->elements()[1].text, std::string(size, 'y'));
    }
}

TEST(BrokenTree, CycleAndDepthStopTheWalkWithAnError) {
    struct Case {
        const char* module;
        std::size_t walked;
        std::string error;
    };
    const Case cases[] = {
        {"HostFixtureCycle", 3,
         "element tree has a cycle: the child list of element 2 (StaticImage) leads back to an "
         "element above it"},
        {"HostFixtureDeep", kMaxElementDepth + 1, "element tree deeper than 32 levels"},
    };
    for (const Case& c : cases) {
        Host host;
        std::unique_ptr<GaugeSession> session = openOrFail(host, testModulePath(c.module));
        ASSERT_TRUE(session);
        session->frame();
        EXPECT_EQ(session->elements().size(), c.walked) << c.module;
        EXPECT_EQ(session->errors(), std::vector<std::string>{c.error}) << c.module;
    }
}

} // namespace
} // namespace k729::host
