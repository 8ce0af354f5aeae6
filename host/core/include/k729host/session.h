// One module loaded into the bench host: opened by path, installed and
// initialised, then driven step by step (frames, services, mouse actions)
// and finally killed and unloaded when the session ends.
//
// Everything a renderer needs after a frame is here: the element records
// themselves (kind, bitmap, position, centre, flags), the results of their
// callbacks, the texts of text elements, and the mouse areas.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "k729/element.h"
#include "k729/mouse.h"
#include "k729host/element_tree.h"
#include "k729host/error.h"
#include "k729host/host.h"
#include "k729host/platform.h"

namespace k729::host {

inline constexpr std::uint32_t kDefaultTextBufferBytes = 512;
inline constexpr std::uint32_t kMaxTextBufferBytes = 1u << 20;
inline constexpr std::size_t kMaxMouseRects = 1024;

struct SessionOptions {
    // Bytes of the buffer each text element gets; 0 hands it a null buffer.
    std::uint32_t textBufferBytes = kDefaultTextBufferBytes;
};

// What an element's callbacks returned in the last frame. Which fields are
// set depends on the kind: `value` (Needle, Icon, StringElement), `x` and `y`
// (Slider, MovingImage), `x`, `y` and `rot` (Sprite), none (StaticImage). A
// null callback yields its source variable's value, which is what the host
// would draw.
struct ElementResults {
    std::optional<double> value, x, y, rot;
};

struct ElementState {
    Element* element;      // the module's record; valid while the session lives
    const Element* parent; // null for the root
    int depth;             // 0 for the root
    ElementResults results;
    // Text elements: what the callback left in the host's buffer, up to the
    // NUL (code page 1252 bytes). Empty with a null buffer.
    std::optional<std::string> text;
};

struct MouseArea {
    Box box;
    std::int32_t cursor;
    std::uint32_t flags;
    MouseFunction function;
    std::size_t listIndex; // position in the module's list
    bool contains(std::int32_t x, std::int32_t y) const;
};

// "Needle"; `unknown` outside the seven.
const char* kindName(ElementKind kind, const char* unknown = "unknown");

// The `where` word of a mouse call: (Y << 16) | X, each cut to 16 bits.
std::uint32_t mousePosition(std::int32_t x, std::int32_t y);

class GaugeSession {
public:
    // Loads the module and makes it ready to draw: checks Linkage and its one
    // gauge header, writes the host's table into ImportTable, calls the
    // module's init routine, then pre-install and pre-initialise. The host
    // must outlive the session.
    static ErrorOr<std::unique_ptr<GaugeSession>> open(Host& host, const std::string& path,
                                                       SessionOptions options = {});
    // Pre-kill unless a kill was sent, the module's deinit routine, unload.
    ~GaugeSession();
    GaugeSession(const GaugeSession&) = delete;
    GaugeSession& operator=(const GaugeSession&) = delete;

    const std::string& path() const { return path_; }
    // The loaded file, for what the records do not carry (the bitmaps).
    Platform::Library library() const { return library_; }
    const GaugeModule& module() const { return *module_; }
    GaugeHeader& header() const { return *header_; }
    std::optional<std::string> gaugeName() const; // the header's name, if any

    // Pre-update, pre-draw, then the element walk: root first, then each
    // child list in order, depth first. Before its callbacks each element's
    // own source variables are refreshed from the store (slots with token 0
    // stay as they are).
    void frame();
    // Any service code; pre-kill (12) counts as the kill, pre-initialise (4)
    // starts a new life that is killed again before unloading.
    void service(std::uint32_t code);
    void kill();

    // The first child area containing gauge pixel (x, y), in list order.
    const MouseArea* areaAt(std::int32_t x, std::int32_t y) const;
    // Calls the area's function once if its flags include the single-click
    // flag. Returns the number of calls.
    int click(std::int32_t x, std::int32_t y);
    // Held for `repeats` steps: that many calls if the area's flags include
    // the repeat flag (the first with the single-click action, the rest with
    // the repeat action), otherwise as a click.
    int hold(std::int32_t x, std::int32_t y, std::uint32_t repeats);

    const std::optional<std::string>& tooltip() const { return tooltip_; }
    const std::vector<MouseArea>& areas() const { return areas_; }
    // In walk order, with the results of the last frame; empty before it.
    const std::vector<ElementState>& elements() const { return elements_; }
    std::uint32_t frames() const { return frames_; }
    bool killed() const { return killed_; }
    // Faults found in the module's records or in what its callbacks did
    // (overrun text buffers, a corrupt tree or mouse list). Calls into the
    // host table the host did not expect are the host's problems().
    const std::vector<std::string>& errors() const { return errors_; }

private:
    struct TextBuffer;

    GaugeSession(Host& host, std::string path, Platform::Library library, SessionOptions options);
    ErrorOr<void> bind();
    void readMouseRects();
    void refreshSources(Element& element);
    void runCallbacks(ElementState& state, std::size_t index);
    void runTextCallback(StringElement& text, ElementState& state, std::size_t index);
    int callArea(const MouseArea& area, std::int32_t x, std::int32_t y, std::uint32_t action);

    Host& host_;
    std::string path_;
    Platform::Library library_;
    SessionOptions options_;
    GaugeModule* module_ = nullptr;
    ImportTable* imports_ = nullptr;
    GaugeHeader* header_ = nullptr;
    std::optional<std::string> tooltip_;
    std::vector<MouseArea> areas_;
    std::vector<ElementState> elements_;
    std::map<const Element*, std::unique_ptr<TextBuffer>> textBuffers_;
    std::vector<std::string> errors_;
    std::uint32_t frames_ = 0;
    bool killed_ = false;
    bool installed_ = false;
};

} // namespace k729::host
