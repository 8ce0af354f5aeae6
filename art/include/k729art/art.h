// The bitmap toolkit the gauge folders draw their pictures with at build
// time: true-colour canvases, a few drawing primitives, a compact pixel font,
// and the writers that turn a gauge's pictures into 8-bit palette bitmaps and
// the resource files a module build embeds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace k729::art {

struct Rgb {
    std::uint8_t r, g, b;
    friend constexpr bool operator==(Rgb, Rgb) = default;
};

// Pure black is transparent in every picture; (1, 1, 1) is a mask's window.
inline constexpr Rgb kTransparent{0, 0, 0};
inline constexpr Rgb kMaskWindow{1, 1, 1};

class Canvas {
public:
    Canvas(int width, int height, Rgb fill = kTransparent);

    int width() const { return width_; }
    int height() const { return height_; }
    Rgb at(int x, int y) const;
    void set(int x, int y, Rgb colour); // outside the canvas: ignored

    void fill(Rgb colour);
    void fillRect(int x, int y, int w, int h, Rgb colour);
    void frameRect(int x, int y, int w, int h, int thickness, Rgb colour);
    void line(int x0, int y0, int x1, int y1, Rgb colour, int thickness = 1);
    void fillCircle(double cx, double cy, double radius, Rgb colour);
    void fillPolygon(const std::vector<std::pair<double, double>>& points, Rgb colour);

private:
    int width_, height_;
    std::vector<Rgb> pixels_;
};

// The pixel font: capitals, digits and a few signs, 5x7 cells on a 6-pixel
// advance, drawn `scale` times larger.
int textWidth(std::string_view text, int scale = 1);
inline constexpr int kGlyphHeight = 7;
void drawText(Canvas& canvas, int x, int y, std::string_view text, Rgb colour, int scale = 1);

// One bitmap of a module: its resource id and picture.
struct Bitmap {
    int id;
    Canvas picture;
};

// Writes an 8-bit BMP file with a 256-entry colour table (bottom-up rows, no
// compression). Fails if the picture has more than 256 colours.
bool writeBmp(const std::string& path, const Canvas& picture, std::string* error);

// Writes everything a module build takes from a gauge's art into `folder`:
// one `<id>.bmp` per bitmap, `bitmaps.rc` naming them for the resource
// compiler, and `resources.bin`, the bundle a native module embeds.
bool writeModuleArt(const std::string& folder, const std::vector<Bitmap>& bitmaps,
                    std::string* error);

// The art tool's whole command line: `<tool> <gauge name> <output folder>`.
// `draw` returns the gauge's bitmaps, or none for an unknown gauge name.
int artToolMain(int argc, char** argv,
                std::vector<Bitmap> (*draw)(std::string_view gaugeName));

} // namespace k729::art
