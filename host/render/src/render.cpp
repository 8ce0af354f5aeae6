#include "k729render/render.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <numbers>
#include <set>

#include "k729host/session.h"
#include "k729host/text_encoding.h"
#include "k729render/fonts.h"

namespace k729::render {
namespace {

// The values that reach drawing: anything unusable counts as rest.
double usable(double value) {
    return std::isfinite(value) && std::fabs(value) <= kMaxValue ? value : 0.0;
}

// value * scale pixels, or none when that is unusable.
double offsetOf(double value, double scale) {
    const double offset = usable(value) * scale;
    return std::isfinite(offset) && std::fabs(offset) <= kMaxOffset ? offset : 0.0;
}

// Where a value lies between an axis's ends, 0 to 1, held beyond them.
double fraction(double value, double min, double max) {
    if (!std::isfinite(min) || !std::isfinite(max) || min == max) return 0.0;
    const double t = (usable(value) - min) / (max - min);
    return std::isfinite(t) ? std::clamp(t, 0.0, 1.0) : 0.0;
}

bool inRange(Point p) {
    return std::abs(static_cast<std::int64_t>(p.x)) <= kMaxCoordinate &&
           std::abs(static_cast<std::int64_t>(p.y)) <= kMaxCoordinate;
}

// Cosine and sine of a turn; whole quarter turns are exact so that they
// can be sampled nearest-neighbour without a pixel moving.
struct Turn {
    double c, s;
    bool quarter;
};

Turn turnOf(double degrees) {
    const double r = std::fmod(degrees, 360.0);
    const double q = std::round(r / 90.0);
    if (std::fabs(r - q * 90.0) < 1e-9) {
        static constexpr Turn kQuarters[4] = {
            {1, 0, true}, {0, 1, true}, {-1, 0, true}, {0, -1, true}};
        return kQuarters[(static_cast<int>(q) % 4 + 4) % 4];
    }
    const double radians = r * std::numbers::pi / 180.0;
    return {std::cos(radians), std::sin(radians), false};
}

// The difference between two directions in degrees, normalised to (-180, 180].
double angleBetween(double from, double to) {
    double d = std::fmod(to - from, 360.0);
    if (d <= -180.0) d += 360.0;
    if (d > 180.0) d -= 360.0;
    return d;
}

// A table larger than this is not a real module's; the rest is ignored.
constexpr std::uint32_t kMaxNeedlePoints = 4096;

// The needle's direction in screen degrees (y down, so positive turns
// clockwise) for a value, from its unsorted table.
double needleDirection(const Needle& needle, double value) {
    struct Sample {
        double value, angle;
    };
    std::vector<Sample> samples;
    if (needle.nonlinearity) {
        const std::uint32_t count = std::min(needle.pointCount, kMaxNeedlePoints);
        for (std::uint32_t i = 0; i < count; ++i) {
            const NonlinearityPoint& p = needle.nonlinearity[i];
            // Non-finite values would break the ordering.
            if (!std::isfinite(p.value)) continue;
            const double dx = static_cast<double>(p.x) - needle.base.position.x;
            const double dy = static_cast<double>(p.y) - needle.base.position.y;
            samples.push_back({p.value, std::atan2(dy, dx) * 180.0 / std::numbers::pi});
        }
    }
    if (samples.empty()) return 0.0;
    std::stable_sort(samples.begin(), samples.end(),
                     [](const Sample& a, const Sample& b) { return a.value < b.value; });
    value = usable(value);
    if (value <= samples.front().value) return samples.front().angle;
    if (value >= samples.back().value) return samples.back().angle;
    auto upper = std::upper_bound(samples.begin(), samples.end(), value,
                                  [](double v, const Sample& s) { return v < s.value; });
    const Sample& b = *upper;
    const Sample& a = *(upper - 1);
    const double t = (value - a.value) / (b.value - a.value);
    return a.angle + t * angleBetween(a.angle, b.angle);
}

cairo_surface_t* newImage(cairo_format_t format, int w, int h) {
    return cairo_image_surface_create(format, w, h);
}

// Writes ARGB32 pixels (premultiplied) into a fresh surface.
template <class PixelOf> Surface makeSurface(cairo_format_t format, int w, int h, PixelOf pixelOf) {
    Surface surface(newImage(format, w, h));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return surface;
    cairo_surface_flush(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < h; ++y) {
        unsigned char* row = data + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = 0; x < w; ++x) {
            if (format == CAIRO_FORMAT_A8) {
                row[x] = static_cast<unsigned char>(pixelOf(x, y));
            } else {
                const std::uint32_t v = pixelOf(x, y);
                std::memcpy(row + 4 * x, &v, 4);
            }
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

std::uint32_t opaque(Rgb c) {
    return 0xFF000000u | (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}

Rgb fromColourRef(std::uint32_t colour) {
    return Rgb{static_cast<std::uint8_t>(colour & 0xFF), static_cast<std::uint8_t>(colour >> 8),
               static_cast<std::uint8_t>(colour >> 16)};
}

// Text elements are drawn at 0.7 times their box height, in pixels: a label
// such as "GEN2" then fits the few dozen pixels its button gives it.
constexpr double kTextSizeOfBox = 0.7;

class Painter {
public:
    Painter(cairo_t* cr, const BitmapSource& bitmaps, const DrawOptions& options,
            DrawReport& report)
        : cr_(cr), bitmaps_(bitmaps), options_(options), report_(report) {}

    void draw(const DrawItem& item, std::size_t index);

private:
    void problem(std::string what) {
        if (seen_.insert(what).second) report_.problems.push_back(std::move(what));
    }
    std::string name(std::size_t index, const Element& e) const {
        return "element " + std::to_string(index) + " (" + host::kindName(e.kind, "unknown kind") +
               ")";
    }

    // A bitmap by id, with `bitmapId` + offset kept within range.
    const Picture* find(const Element& e, std::int64_t offset) const {
        const std::int64_t id = std::int64_t{e.bitmapId} + offset;
        if (id < INT32_MIN || id > INT32_MAX) return nullptr;
        return bitmaps_.find(static_cast<std::int32_t>(id));
    }
    const Picture* require(const Element& e, std::int64_t offset, const std::string& who) {
        const Picture* picture = find(e, offset);
        if (!picture)
            problem(who + ": bitmap " + std::to_string(std::int64_t{e.bitmapId} + offset) +
                    " is missing");
        return picture;
    }

    cairo_surface_t* pictureSurface(const Picture& p);
    cairo_surface_t* windowSurface(const Picture& mask);
    cairo_surface_t* symbolSurface(const Picture& mask);

    void paintAt(cairo_surface_t* surface, double x, double y);
    void paintTransformed(cairo_surface_t* surface, const cairo_matrix_t& m, bool exact);
    void masked(const Picture* mask, Point at, const std::function<void()>& behind);

    void drawIcon(const Icon& icon, double value, const std::string& who);
    void drawMovingImage(const MovingImage& image, const double* value, const std::string& who);
    void drawSprite(const Sprite& sprite, const double* value, const std::string& who);
    void drawNeedle(const Needle& needle, double value, const std::string& who);
    void drawText(const StringElement& text, const std::string& content, const std::string& who);

    cairo_t* cr_;
    const BitmapSource& bitmaps_;
    const DrawOptions& options_;
    DrawReport& report_;
    std::set<std::string> seen_;
    std::map<const Picture*, Surface> pictures_, windows_, symbols_;
};

cairo_surface_t* Painter::pictureSurface(const Picture& p) {
    Surface& s = pictures_[&p];
    if (!s)
        s = makeSurface(CAIRO_FORMAT_ARGB32, p.width, p.height, [&](int x, int y) {
            const Rgb c = p.at(x, y);
            return c == kTransparent ? 0u : opaque(c);
        });
    return s.get();
}

cairo_surface_t* Painter::windowSurface(const Picture& mask) {
    Surface& s = windows_[&mask];
    if (!s)
        s = makeSurface(CAIRO_FORMAT_A8, mask.width, mask.height,
                        [&](int x, int y) { return mask.at(x, y) == kMaskWindow ? 0xFFu : 0u; });
    return s.get();
}

cairo_surface_t* Painter::symbolSurface(const Picture& mask) {
    Surface& s = symbols_[&mask];
    if (!s)
        s = makeSurface(CAIRO_FORMAT_ARGB32, mask.width, mask.height, [&](int x, int y) {
            const Rgb c = mask.at(x, y);
            return c == kTransparent || c == kMaskWindow ? 0u : opaque(c);
        });
    return s.get();
}

void Painter::paintAt(cairo_surface_t* surface, double x, double y) {
    cairo_set_source_surface(cr_, surface, x, y);
    cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_NEAREST);
    cairo_paint(cr_);
}

void Painter::paintTransformed(cairo_surface_t* surface, const cairo_matrix_t& m, bool exact) {
    cairo_save(cr_);
    cairo_transform(cr_, &m);
    cairo_set_source_surface(cr_, surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr_),
                             exact ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_BILINEAR);
    cairo_paint(cr_);
    cairo_restore(cr_);
}

// Draws what `behind` paints through the mask's window, then the mask's
// symbols over it. Without a mask, `behind` is drawn as it is.
void Painter::masked(const Picture* mask, Point at, const std::function<void()>& behind) {
    if (!mask) {
        behind();
        return;
    }
    cairo_push_group(cr_);
    behind();
    cairo_pop_group_to_source(cr_);
    cairo_mask_surface(cr_, windowSurface(*mask), at.x, at.y);
    paintAt(symbolSurface(*mask), at.x, at.y);
}

void Painter::draw(const DrawItem& item, std::size_t index) {
    const Element* e = item.element;
    if (!e) {
        problem("item " + std::to_string(index) + " has no element");
        return;
    }
    if (e->drawFlags & HiddenFlag) return;
    const std::string who = name(index, *e);
    if (!inRange(e->position) || !inRange(e->centre)) {
        problem(who + ": position or centre beyond the drawable range");
        return;
    }

    const bool dim = options_.night && !(e->drawFlags & BrightFlag);
    if (dim) cairo_push_group(cr_);

    const double* value = item.value;
    switch (e->kind) {
    case ElementKind::StaticImage:
        if (const Picture* p = require(*e, 0, who))
            paintAt(pictureSurface(*p), e->position.x, e->position.y);
        break;
    case ElementKind::Icon:
        drawIcon(as<Icon>(*e), value[0], who);
        break;
    case ElementKind::Slider:
        if (const Picture* p = require(*e, 0, who)) {
            const Slider& slider = as<Slider>(*e);
            // Whole pixels, so a slider never blurs or splits a pixel.
            const double dx = std::round(offsetOf(value[0], slider.scaleX));
            const double dy = std::round(offsetOf(value[1], slider.scaleY));
            paintAt(pictureSurface(*p), e->position.x + dx, e->position.y + dy);
        }
        break;
    case ElementKind::MovingImage:
        drawMovingImage(as<MovingImage>(*e), value, who);
        break;
    case ElementKind::Sprite:
        drawSprite(as<Sprite>(*e), value, who);
        break;
    case ElementKind::Needle:
        drawNeedle(as<Needle>(*e), value[0], who);
        break;
    case ElementKind::StringElement:
        drawText(as<StringElement>(*e), item.text, who);
        break;
    default:
        problem(who + ": kind " + std::to_string(static_cast<std::uint32_t>(e->kind)) +
                " is not drawable");
        break;
    }

    if (dim) {
        // Scales the colours of what the element drew, keeping its coverage.
        double brightness = options_.nightBrightness;
        if (!std::isfinite(brightness)) brightness = DrawOptions{}.nightBrightness;
        brightness = std::clamp(brightness, 0.0, 1.0);
        cairo_set_operator(cr_, CAIRO_OPERATOR_ATOP);
        cairo_set_source_rgba(cr_, 0, 0, 0, 1.0 - brightness);
        cairo_paint(cr_);
        cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
        cairo_pop_group_to_source(cr_);
        cairo_paint(cr_);
    }
    if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS)
        problem(who + ": " + cairo_status_to_string(cairo_status(cr_)));
}

void Painter::drawIcon(const Icon& icon, double value, const std::string& who) {
    const Element& e = icon.base;
    const Picture* picture = nullptr;
    if (value == 1.0) {
        picture = find(e, 1);
        if (!picture && icon.imageCount >= 2)
            problem(who + ": bitmap " + std::to_string(std::int64_t{e.bitmapId} + 1) +
                    " is missing; image 0 shows instead");
    }
    if (!picture) picture = require(e, 0, who);
    if (picture) paintAt(pictureSurface(*picture), e.position.x, e.position.y);
}

void Painter::drawMovingImage(const MovingImage& image, const double* value,
                              const std::string& who) {
    const Element& e = image.base;
    const Picture* picture = require(e, 0, who);
    const Picture* mask = require(e, 1, who);
    if (!mask || !picture) return;
    // The picture slides under the window by up to its size less the mask's.
    const double tx = fraction(value[0], image.minX, image.maxX);
    const double ty = fraction(value[1], image.minY, image.maxY);
    const double x = e.position.x - std::round(tx * (picture->width - mask->width));
    const double y = e.position.y - std::round(ty * (picture->height - mask->height));
    masked(mask, e.position, [&] { paintAt(pictureSurface(*picture), x, y); });
}

void Painter::drawSprite(const Sprite& sprite, const double* value, const std::string& who) {
    const Element& e = sprite.base;
    const Picture* texture = require(e, 0, who);
    if (!texture) return;
    const Picture* mask = find(e, 1);
    if (!mask)
        problem(who + ": mask bitmap " + std::to_string(std::int64_t{e.bitmapId} + 1) +
                " is missing; the texture is drawn unclipped");

    const double pivotX = static_cast<double>(e.position.x) + e.centre.x;
    const double pivotY = static_cast<double>(e.position.y) + e.centre.y;
    // Shift in the texture's own frame, relative to its middle.
    const double dx = offsetOf(value[0], sprite.scaleX) - texture->width / 2.0;
    const double dy = offsetOf(value[1], sprite.scaleY) - texture->height / 2.0;
    double degrees = usable(value[2]) * sprite.scaleRot;
    if (!std::isfinite(degrees) || std::fabs(degrees) > kMaxValue) degrees = 0.0;
    const Turn t = turnOf(degrees);
    // Counter-clockwise on a screen whose y axis points down.
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.c, -t.s, t.s, t.c, pivotX + t.c * dx + t.s * dy,
                      pivotY - t.s * dx + t.c * dy);
    masked(mask, e.position, [&] { paintTransformed(pictureSurface(*texture), m, t.quarter); });
}

void Painter::drawNeedle(const Needle& needle, double value, const std::string& who) {
    const Element& e = needle.base;
    const Picture* picture = require(e, 0, who);
    if (!picture) return;
    const Turn t = turnOf(needleDirection(needle, value));
    const double cx = e.centre.x, cy = e.centre.y;
    // Clockwise on screen: the picture's +x axis onto the direction.
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.c, t.s, -t.s, t.c, e.position.x - (t.c * cx - t.s * cy),
                      e.position.y - (t.s * cx + t.c * cy));
    paintTransformed(pictureSurface(*picture), m, t.quarter);
}

