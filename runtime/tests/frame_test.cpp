// What every callback and mouse function relies on: narrowing to single
// precision, writing text into the host's buffer, the two flags, and the one
// key event per mouse call.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "fake_host.h"
#include "k729/mouse.h"
#include "k729/text.h"

using namespace k729;

namespace {

TEST(ToSingle, RoundsLikeTheHardwareWithoutLeavingTheRange) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double in;
        float out;
    };
    const Case cases[] = {
        {0.0, 0.0f},
        {1.5, 1.5f},
        {0.1, 0.1f},
        {-3.75, -3.75f},
        {inf, INFINITY},
        {-inf, -INFINITY},
        {1e300, INFINITY},
        {-1e300, -INFINITY},
        {static_cast<double>(FLT_MAX), FLT_MAX},
        {0x1.fffffefffffffp127, FLT_MAX}, // just under the rounding boundary
        {0x1.ffffffp127, INFINITY},       // the boundary itself rounds to even: up
        {-0x1.fffffefffffffp127, -FLT_MAX},
        {1e-50, 0.0f},
    };
    for (const Case& c : cases)
        EXPECT_EQ(toSingle(c.in), c.out) << c.in;
    EXPECT_TRUE(std::signbit(toSingle(-0.0)));
}

TEST(ToSingle, KeepsNotANumberAndItsSign) {
    EXPECT_TRUE(std::isnan(toSingle(NAN)));
    EXPECT_FALSE(std::signbit(toSingle(NAN)));
    EXPECT_TRUE(std::isnan(toSingle(-NAN)));
    EXPECT_TRUE(std::signbit(toSingle(-NAN)));
}

// A text element with a host buffer of `size` bytes between sentinels.
struct Buffer {
    static constexpr char kSentinel = '\x5A';
    static constexpr std::size_t kGuard = 16;
    char bytes[kGuard + 400 + kGuard];
    StringElement element{};

    explicit Buffer(std::uint32_t size) {
        std::memset(bytes, kSentinel, sizeof bytes);
        element.text = bytes + kGuard;
        element.textSize = size;
    }
    bool guardsIntact() const {
        for (std::size_t i = 0; i < kGuard; ++i)
            if (bytes[i] != kSentinel) return false;
        for (std::size_t i = kGuard + element.textSize; i < sizeof bytes; ++i)
            if (bytes[i] != kSentinel) return false;
        return true;
    }
    std::string text() const { return element.text; }
};

TEST(WriteText, LabelFieldFitsOrIsCutWithoutOverrun) {
    const std::string full = "GEN2" + std::string(199, ' ') + "0";
    for (std::uint32_t size : {1u, 2u, 5u, 8u, 204u, 205u, 206u, 400u}) {
        Buffer buffer(size);
        writeText(buffer.element, "GEN2%200.0f", static_cast<double>(toSingle(0.0)));
        EXPECT_TRUE(buffer.guardsIntact()) << "size " << size;
        EXPECT_EQ(buffer.text(), full.substr(0, size - 1)) << "size " << size;
    }
}

TEST(WriteText, NoBufferReceivesNothing) {
    StringElement element{};
    writeText(element, "BAT%200.0f", 1.0); // null buffer: must not write
    Buffer empty(0);
    writeText(empty.element, "BAT%200.0f", 1.0);
    EXPECT_TRUE(empty.guardsIntact());
}

TEST(WriteText, ExtremeValuesStayInTheField) {
    for (double value : {1e300, -1e300, static_cast<double>(FLT_MAX), 0.5, -0.0}) {
        Buffer buffer(400);
        writeText(buffer.element, "MACH%300.0f", static_cast<double>(toSingle(value)));
        EXPECT_TRUE(buffer.guardsIntact());
        EXPECT_EQ(buffer.text().substr(0, 4), "MACH");
    }
    Buffer huge(400);
    writeText(huge.element, "GEN2%200.0f", static_cast<double>(FLT_MAX));
    EXPECT_EQ(huge.text().size(), 4u + 200u) << "FLT_MAX has 39 digits, inside the field";
}

TEST(Flags, CallbacksChangeOnlyTheirOwnBits) {
    Element element{.drawFlags = kDeclaredDrawFlags};
    markBright(element);
    EXPECT_EQ(element.drawFlags, 0x87u);
    setHidden(element, true);
    EXPECT_EQ(element.drawFlags, 0x87u | HiddenFlag);
    markBright(element);
    setHidden(element, true);
    EXPECT_EQ(element.drawFlags, 0x87u | HiddenFlag);
    setHidden(element, false);
    EXPECT_EQ(element.drawFlags, 0x87u);
}

TEST(MouseFunction, SendsOneEventWithValueZeroWhateverTheArguments) {
    fake_host::Calls& host = fake_host::install();
    MouseFunction function = sendKeyEvent<66364>;
    for (std::uint32_t where : {0u, 0x00050005u, 0xFFFFFFFFu})
        for (std::uint32_t action : {0u, kMouseLeftSingle, kMouseLeftRepeat})
            EXPECT_EQ(function(where, action), 0);
    EXPECT_EQ(host.keyEvents.size(), 9u);
    for (const auto& [event, value] : host.keyEvents) {
        EXPECT_EQ(event, 66364u);
        EXPECT_EQ(value, 0u);
    }
}

TEST(MouseFunction, BeforeTheHostWritesItsTableNothingIsCalled) {
    fake_host::Calls& host = fake_host::install();
    fake_host::uninstall();
    EXPECT_EQ(sendKeyEvent<66241>(0, kMouseLeftSingle), 0);
    EXPECT_TRUE(host.keyEvents.empty());
}

TEST(ImportTable, ReadsAsDeclaredUntilTheHostWrites) {
    fake_host::uninstall();
    EXPECT_EQ(::ImportTable.services.id, kServicesImportId);
    EXPECT_EQ(::ImportTable.services.pointer, nullptr);
    EXPECT_EQ(::ImportTable.end.id, 0u);
    EXPECT_EQ(::ImportTable.end.pointer, nullptr);
}

TEST(ModuleVar, ReadsZeroBeforeItsFirstLookupAndCarriesOtherShapes) {
    ModuleVar var = moduleVar(575);
    EXPECT_EQ(var.value, 0.0);
    EXPECT_EQ(integerValue(var), 0);
    EXPECT_EQ(textValue(var), nullptr);

    const std::int32_t integer = -123456;
    std::memcpy(&var.value, &integer, sizeof integer);
    EXPECT_EQ(integerValue(var), integer);

    const char* text = "110.30";
    std::memcpy(&var.value, &text, sizeof text);
    EXPECT_EQ(textValue(var), text);
}

} // namespace
