#include "values.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "k729host/text_encoding.h"

namespace k729::host::probe {
namespace {

template <class T> bool parseWhole(std::string_view text, T& value, int base) {
    if (text.empty()) return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size();
}

bool isHexPrefixed(std::string_view text) {
    return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

ErrorOr<StoredValue> parseInteger(std::string_view text) {
    if (isHexPrefixed(text)) {
        std::uint32_t bits;
        if (!parseWhole(text.substr(2), bits, 16))
            return Error{"not a 32-bit hex integer (0x0 to 0xFFFFFFFF)"};
        std::int32_t value;
        static_assert(sizeof bits == sizeof value);
        std::memcpy(&value, &bits, sizeof value);
        return StoredValue::ofInteger(value);
    }
    ErrorOr<std::int32_t> value = parseSigned(text);
    if (value.isError()) return value.error();
    return StoredValue::ofInteger(value.value());
}

// Decimal notation only: from_chars would also take "infinity", "nan(...)"
// and other spellings that the command line reserves three words for.
bool isDecimalNotation(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789.eE+-") == std::string_view::npos &&
           text[0] != '+';
}

} // namespace

ErrorOr<std::uint32_t> parseUnsigned(std::string_view text, std::uint32_t max) {
    std::uint32_t value;
    bool ok =
        isHexPrefixed(text) ? parseWhole(text.substr(2), value, 16) : parseWhole(text, value, 10);
    if (!ok || value > max)
        return Error{"not an unsigned integer from 0 to " + std::to_string(max)};
    return value;
}

ErrorOr<std::int32_t> parseSigned(std::string_view text) {
    std::int32_t value;
    if (!parseWhole(text, value, 10))
        return Error{"not a 32-bit integer (-2147483648 to 2147483647)"};
    return value;
}

ErrorOr<StoredValue> parseValue(std::string_view text) {
    if (text.starts_with("int:")) return parseInteger(text.substr(4));
    if (text.starts_with("text:")) {
        std::optional<std::string> bytes = utf8ToCp1252(text.substr(5));
        if (!bytes) return Error{"text is not UTF-8 that code page 1252 can carry"};
        return StoredValue::ofText(*bytes);
    }
    if (text == "nan") return StoredValue::ofNumber(std::numeric_limits<double>::quiet_NaN());
    if (text == "inf") return StoredValue::ofNumber(std::numeric_limits<double>::infinity());
    if (text == "-inf") return StoredValue::ofNumber(-std::numeric_limits<double>::infinity());
    if (!isDecimalNotation(text))
        return Error{"not a value (a number, nan, inf, -inf, int:N or text:STRING)"};
    double value;
    auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) return Error{"number out of range of a double"};
    if (error != std::errc() || end != text.data() + text.size())
        return Error{"not a value (a number, nan, inf, -inf, int:N or text:STRING)"};
    return StoredValue::ofNumber(value);
}

ErrorOr<Assignment> parseAssignment(std::string_view text) {
    std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) return Error{"expected TOKEN=VALUE"};
    ErrorOr<std::uint32_t> token = parseUnsigned(text.substr(0, equals));
    if (token.isError()) return Error{"token " + token.error().message};
    ErrorOr<StoredValue> value = parseValue(text.substr(equals + 1));
    if (value.isError()) return value.error();
    return Assignment{token.value(), value.release()};
}

ErrorOr<Point> parsePoint(std::string_view text) {
    std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) return Error{"expected X,Y"};
    ErrorOr<std::int32_t> x = parseSigned(text.substr(0, comma));
    if (x.isError()) return Error{"X " + x.error().message};
    ErrorOr<std::int32_t> y = parseSigned(text.substr(comma + 1));
    if (y.isError()) return Error{"Y " + y.error().message};
    return Point{x.value(), y.value()};
}

ErrorOr<Hold> parseHold(std::string_view text) {
    std::size_t comma = text.rfind(',');
    if (comma == std::string_view::npos || text.find(',') == comma) return Error{"expected X,Y,N"};
    ErrorOr<Point> point = parsePoint(text.substr(0, comma));
    if (point.isError()) return point.error();
    ErrorOr<std::uint32_t> repeats = parseUnsigned(text.substr(comma + 1), kMaxHoldRepeats);
    if (repeats.isError() || repeats.value() == 0)
        return Error{"N is not a count from 1 to " + std::to_string(kMaxHoldRepeats)};
    return Hold{point.value(), repeats.value()};
}

} // namespace k729::host::probe
