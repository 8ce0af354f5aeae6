// Scenario files: records, errors that name their line, interpolation and
// the playback's precedence between keyframes and commands.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "k729panel/scenario.h"

namespace k729::panel {
namespace {

using Kind = host::StoredValue::Kind;

Scenario parsed(const std::string& text) {
    host::ErrorOr<Scenario> s = parseScenario(text, "s.csv");
    EXPECT_FALSE(s.isError()) << s.error().message;
    return s.isError() ? Scenario{} : s.release();
}

double numberAt(const Track& track, double t) {
    std::optional<host::StoredValue> v = track.at(t);
    EXPECT_TRUE(v.has_value()) << "t " << t;
    EXPECT_EQ(v ? v->kind : Kind::Text, Kind::Number);
    return v ? v->number : std::nan("");
}

TEST(ScenarioFile, ReadsEveryRecord) {
    const Scenario s = parsed("# flight\n"
                              "fps, 20\n"
                              "duration,3\n"
                              "discrete,575\n"
                              "circular,81\n"
                              "set,1.5,575,1\n"
                              "columns,61, 81 ,47\n"
                              "at,0,0,350,\"text:A, B \"\"C\"\"\"\n"
                              "at,2,100,,\n"
                              "set,0,24,int:0x1095\n"
                              "hold,1.01,5,6,3\n"
                              "click,1.01,7,8\n"
                              "click,0.5,1,2\n");
    EXPECT_EQ(s.fps, 20);
    EXPECT_EQ(s.duration, 3);
    EXPECT_EQ(s.frameCount(), 61u);
    ASSERT_NE(s.track(575), nullptr);
    EXPECT_TRUE(s.track(575)->discrete);
    EXPECT_TRUE(s.track(81)->circular);
    EXPECT_EQ(s.track(61)->keys.size(), 2u); // the empty field sets nothing
    EXPECT_EQ(s.track(81)->keys.size(), 1u);
    EXPECT_EQ(s.track(47)->keys.at(0).value.text, "A, B \"C\"");
    EXPECT_EQ(s.track(24)->keys.at(0).value.kind, Kind::Integer);
    EXPECT_EQ(s.track(24)->keys.at(0).value.integer, 0x1095);
    EXPECT_EQ(s.track(61)->keys.at(1).line, 9);

    // In time order; between two frames an action falls in the later one;
    // actions of one frame keep the file's order.
    ASSERT_EQ(s.actions.size(), 3u);
    EXPECT_EQ(s.actions[0].x, 1);
    EXPECT_EQ(s.actions[0].frame, 10u);
    EXPECT_EQ(s.actions[1].repeats, 3u);
    EXPECT_EQ(s.actions[1].frame, 21u);
    EXPECT_EQ(s.actions[2].repeats, 0u);
    EXPECT_EQ(s.actions[2].frame, 21u);
}

TEST(ScenarioFile, DurationDefaultsToTheLatestTime) {
    // Rounded up to the frame that carries the last action.
    EXPECT_EQ(parsed("click,2.05,0,0\n").frameCount(), 22u);
    EXPECT_EQ(parsed("set,4,61,1\n").frameCount(), 41u);
    EXPECT_EQ(parsed("fps,4\nset,1,61,1\n").frameCount(), 5u);
    EXPECT_EQ(parsed("# nothing\n").frameCount(), 1u);
}

TEST(ScenarioFile, FramesLandOnTheirTimes) {
    // 0.1 * 3 is not 0.3 in binary; the frame at 0.3 s must still be frame 3.
    const Scenario s = parsed("set,0.3,61,1\nclick,0.3,0,0\nduration,1\n");
    EXPECT_EQ(s.actions.at(0).frame, 3u);
    EXPECT_FALSE(s.track(61)->at(s.timeOf(2)).has_value());
    EXPECT_TRUE(s.track(61)->at(s.timeOf(3)).has_value());
    EXPECT_EQ(s.frameCount(), 11u);
}

struct BadScenario {
    const char* text;
    const char* error;
};
void PrintTo(const BadScenario& b, std::ostream* os) {
    *os << '"' << b.text << '"';
}

class ScenarioFileErrors : public ::testing::TestWithParam<BadScenario> {};

TEST_P(ScenarioFileErrors, NameTheFileAndLine) {
    host::ErrorOr<Scenario> s = parseScenario(GetParam().text, "s.csv");
    ASSERT_TRUE(s.isError());
    EXPECT_EQ(s.error().message, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ScenarioFileErrors,
    ::testing::Values(
        BadScenario{"\nfly,1\n",
                    "s.csv:2: unknown record \"fly\" (expected fps, duration, discrete, circular, "
                    "set, columns, at, click or hold)"},
        BadScenario{"fps,0\n", "s.csv:1: fps 0 is not above 0 and at most 240"},
        BadScenario{"fps,241\n", "s.csv:1: fps 241 is not above 0 and at most 240"},
        BadScenario{"fps,nan\n", "s.csv:1: fps \"nan\" is not a number"},
        BadScenario{"fps,10\nfps,10\n", "s.csv:2: a second fps line (the first is line 1)"},
        BadScenario{"duration,-1\n", "s.csv:1: duration: time -1 is outside 0 to 3600 seconds"},
        BadScenario{"duration\n", "s.csv:1: expected \"duration,SECONDS\""},
        BadScenario{"set,1,61\n", "s.csv:1: expected \"set,TIME,TOKEN,VALUE\""},
        BadScenario{"set,x,61,1\n", "s.csv:1: time \"x\" is not a number"},
        BadScenario{"set,inf,61,1\n", "s.csv:1: time \"inf\" is not a number"},
        BadScenario{"set,1,0,1\n", "s.csv:1: token 0 names no variable"},
        BadScenario{"set,1,-5,1\n", "s.csv:1: token \"-5\" is not a token number"},
        BadScenario{"set,1,61,fast\n",
                    "s.csv:1: value \"fast\" for token 61: not a value (a number, nan, inf, -inf, "
                    "int:N or text:STRING)"},
        BadScenario{"set,1,61,1\nset,1.0,61,2\n",
                    "s.csv:2: token 61 has a keyframe at 1 s already (line 1)"},
        BadScenario{"at,0,1\n", "s.csv:1: an \"at\" record before any \"columns\" record"},
        BadScenario{"columns,61,74\nat,0,1\n",
                    "s.csv:2: expected a time and 2 values (the columns of line 1), not 2 fields"},
        BadScenario{"columns,61,61\n", "s.csv:1: token 61 is named twice"},
        BadScenario{"discrete,575\ncircular,81,575\n",
                    "s.csv:2: token 575 cannot be both discrete and circular (see line 1)"},
        BadScenario{"circular,81\nset,0,81,int:5\n",
                    "s.csv:2: token 81 is circular and takes numbers only"},
        BadScenario{"click,1,2\n", "s.csv:1: expected \"click,TIME,X,Y\""},
        BadScenario{"click,1,2.5,3\n", "s.csv:1: X \"2.5\" is not a whole number"},
        BadScenario{"hold,1,2,3,0\n", "s.csv:1: N \"0\" is not a count from 1 to 10000"},
        BadScenario{"duration,1\nclick,1.05,0,0\n",
                    "s.csv:2: the mouse action lies after the last frame (duration 1 s)"},
        BadScenario{"set,0,47,\"text:open\n", "s.csv:1: a quoted field is not closed"},
        BadScenario{"set,0,47,\"text:a\"b\n", "s.csv:1: text after a quoted field"},
        BadScenario{"fps,240\nduration,3600\n", "s.csv: 864001 frames is more than 100000"}));

Track track(std::vector<std::pair<double, double>> keys, bool discrete = false,
            bool circular = false) {
    Track t;
    t.token = 1;
    t.discrete = discrete;
    t.circular = circular;
    for (auto [time, value] : keys)
        t.keys.push_back({time, host::StoredValue::ofNumber(value), 0});
    return t;
}

TEST(Interpolation, LinearBetweenKeyframesHeldAfterTheLast) {
    const Track t = track({{1, 10}, {3, 30}, {4, -10}});
    EXPECT_FALSE(t.at(0.999).has_value()); // the scenario has not begun for it
    EXPECT_EQ(numberAt(t, 1), 10);
    EXPECT_DOUBLE_EQ(numberAt(t, 2), 20);
    EXPECT_DOUBLE_EQ(numberAt(t, 2.5), 25);
    EXPECT_EQ(numberAt(t, 3), 30); // exactly the keyframe, not 29.999...
    EXPECT_DOUBLE_EQ(numberAt(t, 3.5), 10);
    EXPECT_EQ(numberAt(t, 4), -10);
    EXPECT_EQ(numberAt(t, 100), -10);
}

TEST(Interpolation, DiscreteTracksStep) {
    const Track t = track({{0, 0}, {2, 1}, {3, 0}}, true);
    EXPECT_EQ(numberAt(t, 1.99), 0);
    EXPECT_EQ(numberAt(t, 2), 1);
    EXPECT_EQ(numberAt(t, 2.99), 1);
    EXPECT_EQ(numberAt(t, 3), 0);
}

TEST(Interpolation, CircularTracksGoTheShortWayRound) {
    struct Case {
        double from, to, t, expected;
    };
    for (const Case& c : {Case{350, 10, 0.5, 0}, Case{350, 10, 0.75, 5}, Case{10, 350, 0.75, 355},
                          Case{270, 40, 0.5, 335}, Case{0, 180, 0.5, 90}, Case{90, 450, 0.5, 90},
                          Case{-30, 30, 0.25, 345}}) {
        const Track t = track({{0, c.from}, {1, c.to}}, false, true);
        EXPECT_NEAR(numberAt(t, c.t), c.expected, 1e-9)
            << c.from << " to " << c.to << " at " << c.t;
    }
    // Keyframe values come back inside [0, 360) too.
    EXPECT_EQ(numberAt(track({{0, 360}}, false, true), 0), 0);
    EXPECT_EQ(numberAt(track({{0, -90}}, false, true), 0), 270);
}

TEST(Interpolation, IntegersTextsAndNonFiniteValuesHold) {
    Track t;
    t.token = 1;
    t.keys = {{0, host::StoredValue::ofInteger(10), 0},
              {1, host::StoredValue::ofInteger(20), 0},
              {2, host::StoredValue::ofNumber(std::numeric_limits<double>::quiet_NaN()), 0},
              {3, host::StoredValue::ofNumber(5), 0},
              {4, host::StoredValue::ofText("A"), 0}};
    EXPECT_EQ(t.at(0.5)->integer, 10);
    EXPECT_EQ(t.at(0.5)->kind, Kind::Integer);
    EXPECT_EQ(t.at(1.5)->integer, 20);
    EXPECT_TRUE(std::isnan(t.at(2.5)->number));
    EXPECT_EQ(numberAt(t, 3.5), 5); // a number next to a text holds too
    EXPECT_EQ(t.at(4)->text, "A");
}

// The precedence between a scenario's keyframes and the command model.
TEST(Playback, ACommandHoldsUntilTheTokensNextKeyframe) {
    const Scenario s = parsed("set,0,575,0\nset,5,575,0\nset,0,61,0\nset,10,61,100\n"
                              "discrete,575\n");
    host::VariableStore store;
    Playback playback(s);
    playback.apply(0, store);
    EXPECT_EQ(store.number(575), 0);

    // At 1 s a click turns the generator on: the scenario leaves it so...
    store.set(575, host::StoredValue::ofNumber(1));
    playback.commanded(575, 1);
    for (double t : {1.0, 2.0, 4.9}) {
        playback.apply(t, store);
        EXPECT_EQ(store.number(575), 1) << t;
        EXPECT_DOUBLE_EQ(store.number(61), t * 10) << "other tokens go on, at " << t;
    }
    // ... until its next keyframe, from which the scenario rules again.
    playback.apply(5, store);
    EXPECT_EQ(store.number(575), 0);
    EXPECT_FALSE(playback.heldByCommand(575));
}

TEST(Playback, AKeyframeAtTheCommandsOwnFrameDoesNotEndIt) {
    const Scenario s = parsed("set,0,854,10\nset,2,854,20\n");
    host::VariableStore store;
    Playback playback(s);
    playback.apply(2, store);
    EXPECT_EQ(store.number(854), 20);
    // The command came after the keyframe of this frame was applied.
    store.set(854, host::StoredValue::ofNumber(21));
    playback.commanded(854, 2);
    playback.apply(2, store);
    playback.apply(30, store);
    EXPECT_EQ(store.number(854), 21); // no keyframe after it: the command stands
}

TEST(Playback, TokensBeforeTheirFirstKeyframeAreLeftAlone) {
    const Scenario s = parsed("set,3,364,1\n");
    host::VariableStore store;
    store.set(364, host::StoredValue::ofNumber(7));
    Playback playback(s);
    playback.apply(2.9, store);
    EXPECT_EQ(store.number(364), 7);
    playback.apply(3, store);
    EXPECT_EQ(store.number(364), 1);
}

} // namespace
} // namespace k729::panel
