// Draws one gauge as the host shows it: the elements of a frame, in drawing
// order, each with what its callbacks returned. The renderer does not load or
// drive modules; a session hands it the list.
//
// How each kind is drawn (pure black is transparent in every picture and in
// text boxes; an element with HiddenFlag is skipped, the ones after it, its
// children included, still draw):
//  - StaticImage: bitmap `bitmapId` at `position`.
//  - Icon: image 1 (`bitmapId` + 1) when the value is exactly 1, image 0
//    (`bitmapId`) for any other value; image 1 missing falls back to image 0.
//  - Slider: its bitmap at `position` moved by (x * scaleX, y * scaleY)
//    pixels, rounded to whole pixels.
//  - MovingImage: the picture is `bitmapId`, the mask in front of it
//    `bitmapId` + 1. The mask sits at `position`; its (1, 1, 1) pixels show
//    the picture, (0, 0, 0) ones show nothing, any other colour is drawn over
//    the picture. At minY the window shows the top of the picture, at maxY
//    the bottom (the picture moved up by its height less the mask's), linear
//    between and held beyond; likewise minX the left end, maxX the right.
//    An axis whose min equals its max stays at the min end.
//  - Sprite: the texture is `bitmapId`, the mask `bitmapId` + 1 (at
//    `position`, as above). The texture's middle sits on `position` + `centre`,
//    shifted by (x * scaleX, y * scaleY) along the texture's own axes, then
//    the whole turned about that point by rot * scaleRot degrees,
//    counter-clockwise on screen. `textureScale` is not applied. Without a
//    mask the texture is drawn unclipped.
//  - Needle: the bitmap points along its +x axis from its pivot `centre`;
//    the pivot sits on `position`. The direction comes from the
//    nonlinearity table: each point's direction is the angle from `position`
//    to (x, y) in screen coordinates; the table is sorted by value (points
//    whose value is not finite are ignored), below the first value the
//    needle points at the first point, above the last at the last, and
//    between two neighbours the angle moves linearly through their
//    difference normalised to (-180, 180]. An empty table points along +x.
//  - StringElement: the box (`position`, `boxSize`) filled with backColour,
//    the text in foreColour (0x00BBGGRR values), left-aligned, vertically
//    centred on the font's ascent plus descent, at a pixel size of 0.7 times
//    the box height, clipped to the box. Texts are code page 1252.
//
// A value that is not finite or larger than kMaxValue in size, and an offset
// it would cause beyond kMaxOffset pixels, draws the element at rest (value
// 0). Pictures are sampled nearest-neighbour, so unturned pictures and turns
// by multiples of 90 degrees are pixel-exact; other turns are sampled
// bilinearly for smooth needles.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "k729/element.h"
#include "k729render/picture.h"

namespace k729::render {

class FontResolver;

inline constexpr double kMaxValue = 1e9;
inline constexpr double kMaxOffset = 1e6;
// Element positions beyond this (in either direction) are not drawn.
inline constexpr std::int32_t kMaxCoordinate = 1 << 20;
inline constexpr int kMaxScale = 64;

// One element of a frame. value: x, y, rot for a Sprite; x, y for a Slider
// or MovingImage; value[0] for a Needle, Icon or StringElement; unused for
// a StaticImage. text: a StringElement's text (code page 1252).
struct DrawItem {
    const Element* element = nullptr;
    double value[3] = {0.0, 0.0, 0.0};
    std::string text;
};

struct Rgba {
    double r = 0, g = 0, b = 0, a = 0; // 0..1, not premultiplied
};

struct DrawOptions {
    int scale = 1;   // whole-pixel zoom, nearest-neighbour; 1..kMaxScale
    Rgba background; // the gauge's area under and around its pictures
    // Night lighting: elements without BrightFlag are drawn with their
    // colours multiplied by nightBrightness.
    bool night = false;
    double nightBrightness = 0.35;
    // The gauge's size in pixels; 0 x 0: from the elements at rest (see
    // gaugeExtent).
    Extent size{0, 0};
    // Null: the fonts of the project's fonts.conf (FontResolver::shared()).
    FontResolver* fonts = nullptr;
};

// What could not be drawn as asked: missing bitmaps, unknown kinds, fonts
// that failed. Each problem is listed once.
struct DrawReport {
    std::vector<std::string> problems;
};

// The area from the gauge's origin to the right and bottom edges of its
// elements at rest (pictures at their positions, needles as the circle they
// sweep, text boxes), hidden ones included; at most kMaxPictureSide a side.
Extent gaugeExtent(std::span<const DrawItem> items, const BitmapSource& bitmaps);

// Draws the gauge onto the surface with its origin at device pixel (x, y),
// scaled by options.scale: the gauge is drawn at its own size, then each of
// its pixels becomes a scale x scale block. The gauge's area is filled with
// options.background first (over what is there).
DrawReport drawGauge(cairo_surface_t* target, std::span<const DrawItem> items,
                     const BitmapSource& bitmaps, double x, double y,
                     const DrawOptions& options = {});

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

struct Rendering {
    Surface surface; // ARGB32, the gauge's size times the scale
    DrawReport report;
};

// The gauge alone on a surface of its own.
Rendering renderGauge(std::span<const DrawItem> items, const BitmapSource& bitmaps,
                      const DrawOptions& options = {});

// Writes the surface as a PNG file (with alpha).
bool writePng(cairo_surface_t* surface, const std::string& path, std::string* error = nullptr);

} // namespace k729::render
