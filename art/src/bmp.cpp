// 8-bit palette BMP files: BITMAPFILEHEADER, BITMAPINFOHEADER, a 256-entry
// colour table, then the rows bottom-up, each padded to 4 bytes.
#include <algorithm>
#include <map>

#include "k729art/art.h"
#include "write_file.h"

namespace k729::art {
namespace {

constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kTableEntries = 256;
constexpr std::uint32_t kPixelsOffset = kBmpFileHeaderSize + kInfoHeaderSize + 4 * kTableEntries;
// Keeps every size field far below 2^32.
constexpr int kMaxSide = 16384;

std::uint32_t key(Rgb c) {
    return (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}

} // namespace

bool encodeBmp(const Canvas& picture, std::vector<std::uint8_t>* file, std::string* error) {
    const int w = picture.width(), h = picture.height();
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) {
        if (error)
            *error = "picture size " + std::to_string(w) + "x" + std::to_string(h) +
                     " is empty or too large";
        return false;
    }

    // The table in ascending RGB order: independent of drawing order, and
    // pure black (the transparent colour) lands on entry 0.
    std::map<std::uint32_t, std::uint8_t> index;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            index.emplace(key(picture.at(x, y)), 0);
    if (index.size() > kTableEntries) {
        if (error)
            *error = "picture has " + std::to_string(index.size()) +
                     " colours; an 8-bit bitmap holds at most 256";
        return false;
    }
    std::uint32_t next = 0;
    for (auto& [colour, slot] : index)
        slot = static_cast<std::uint8_t>(next++);

    const std::uint32_t stride = (static_cast<std::uint32_t>(w) + 3u) & ~3u;
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(h);
    std::vector<std::uint8_t>& out = *file;
    out.clear();
    out.reserve(kPixelsOffset + imageSize);

    out.push_back('B');
    out.push_back('M');
    putU32(out, kPixelsOffset + imageSize);
    putU32(out, 0); // two reserved words
    putU32(out, kPixelsOffset);

    putU32(out, kInfoHeaderSize);
    putU32(out, static_cast<std::uint32_t>(w));
    putU32(out, static_cast<std::uint32_t>(h)); // positive: rows run bottom-up
    putU16(out, 1);                             // planes
    putU16(out, 8);                             // bits per pixel
    putU32(out, 0);                             // no compression
    putU32(out, imageSize);
    putU32(out, 2835); // 72 dots per inch, both ways
    putU32(out, 2835);
    putU32(out, kTableEntries); // colours used: the whole table
    putU32(out, 0);             // all colours important

    for (const auto& [colour, slot] : index) {
        out.push_back(static_cast<std::uint8_t>(colour));       // blue
        out.push_back(static_cast<std::uint8_t>(colour >> 8));  // green
        out.push_back(static_cast<std::uint8_t>(colour >> 16)); // red
        out.push_back(0);
    }
    out.resize(kPixelsOffset, 0);

    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x)
            out.push_back(index.at(key(picture.at(x, y))));
        out.resize(out.size() + (stride - static_cast<std::uint32_t>(w)), 0);
    }
    return true;
}

bool writeBmp(const std::string& path, const Canvas& picture, std::string* error) {
    std::vector<std::uint8_t> file;
    return encodeBmp(picture, &file, error) && writeFileAtomically(path, file, error);
}

} // namespace k729::art
