#include "k729panel/panel_view.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>

#include "k729host/element_tree.h"
#include "k729host/text_encoding.h"
#include "k729render/areas.h"
#include "k729render/fonts.h"
#include "k729render/session_view.h"

namespace k729::panel {
namespace {

constexpr double kNightBrightness = render::DrawOptions{}.nightBrightness;

// Labels on placeholders and the contact sheet: the project's sans-serif.
void useLabelFont(cairo_t* cr, double size) {
    render::FontResolver* fonts = render::FontResolver::shared();
    cairo_font_face_t* face = fonts ? fonts->face("Arial", 400) : nullptr;
    if (face)
        cairo_set_font_face(cr, face);
    else
        cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

void setColour(cairo_t* cr, render::Rgb c, double brightness = 1.0) {
    cairo_set_source_rgb(cr, c.r / 255.0 * brightness, c.g / 255.0 * brightness,
                         c.b / 255.0 * brightness);
}

// Cairo draws nothing more on a context once handed text that is not UTF-8:
// such a name (a file name, a gauge name in code page 1252) is shown as code
// page 1252. Asking the context's font keeps cairo's own rules.
std::string drawable(cairo_t* cr, const std::string& text) {
    cairo_glyph_t* glyphs = nullptr;
    int count = 0;
    const cairo_status_t status =
        cairo_scaled_font_text_to_glyphs(cairo_get_scaled_font(cr), 0, 0, text.c_str(), -1, &glyphs,
                                         &count, nullptr, nullptr, nullptr);
    cairo_glyph_free(glyphs);
    return status == CAIRO_STATUS_SUCCESS ? text : host::cp1252ToUtf8(text);
}

// Centred on (cx, cy).
void centredText(cairo_t* cr, const std::string& text, double cx, double cy) {
    const std::string shown = drawable(cr, text);
    cairo_text_extents_t e;
    cairo_text_extents(cr, shown.c_str(), &e);
    cairo_move_to(cr, cx - e.width / 2 - e.x_bearing, cy - e.height / 2 - e.y_bearing);
    cairo_show_text(cr, shown.c_str());
}

void drawPlaceholder(cairo_t* cr, const PanelGauge& g, const Panel& panel, double brightness) {
    cairo_save(cr);
    cairo_rectangle(cr, g.x, g.y, g.width, g.height);
    cairo_clip_preserve(cr);
    // A recess a little darker than the panel, its edge dashed: a place, not a picture.
    setColour(cr, panel.background, 0.6 * brightness);
    cairo_fill(cr);
    cairo_rectangle(cr, g.x + 0.5, g.y + 0.5, g.width - 1, g.height - 1);
    const double dash[] = {3, 3};
    cairo_set_dash(cr, dash, 2, 0);
    cairo_set_line_width(cr, 1);
    setColour(cr, {120, 124, 128}, brightness);
    cairo_stroke(cr);
    // The name without the QT_K729_/QT_ORV_ prefix fits the small boxes.
    std::string name = g.name;
    for (const char* prefix : {"QT_K729_", "QT_ORV_", "QT_"})
        if (name.rfind(prefix, 0) == 0) {
            name.erase(0, std::char_traits<char>::length(prefix));
            break;
        }
    useLabelFont(cr, std::clamp(g.height * 0.3, 6.0, 12.0));
    setColour(cr, {150, 154, 158}, brightness);
    centredText(cr, name, g.x + g.width / 2.0, g.y + g.height / 2.0);
    cairo_restore(cr);
}

std::string resolveModule(const std::string& folder, const std::string& file) {
    const std::filesystem::path path(file);
    if (path.is_absolute() || folder.empty()) return path.string();
    return (std::filesystem::path(folder) / path).string();
}

// The size of the gauge's background: the root element's picture.
std::optional<Extent> rootSize(const host::GaugeSession& session,
                               const render::PictureMap& bitmaps) {
    const Element* root = host::rootElement(session.header());
    if (!root) return std::nullopt;
    const render::Picture* picture = bitmaps.find(root->bitmapId);
    if (!picture) return std::nullopt;
    return Extent{picture->width, picture->height};
}

} // namespace

host::ErrorOr<std::vector<PlacedGauge>> openGauges(host::Host& host, const Panel& panel,
                                                   const std::string& modules,
                                                   std::vector<std::string>& warnings) {
    std::vector<PlacedGauge> gauges;
    for (const PanelGauge& place : panel.gauges) {
        PlacedGauge g{place, nullptr, {}};
        const std::string path = resolveModule(modules, place.module);
        auto where = [&](const std::string& what) {
            return host::Error{located(panel.source, place.line, what)};
        };
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec)) {
            warnings.push_back(
                located(panel.source, place.line,
                        place.name + " is not built yet (no " + path + "); it is skipped"));
            gauges.push_back(std::move(g));
            continue;
        }
        host::ErrorOr<std::unique_ptr<host::GaugeSession>> session =
            host::GaugeSession::open(host, path);
        if (session.isError()) return where("cannot load " + path + ": " + session.error().message);
        g.session = session.release();
        const std::optional<std::string> name = g.session->gaugeName();
        if (name != place.name)
            return where(path + " carries the gauge \"" + name.value_or("") + "\", not \"" +
                         place.name + "\"");
        std::string why;
        std::optional<render::PictureMap> bitmaps = render::readModuleBitmaps(path, &why);
        if (!bitmaps) return where("cannot read the bitmaps: " + why);
        g.bitmaps = std::move(*bitmaps);
        if (std::optional<Extent> size = rootSize(*g.session, g.bitmaps);
            size && (size->w != place.width || size->h != place.height))
            return where("gauge " + place.name + " is " + std::to_string(size->w) + "x" +
                         std::to_string(size->h) + ", the panel gives it " +
                         std::to_string(place.width) + "x" + std::to_string(place.height));
        gauges.push_back(std::move(g));
    }
    return gauges;
}

