// The click-area overlay (`render --areas`, `run --areas`): a one-pixel
// outline along the inside of each child area at the picture's scale, and its
// cursor code in digits of a 3 x 5 pixel font in the top-left corner, on a
// dark backing so that it reads over any art.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <optional>
#include <span>

#include "k729/mouse.h"
#include "k729host/session.h"
#include "k729render/picture.h"

namespace k729::render {

// Outline and digits.
inline constexpr Rgb kAreaColour{255, 0, 255};

// Draws the overlay of one gauge whose origin is at device pixel (x, y) of
// `target`, each gauge pixel a scale x scale block. Nothing is drawn outside
// `clip` (device pixels) nor outside the surface. False if cairo failed.
bool drawAreas(cairo_surface_t* target, std::span<const host::MouseArea> areas, std::int64_t x,
               std::int64_t y, int scale, std::optional<Box> clip = std::nullopt);

} // namespace k729::render
