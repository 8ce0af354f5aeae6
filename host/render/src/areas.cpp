#include "k729render/areas.h"

#include <algorithm>
#include <string>

namespace k729::render {
namespace {

class AreaOverlay {
public:
    AreaOverlay(cairo_surface_t* surface, int scale, std::optional<Box> clip)
        : scale_(scale), cr_(cairo_create(surface)) {
        x1_ = cairo_image_surface_get_width(surface) - 1;
        y1_ = cairo_image_surface_get_height(surface) - 1;
        if (clip) {
            x0_ = std::max<std::int64_t>(x0_, clip->x);
            y0_ = std::max<std::int64_t>(y0_, clip->y);
            x1_ = std::min<std::int64_t>(x1_, std::int64_t{clip->x} + clip->w - 1);
            y1_ = std::min<std::int64_t>(y1_, std::int64_t{clip->y} + clip->h - 1);
        }
        cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
    }
    ~AreaOverlay() { cairo_destroy(cr_); }
    AreaOverlay(const AreaOverlay&) = delete;
    AreaOverlay& operator=(const AreaOverlay&) = delete;

    // With the gauge's origin at device pixel (x, y).
    void draw(const host::MouseArea& area, std::int64_t x, std::int64_t y) {
        const Box& b = area.box;
        if (b.w <= 0 || b.h <= 0) return;
        // 64-bit: a box at the far end of the 32-bit range times the scale.
        const std::int64_t x0 = x + std::int64_t{b.x} * scale_, y0 = y + std::int64_t{b.y} * scale_;
        const std::int64_t x1 = x + (std::int64_t{b.x} + b.w) * scale_ - 1;
        const std::int64_t y1 = y + (std::int64_t{b.y} + b.h) * scale_ - 1;
        colour(1.0);
        fill(x0, y0, x1, y0);
        fill(x0, y1, x1, y1);
        fill(x0, y0, x0, y1);
        fill(x1, y0, x1, y1);
        label(std::to_string(area.cursor), x0 + 1, y0 + 1);
    }

    bool ok() const { return cairo_status(cr_) == CAIRO_STATUS_SUCCESS; }

private:
    static constexpr const char* kGlyphs[] = {
        "111101101101111", "010110010010111", "111001111100111", "111001111001111",
        "101101111001001", "111100111001111", "111100111101111", "111001001001001",
        "111101111101111", "111101111001111", "000000111000000"};

    void colour(double alpha) {
        cairo_set_source_rgba(cr_, kAreaColour.r / 255.0, kAreaColour.g / 255.0,
                              kAreaColour.b / 255.0, alpha);
    }

    // The pixels from (x0, y0) to (x1, y1), both included, within the clip.
    void fill(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) {
        x0 = std::max(x0, x0_);
        y0 = std::max(y0, y0_);
        x1 = std::min(x1, x1_);
        y1 = std::min(y1, y1_);
        if (x0 > x1 || y0 > y1) return;
        cairo_rectangle(cr_, static_cast<double>(x0), static_cast<double>(y0),
                        static_cast<double>(x1 - x0 + 1), static_cast<double>(y1 - y0 + 1));
        cairo_fill(cr_);
    }

    void label(const std::string& digits, std::int64_t x, std::int64_t y) {
        const std::int64_t unit = std::max(1, scale_ / 2);
        const auto n = static_cast<std::int64_t>(digits.size());
        cairo_set_source_rgba(cr_, 0, 0, 0, 0.7);
        fill(x, y, x + (4 * n + 1) * unit - 1, y + 7 * unit - 1);
        colour(1.0);
        for (std::int64_t i = 0; i < n; ++i) {
            const char c = digits[static_cast<std::size_t>(i)];
            const char* glyph = c == '-' ? kGlyphs[10] : kGlyphs[c - '0'];
            for (int row = 0; row < 5; ++row)
                for (int col = 0; col < 3; ++col)
                    if (glyph[row * 3 + col] == '1') {
                        const std::int64_t gx = x + unit * (1 + 4 * i + col);
                        const std::int64_t gy = y + unit * (1 + row);
                        fill(gx, gy, gx + unit - 1, gy + unit - 1);
                    }
        }
    }

    int scale_;
    cairo_t* cr_;
    // The clip, device pixels, both ends included.
    std::int64_t x0_ = 0, y0_ = 0, x1_ = -1, y1_ = -1;
};

} // namespace

bool drawAreas(cairo_surface_t* target, std::span<const host::MouseArea> areas, std::int64_t x,
               std::int64_t y, int scale, std::optional<Box> clip) {
    AreaOverlay overlay(target, scale, clip);
    for (const host::MouseArea& area : areas)
        overlay.draw(area, x, y);
    return overlay.ok();
}

} // namespace k729::render