void drawPanel(cairo_surface_t* target, const Panel& panel, const std::vector<PlacedGauge>& gauges,
               const PanelDrawOptions& options, std::vector<DrawProblem>& problems) {
    const int scale = std::clamp(options.scale, 1, render::kMaxScale);
    const double brightness = options.night ? kNightBrightness : 1.0;
    cairo_t* cr = cairo_create(target);
    setColour(cr, panel.background, brightness);
    cairo_paint(cr);
    cairo_scale(cr, scale, scale);

    render::DrawOptions draw;
    draw.scale = scale;
    draw.night = options.night;
    for (const PlacedGauge& g : gauges) {
        if (!g.session) {
            drawPlaceholder(cr, g.place, panel, brightness);
            continue;
        }
        const std::vector<render::DrawItem> items = render::drawItems(*g.session);
        draw.size = {g.place.width, g.place.height};
        render::DrawReport report =
            render::drawGauge(target, items, g.bitmaps, g.place.x * scale, g.place.y * scale, draw);
        for (std::string& what : report.problems)
            problems.push_back({g.place.name, std::move(what)});
    }
    cairo_destroy(cr);
    // After all gauges, so that none covers another's areas; each gauge's are
    // clipped to its place, as an area may reach beyond its background.
    if (options.areas)
        for (const PlacedGauge& g : gauges) {
            if (!g.session) continue;
            const Box place{g.place.x * scale, g.place.y * scale, g.place.width * scale,
                            g.place.height * scale};
            render::drawAreas(target, g.session->areas(), place.x, place.y, scale, place);
        }
}

ClickTarget route(const std::vector<PlacedGauge>& gauges, std::int32_t x, std::int32_t y) {
    ClickTarget target;
    for (auto g = gauges.rbegin(); g != gauges.rend(); ++g) {
        const PanelGauge& p = g->place;
        const std::int64_t gx = std::int64_t{x} - p.x, gy = std::int64_t{y} - p.y;
        if (gx < 0 || gy < 0 || gx >= p.width || gy >= p.height) continue;
        if (!target.under) target.under = &*g;
        if (g->session &&
            g->session->areaAt(static_cast<std::int32_t>(gx), static_cast<std::int32_t>(gy))) {
            target.gauge = &*g;
            target.x = static_cast<std::int32_t>(gx);
            target.y = static_cast<std::int32_t>(gy);
            return target;
        }
    }
    return target;
}

render::Surface thumbnail(cairo_surface_t* frame, int width) {
    const int fw = cairo_image_surface_get_width(frame), fh = cairo_image_surface_get_height(frame);
    width = std::clamp(width, 1, std::max(fw, 1));
    const double k = static_cast<double>(width) / std::max(fw, 1);
    const int height = std::max(1, static_cast<int>(std::lround(fh * k)));
    render::Surface thumb(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    cairo_t* cr = cairo_create(thumb.get());
    cairo_scale(cr, k, k);
    cairo_set_source_surface(cr, frame, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_destroy(cr);
    return thumb;
}

render::Surface contactSheet(const std::vector<render::Surface>& thumbnails,
                             const std::vector<std::string>& labels, const std::string& title,
                             int columns) {
    constexpr int kMargin = 12, kLabel = 20, kTitle = 30;
    int tw = 1, th = 1;
    for (const render::Surface& t : thumbnails) {
        tw = std::max(tw, cairo_image_surface_get_width(t.get()));
        th = std::max(th, cairo_image_surface_get_height(t.get()));
    }
    const int count = static_cast<int>(thumbnails.size());
    columns = std::clamp(columns, 1, std::max(count, 1));
    const int rows = std::max(1, (count + columns - 1) / columns);
    const int width = kMargin + columns * (tw + kMargin);
    const int height = kTitle + rows * (th + kLabel + kMargin) + kMargin / 2;
    render::Surface sheet(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    cairo_t* cr = cairo_create(sheet.get());
    cairo_set_source_rgb(cr, 0.08, 0.085, 0.09);
    cairo_paint(cr);
    useLabelFont(cr, 14);
    cairo_set_source_rgb(cr, 0.9, 0.9, 0.9);
    cairo_move_to(cr, kMargin, 20);
    cairo_show_text(cr, drawable(cr, title).c_str());
    useLabelFont(cr, 12);
    for (int i = 0; i < count; ++i) {
        const double x = kMargin + (i % columns) * (tw + kMargin);
        const double y = kTitle + (i / columns) * (th + kLabel + kMargin);
        cairo_set_source_surface(cr, thumbnails[static_cast<std::size_t>(i)].get(), x, y);
        cairo_paint(cr);
        cairo_set_source_rgb(cr, 0.8, 0.8, 0.8);
        cairo_move_to(cr, x, y + th + 14);
        if (static_cast<std::size_t>(i) < labels.size())
            cairo_show_text(cr, drawable(cr, labels[static_cast<std::size_t>(i)]).c_str());
    }
    cairo_destroy(cr);
    return sheet;
}

} // namespace k729::panel
