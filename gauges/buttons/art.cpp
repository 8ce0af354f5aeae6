// The push-buttons' bitmaps. Pure black is transparent: the host shows the
// panel through it, and draws the generator and battery labels over the top
// of the square face, so that part stays black.
#include "buttons.h"

#include "k729art/art.h"

namespace {

using k729::art::Bitmap;
using k729::art::Canvas;
using k729::art::Rgb;
using k729::buttons::ButtonSpec;
using k729::buttons::Face;

// The square face: the label box (host-drawn) over a lamp window, with the
// button's dark blue side showing along its right and bottom edges.
constexpr int kSide = 3;         // width of the blue side
constexpr int kLabelBottom = 25; // first row under the host's label box
constexpr Rgb kSideLit{0, 40, 112};
constexpr Rgb kSideShade{0, 22, 70};

struct LampLook {
    Rgb rim, edge, middle;
    int bands;
};
constexpr LampLook kWindowDark{{58, 60, 64}, {100, 102, 106}, {112, 114, 118}, 2};
constexpr LampLook kWindowLit{{22, 124, 34}, {52, 210, 64}, {172, 255, 172}, 5};

Canvas squareFace(const ButtonSpec& button, const LampLook& lamp) {
    const int w = button.size.w, h = button.size.h;
    Canvas face(w, h);
    // The side, from the label down: lit part along the face, a darker outer
    // line. Above it the label box stands in for the button's top.
    face.fillRect(w - kSide, kLabelBottom, kSide, h - kLabelBottom, kSideLit);
    face.fillRect(2, h - kSide, w - 2, kSide, kSideLit);
    face.fillRect(w - 1, kLabelBottom + 1, 1, h - kLabelBottom - 1, kSideShade);
    face.fillRect(3, h - 1, w - 3, 1, kSideShade);

    // The lamp window fills the space between the label and the side.
    const int x = 2, y = kLabelBottom, ww = w - kSide - x, wh = h - kSide - y;
    face.frameRect(x, y, ww, wh, 1, lamp.rim);
    face.fillGlow(x + 1, y + 1, ww - 2, wh - 2, lamp.edge, lamp.middle, lamp.bands);
    return face;
}

struct KnobLook {
    Rgb outer, middle, centre, glint; // glint: the light catching the lens
};
constexpr KnobLook kKnobLit{{0, 176, 40}, {72, 236, 96}, {200, 255, 200}, {240, 255, 240}};
constexpr KnobLook kKnobDark{{0, 58, 14}, {0, 78, 20}, {8, 96, 28}, {70, 140, 84}};

// The starter: a round grey bezel, lit from the top left, around a lamp.
Canvas roundButton(const ButtonSpec& button, const KnobLook& lamp) {
    Canvas face(button.size.w, button.size.h);
    const double cx = button.size.w / 2.0, cy = button.size.h / 2.0;
    face.fillCircle(cx, cy, 14.0, Rgb{72, 72, 78});
    face.fillCircle(cx - 0.8, cy - 0.8, 12.6, Rgb{156, 156, 164});
    face.fillCircle(cx + 0.8, cy + 0.8, 12.6, Rgb{34, 34, 38});
    face.fillCircle(cx, cy, 12.0, Rgb{96, 96, 102});
    face.fillCircle(cx, cy, 9.0, Rgb{44, 44, 48});
    face.fillCircle(cx, cy, 8.0, lamp.outer);
    face.fillCircle(cx, cy, 6.0, lamp.middle);
    face.fillCircle(cx, cy, 3.5, lamp.centre);
    face.fillCircle(cx - 3.0, cy - 3.0, 1.2, lamp.glint);
    return face;
}

std::vector<Bitmap> draw(std::string_view gaugeName) {
    const ButtonSpec* button = k729::buttons::findButton(gaugeName);
    if (!button) return {};
    std::vector<Bitmap> bitmaps;
    if (button->face == Face::Square) {
        bitmaps.push_back({button->background, squareFace(*button, kWindowDark)});
        bitmaps.push_back({button->lamp, squareFace(*button, kWindowDark)});
        bitmaps.push_back({button->lamp + 1, squareFace(*button, kWindowLit)});
    } else {
        // The lamp images cover the whole button; nothing shows beneath.
        bitmaps.push_back({button->background, Canvas(button->size.w, button->size.h)});
        bitmaps.push_back({button->lamp, roundButton(*button, kKnobLit)});
        bitmaps.push_back({button->lamp + 1, roundButton(*button, kKnobDark)});
    }
    return bitmaps;
}

} // namespace

int main(int argc, char** argv) {
    return k729::art::artToolMain(argc, argv, draw);
}
