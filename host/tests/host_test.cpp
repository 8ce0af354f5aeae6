// The host table, the variable store, named variables and key events, driven
// through the table as a module would.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "k729host/host.h"

namespace k729::host {
namespace {

UnusedHostService entryAt(const HostServices& services, std::size_t index) {
    UnusedHostService entry;
    std::memcpy(&entry, reinterpret_cast<const char*>(&services) + index * sizeof(void*),
                sizeof entry);
    return entry;
}

bool isUsed(std::size_t index) {
    return index == kTriggerKeyEventEntry || index == kRegisterNamedVariableEntry ||
           index == kLookupModuleVarEntry || index == kUnregisterNamedVariableEntry;
}

TEST(HostTable, EveryUnusedEntryRecordsItsOwnIndex) {
    Host host;
    std::vector<std::size_t> called;
    for (std::size_t i = 0; i < kHostServiceCount; ++i) {
        if (isUsed(i)) continue;
        UnusedHostService entry = entryAt(*host.services(), i);
        ASSERT_NE(entry, nullptr) << i;
        entry();
        called.push_back(i);
    }
    ASSERT_EQ(host.problems().size(), called.size());
    for (std::size_t k = 0; k < called.size(); ++k) {
        EXPECT_EQ(host.problems()[k].entry, called[k]);
        EXPECT_EQ(host.problems()[k].describe(),
                  "host entry " + std::to_string(called[k]) + ": unexpected call");
    }
    EXPECT_TRUE(host.keyEvents().empty());
}

TEST(HostTable, OneHostAtATime) {
    auto first = std::make_unique<Host>();
    EXPECT_EQ(Host::current(), first.get());
    EXPECT_THROW(Host second, std::logic_error);
    first.reset();
    EXPECT_EQ(Host::current(), nullptr);
    Host again;
    EXPECT_EQ(Host::current(), &again);
}

TEST(HostTable, KeyEventsInOrderWithValues) {
    Host host;
    host.services()->triggerKeyEvent(66364, 0);
    host.services()->triggerKeyEvent(7, 3);
    host.services()->triggerKeyEvent(66364, 0);
    EXPECT_EQ(host.keyEvents(), (std::vector<KeyEvent>{{66364, 0}, {7, 3}, {66364, 0}}));
}

TEST(NamedVariables, RegisterReplaceUnregister) {
    Host host;
    HostServices& table = *host.services();
    std::uint32_t a = 1, b = 0xFFFFFFFF, c = 3;
    table.registerNamedVariable(&a, kNamedVarTypeInt32, "A");
    table.registerNamedVariable(&b, 4, "B");
    table.registerNamedVariable(&c, kNamedVarTypeInt32, "A"); // replaces, keeps its place
    ASSERT_EQ(host.namedVariables().size(), 2u);
    EXPECT_EQ(host.namedVariables()[0].name, "A");
    EXPECT_EQ(host.namedVariables()[0].read(), 3u);
    EXPECT_EQ(host.namedVariables()[1].read(), 0xFFFFFFFFu);
    EXPECT_EQ(host.namedVariables()[1].typeCode, 4);

    c = 42; // read at the address, not copied
    EXPECT_EQ(host.findNamedVariable("A")->read(), 42u);

    table.unregisterNamedVariable("A");
    table.unregisterNamedVariable("never registered");
    ASSERT_EQ(host.namedVariables().size(), 1u);
    EXPECT_EQ(host.namedVariables()[0].name, "B");
    EXPECT_EQ(host.findNamedVariable("A"), nullptr);
    EXPECT_TRUE(host.problems().empty());

    table.registerNamedVariable(&a, kNamedVarTypeInt32, nullptr);
    table.registerNamedVariable(nullptr, kNamedVarTypeInt32, "N");
    table.unregisterNamedVariable(nullptr);
    ASSERT_EQ(host.problems().size(), 3u);
    EXPECT_EQ(host.problems()[0].entry, kRegisterNamedVariableEntry);
    EXPECT_EQ(host.problems()[1].entry, kRegisterNamedVariableEntry);
    EXPECT_EQ(host.problems()[2].entry, kUnregisterNamedVariableEntry);
    EXPECT_EQ(host.namedVariables().size(), 1u);
}

class VariableLookup : public ::testing::Test {
protected:
    // As a module asks: through the table, with the fields it leaves alone.
    ModuleVar lookUp(VarToken token, double before = 99.0) {
        ModuleVar var = moduleVar(token);
        var.value = before;
        host.services()->lookupModuleVar(&var);
        return var;
    }
    Host host;
};

TEST_F(VariableLookup, UnsetTokensAndTokenZeroReadZero) {
    EXPECT_EQ(lookUp(575).value, 0.0);
    host.variables().set(0, StoredValue::ofNumber(5.0));
    EXPECT_EQ(lookUp(0).value, 0.0);
    EXPECT_FALSE(std::signbit(lookUp(0).value));
}

TEST_F(VariableLookup, NumbersIntegersAndTexts) {
    host.variables().set(1, StoredValue::ofNumber(-0.0));
    host.variables().set(2, StoredValue::ofInteger(-7));
    host.variables().set(3, StoredValue::ofText("first"));

    ModuleVar number = lookUp(1);
    EXPECT_EQ(number.value, 0.0);
    EXPECT_TRUE(std::signbit(number.value));

    ModuleVar integer = lookUp(2);
    EXPECT_EQ(integerValue(integer), -7);
    unsigned char rest[4];
    std::memcpy(rest, reinterpret_cast<const unsigned char*>(&integer.value) + 4, 4);
    EXPECT_EQ(rest[0] | rest[1] | rest[2] | rest[3], 0); // only the first four bytes

    ModuleVar text = lookUp(3);
    const char* first = textValue(text);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first, "first");

    // A new value does not free the text a module may still hold.
    host.variables().set(3, StoredValue::ofText("second"));
    EXPECT_STREQ(textValue(lookUp(3)), "second");
    EXPECT_STREQ(first, "first");

    // The fields that are the host's stay as the module left them.
    EXPECT_EQ(text.reference, nullptr);
    EXPECT_EQ(text.secondValue, 0.0);
}

TEST_F(VariableLookup, NullVariableIsAProblemNotACrash) {
    host.services()->lookupModuleVar(nullptr);
    ASSERT_EQ(host.problems().size(), 1u);
    EXPECT_EQ(host.problems()[0].entry, kLookupModuleVarEntry);
}

} // namespace
} // namespace k729::host
