#include "k729host/session.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "k729/service.h"

namespace k729::host {

// A text element's buffer between two guard bands. A callback that writes
// past its size lands in a guard, which is still ours, and is reported.
struct GaugeSession::TextBuffer {
    static constexpr std::size_t kGuardBytes = 16;
    static constexpr char kGuardByte = static_cast<char>(0xA5);

    explicit TextBuffer(std::uint32_t size) : size(size), bytes(size + 2 * kGuardBytes) {}

    char* data() { return bytes.data() + kGuardBytes; }

    void reset() {
        std::fill(bytes.begin(), bytes.end(), kGuardByte);
        std::fill_n(data(), size, '\0');
    }

    bool guardsIntact() const {
        auto intact = [](auto first, auto last) {
            return std::all_of(first, last, [](char c) { return c == kGuardByte; });
        };
        return intact(bytes.begin(), bytes.begin() + kGuardBytes) &&
               intact(bytes.end() - kGuardBytes, bytes.end());
    }

    std::uint32_t size;
    std::vector<char> bytes;
};

namespace {

std::string describe(const Element& element, std::size_t index) {
    return "element " + std::to_string(index) + " (" + kindName(element.kind) + ")";
}

double call(ElementCallback callback, Element& element, double fallback) {
    return callback ? callback(&element) : fallback;
}

void refresh(const Host& host, ModuleVar& var) {
    if (var.token != 0) host.lookup(var);
}

} // namespace

const char* kindName(ElementKind kind, const char* unknown) {
    switch (kind) {
    case ElementKind::StaticImage:
        return "StaticImage";
    case ElementKind::Needle:
        return "Needle";
    case ElementKind::StringElement:
        return "StringElement";
    case ElementKind::Slider:
        return "Slider";
    case ElementKind::Icon:
        return "Icon";
    case ElementKind::MovingImage:
        return "MovingImage";
    case ElementKind::Sprite:
        return "Sprite";
    }
    return unknown;
}

std::uint32_t mousePosition(std::int32_t x, std::int32_t y) {
    return (static_cast<std::uint32_t>(y) & 0xFFFF) << 16 |
           (static_cast<std::uint32_t>(x) & 0xFFFF);
}

bool MouseArea::contains(std::int32_t x, std::int32_t y) const {
    // 64-bit sums: a box near the end of the 32-bit range must not wrap.
    return x >= box.x && std::int64_t{x} < std::int64_t{box.x} + box.w && y >= box.y &&
           std::int64_t{y} < std::int64_t{box.y} + box.h;
}

ErrorOr<std::unique_ptr<GaugeSession>> GaugeSession::open(Host& host, const std::string& path,
                                                          SessionOptions options) {
    if (options.textBufferBytes > kMaxTextBufferBytes)
        return Error{"text buffer of " + std::to_string(options.textBufferBytes) +
                     " bytes is over the limit of " + std::to_string(kMaxTextBufferBytes)};
    ErrorOr<Platform::Library> library = platform().loadLibrary(path);
    if (library.isError()) return library.error();
    std::unique_ptr<GaugeSession> session(new GaugeSession(host, path, library.value(), options));
    if (ErrorOr<void> bound = session->bind(); bound.isError())
        return Error{path + ": " + bound.error().message};

    session->imports_->services.pointer = host.services();
    if (session->module_->init) session->module_->init();
    session->installed_ = true;
    session->service(PreInstall);
    session->service(PreInitialise);
    session->readMouseRects();
    return session;
}

GaugeSession::GaugeSession(Host& host, std::string path, Platform::Library library,
                           SessionOptions options)
    : host_(host), path_(std::move(path)), library_(library), options_(options) {}

GaugeSession::~GaugeSession() {
    if (installed_) {
        if (!killed_) kill();
        if (module_->deinit) module_->deinit();
    }
    // Should the loader keep the file mapped, the records must not point at
    // buffers or a table that are gone.
    for (auto& [element, buffer] : textBuffers_) {
        StringElement& text = as<StringElement>(const_cast<Element&>(*element));
        text.text = nullptr;
        text.textSize = 0;
    }
    if (imports_) imports_->services.pointer = nullptr;
    platform().unloadLibrary(library_);
}

ErrorOr<void> GaugeSession::bind() {
    module_ = static_cast<GaugeModule*>(platform().findData(library_, "Linkage"));
    if (!module_) return Error{"no Linkage record"};
    imports_ = static_cast<ImportTable*>(platform().findData(library_, "ImportTable"));
    if (!imports_) return Error{"no ImportTable record"};
    if (module_->id != kModuleId)
        return Error{"Linkage has id " + std::to_string(module_->id) + ", not " +
                     std::to_string(kModuleId)};
    if (!module_->gauges[0]) return Error{"Linkage lists no gauge"};
    if (module_->gauges[1]) return Error{"Linkage lists more than one gauge"};
    if (imports_->services.id != kServicesImportId)
        return Error{"ImportTable entry 1 has id " + std::to_string(imports_->services.id) +
                     ", not " + std::to_string(kServicesImportId)};
    header_ = module_->gauges[0];
    return {};
}

std::optional<std::string> GaugeSession::gaugeName() const {
    if (!header_->name) return std::nullopt;
    return std::string(header_->name);
}

void GaugeSession::readMouseRects() {
    const MouseRect* rects = header_->mouseRects;
    if (!rects) return;
    for (std::size_t i = 0; i < kMaxMouseRects; ++i) {
        const MouseRect& rect = rects[i];
        switch (rect.kind) {
        case MouseRectKind::EndOfList:
            return;
        case MouseRectKind::Tooltip:
            if (!tooltip_ && rect.target.tooltip) tooltip_ = rect.target.tooltip;
            break;
        case MouseRectKind::Child:
            areas_.push_back({rect.box, rect.cursor, rect.mouseFlags, rect.target.function, i});
            break;
        case MouseRectKind::Parent:
        case MouseRectKind::EndOfParent:
            break;
        default:
            errors_.push_back("mouse list entry " + std::to_string(i) + " has unknown kind " +
                              std::to_string(static_cast<std::uint32_t>(rect.kind)));
            return;
        }
    }
    errors_.push_back("mouse list has no end within " + std::to_string(kMaxMouseRects) +
                      " entries");
}

void GaugeSession::service(std::uint32_t code) {
    if (header_->serviceHandler) header_->serviceHandler(header_, code, 0);
    if (code == PreKill) killed_ = true;
    if (code == PreInitialise) killed_ = false; // a new life, to be killed before unload
}

void GaugeSession::kill() {
    service(PreKill);
}

void GaugeSession::frame() {
    service(PreUpdate);
    service(PreDraw);
    elements_.clear();
    const std::optional<std::string> fault = walkElementTree(
        rootElement(*header_),
        [this](const ElementVisit& visit) {
            elements_.push_back({visit.element, visit.parent, visit.depth, {}, std::nullopt});
            refreshSources(*visit.element);
            runCallbacks(elements_.back(), visit.index);
        },
        describe);
    if (fault) errors_.push_back(*fault);
    ++frames_;
}

void GaugeSession::refreshSources(Element& element) {
    switch (element.kind) {
    case ElementKind::StaticImage:
        break;
    case ElementKind::Needle:
        refresh(host_, as<Needle>(element).sourceVar);
        break;
    case ElementKind::StringElement:
        for (ModuleVar& var : as<StringElement>(element).sourceVars)
            refresh(host_, var);
        break;
    case ElementKind::Slider:
        refresh(host_, as<Slider>(element).sourceVarX);
        refresh(host_, as<Slider>(element).sourceVarY);
        break;
    case ElementKind::Icon:
        refresh(host_, as<Icon>(element).sourceVar);
        break;
    case ElementKind::MovingImage:
        refresh(host_, as<MovingImage>(element).sourceVarX);
        refresh(host_, as<MovingImage>(element).sourceVarY);
        break;
    case ElementKind::Sprite:
        refresh(host_, as<Sprite>(element).sourceVarX);
        refresh(host_, as<Sprite>(element).sourceVarY);
        refresh(host_, as<Sprite>(element).sourceVarRot);
        break;
    }
}

void GaugeSession::runCallbacks(ElementState& state, std::size_t index) {
    Element& element = *state.element;
    ElementResults& results = state.results;
    switch (element.kind) {
    case ElementKind::StaticImage:
        break;
    case ElementKind::Needle: {
        Needle& needle = as<Needle>(element);
        results.value = call(needle.callback, element, needle.sourceVar.value);
        break;
    }
    case ElementKind::StringElement:
        runTextCallback(as<StringElement>(element), state, index);
        break;
    case ElementKind::Slider: {
        Slider& slider = as<Slider>(element);
        results.x = call(slider.callbackX, element, slider.sourceVarX.value);
        results.y = call(slider.callbackY, element, slider.sourceVarY.value);
        break;
    }
    case ElementKind::Icon: {
        Icon& icon = as<Icon>(element);
        results.value = call(icon.callback, element, icon.sourceVar.value);
        break;
    }
    case ElementKind::MovingImage: {
        MovingImage& image = as<MovingImage>(element);
        results.x = call(image.callbackX, element, image.sourceVarX.value);
        results.y = call(image.callbackY, element, image.sourceVarY.value);
        break;
    }
    case ElementKind::Sprite: {
        Sprite& sprite = as<Sprite>(element);
        results.x = call(sprite.callbackX, element, sprite.sourceVarX.value);
        results.y = call(sprite.callbackY, element, sprite.sourceVarY.value);
        results.rot = call(sprite.callbackRot, element, sprite.sourceVarRot.value);
        break;
    }
    default:
        errors_.push_back(describe(element, index) + ": unknown kind " +
                          std::to_string(static_cast<std::uint32_t>(element.kind)));
        break;
    }
}

void GaugeSession::runTextCallback(StringElement& text, ElementState& state, std::size_t index) {
    const std::uint32_t size = options_.textBufferBytes;
    if (size == 0) {
        text.text = nullptr;
        text.textSize = 0;
        state.results.value = call(text.callback, text.base, text.sourceVars[0].value);
        state.text = std::string();
        return;
    }
    std::unique_ptr<TextBuffer>& buffer = textBuffers_[&text.base];
    if (!buffer) buffer = std::make_unique<TextBuffer>(size);
    buffer->reset();
    text.text = buffer->data();
    text.textSize = size;
    state.results.value = call(text.callback, text.base, text.sourceVars[0].value);

    if (!buffer->guardsIntact())
        errors_.push_back(describe(text.base, index) + ": text written outside its " +
                          std::to_string(size) + "-byte buffer");
    const char* begin = buffer->data();
    const char* end = std::find(begin, begin + size, '\0');
    if (end == begin + size)
        errors_.push_back(describe(text.base, index) + ": text has no NUL within its " +
                          std::to_string(size) + "-byte buffer");
    state.text = std::string(begin, end);
}

const MouseArea* GaugeSession::areaAt(std::int32_t x, std::int32_t y) const {
    for (const MouseArea& area : areas_)
        if (area.contains(x, y)) return &area;
    return nullptr;
}

int GaugeSession::callArea(const MouseArea& area, std::int32_t x, std::int32_t y,
                           std::uint32_t action) {
    if (!area.function) {
        errors_.push_back("mouse list entry " + std::to_string(area.listIndex) +
                          " has no function");
        return 0;
    }
    area.function(mousePosition(x, y), action);
    return 1;
}

int GaugeSession::click(std::int32_t x, std::int32_t y) {
    const MouseArea* area = areaAt(x, y);
    if (!area || !(area->flags & kMouseLeftSingle)) return 0;
    return callArea(*area, x, y, kMouseLeftSingle);
}

int GaugeSession::hold(std::int32_t x, std::int32_t y, std::uint32_t repeats) {
    const MouseArea* area = areaAt(x, y);
    if (!area) return 0;
    if (!(area->flags & kMouseLeftRepeat)) return click(x, y);
    int calls = 0;
    for (std::uint32_t i = 0; i < repeats; ++i) {
        calls += callArea(*area, x, y, i == 0 ? kMouseLeftSingle : kMouseLeftRepeat);
        if (calls == 0) break; // no function: one report is enough
    }
    return calls;
}

} // namespace k729::host
