// The four annunciator lights side by side: one record each, in the order
// stall warning, overspeed label, engines warning, engines caution. The module
// source and the art tool both read this table; a build picks its row by
// gauge name.
#pragma once

#include <string_view>

#include "k729/element.h"

namespace k729::lights {

enum class LitRule {
    SourceIsOne,       // the lamp shows its source value unchanged
    EitherBelowFive,   // either refresh value strictly below 5.0
    EitherExactlyZero, // either refresh value exactly 0.0
};

// Each light's plate and word, unlit and lit.
enum class Plate { Stall, Overspeed, Warning, Caution };

struct LightSpec {
    const char* name;
    const char* tooltip;
    Plate plate;
    Extent size;         // of the background and both lamp images
    VarToken lampSource; // 0: not read
    VarToken refresh[2]; // the refresh list, in order; 0 0: none
    LitRule rule;
};

inline constexpr std::int32_t kBackground = 256;
inline constexpr std::int32_t kLamp = 4352; // unlit; lit is kLamp + 1
inline constexpr double kLowThreshold = 5.0;

// clang-format off
inline constexpr LightSpec kLights[] = {
    // name               tooltip                  plate             size        source refresh  rule
    {"QT_K729_StallWrng", "Stall Warning Light",   Plate::Stall,     {208, 176}, 67, {0, 0},     LitRule::SourceIsOne},
    {"QT_K729_OvSpdLbl",  "Overspeed Label",       Plate::Overspeed, {35, 31},   68, {0, 0},     LitRule::SourceIsOne},
    {"QT_K729_WrngLt",    "Engines Warning Light", Plate::Warning,   {72, 62},   0,  {626, 645}, LitRule::EitherBelowFive},
    {"QT_K729_CautLt",    "Engines Caution Light", Plate::Caution,   {72, 62},   0,  {566, 576}, LitRule::EitherExactlyZero},
};
// clang-format on
static_assert(std::size(kLights) == 4);

constexpr const LightSpec* findLight(std::string_view name) {
    for (const LightSpec& light : kLights)
        if (name == light.name) return &light;
    return nullptr;
}

} // namespace k729::lights