void Painter::drawText(const StringElement& text, const std::string& content,
                       const std::string& who) {
    const Element& e = text.base;
    const int w = std::min(text.boxSize.w, kMaxPictureSide);
    const int h = std::min(text.boxSize.h, kMaxPictureSide);
    if (w <= 0 || h <= 0) return;

    // The box is drawn like a picture of its own, so pure black in it is
    // transparent too.
    Surface box(newImage(CAIRO_FORMAT_ARGB32, w, h));
    if (cairo_surface_status(box.get()) != CAIRO_STATUS_SUCCESS) {
        // An error surface has no pixels for the pass below.
        problem(who + ": " + cairo_status_to_string(cairo_surface_status(box.get())));
        return;
    }
    cairo_t* t = cairo_create(box.get());
    const Rgb back = fromColourRef(text.backColour), fore = fromColourRef(text.foreColour);
    cairo_set_source_rgb(t, back.r / 255.0, back.g / 255.0, back.b / 255.0);
    cairo_paint(t);

    std::string why;
    FontResolver* fonts = options_.fonts ? options_.fonts : FontResolver::shared(&why);
    const std::string fontName = host::cp1252ToUtf8(
        std::string_view(text.fontName, strnlen(text.fontName, sizeof text.fontName)));
    cairo_font_face_t* face = fonts ? fonts->face(fontName, text.fontWeight, &why) : nullptr;
    if (!face) {
        problem(who + ": " + why);
    } else {
        cairo_set_font_face(t, face);
        cairo_set_font_size(t, h * kTextSizeOfBox);
        cairo_font_options_t* fo = cairo_font_options_create();
        cairo_font_options_set_antialias(fo, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(fo, CAIRO_HINT_STYLE_SLIGHT);
        cairo_set_font_options(t, fo);
        cairo_font_options_destroy(fo);
        cairo_font_extents_t fe;
        cairo_font_extents(t, &fe);
        const double baseline = (h - (fe.ascent + fe.descent)) / 2.0 + fe.ascent;
        cairo_move_to(t, 0, baseline);
        cairo_set_source_rgb(t, fore.r / 255.0, fore.g / 255.0, fore.b / 255.0);
        cairo_show_text(t, host::cp1252ToUtf8(content).c_str());
    }
    if (cairo_status(t) != CAIRO_STATUS_SUCCESS)
        problem(who + ": " + cairo_status_to_string(cairo_status(t)));
    cairo_destroy(t);

    cairo_surface_flush(box.get());
    unsigned char* data = cairo_image_surface_get_data(box.get());
    const int stride = cairo_image_surface_get_stride(box.get());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char* px = data + static_cast<std::ptrdiff_t>(y) * stride + 4 * x;
            std::uint32_t v;
            std::memcpy(&v, px, 4);
            if ((v & 0xFFFFFF) == 0) std::memset(px, 0, 4);
        }
    cairo_surface_mark_dirty(box.get());
    paintAt(box.get(), e.position.x, e.position.y);
}

