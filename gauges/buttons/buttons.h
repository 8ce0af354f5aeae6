// The three lit push-buttons side by side: one record each, in the order
// generator 2, engine 2 starter, battery. The module source and the art tool
// both read this table; a build picks its row by gauge name.
#pragma once

#include <string_view>

#include "k729/element.h"
#include "k729/mouse.h"

namespace k729::buttons {

enum class LampRule {
    SourceValue,  // the image is the source value: 0 dark, 1 lit
    DarkWhenZero, // image 1 (the dark lens) while the source reads 0, image 0 (lit) otherwise
};

enum class Face {
    Square, // grey lamp window under a label, dark blue frame (generator, battery)
    Round,  // round button glowing green in the middle (starter)
};

struct Label {
    Point position;
    Extent box;
    const char* format;
};

struct ButtonSpec {
    const char* name;
    const char* tooltip;
    Face face;
    Extent size; // of every bitmap of the button
    std::int32_t background;
    std::int32_t lamp; // image 0; image 1 is lamp + 1
    VarToken lampSource;
    LampRule rule;
    Label label; // format null: the button has no label
    Box area;
    std::uint32_t mouseFlags;
    KeyEventId event;
};

inline constexpr ButtonSpec kButtons[] = {
    {.name = "QT_K729_Gen2Btn",
     .tooltip = "Generator 2 Button",
     .face = Face::Square,
     .size = {40, 40},
     .background = 5120,
     .lamp = 4608,
     .lampSource = 575, // generator 2 state
     .rule = LampRule::SourceValue,
     .label = {.position = {2, 6}, .box = {40, 19}, .format = "GEN2%200.0f"},
     .area = {1, 0, 40, 39},
     .mouseFlags = kMouseLeftSingle,
     .event = 66364}, // 0x1033C
    {.name = "QT_K729_Start2_Btn",
     .tooltip = "Engine 2 starter",
     .face = Face::Round,
     .size = {29, 30},
     .background = 5376,
     .lamp = 4864,
     .lampSource = 573, // engine 2 starter state
     .rule = LampRule::DarkWhenZero,
     .label = {},
     .area = {0, 0, 28, 30},
     .mouseFlags = kMouseLeftHeld,
     .event = 66301}, // 0x102FD
    {.name = "QT_K729_BattBtn",
     .tooltip = "Battery Button",
     .face = Face::Square,
     .size = {40, 40},
     .background = 5120,
     .lamp = 4608,
     .lampSource = 364, // battery state
     .rule = LampRule::SourceValue,
     .label = {.position = {5, 6}, .box = {37, 19}, .format = "BAT%200.0f"},
     .area = {0, 0, 39, 40},
     .mouseFlags = kMouseLeftSingle,
     .event = 66241}, // 0x102C1
};
static_assert(std::size(kButtons) == 3);

// The label's look, shared by the generator and battery buttons.
inline constexpr std::uint32_t kLabelText = 0xFFFFFF; // white
inline constexpr std::uint32_t kLabelBox = 0xC08000;  // blue, as 0x00BBGGRR
inline constexpr std::uint32_t kLabelWeight = 600;

constexpr const ButtonSpec* findButton(std::string_view name) {
    for (const ButtonSpec& button : kButtons)
        if (name == button.name) return &button;
    return nullptr;
}

} // namespace k729::buttons
