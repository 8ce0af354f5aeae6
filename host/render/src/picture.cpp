#include "k729render/picture.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "k729art/bundle.h"
#include "k729binary/bundle_file.h"
#include "k729binary/elf_file.h"

namespace k729::render {
namespace {

bool fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

// Little-endian reads; callers check the range first.
std::uint16_t u16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::int32_t i32(std::span<const std::uint8_t> b, std::size_t at) {
    const std::uint32_t v = u32(b, at);
    std::int32_t out;
    std::memcpy(&out, &v, sizeof out);
    return out;
}

// True when [offset, offset + length) lies inside a buffer of `size` bytes.
bool inside(std::uint64_t offset, std::uint64_t length, std::size_t size) {
    return offset <= size && length <= size - offset;
}

constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kMaxColours = 256;

} // namespace

std::optional<Picture> Picture::fromIndices(int width, int height,
                                            std::span<const std::uint8_t> indices,
                                            std::span<const Rgb> palette, std::string* error) {
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) {
        fail(error, "picture size " + std::to_string(width) + "x" + std::to_string(height) +
                        " is empty or too large");
        return std::nullopt;
    }
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (indices.size() != count) {
        fail(error, "picture has " + std::to_string(indices.size()) + " indices, not " +
                        std::to_string(count));
        return std::nullopt;
    }
    Picture picture{width, height, {}};
    picture.pixels.reserve(count);
    for (std::uint8_t index : indices) {
        if (index >= palette.size()) {
            fail(error, "pixel index " + std::to_string(index) + " lies beyond the " +
                            std::to_string(palette.size()) + "-entry colour table");
            return std::nullopt;
        }
        picture.pixels.push_back(palette[index]);
    }
    return picture;
}

std::optional<Picture> decodeDib(std::span<const std::uint8_t> payload, std::string* error) {
    auto refuse = [&](const std::string& why) {
        fail(error, why);
        return std::nullopt;
    };
    if (payload.size() < kInfoHeaderSize)
        return refuse("bitmap header truncated: " + std::to_string(payload.size()) + " bytes");
    const std::uint32_t headerSize = u32(payload, 0);
    if (headerSize < kInfoHeaderSize)
        return refuse("bitmap header size " + std::to_string(headerSize) + " is not supported");
    if (headerSize > payload.size())
        return refuse("bitmap header of " + std::to_string(headerSize) + " bytes is truncated");
    const std::int32_t width = i32(payload, 4);
    const std::int64_t rawHeight = i32(payload, 8);
    const std::uint16_t planes = u16(payload, 12);
    const std::uint16_t bits = u16(payload, 14);
    const std::uint32_t compression = u32(payload, 16);
    const std::uint32_t used = u32(payload, 32);

    // A negative height means rows stored top-down.
    const bool topDown = rawHeight < 0;
    const std::int64_t height = topDown ? -rawHeight : rawHeight;
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide)
        return refuse("bitmap size " + std::to_string(width) + "x" + std::to_string(rawHeight) +
                      " is empty or too large");
    if (planes != 1) return refuse("bitmap has " + std::to_string(planes) + " planes, not 1");
    if (bits != 8)
        return refuse("bitmap has " + std::to_string(bits) +
                      " bits per pixel; only 8-bit bitmaps are supported");
    if (compression != 0)
        return refuse("bitmap compression " + std::to_string(compression) + " is not supported");
    const std::uint32_t colours = used == 0 ? kMaxColours : used;
    if (colours > kMaxColours)
        return refuse("bitmap colour table of " + std::to_string(used) + " entries is too large");

    const std::uint64_t tableBytes = 4ull * colours;
    if (!inside(headerSize, tableBytes, payload.size()))
        return refuse("bitmap colour table truncated");
    std::vector<Rgb> palette;
    for (std::uint32_t i = 0; i < colours; ++i) {
        const std::size_t at = headerSize + 4 * i; // blue, green, red, reserved
        palette.push_back(Rgb{payload[at + 2], payload[at + 1], payload[at]});
    }

    const std::uint64_t stride = (static_cast<std::uint64_t>(width) + 3) & ~std::uint64_t{3};
    const std::uint64_t rowsAt = headerSize + tableBytes;
    if (!inside(rowsAt, stride * static_cast<std::uint64_t>(height), payload.size()))
        return refuse("bitmap pixel rows truncated");

    const auto w = static_cast<std::size_t>(width);
    const auto h = static_cast<std::size_t>(height);
    std::vector<std::uint8_t> indices(w * h);
    for (std::size_t row = 0; row < h; ++row) {
        const std::size_t stored = topDown ? row : h - 1 - row;
        const std::size_t from = static_cast<std::size_t>(rowsAt + stride * stored);
        std::memcpy(&indices[row * w], &payload[from], w);
    }
    return Picture::fromIndices(width, static_cast<int>(height), indices, palette, error);
}

const Picture* PictureMap::find(std::int32_t id) const {
    auto it = pictures_.find(id);
    return it == pictures_.end() ? nullptr : &it->second;
}

bool PictureMap::addPayload(std::int32_t id, std::span<const std::uint8_t> payload,
                            std::string* error) {
    std::optional<Picture> picture = decodeDib(payload, error);
    if (!picture) return false;
    add(id, std::move(*picture));
    return true;
}

std::optional<PictureMap> readBitmapBundle(std::span<const std::uint8_t> bundle,
                                           std::string* error) {
    auto refuse = [&](const std::string& why) {
        fail(error, why);
        return std::nullopt;
    };
    std::string why;
    std::optional<std::vector<binary::BundleResource>> resources = binary::readBundle(bundle, &why);
    if (!resources) return refuse("malformed resource bundle: " + why);

    PictureMap bitmaps;
    for (const binary::BundleResource& resource : *resources) {
        if (resource.type != art::kResourceBitmap) continue;
        const std::string name = "bitmap " + std::to_string(resource.id);
        if (resource.id > 0xFFFF) return refuse(name + ": id beyond 65535");
        const auto key = static_cast<std::int32_t>(resource.id);
        if (bitmaps.find(key)) return refuse(name + " appears twice");
        if (!bitmaps.addPayload(key, resource.data, &why)) return refuse(name + ": " + why);
    }
    return bitmaps;
}

std::optional<PictureMap> readModuleBitmaps(std::span<const std::uint8_t> file,
                                            std::string* error) {
    std::string why;
    std::optional<binary::ElfFile> elf = binary::readElf(file, &why);
    if (!elf) {
        fail(error, "not a native module: " + why);
        return std::nullopt;
    }
    const binary::ElfSection* section = elf->section(art::kBundleSection);
    if (!section) return PictureMap{};
    return readBitmapBundle(section->data, error);
}

std::optional<PictureMap> readModuleBitmaps(const std::string& path, std::string* error) {
    // Modules are small; anything far larger is not one.
    constexpr std::uintmax_t kMaxModuleBytes = 256u << 20;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fail(error, "cannot open " + path);
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        bytes.insert(bytes.end(), chunk, chunk + in.gcount());
        if (bytes.size() > kMaxModuleBytes) {
            fail(error, path + " is too large for a module");
            return std::nullopt;
        }
    }
    if (in.bad()) {
        fail(error, "cannot read " + path);
        return std::nullopt;
    }
    std::string why;
    std::optional<PictureMap> bitmaps = readModuleBitmaps(bytes, &why);
    if (!bitmaps) fail(error, path + ": " + why);
    return bitmaps;
}

} // namespace k729::render
