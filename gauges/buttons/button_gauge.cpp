// One lit push-button; K729_GAUGE_NAME picks its row of the button table.
#include "buttons.h"

#include "k729/service.h"
#include "k729/text.h"

namespace k729::buttons {
namespace {

constexpr const ButtonSpec& kButton = *findButton(K729_GAUGE_NAME);
constexpr bool kHasLabel = kButton.label.format != nullptr;

double K729_CALL lampCallback(Element* element) {
    markBright(*element);
    double value = as<Icon>(*element).sourceVar.value;
    if constexpr (kButton.rule == LampRule::DarkWhenZero) return value == 0.0 ? 1.0 : 0.0;
    return value;
}

double K729_CALL labelCallback(Element* element) {
    markBright(*element);
    StringElement& label = as<StringElement>(*element);
    writeText(label, kButton.label.format,
              static_cast<double>(toSingle(label.sourceVars[0].value)));
    return 0.0;
}

extern GaugeHeader gaugeHeader;

constinit StringElement label = {
    .base = elementBase(ElementKind::StringElement, kNoBitmap, kButton.label.position, &gaugeHeader,
                        nullptr),
    .sourceVars = {moduleVar(0), moduleVar(0), moduleVar(0)},
    .text = nullptr,
    .textSize = 0,
    .boxSize = kButton.label.box,
    .foreColour = kLabelText,
    .backColour = kLabelBox,
    .hiliteColour = kLabelBox,
    .fontName = "Times New Roman",
    .fontWeight = kLabelWeight,
    .fontCharset = kTextCharset,
    .textOptions = kTextOptions,
    .callback = labelCallback,
};
constinit Element* const labelLink[] = {&label.base, nullptr};

// The starter has no label: its lamp ends the chain.
constinit Icon lamp = {
    .base = elementBase(ElementKind::Icon, kButton.lamp, {0, 0}, &gaugeHeader,
                        kHasLabel ? labelLink : nullptr),
    .sourceVar = moduleVar(kButton.lampSource),
    .switchMode = kIconSwitchMode,
    .imageCount = kIconImageCount,
    .callback = lampCallback,
};
constinit Element* const lampLink[] = {&lamp.base, nullptr};

constinit StaticImage background = {
    .base =
        elementBase(ElementKind::StaticImage, kButton.background, {0, 0}, &gaugeHeader, lampLink),
};
constinit Element* rootCell = &background.base;

constinit const MouseRect mouseRects[] = {
    parentRect(),
    tooltipRect(kButton.tooltip),
    childArea(kButton.area, kCursorPush, kButton.mouseFlags, sendKeyEvent<kButton.event>),
    endOfParentRect(),
    endOfListRect(),
};

constinit GaugeHeader gaugeHeader = {
    .version = kHeaderVersion,
    .name = kButton.name,
    .rootCell = &rootCell,
    .size = kHeaderSize,
    .mouseRects = mouseRects,
    .serviceHandler = GaugeServiceHandler<NoServiceAdditions>::handle,
};

} // namespace
} // namespace k729::buttons

// Exported (declared in k729/host_calls.h).
constinit k729::GaugeModule Linkage =
    k729::gaugeModule(&k729::buttons::gaugeHeader, k729::moduleInit, k729::moduleDeinit);
