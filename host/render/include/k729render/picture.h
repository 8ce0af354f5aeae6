// The pictures the renderer draws, where they come from, and the decoder for
// a module's bitmap payloads (a BMP file without its 14-byte file header:
// BITMAPINFOHEADER, a colour table of up to 256 entries, 8-bit rows padded to
// 4 bytes, bottom-up or, with a negative height, top-down).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace k729::render {

struct Rgb {
    std::uint8_t r, g, b;
    friend constexpr bool operator==(Rgb, Rgb) = default;
};

// Pure black is transparent in every picture; in a mask (1, 1, 1) is the
// window through which the picture behind shows.
inline constexpr Rgb kTransparent{0, 0, 0};
inline constexpr Rgb kMaskWindow{1, 1, 1};

// Larger sides are refused: no module bitmap comes near, and it keeps every
// size computation far from overflow.
inline constexpr int kMaxPictureSide = 16384;

// A decoded bitmap: rows top-down, left to right.
struct Picture {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;

    Rgb at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }

    // From palette indices (rows top-down); null when the sizes disagree, a
    // side is out of range or an index lies beyond the palette.
    static std::optional<Picture> fromIndices(int width, int height,
                                              std::span<const std::uint8_t> indices,
                                              std::span<const Rgb> palette,
                                              std::string* error = nullptr);
};

// Decodes one bitmap payload. Only 8-bit uncompressed pictures are accepted;
// anything truncated, inconsistent or of another depth is refused with a
// reason.
std::optional<Picture> decodeDib(std::span<const std::uint8_t> payload,
                                 std::string* error = nullptr);

// Where the renderer finds a bitmap by its id.
class BitmapSource {
public:
    virtual ~BitmapSource() = default;
    // Null when there is no such bitmap. The picture lives as long as the source.
    virtual const Picture* find(std::int32_t id) const = 0;
};

// Pictures held in memory, by id.
class PictureMap : public BitmapSource {
public:
    const Picture* find(std::int32_t id) const override;
    void add(std::int32_t id, Picture picture) { pictures_[id] = std::move(picture); }
    // Decodes and adds a payload; false (with the reason) when it does not decode.
    bool addPayload(std::int32_t id, std::span<const std::uint8_t> payload,
                    std::string* error = nullptr);
    std::size_t size() const { return pictures_.size(); }

private:
    std::map<std::int32_t, Picture> pictures_;
};

// The bitmaps of a native module's resource bundle (layout in
// k729art/bundle.h). Entries of other types are ignored; a malformed bundle
// or bitmap fails the whole read.
std::optional<PictureMap> readBitmapBundle(std::span<const std::uint8_t> bundle,
                                           std::string* error = nullptr);

// The bitmaps a native module carries in its ".k729.resources" section, from
// the file's bytes or from the file. A module without that section carries
// none (an empty map, so that each bitmap it names is reported missing); a
// file that is no ELF file or a malformed bundle is an error.
std::optional<PictureMap> readModuleBitmaps(std::span<const std::uint8_t> file,
                                            std::string* error = nullptr);
std::optional<PictureMap> readModuleBitmaps(const std::string& path, std::string* error = nullptr);

} // namespace k729::render
