// Parsers for the values a probe command line carries. Each returns the value
// or an error message fit to follow the argument in a one-line report.
#pragma once

#include <cstdint>
#include <string_view>

#include "k729/module.h"
#include "k729host/error.h"
#include "k729host/host.h"

namespace k729::host::probe {

// A number (decimal notation, or nan, inf, -inf) stored as a 64-bit float;
// int:N (decimal, or 0x hex for the bit pattern) stored as a 32-bit integer;
// text:STRING (UTF-8 on the command line, code page 1252 for the module).
ErrorOr<StoredValue> parseValue(std::string_view text);

// Unsigned, decimal or 0x hex, at most `max`.
ErrorOr<std::uint32_t> parseUnsigned(std::string_view text, std::uint32_t max = UINT32_MAX);
// Signed 32-bit decimal.
ErrorOr<std::int32_t> parseSigned(std::string_view text);

struct Assignment {
    VarToken token;
    StoredValue value;
};
ErrorOr<Assignment> parseAssignment(std::string_view text); // TOKEN=VALUE

struct Point {
    std::int32_t x, y;
};
ErrorOr<Point> parsePoint(std::string_view text); // X,Y

inline constexpr std::uint32_t kMaxHoldRepeats = 100000;
struct Hold {
    Point point;
    std::uint32_t repeats; // 1..kMaxHoldRepeats
};
ErrorOr<Hold> parseHold(std::string_view text); // X,Y,N

} // namespace k729::host::probe
