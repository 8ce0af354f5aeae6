// The resource bundle a native module carries in its ".k729.resources"
// section: the same bitmaps a PE module carries as resources, in a layout of
// our own. All fields little-endian; offsets count from the bundle's start.
//
//   BundleHeader, then `count` BundleEntry records, then the payloads.
//   A bitmap payload is what a PE bitmap resource holds: a BMP file without
//   its 14-byte file header (BITMAPINFOHEADER, colour table, pixel rows).
#pragma once

#include <cstdint>

namespace k729::art {

inline constexpr char kBundleMagic[8] = {'K', '7', '2', '9', 'R', 'E', 'S', '1'};
inline constexpr char kBundleSection[] = ".k729.resources";
inline constexpr std::uint32_t kResourceBitmap = 2; // the PE resource type number
inline constexpr std::uint32_t kLanguageEnUs = 1033;

struct BundleHeader {
    char magic[8];
    std::uint32_t count;
    std::uint32_t reserved;
};

struct BundleEntry {
    std::uint32_t type;
    std::uint32_t id;
    std::uint32_t language;
    std::uint32_t offset;
    std::uint32_t size;
    std::uint32_t reserved;
};

static_assert(sizeof(BundleHeader) == 16);
static_assert(sizeof(BundleEntry) == 24);

} // namespace k729::art
