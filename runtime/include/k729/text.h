// What text callbacks share: narrowing a value to single precision and
// writing a formatted text into the host's buffer, cut to fit.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdio>

#include "k729/element.h"

namespace k729 {

// Rounds to the nearest float as the hardware would, with the overflow to
// infinity spelled out, so that no input is outside the conversion's range.
inline float toSingle(double value) {
    constexpr double kRoundsToInfinity = 0x1.ffffffp127; // FLT_MAX plus half an ulp
    if (std::isnan(value)) return std::signbit(value) ? -NAN : NAN;
    if (std::fabs(value) >= kRoundsToInfinity) return value > 0 ? INFINITY : -INFINITY;
    if (std::fabs(value) > FLT_MAX) return value > 0 ? FLT_MAX : -FLT_MAX;
    return static_cast<float>(value);
}

// Formats into the element's text buffer; a text longer than the buffer is
// cut, and a buffer the host has not supplied receives nothing.
template <class... Args> void writeText(StringElement& element, const char* format, Args... args) {
    if (!element.text || element.textSize == 0) return;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
#endif
    std::snprintf(element.text, element.textSize, format, args...);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
}

} // namespace k729
