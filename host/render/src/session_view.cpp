#include "k729render/session_view.h"

namespace k729::render {

std::vector<DrawItem> drawItems(const host::GaugeSession& session) {
    std::vector<DrawItem> items;
    items.reserve(session.elements().size());
    for (const host::ElementState& state : session.elements()) {
        const host::ElementResults& r = state.results;
        DrawItem item;
        item.element = state.element;
        switch (state.element->kind) {
        case ElementKind::Slider:
        case ElementKind::MovingImage:
        case ElementKind::Sprite:
            item.value[0] = r.x.value_or(0.0);
            item.value[1] = r.y.value_or(0.0);
            item.value[2] = r.rot.value_or(0.0);
            break;
        default:
            item.value[0] = r.value.value_or(0.0);
            break;
        }
        if (state.text) item.text = *state.text;
        items.push_back(std::move(item));
    }
    return items;
}

Extent gaugeSize(std::span<const DrawItem> items, const BitmapSource& bitmaps) {
    if (!items.empty() && items.front().element)
        if (const Picture* background = bitmaps.find(items.front().element->bitmapId))
            return {background->width, background->height};
    return gaugeExtent(items, bitmaps);
}

} // namespace k729::render
