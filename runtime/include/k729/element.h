// The element model: the seven kinds of drawable element, their callbacks and
// the two drawing flags that callbacks change.
#pragma once

#include <cstdint>
#include <type_traits>

#include "k729/module.h"

namespace k729 {

enum class ElementKind : std::uint32_t {
    StaticImage = 0,
    Needle = 1,
    StringElement = 2,
    Slider = 3,
    Icon = 4,
    MovingImage = 5,
    Sprite = 6,
};

inline constexpr std::uint32_t BrightFlag = 4;
inline constexpr std::uint32_t HiddenFlag = 0x40000000;
// The host's drawing options that every element is declared with.
inline constexpr std::uint32_t kDeclaredDrawFlags = 0x83;
inline constexpr std::int32_t kNoBitmap = -1;

// Values every icon and every text element of the system is declared with;
// their meaning is the host's.
inline constexpr std::uint32_t kIconSwitchMode = 3;
inline constexpr std::uint32_t kIconImageCount = 2;
inline constexpr std::uint32_t kTextCharset = 1;
inline constexpr std::uint32_t kTextOptions = 0x4240;

struct Point {
    std::int32_t x, y;
};

struct Extent {
    std::int32_t w, h;
};

// The host's failure record; every list of this system is empty (one
// terminating record).
struct FailureRecord {
    std::uint32_t failure;
    std::uint32_t action;
};
inline constexpr FailureRecord kNoFailures[] = {{0, 0}};

using ElementCallback = double(K729_CALL*)(Element* element);

// Fields every kind starts with. A kind record holds this as its first member,
// so the host can reach any element through an `Element*`.
struct Element {
    ElementKind kind{};
    std::int32_t bitmapId{};
    Point position{};
    Point centre{};
    GaugeHeader* gauge{};
    Element* const* children{}; // null-ended list of the elements drawn after this one
    const FailureRecord* failureList{};
    std::uint32_t drawFlags{};
    void* hostData{};
};

struct StaticImage {
    Element base;
};

// One point of a needle's direction table: where the needle points, seen from
// its position, when its value equals `value`.
struct NonlinearityPoint {
    std::int32_t x{}, y{};
    double value{};
    double hostColumn{};
};
using NonlinearityTable = const NonlinearityPoint*;

struct Needle {
    Element base;
    ModuleVar sourceVar{};
    NonlinearityTable nonlinearity{};
    std::uint32_t pointCount{};
    ElementCallback callback{};
};

struct StringElement {
    Element base;
    ModuleVar sourceVars[3]{};
    char* text{};             // the host's buffer
    std::uint32_t textSize{}; // its size in bytes, filled by the host with it
    Extent boxSize{};
    std::uint32_t foreColour{}; // 0x00BBGGRR
    std::uint32_t backColour{};
    std::uint32_t hiliteColour{};
    char fontName[32]{};
    std::uint32_t fontWeight{};
    std::uint32_t fontCharset{};
    std::uint32_t textOptions{};
    ElementCallback callback{};
};

struct Slider {
    Element base;
    ModuleVar sourceVarX{};
    double scaleX{}; // pixels per unit
    ModuleVar sourceVarY{};
    double scaleY{};
    ElementCallback callbackX{};
    ElementCallback callbackY{};
};

struct Icon {
    Element base;
    ModuleVar sourceVar{};
    std::uint32_t switchMode{};
    std::uint32_t imageCount{};
    ElementCallback callback{};
};

struct MovingImage {
    Element base;
    ModuleVar sourceVarX{};
    double minX{}, maxX{};
    ModuleVar sourceVarY{};
    double minY{}, maxY{};
    ElementCallback callbackX{};
    ElementCallback callbackY{};
};

struct TextureScale {
    float x, y;
};

struct Sprite {
    Element base;
    ModuleVar sourceVarX{};
    double scaleX{};
    ModuleVar sourceVarY{};
    double scaleY{};
    ModuleVar sourceVarRot{};
    double scaleRot{}; // degrees per unit
    TextureScale textureScale{};
    ElementCallback callbackX{};
    ElementCallback callbackY{};
    ElementCallback callbackRot{};
};

template <class Kind> constexpr ElementKind kindOf();
template <> constexpr ElementKind kindOf<StaticImage>() {
    return ElementKind::StaticImage;
}
template <> constexpr ElementKind kindOf<Needle>() {
    return ElementKind::Needle;
}
template <> constexpr ElementKind kindOf<StringElement>() {
    return ElementKind::StringElement;
}
template <> constexpr ElementKind kindOf<Slider>() {
    return ElementKind::Slider;
}
template <> constexpr ElementKind kindOf<Icon>() {
    return ElementKind::Icon;
}
template <> constexpr ElementKind kindOf<MovingImage>() {
    return ElementKind::MovingImage;
}
template <> constexpr ElementKind kindOf<Sprite>() {
    return ElementKind::Sprite;
}

// The kind record behind an element. Callers check `kind` first (the host) or
// know it (a callback is only ever handed its own element).
template <class Kind> Kind& as(Element& element) {
    static_assert(std::is_standard_layout_v<Kind>);
    static_assert(offsetof(Kind, base) == 0);
    return *reinterpret_cast<Kind*>(&element);
}
template <class Kind> const Kind& as(const Element& element) {
    return as<Kind>(const_cast<Element&>(element));
}

// Callback convention: every call adds BrightFlag; visibility only through
// HiddenFlag.
inline void markBright(Element& element) {
    element.drawFlags |= BrightFlag;
}
inline void setHidden(Element& element, bool hidden) {
    if (hidden)
        element.drawFlags |= HiddenFlag;
    else
        element.drawFlags &= ~HiddenFlag;
}

// The base fields of an element as a gauge declares it.
constexpr Element elementBase(ElementKind kind, std::int32_t bitmapId, Point position,
                              GaugeHeader* gauge, Element* const* children, Point centre = {0, 0}) {
    return Element{
        .kind = kind,
        .bitmapId = bitmapId,
        .position = position,
        .centre = centre,
        .gauge = gauge,
        .children = children,
        .failureList = kNoFailures,
        .drawFlags = kDeclaredDrawFlags,
        .hostData = nullptr,
    };
}

#if K729_PIN_LAYOUT
static_assert(sizeof(Element) == 44);
static_assert(offsetof(Element, position) == 8);
static_assert(offsetof(Element, centre) == 16);
static_assert(offsetof(Element, gauge) == 24);
static_assert(offsetof(Element, children) == 28);
static_assert(offsetof(Element, drawFlags) == 36);
static_assert(sizeof(NonlinearityPoint) == 24);
static_assert(offsetof(Needle, sourceVar) == 48);
static_assert(sizeof(Needle) == 96);
static_assert(offsetof(StringElement, text) == 144);
static_assert(offsetof(StringElement, textSize) == 148);
static_assert(offsetof(StringElement, fontName) == 172);
static_assert(sizeof(StringElement) == 224);
static_assert(offsetof(Slider, scaleX) == 80);
static_assert(sizeof(Slider) == 136);
static_assert(offsetof(Icon, switchMode) == 80);
static_assert(sizeof(Icon) == 96);
static_assert(offsetof(MovingImage, minX) == 80);
static_assert(sizeof(MovingImage) == 152);
static_assert(offsetof(Sprite, scaleRot) == 160);
static_assert(offsetof(Sprite, textureScale) == 168);
static_assert(sizeof(Sprite) == 192);
#endif

} // namespace k729