// The right and bottom edges of an element at rest, or none.
struct Reach {
    double right = 0, bottom = 0;
};

std::optional<Reach> reachOf(const DrawItem& item, const BitmapSource& bitmaps) {
    const Element* e = item.element;
    if (!e || !inRange(e->position) || !inRange(e->centre)) return std::nullopt;
    auto bitmap = [&](std::int64_t offset) -> const Picture* {
        const std::int64_t id = std::int64_t{e->bitmapId} + offset;
        if (id < INT32_MIN || id > INT32_MAX) return nullptr;
        return bitmaps.find(static_cast<std::int32_t>(id));
    };
    const double x = e->position.x, y = e->position.y;
    auto box = [&](double w, double h) { return Reach{x + w, y + h}; };
    auto around = [&](double cx, double cy, double r) { return Reach{cx + r, cy + r}; };
    switch (e->kind) {
    case ElementKind::StaticImage:
    case ElementKind::Slider:
        if (const Picture* p = bitmap(0)) return box(p->width, p->height);
        return std::nullopt;
    case ElementKind::MovingImage: // the mask is the window it shows in
        if (const Picture* p = bitmap(1)) return box(p->width, p->height);
        return std::nullopt;
    case ElementKind::Icon: {
        Reach r{x, y};
        for (int i = 0; i < 2; ++i)
            if (const Picture* p = bitmap(i)) {
                r.right = std::max(r.right, x + p->width);
                r.bottom = std::max(r.bottom, y + p->height);
            }
        return r;
    }
    case ElementKind::Sprite:
        if (const Picture* mask = bitmap(1)) return box(mask->width, mask->height);
        if (const Picture* p = bitmap(0))
            return around(x + e->centre.x, y + e->centre.y, std::hypot(p->width, p->height) / 2);
        return std::nullopt;
    case ElementKind::Needle:
        if (const Picture* p = bitmap(0)) {
            // The farthest corner from the pivot sweeps the circle.
            const double far = std::max(std::abs(e->centre.x), std::abs(p->width - e->centre.x));
            const double low = std::max(std::abs(e->centre.y), std::abs(p->height - e->centre.y));
            return around(x, y, std::hypot(far, low));
        }
        return std::nullopt;
    case ElementKind::StringElement: {
        const StringElement& text = as<StringElement>(*e);
        return box(std::max(text.boxSize.w, 0), std::max(text.boxSize.h, 0));
    }
    }
    return std::nullopt;
}

