// Pictures drawn as text for the renderer's tests: '.' is pure black
// (transparent), '+' a mask's window (1, 1, 1), and every other character c
// the colour (c, 100, 200), so a rendered surface reads back as the same
// characters ('?' for a colour that is none of them, as blends are).
#pragma once

#include <cairo.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "k729render/picture.h"
#include "k729render/render.h"

namespace k729::render::testing {

inline Rgb colourOf(char c) {
    if (c == '.') return kTransparent;
    if (c == '+') return kMaskWindow;
    return Rgb{static_cast<std::uint8_t>(c), 100, 200};
}

inline Picture art(const std::vector<std::string>& rows) {
    Picture p{static_cast<int>(rows.at(0).size()), static_cast<int>(rows.size()), {}};
    for (const std::string& row : rows)
        for (char c : row)
            p.pixels.push_back(colourOf(c));
    return p;
}

struct Pixel {
    int r, g, b, a; // not premultiplied
    friend bool operator==(const Pixel&, const Pixel&) = default;
};

inline Pixel pixelAt(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    const unsigned char* row = cairo_image_surface_get_data(s) +
                               static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(s);
    std::uint32_t v;
    std::memcpy(&v, row + 4 * x, 4);
    const int a = static_cast<int>(v >> 24);
    auto channel = [&](int shift) {
        const int c = static_cast<int>((v >> shift) & 0xFF);
        return a == 0 ? 0 : (c * 255 + a / 2) / a;
    };
    return {channel(16), channel(8), channel(0), a};
}

inline char charOf(const Pixel& p) {
    if (p.a == 0) return '.';
    if (p.a == 255 && p.g == 100 && p.b == 200 && p.r > ' ' && p.r < 127)
        return static_cast<char>(p.r);
    return '?';
}

inline std::vector<std::string> grid(cairo_surface_t* s) {
    std::vector<std::string> rows;
    for (int y = 0; y < cairo_image_surface_get_height(s); ++y) {
        std::string row;
        for (int x = 0; x < cairo_image_surface_get_width(s); ++x)
            row += charOf(pixelAt(s, x, y));
        rows.push_back(row);
    }
    return rows;
}

// The surface's pixels as bytes, for comparing whole renderings.
inline std::vector<std::uint32_t> pixelsOf(cairo_surface_t* s) {
    cairo_surface_flush(s);
    std::vector<std::uint32_t> out;
    const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    for (int y = 0; y < h; ++y) {
        const unsigned char* row =
            cairo_image_surface_get_data(s) +
            static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(s);
        for (int x = 0; x < w; ++x) {
            std::uint32_t v;
            std::memcpy(&v, row + 4 * x, 4);
            out.push_back(v);
        }
    }
    return out;
}

// A gauge rendered at scale 1 onto a canvas of the given size.
inline Rendering render(const std::vector<DrawItem>& items, const BitmapSource& bitmaps, int w,
                        int h, DrawOptions options = {}) {
    options.size = {w, h};
    return renderGauge(items, bitmaps, options);
}

} // namespace k729::render::testing
