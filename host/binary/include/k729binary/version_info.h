// A reader for a version resource: the fixed part (signature, versions, file
// type) and the string table's name/value pairs.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>

namespace k729::binary {

inline constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
inline constexpr std::uint32_t kFileTypeDll = 2;

struct VersionInfo {
    std::uint32_t fileVersionHigh = 0; // major << 16 | minor
    std::uint32_t fileVersionLow = 0;  // patch << 16 | build
    std::uint32_t fileType = 0;
    std::map<std::string, std::string> strings; // of every string table; text above 0x7F as '?'
};

std::optional<VersionInfo> readVersionInfo(std::span<const std::uint8_t> bytes,
                                           std::string* error = nullptr);

} // namespace k729::binary
