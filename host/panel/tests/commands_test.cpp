// The command model: every key event the gauges send, what it does to its
// token, the wrap-around of course and heading, and the toggles.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "k729panel/commands.h"

namespace k729::panel {
namespace {

struct Case {
    KeyEventId event;
    VarToken token;
    double before, after;
};
void PrintTo(const Case& c, std::ostream* os) {
    *os << "event " << c.event << " on " << c.before;
}

class CommandModel : public ::testing::TestWithParam<Case> {};

TEST_P(CommandModel, ChangesItsTokenOnly) {
    const Case& c = GetParam();
    host::VariableStore store;
    store.set(c.token, host::StoredValue::ofNumber(c.before));
    store.set(999, host::StoredValue::ofNumber(42));
    const CommandResult result = carryOut(c.event, store);
    ASSERT_NE(result.rule, nullptr);
    EXPECT_EQ(result.rule->token, c.token);
    EXPECT_EQ(result.before, c.before);
    EXPECT_EQ(result.after, c.after);
    EXPECT_EQ(store.number(c.token), c.after);
    EXPECT_EQ(store.number(999), 42);
}

INSTANTIATE_TEST_SUITE_P(
    Events, CommandModel,
    ::testing::Values(
        // Selected course: 65662 down, 65663 up, round through 0.
        Case{65662, 854, 90, 89}, Case{65663, 854, 90, 91}, Case{65662, 854, 0, 359},
        Case{65663, 854, 359, 0}, Case{65663, 854, 359.5, 0.5},
        // Selected heading: 65879 up, 65880 down.
        Case{65879, 107, 359, 0}, Case{65880, 107, 0, 359}, Case{65879, 107, 10, 11},
        // The primary flight display's selector pairs.
        Case{65896, 116, 250, 251}, Case{65897, 116, 0, -1}, Case{65892, 109, 5000, 5100},
        Case{65893, 109, 5000, 4900}, Case{65894, 120, -100, 0}, Case{65895, 120, 0, -100},
        Case{65883, 75, 29.92, 30.02}, Case{65884, 75, 29.92, 29.82}, Case{65884, 75, 0.1, 0},
        // Push-buttons toggle; only exactly 1 counts as on.
        Case{66364, 575, 0, 1}, Case{66364, 575, 1, 0}, Case{66364, 575, 0.5, 1},
        Case{66241, 364, 0, 1}, Case{66241, 364, 1, 0}, Case{66301, 573, 0, 1},
        Case{66301, 573, 1, 0}, Case{66301, 573, 2, 1}));

TEST(CommandModelTable, EveryEventOnceAndEveryGaugeEventCovered) {
    std::set<KeyEventId> events;
    for (const CommandRule& rule : kCommandRules)
        EXPECT_TRUE(events.insert(rule.event).second) << rule.event << " twice";
    // Every key event a gauge of the system sends.
    for (KeyEventId e : {65662u, 65663u, 65879u, 65880u, 65883u, 65884u, 65892u, 65893u, 65894u,
                         65895u, 65896u, 65897u, 66364u, 66301u, 66241u})
        EXPECT_TRUE(events.count(e)) << e;
    EXPECT_EQ(events.size(), 15u);
}

TEST(CommandModelTable, UnknownEventsChangeNothing) {
    host::VariableStore store;
    store.set(854, host::StoredValue::ofNumber(5));
    EXPECT_EQ(carryOut(65661, store).rule, nullptr);
    EXPECT_EQ(carryOut(0, store).rule, nullptr);
    EXPECT_EQ(store.number(854), 5);
}

TEST(CommandModelTable, ValuesThatAreNotFiniteStepFromZero) {
    const CommandRule& up = *commandFor(65663);
    EXPECT_EQ(commandedValue(up, std::numeric_limits<double>::quiet_NaN()), 1);
    EXPECT_EQ(commandedValue(up, std::numeric_limits<double>::infinity()), 1);
    EXPECT_EQ(commandedValue(*commandFor(65897), -std::numeric_limits<double>::infinity()), -1);
    EXPECT_EQ(commandedValue(*commandFor(66364), std::numeric_limits<double>::quiet_NaN()), 1);
    // Far outside a course's range it still lands inside 0..360.
    const double far = commandedValue(up, 1e12 + 0.25);
    EXPECT_GE(far, 0);
    EXPECT_LT(far, 360);
}

TEST(CommandModelTable, TenthsDoNotDrift) {
    const CommandRule& up = *commandFor(65883);
    double v = 29.92;
    for (int i = 0; i < 100; ++i)
        v = commandedValue(up, v);
    EXPECT_EQ(v, 39.92);
}

} // namespace
} // namespace k729::panel
