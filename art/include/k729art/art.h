// The bitmap toolkit the gauge folders draw their pictures with at build
// time: true-colour canvases, a few drawing primitives, a compact pixel font,
// and the writers that turn a gauge's pictures into 8-bit palette bitmaps and
// the resource files a module build embeds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace k729::art {

struct Rgb {
    std::uint8_t r, g, b;
    friend constexpr bool operator==(Rgb, Rgb) = default;
};

// Pure black is transparent in every picture; (1, 1, 1) is a mask's window.
inline constexpr Rgb kTransparent{0, 0, 0};
inline constexpr Rgb kMaskWindow{1, 1, 1};

// Every drawing call clips to the canvas; a negative size makes it empty.
class Canvas {
public:
    Canvas(int width, int height, Rgb fill = kTransparent);

    int width() const { return width_; }
    int height() const { return height_; }
    Rgb at(int x, int y) const;         // outside the canvas: transparent
    void set(int x, int y, Rgb colour); // outside the canvas: ignored

    void fill(Rgb colour);
    void fillRect(int x, int y, int w, int h, Rgb colour);
    void frameRect(int x, int y, int w, int h, int thickness, Rgb colour);
    void line(int x0, int y0, int x1, int y1, Rgb colour, int thickness = 1); // square brush
    void fillCircle(double cx, double cy, double radius, Rgb colour);
    // Pixels whose centres lie inside the shape are filled (a centre on the
    // left or top edge counts, one on the right or bottom edge does not), so
    // shapes sharing an edge neither overlap nor leave a gap. Polygons use the
    // even-odd rule.
    void fillPolygon(const std::vector<std::pair<double, double>>& points, Rgb colour);
    // A lamp's glow behind glass: the rectangle in `bands` steps of colour,
    // from `edge` outside the ellipse touching its sides to `middle` over the
    // inner half of that ellipse.
    void fillGlow(int x, int y, int w, int h, Rgb edge, Rgb middle, int bands);

private:
    int width_, height_;
    std::vector<Rgb> pixels_;
};

// The picture turned by `degrees` about its centre (clockwise on screen),
// each pixel taking the colour under its centre turned back: no blended
// colours. Pixels turned in from outside are transparent. Angles that are not
// finite or beyond 45 degrees return the picture unchanged.
Canvas rotated(const Canvas& picture, double degrees);

// The pixel font: capitals, digits and a few signs (- . , : / % + ( ) ! ? '),
// 5x7 cells on a 6-pixel advance, drawn `scale` times larger (below 1 counts
// as 1). Small letters draw as capitals, other characters as a blank cell.
// (x, y) is the top left of the first cell; the width has no trailing gap.
int textWidth(std::string_view text, int scale = 1);
inline constexpr int kGlyphHeight = 7;
void drawText(Canvas& canvas, int x, int y, std::string_view text, Rgb colour, int scale = 1);

// One bitmap of a module: its resource id and picture.
struct Bitmap {
    int id;
    Canvas picture;
};

// An 8-bit BMP file with a 256-entry colour table (bottom-up rows, no
// compression). The table holds the picture's colours in ascending RGB order
// (so pure black, when present, is entry 0) and zeros after them. Fails if
// the picture is empty or has more than 256 colours.
bool encodeBmp(const Canvas& picture, std::vector<std::uint8_t>* file, std::string* error);
inline constexpr std::size_t kBmpFileHeaderSize = 14;

// encodeBmp, written to `path` through a temporary file and a rename.
bool writeBmp(const std::string& path, const Canvas& picture, std::string* error);

// Writes everything a module build takes from a gauge's art into `folder`
// (created if missing): one `<id>.bmp` per bitmap, `bitmaps.rc` naming them by
// absolute path for the resource compiler, and `resources.bin`, the bundle a
// native module embeds (see bundle.h), entries in ascending id order. Ids must
// be unique and within 1..65535. Each file is written whole or not at all.
bool writeModuleArt(const std::string& folder, const std::vector<Bitmap>& bitmaps,
                    std::string* error);

// The art tool's whole command line: `<tool> <gauge name> <output folder>`.
// `draw` returns the gauge's bitmaps, or none for an unknown gauge name.
// Exits 0 when written (or for --help), 2 for bad arguments or an unknown
// gauge, 1 when the files cannot be written.
int artToolMain(int argc, char** argv, std::vector<Bitmap> (*draw)(std::string_view gaugeName));

} // namespace k729::art
