// An animated PNG (APNG) built from cairo's own PNG output: each frame is
// encoded as a plain PNG by cairo, its IDAT chunks are taken out and stored
// as the animation's frame data (IDAT for the first frame, fdAT after it),
// each behind an fcTL chunk; acTL in front counts the frames. Viewers that
// know no APNG show the first frame.
//
// Only the rectangle that changed since the previous frame is stored (the
// frame is drawn over the last with the source operator, nothing disposed);
// a frame equal to the last one lengthens the last one's time instead.
// Frames are taken as opaque: the animation is 8-bit RGB.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

namespace k729::panel {

// A cairo surface's PNG file in memory; empty (with the reason) on failure.
std::vector<std::uint8_t> encodePng(cairo_surface_t* surface, std::string* error = nullptr);

class ApngBuilder {
public:
    ApngBuilder(int width, int height) : width_(width), height_(height) {}

    // An ARGB32 surface of the animation's size, shown for `delayMs`
    // milliseconds (1 to 65535). False (with the reason) when it cannot be
    // encoded or does not fit.
    bool add(cairo_surface_t* frame, std::uint16_t delayMs, std::string* error = nullptr);

    // Frames stored so far (equal frames merged).
    std::size_t frames() const { return frames_.size(); }
    // The file; empty before the first frame.
    std::vector<std::uint8_t> file() const;

private:
    struct Frame {
        int x, y, width, height;
        std::uint32_t delayMs;
        std::vector<std::uint8_t> data; // the zlib stream of its IDAT chunks
    };

    int width_, height_;
    std::vector<std::uint8_t> header_; // IHDR's data of the first frame
    std::vector<std::uint32_t> last_;  // the previous frame's pixels, row by row
    std::vector<Frame> frames_;
};

} // namespace k729::panel
