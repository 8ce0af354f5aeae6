// Module texts are Windows code page 1252; the host speaks UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace k729::host {

// Every byte has a meaning: the five bytes code page 1252 leaves unassigned
// map to the C1 controls of the same value, as the Windows conversion does.
std::string cp1252ToUtf8(std::string_view text);

// Null when the text is not valid UTF-8 or holds a character that code page
// 1252 cannot carry.
std::optional<std::string> utf8ToCp1252(std::string_view text);

#if defined(_WIN32)
// The system's wide texts (UTF-16), for the Windows calls that take them.
std::wstring utf8ToWide(std::string_view text);
std::string wideToUtf8(std::wstring_view text);
#endif

} // namespace k729::host
