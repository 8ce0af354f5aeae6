// Canvas storage and the drawing primitives. Every primitive clips to the
// canvas; coordinates far outside it only cost the loop over the visible part.
#include <algorithm>
#include <cmath>

#include "k729art/art.h"

namespace k729::art {
namespace {

// A coordinate range [lo, hi) clamped to [0, size); done in 64 bits so that
// x + w cannot overflow.
struct Span {
    int lo, hi;
};
Span clampSpan(long long lo, long long hi, int size) {
    lo = std::clamp<long long>(lo, 0, size);
    hi = std::clamp<long long>(hi, lo, size);
    return {static_cast<int>(lo), static_cast<int>(hi)};
}

// Shapes further out than this are refused, so that no sum or product of
// their coordinates can overflow into infinities or NaN.
constexpr double kFarAway = 1e9;
bool usable(double v) {
    return std::isfinite(v) && std::fabs(v) <= kFarAway;
}

// The first pixel whose centre is at or right of `edge`, clamped to [0, size]
// before it becomes an integer.
int firstCentreFrom(double edge, int size) {
    return static_cast<int>(std::clamp(std::ceil(edge - 0.5), 0.0, static_cast<double>(size)));
}

} // namespace

Canvas::Canvas(int width, int height, Rgb fill)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), fill) {}

Rgb Canvas::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return kTransparent;
    return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                   static_cast<std::size_t>(x)];
}

void Canvas::set(int x, int y, Rgb colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
            static_cast<std::size_t>(x)] = colour;
}

void Canvas::fill(Rgb colour) {
    std::fill(pixels_.begin(), pixels_.end(), colour);
}

void Canvas::fillRect(int x, int y, int w, int h, Rgb colour) {
    const Span xs = clampSpan(x, static_cast<long long>(x) + w, width_);
    const Span ys = clampSpan(y, static_cast<long long>(y) + h, height_);
    for (int row = ys.lo; row < ys.hi; ++row)
        for (int col = xs.lo; col < xs.hi; ++col)
            set(col, row, colour);
}

void Canvas::frameRect(int x, int y, int w, int h, int thickness, Rgb colour) {
    if (w <= 0 || h <= 0 || thickness <= 0) return;
    const int t = std::min({thickness, (w + 1) / 2, (h + 1) / 2});
    fillRect(x, y, w, t, colour);
    fillRect(x, y + h - t, w, t, colour);
    fillRect(x, y + t, t, h - 2 * t, colour);
    fillRect(x + w - t, y + t, t, h - 2 * t, colour);
}

void Canvas::line(int x0, int y0, int x1, int y1, Rgb colour, int thickness) {
    // Bresenham's walk with a square brush; even brushes lean up and left.
    const int brush = std::max(thickness, 1);
    const int before = (brush - 1) / 2;
    long long x = x0, y = y0;
    const long long dx = std::llabs(static_cast<long long>(x1) - x0);
    const long long dy = -std::llabs(static_cast<long long>(y1) - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    long long err = dx + dy;
    for (;;) {
        fillRect(static_cast<int>(x - before), static_cast<int>(y - before), brush, brush, colour);
        if (x == x1 && y == y1) break;
        const long long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void Canvas::fillCircle(double cx, double cy, double radius, Rgb colour) {
    if (!usable(cx) || !usable(cy) || !usable(radius) || radius <= 0) return;
    const int x0 = firstCentreFrom(cx - radius, width_);
    const int x1 = firstCentreFrom(cx + radius, width_);
    const int y0 = firstCentreFrom(cy - radius, height_);
    const int y1 = firstCentreFrom(cy + radius, height_);
    const double r2 = radius * radius;
    for (int y = y0; y < y1; ++y) {
        const double dy = y + 0.5 - cy;
        for (int x = x0; x < x1; ++x) {
            const double dx = x + 0.5 - cx;
            if (dx * dx + dy * dy < r2) set(x, y, colour);
        }
    }
}

void Canvas::fillPolygon(const std::vector<std::pair<double, double>>& points, Rgb colour) {
    if (points.size() < 3) return;
    double top = points[0].second, bottom = points[0].second;
    for (const auto& [px, py] : points) {
        if (!usable(px) || !usable(py)) return;
        top = std::min(top, py);
        bottom = std::max(bottom, py);
    }
    const int y0 = firstCentreFrom(top, height_);
    const int y1 = firstCentreFrom(bottom, height_);
    std::vector<double> crossings;
    for (int y = y0; y < y1; ++y) {
        const double yc = y + 0.5;
        crossings.clear();
        for (std::size_t i = 0; i < points.size(); ++i) {
            const auto& [ax, ay] = points[i];
            const auto& [bx, by] = points[(i + 1) % points.size()];
            // Half-open in y, so a vertex shared by two edges counts once.
            if ((ay <= yc) != (by <= yc))
                crossings.push_back(ax + (yc - ay) * (bx - ax) / (by - ay));
        }
        std::sort(crossings.begin(), crossings.end());
        for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
            const int from = firstCentreFrom(crossings[i], width_);
            const int to = firstCentreFrom(crossings[i + 1], width_);
            for (int x = from; x < to; ++x)
                set(x, y, colour);
        }
    }
}

void Canvas::fillGlow(int x, int y, int w, int h, Rgb edge, Rgb middle, int bands) {
    if (w <= 0 || h <= 0) return;
    bands = std::clamp(bands, 2, 256);
    auto mix = [&](int step) {
        auto channel = [&](int a, int b) {
            return static_cast<std::uint8_t>(a + (b - a) * step / (bands - 1));
        };
        return Rgb{channel(edge.r, middle.r), channel(edge.g, middle.g), channel(edge.b, middle.b)};
    };
    const double halfW = w / 2.0, halfH = h / 2.0;
    const Span xs = clampSpan(x, static_cast<long long>(x) + w, width_);
    const Span ys = clampSpan(y, static_cast<long long>(y) + h, height_);
    for (int row = ys.lo; row < ys.hi; ++row) {
        const double ny = (row - static_cast<double>(y) + 0.5 - halfH) / halfH;
        for (int col = xs.lo; col < xs.hi; ++col) {
            const double nx = (col - static_cast<double>(x) + 0.5 - halfW) / halfW;
            // 1 at the centre, 0 on the ellipse and beyond; both factors lie
            // in [0, 1], so the step fits an int.
            const double t = std::clamp(1.0 - std::sqrt(nx * nx + ny * ny), 0.0, 1.0);
            set(col, row, mix(std::min(bands - 1, static_cast<int>(t * 2.0 * bands))));
        }
    }
}

} // namespace k729::art
