// Rotation by nearest-neighbour lookup: each pixel takes the colour of the
// source pixel under its centre, turned back. No blending, so no new colours
// and no dark fringes against the transparent black.
#include <cmath>

#include "k729art/art.h"

namespace k729::art {

Canvas rotated(const Canvas& picture, double degrees) {
    if (!std::isfinite(degrees) || std::fabs(degrees) > 45.0) return picture;
    const double theta = degrees * (3.14159265358979323846 / 180.0);
    const double c = std::cos(theta), s = std::sin(theta);
    const double halfW = picture.width() / 2.0, halfH = picture.height() / 2.0;

    Canvas out(picture.width(), picture.height());
    for (int y = 0; y < picture.height(); ++y) {
        const double dy = y + 0.5 - halfH;
        for (int x = 0; x < picture.width(); ++x) {
            const double dx = x + 0.5 - halfW;
            // Within the picture's own size of the centre, so the floors
            // below always fit an int.
            const double sx = std::floor(halfW + dx * c + dy * s);
            const double sy = std::floor(halfH - dx * s + dy * c);
            out.set(x, y, picture.at(static_cast<int>(sx), static_cast<int>(sy)));
        }
    }
    return out;
}

} // namespace k729::art