int side(double reach) {
    return static_cast<int>(std::clamp(std::ceil(reach), 0.0, double{kMaxPictureSide}));
}

Extent extentFor(std::span<const DrawItem> items, const BitmapSource& bitmaps,
                 const DrawOptions& options) {
    if (options.size.w > 0 && options.size.h > 0)
        return {std::min(options.size.w, kMaxPictureSide),
                std::min(options.size.h, kMaxPictureSide)};
    Extent extent = gaugeExtent(items, bitmaps);
    return {std::max(extent.w, 1), std::max(extent.h, 1)};
}

} // namespace

Extent gaugeExtent(std::span<const DrawItem> items, const BitmapSource& bitmaps) {
    Reach all;
    for (const DrawItem& item : items)
        if (std::optional<Reach> r = reachOf(item, bitmaps)) {
            all.right = std::max(all.right, r->right);
            all.bottom = std::max(all.bottom, r->bottom);
        }
    return {side(all.right), side(all.bottom)};
}

DrawReport drawGauge(cairo_surface_t* target, std::span<const DrawItem> items,
                     const BitmapSource& bitmaps, double x, double y, const DrawOptions& options) {
    DrawReport report;
    if (!target || cairo_surface_status(target) != CAIRO_STATUS_SUCCESS) {
        report.problems.push_back("the target surface is not usable");
        return report;
    }
    if (!std::isfinite(x) || !std::isfinite(y)) {
        report.problems.push_back("the gauge's origin is not finite");
        return report;
    }
    const Extent extent = extentFor(items, bitmaps, options);

    // The gauge at its own size first, then zoomed: each gauge pixel becomes
    // a block, whatever the drawing did inside it.
    Surface gauge(newImage(CAIRO_FORMAT_ARGB32, extent.w, extent.h));
    cairo_t* cr = cairo_create(gauge.get());
    Painter painter(cr, bitmaps, options, report);
    for (std::size_t i = 0; i < items.size(); ++i)
        painter.draw(items[i], i);
    cairo_destroy(cr);

    const int scale = std::clamp(options.scale, 1, kMaxScale);
    cr = cairo_create(target);
    cairo_translate(cr, x, y);
    cairo_scale(cr, scale, scale);
    cairo_rectangle(cr, 0, 0, extent.w, extent.h);
    const Rgba& bg = options.background;
    auto unit = [](double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; };
    cairo_set_source_rgba(cr, unit(bg.r), unit(bg.g), unit(bg.b), unit(bg.a));
    cairo_fill_preserve(cr);
    cairo_set_source_surface(cr, gauge.get(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_fill(cr);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS)
        report.problems.push_back(std::string("drawing onto the target: ") +
                                  cairo_status_to_string(cairo_status(cr)));
    cairo_destroy(cr);
    return report;
}

Rendering renderGauge(std::span<const DrawItem> items, const BitmapSource& bitmaps,
                      const DrawOptions& options) {
    const Extent extent = extentFor(items, bitmaps, options);
    const int scale = std::clamp(options.scale, 1, kMaxScale);
    Rendering out;
    out.surface.reset(newImage(CAIRO_FORMAT_ARGB32, extent.w * scale, extent.h * scale));
    DrawOptions sized = options;
    sized.size = extent;
    out.report = drawGauge(out.surface.get(), items, bitmaps, 0, 0, sized);
    return out;
}

bool writePng(cairo_surface_t* surface, const std::string& path, std::string* error) {
    const cairo_status_t status =
        surface ? cairo_surface_write_to_png(surface, path.c_str()) : CAIRO_STATUS_NULL_POINTER;
    if (status == CAIRO_STATUS_SUCCESS) return true;
    if (error) *error = "cannot write " + path + ": " + cairo_status_to_string(status);
    return false;
}

} // namespace k729::render
