// The panel as the host shows it: every gauge of a panel file drawn at its
// place, and mouse clicks routed from panel pixels to the gauge under them.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "k729host/session.h"
#include "k729panel/panel_file.h"
#include "k729render/picture.h"
#include "k729render/render.h"

namespace k729::panel {

// One gauge of the panel: its place and, when its module is built, the
// module's session and bitmaps.
struct PlacedGauge {
    PanelGauge place;
    std::unique_ptr<host::GaugeSession> session; // null: the module is not built
    render::PictureMap bitmaps;
};

// Opens the session of every gauge whose module file exists (relative to
// `modules` unless absolute) and reads its bitmaps. A gauge whose module is
// not built yet gets no session and one warning. A module that does not
// load, carries another gauge name or another size than the panel gives it
// is an error naming the panel line.
host::ErrorOr<std::vector<PlacedGauge>> openGauges(host::Host& host, const Panel& panel,
                                                   const std::string& modules,
                                                   std::vector<std::string>& warnings);

struct PanelDrawOptions {
    int scale = 1;      // whole-pixel zoom, 1 to render::kMaxScale
    bool night = false; // elements without BrightFlag, the panel and placeholders dimmed
    bool areas = false; // outline each gauge's click areas
};

// A problem met while drawing, once per gauge and text.
struct DrawProblem {
    std::string gauge;
    std::string what;
};

// Fills the panel's colour, then draws each gauge in order with its last
// frame (a gauge not built yet as a placeholder: an outlined box with its
// name). The surface is the panel's size times the scale.
void drawPanel(cairo_surface_t* target, const Panel& panel, const std::vector<PlacedGauge>& gauges,
               const PanelDrawOptions& options, std::vector<DrawProblem>& problems);

// Where a click at a panel pixel lands: the topmost gauge that holds the
// point and has a click area there. `under` is the topmost gauge holding the
// point at all (built or not), for reports when nothing takes the click.
struct ClickTarget {
    const PlacedGauge* gauge = nullptr;
    std::int32_t x = 0, y = 0; // in the gauge's pixels
    const PlacedGauge* under = nullptr;
};
ClickTarget route(const std::vector<PlacedGauge>& gauges, std::int32_t x, std::int32_t y);

// A frame made smaller for the contact sheet, `width` pixels wide.
render::Surface thumbnail(cairo_surface_t* frame, int width);

// The contact sheet: the thumbnails in rows of `columns`, each labelled, under a title.
render::Surface contactSheet(const std::vector<render::Surface>& thumbnails,
                             const std::vector<std::string>& labels, const std::string& title,
                             int columns);

} // namespace k729::panel
