// One annunciator light; K729_GAUGE_NAME picks its row of the light table.
#include "lights.h"

#include <type_traits>

#include "k729/mouse.h"
#include "k729/service.h"

namespace k729::lights {
namespace {

constexpr const LightSpec& kLight = *findLight(K729_GAUGE_NAME);
constexpr bool kReadsRefreshList = kLight.rule != LitRule::SourceIsOne;

// The warning and caution lights decide from two values refreshed at every
// pre-update.
struct RefreshTwo {
    static inline ModuleVar refreshList[2] = {moduleVar(kLight.refresh[0]),
                                              moduleVar(kLight.refresh[1])};
};
using Service =
    GaugeServiceHandler<std::conditional_t<kReadsRefreshList, RefreshTwo, NoServiceAdditions>>;

// NaN compares false both ways, so it counts as neither below 5 nor 0.
constexpr bool lit(double first, double second) {
    if constexpr (kLight.rule == LitRule::EitherBelowFive)
        return first < kLowThreshold || second < kLowThreshold;
    else
        return first == 0.0 || second == 0.0;
}

double K729_CALL lampCallback(Element* element) {
    markBright(*element);
    if constexpr (kReadsRefreshList) {
        const ModuleVar(&values)[2] = RefreshTwo::refreshList;
        return lit(values[0].value, values[1].value) ? 1.0 : 0.0;
    } else {
        return as<Icon>(*element).sourceVar.value;
    }
}

extern GaugeHeader gaugeHeader;

constinit Icon lamp = {
    .base = elementBase(ElementKind::Icon, kLamp, {0, 0}, &gaugeHeader, nullptr),
    .sourceVar = moduleVar(kLight.lampSource),
    .switchMode = kIconSwitchMode,
    .imageCount = kIconImageCount,
    .callback = lampCallback,
};
constinit Element* const lampLink[] = {&lamp.base, nullptr};

constinit StaticImage background = {
    .base = elementBase(ElementKind::StaticImage, kBackground, {0, 0}, &gaugeHeader, lampLink),
};
constinit Element* rootCell = &background.base;

// No click areas: only the tooltip.
constinit const MouseRect mouseRects[] = {
    parentRect(),
    tooltipRect(kLight.tooltip),
    endOfParentRect(),
    endOfListRect(),
};

constinit GaugeHeader gaugeHeader = {
    .version = kHeaderVersion,
    .name = kLight.name,
    .rootCell = &rootCell,
    .size = kHeaderSize,
    .mouseRects = mouseRects,
    .serviceHandler = Service::handle,
};

} // namespace
} // namespace k729::lights

// Exported (declared in k729/host_calls.h).
constinit k729::GaugeModule Linkage =
    k729::gaugeModule(&k729::lights::gaugeHeader, k729::moduleInit, k729::moduleDeinit);
