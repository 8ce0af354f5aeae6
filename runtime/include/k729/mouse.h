// Mouse areas: the list of rectangles a gauge hands the host, its tooltip, and
// the mouse functions that send one host command each.
#pragma once

#include <cstdint>

#include "k729/host_calls.h"

namespace k729 {

enum class MouseRectKind : std::uint32_t {
    EndOfList = 0,
    Parent = 1,
    Child = 2,
    EndOfParent = 3,
    Tooltip = 4,
};

// Mouse flags: which actions call an area's function.
inline constexpr std::uint32_t kMouseLeftSingle = 0x20000000;
inline constexpr std::uint32_t kMouseLeftRepeat = 0x00200000; // called again while held
inline constexpr std::uint32_t kMouseLeftHeld = kMouseLeftSingle | kMouseLeftRepeat;

// Cursor codes.
inline constexpr std::int32_t kNoCursor = -1;
inline constexpr std::int32_t kCursorStepUp = 1;   // right-hand area of a stepping pair
inline constexpr std::int32_t kCursorStepDown = 2; // left-hand area of a stepping pair
inline constexpr std::int32_t kCursorPush = 5;     // push-button areas

// The host passes two words (where and how the mouse acted); no gauge reads them.
using MouseFunction = std::int32_t(K729_CALL*)(std::uint32_t where, std::uint32_t action);

struct Box {
    std::int32_t x, y, w, h;
};

union MouseTarget {
    MouseFunction function; // child areas
    const char* tooltip;    // the tooltip entry
};

// A tooltip's argument list; every tooltip of this system takes none.
struct TooltipArg {
    const void* value;
};
inline constexpr TooltipArg kNoTooltipArgs[] = {{nullptr}};

struct MouseRect {
    MouseRectKind kind{};
    Box box{};
    std::int32_t cursor{};
    std::uint32_t helpId{};
    std::uint32_t mouseFlags{};
    std::uint32_t eventId{};
    MouseTarget target{};
    const TooltipArg* data{};
};

#if K729_PIN_LAYOUT
static_assert(sizeof(MouseRect) == 44);
static_assert(offsetof(MouseRect, cursor) == 20);
static_assert(offsetof(MouseRect, mouseFlags) == 28);
static_assert(offsetof(MouseRect, target) == 36);
#endif

// Every mouse function of the system: one key event, value 0, result 0.
template <KeyEventId Event> std::int32_t K729_CALL sendKeyEvent(std::uint32_t, std::uint32_t) {
    triggerKeyEvent(Event);
    return 0;
}

// The entries of a list, in the order every list uses them.
constexpr MouseRect parentRect() {
    return {.kind = MouseRectKind::Parent, .box = {}, .cursor = kNoCursor, .target = {}};
}

constexpr MouseRect tooltipRect(const char* text) {
    return {.kind = MouseRectKind::Tooltip,
            .box = {},
            .cursor = kNoCursor,
            .target = {.tooltip = text},
            .data = kNoTooltipArgs};
}

constexpr MouseRect childArea(Box box, std::int32_t cursor, std::uint32_t mouseFlags,
                              MouseFunction function) {
    return {.kind = MouseRectKind::Child,
            .box = box,
            .cursor = cursor,
            .mouseFlags = mouseFlags,
            .target = {.function = function}};
}

constexpr MouseRect endOfParentRect() {
    return {.kind = MouseRectKind::EndOfParent, .box = {}, .cursor = kNoCursor, .target = {}};
}

constexpr MouseRect endOfListRect() {
    return {.kind = MouseRectKind::EndOfList, .box = {}, .cursor = kNoCursor, .target = {}};
}

} // namespace k729
