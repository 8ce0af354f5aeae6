// What a gauge session hands the renderer: the elements of its last frame in
// drawing order, and the gauge's size.
#pragma once

#include <span>
#include <vector>

#include "k729host/session.h"
#include "k729render/render.h"

namespace k729::render {

// The session's elements in walk order (root first, each child list in
// order), with what their callbacks returned in the last frame. Empty before
// the first frame.
std::vector<DrawItem> drawItems(const host::GaugeSession& session);

// The size of the gauge's background bitmap: the root element's picture.
// Falls back to the extent of all elements when the root has no picture.
Extent gaugeSize(std::span<const DrawItem> items, const BitmapSource& bitmaps);

} // namespace k729::render
