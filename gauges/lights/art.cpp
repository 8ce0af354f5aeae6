// The annunciator lights' bitmaps: each a framed plate carrying its word,
// tilted a little as the plates sit on the panel, on pure black (transparent).
// The background is the unlit plate, so the gauge shows it even when the lamp
// image is hidden.
#include <string_view>
#include <vector>

#include "lights.h"

#include "k729art/art.h"

namespace {

using k729::art::Bitmap;
using k729::art::Canvas;
using k729::art::Rgb;
using k729::lights::LightSpec;
using k729::lights::Plate;

// Degrees, clockwise. The plates and words must fit their bitmaps after the
// turn: at 2 degrees a plate needs about h/28 extra pixels of width.
constexpr double kTilt = 2.0;

struct Frame {
    Rgb light, body, shade; // lit from the top left
};

// The plate is brightest in the middle, where the lamp behind it sits: bands
// of colour from `edge` to `middle`, a few shades only.
struct PlateLook {
    Frame frame;
    Rgb edge, middle;
    Rgb word;
};
constexpr int kGlowBands = 6;

struct PlateShape {
    int width, height; // of the frame's outside, before the tilt
    int frame;         // thickness
    int bevel;         // of the frame's lit and shaded edges; 0: a flat frame
    int scale;         // of the font
    std::vector<std::string_view> lines;
    int lineGap = 0;
    int bold = 0; // extra pixels of stroke, right and down
    bool screws = false;
};

// The plate square to the canvas, centred; the caller tilts it.
Canvas flatPlate(const LightSpec& light, const PlateShape& shape, const PlateLook& look) {
    Canvas c(light.size.w, light.size.h);
    const int x = (light.size.w - shape.width) / 2, y = (light.size.h - shape.height) / 2;
    const int w = shape.width, h = shape.height, f = shape.frame, b = shape.bevel;

    c.fillRect(x, y, w, h, look.frame.body);
    if (b > 0) {
        // Outer edge raised, inner edge sunk: the plate sits in a recess.
        c.fillRect(x, y, w, b, look.frame.light);
        c.fillRect(x, y, b, h, look.frame.light);
        c.fillRect(x, y + h - b, w, b, look.frame.shade);
        c.fillRect(x + w - b, y, b, h, look.frame.shade);
        c.fillRect(x + f - b, y + f - b, w - 2 * (f - b), b, look.frame.shade);
        c.fillRect(x + f - b, y + f - b, b, h - 2 * (f - b), look.frame.shade);
        c.fillRect(x + f - b, y + h - f, w - 2 * (f - b), b, look.frame.light);
        c.fillRect(x + w - f, y + f - b, b, h - 2 * (f - b), look.frame.light);
    }
    if (shape.screws) {
        const double r = f / 4.0;
        for (int sx : {x + f / 2, x + w - f / 2})
            for (int sy : {y + f / 2, y + h - f / 2}) {
                c.fillCircle(sx, sy, r + 1.0, look.frame.shade);
                c.fillCircle(sx - 0.5, sy - 0.5, r, look.frame.light);
                c.line(sx - static_cast<int>(r) + 1, sy, sx + static_cast<int>(r) - 1, sy,
                       look.frame.shade);
            }
    }

    const int px = x + f, py = y + f, pw = w - 2 * f, ph = h - 2 * f;
    c.fillGlow(px, py, pw, ph, look.edge, look.middle, kGlowBands);

    const int lineHeight = k729::art::kGlyphHeight * shape.scale;
    const int textHeight = static_cast<int>(shape.lines.size()) * (lineHeight + shape.lineGap) -
                           shape.lineGap + shape.bold;
    int ty = py + (ph - textHeight + 1) / 2;
    for (std::string_view line : shape.lines) {
        const int tw = k729::art::textWidth(line, shape.scale);
        for (int dy = 0; dy <= shape.bold; ++dy)
            for (int dx = 0; dx <= shape.bold; ++dx)
                k729::art::drawText(c, px + (pw - tw - shape.bold + 1) / 2 + dx, ty + dy, line,
                                    look.word, shape.scale);
        ty += lineHeight + shape.lineGap;
    }
    return c;
}

Canvas plate(const LightSpec& light, const PlateShape& shape, const PlateLook& look) {
    return k729::art::rotated(flatPlate(light, shape, look), kTilt);
}

constexpr Rgb kNone{};                // the bevel colours of a flat frame
constexpr Rgb kUnlitEdge{70, 70, 74}; // an unlit grey plate: dull glass
constexpr Rgb kUnlitMiddle{86, 86, 90};
constexpr Frame kGreyFrame{{150, 150, 156}, {104, 104, 110}, {52, 52, 56}};

// The stall word is black on orange. Pure black would be transparent, so it
// is drawn in a near-black that the host paints as it is.
constexpr Rgb kNearBlack{8, 8, 8};

struct Looks {
    PlateShape shape;
    PlateLook unlit, lit;
};

Looks looksOf(Plate which) {
    switch (which) {
    case Plate::Stall:
        return {{.width = 200,
                 .height = 166,
                 .frame = 14,
                 .bevel = 3,
                 .scale = 5,
                 .lines = {"STALL"},
                 .bold = 1,
                 .screws = true},
                {kGreyFrame, {132, 56, 4}, {150, 68, 8}, kNearBlack},
                {kGreyFrame, {236, 112, 0}, {255, 190, 80}, kNearBlack}};
    case Plate::Overspeed: {
        // Unlit, the plate barely shows; lit, frame and letters glow yellow.
        // Tiny: a flat one-pixel frame and the font at its own size.
        const Rgb dark{34, 32, 28};
        return {{.width = 34,
                 .height = 26,
                 .frame = 1,
                 .bevel = 0,
                 .scale = 1,
                 .lines = {"OVER", "SPEED"},
                 .lineGap = 2},
                {{kNone, {74, 70, 54}, kNone}, dark, dark, {104, 98, 72}},
                {{kNone, {255, 222, 40}, kNone}, dark, dark, {255, 226, 48}}};
    }
    case Plate::Warning:
        return {{.width = 70, .height = 54, .frame = 3, .bevel = 1, .scale = 2, .lines = {"WRNG"}},
                {kGreyFrame, kUnlitEdge, kUnlitMiddle, {134, 134, 140}},
                {kGreyFrame, {188, 18, 12}, {255, 84, 56}, {255, 255, 255}}};
    case Plate::Caution:
        return {{.width = 70, .height = 54, .frame = 3, .bevel = 1, .scale = 2, .lines = {"CAUTN"}},
                {kGreyFrame, kUnlitEdge, kUnlitMiddle, {182, 182, 188}},
                {kGreyFrame, {226, 168, 0}, {255, 236, 96}, {48, 36, 0}}};
    }
    return {};
}

std::vector<Bitmap> draw(std::string_view gaugeName) {
    const LightSpec* light = k729::lights::findLight(gaugeName);
    if (!light) return {};
    const Looks looks = looksOf(light->plate);
    Canvas unlit = plate(*light, looks.shape, looks.unlit);
    Canvas background = unlit;
    if (light->plate == Plate::Caution) {
        // The caution light's background alone shows a panel screw past the
        // plate's top left corner, where the lamp images are transparent.
        background.fillRect(0, 0, 2, 2, Rgb{60, 60, 64});
        background.set(0, 0, Rgb{96, 96, 100});
    }
    return {{k729::lights::kBackground, background},
            {k729::lights::kLamp, unlit},
            {k729::lights::kLamp + 1, plate(*light, looks.shape, looks.lit)}};
}

} // namespace

int main(int argc, char** argv) {
    return k729::art::artToolMain(argc, argv, draw);
}
