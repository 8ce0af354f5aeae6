#include "inspect.h"

#include <algorithm>
#include <cstring>
#include <iomanip>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>

#include <CLI/CLI.hpp>

#include "k729/element.h"
#include "k729/mouse.h"
#include "k729host/element_tree.h"
#include "k729host/host.h"
#include "k729host/session.h"
#include "k729host/sound.h"
#include "k729host/text_encoding.h"
#include "module_file.h"
#include "probe/report.h"

namespace k729::host::view {
namespace {

using probe::jsonNumber;

// Texts the records point at are read up to their NUL, within this many
// bytes: a record pointing at something else must not send the read astray.
constexpr std::size_t kMaxRecordText = 4096;
// A larger table is not a real needle's; the rest is not listed.
constexpr std::uint32_t kMaxNeedlePoints = 4096;

Json text(const char* bytes, std::size_t limit = kMaxRecordText) {
    if (!bytes) return nullptr;
    return cp1252ToUtf8(std::string_view(bytes, strnlen(bytes, limit)));
}

Json point(Point p) {
    return Json::array({p.x, p.y});
}

// A bitmap an element names, and whether the file carries it.
struct NamedBitmap {
    std::int64_t id;
    const char* role;
};

std::vector<NamedBitmap> bitmapsNamed(const Element& e) {
    const std::int64_t id = e.bitmapId;
    switch (e.kind) {
    case ElementKind::StaticImage:
    case ElementKind::Slider:
        return {{id, "picture"}};
    case ElementKind::Needle:
        return {{id, "needle"}};
    case ElementKind::Icon:
        return {{id, "image 0"}, {id + 1, "image 1"}};
    case ElementKind::MovingImage:
        return {{id, "picture"}, {id + 1, "mask"}};
    case ElementKind::Sprite:
        return {{id, "texture"}, {id + 1, "mask"}};
    case ElementKind::StringElement:
        return {};
    }
    return {};
}

class Inspection {
public:
    Inspection(const ModuleFile& file, Json& out) : file_(file), out_(out) {}

    void records(const GaugeSession& session, const Host& host) {
        const GaugeModule& module = session.module();
        const GaugeHeader& header = session.header();
        out_["gauge"] = text(header.name);
        out_["module"] = {{"id", module.id},
                          {"version", module.version},
                          {"flags", module.flags},
                          {"priority", module.priority},
                          {"init", module.init != nullptr},
                          {"deinit", module.deinit != nullptr},
                          {"gauges", 1}};
        out_["header"] = {{"version", header.version},
                          {"size", header.size},
                          {"hostFlags", header.hostFlags},
                          {"rootCell", header.rootCell != nullptr},
                          {"mouseList", header.mouseRects != nullptr},
                          {"serviceHandler", header.serviceHandler != nullptr}};

        elements_ = Json::array();
        missing_ = Json::array();
        const std::optional<std::string> fault =
            walkElementTree(rootElement(header), [this](const ElementVisit& v) {
                elements_.push_back(element(*v.element, v.index, v.parentIndex, v.depth));
            });
        if (fault) errors_.push_back(*fault);
        out_["elements"] = std::move(elements_);
        mouseList(header.mouseRects);
        out_["tooltip"] = session.tooltip() ? Json(cp1252ToUtf8(*session.tooltip())) : Json();
        for (std::string& e : probe::collectErrors(session, host))
            errors_.push_back(std::move(e));
    }

    void bitmaps() {
        Json list = Json::array();
        for (const BitmapResource& b : file_.bitmaps) {
            Json entry;
            if (b.name.empty())
                entry["id"] = b.id;
            else
                entry["name"] = b.name;
            if (b.problem) {
                entry["problem"] = *b.problem;
            } else {
                entry["width"] = b.width;
                entry["height"] = b.height;
                entry["bitsPerPixel"] = b.bitsPerPixel;
                entry["colours"] = b.colours;
            }
            entry["bytes"] = b.bytes;
            entry["language"] = b.language;
            list.push_back(std::move(entry));
        }
        out_["resources"] = file_.hasResources;
        out_["bitmaps"] = std::move(list);
    }

    void finish() {
        if (out_.value("loaded", false)) out_["missingBitmaps"] = missing_;
        // The session reads the mouse list too: a fault both find is one fault.
        std::vector<std::string> unique;
        for (const std::string& e : errors_)
            if (std::find(unique.begin(), unique.end(), e) == unique.end()) unique.push_back(e);
        errors_ = std::move(unique);
        out_["errors"] = errors_;
    }

    bool flagged() const { return !missing_.empty() || !errors_.empty(); }

private:
    Json element(const Element& e, std::size_t index, std::optional<std::size_t> parent,
                 int depth) {
        Json out;
        out["index"] = index;
        out["depth"] = depth;
        out["parent"] = parent ? Json(*parent) : Json();
        out["kind"] = kindName(e.kind);
        if (std::string(kindName(e.kind)) == "unknown")
            errors_.push_back("element " + std::to_string(index) + " has unknown kind " +
                              std::to_string(static_cast<std::uint32_t>(e.kind)));
        out["bitmap"] = e.bitmapId;
        Json named = Json::array();
        for (const NamedBitmap& b : bitmapsNamed(e)) {
            const bool present = file_.findBitmap(b.id) != nullptr;
            named.push_back({{"id", b.id}, {"role", b.role}, {"present", present}});
            if (!present)
                missing_.push_back({{"bitmap", b.id},
                                    {"element", index},
                                    {"kind", kindName(e.kind)},
                                    {"role", b.role}});
        }
        out["bitmaps"] = std::move(named);
        out["position"] = point(e.position);
        out["centre"] = point(e.centre);
        out["drawFlags"] = e.drawFlags;
        kindFields(e, out, index);
        out["children"] = childCount(e);
        return out;
    }

    void kindFields(const Element& e, Json& out, std::size_t index) {
        auto callback = [](ElementCallback c) { return c != nullptr; };
        switch (e.kind) {
        case ElementKind::StaticImage:
            break;
        case ElementKind::Needle: {
            const Needle& n = as<Needle>(e);
            out["source"] = n.sourceVar.token;
            out["pointCount"] = n.pointCount;
            Json points = Json::array();
            if (n.pointCount > 0 && !n.nonlinearity)
                errors_.push_back("element " + std::to_string(index) +
                                  " counts nonlinearity points but has no table");
            if (n.pointCount > kMaxNeedlePoints)
                errors_.push_back("element " + std::to_string(index) + " has " +
                                  std::to_string(n.pointCount) +
                                  " nonlinearity points; the first " +
                                  std::to_string(kMaxNeedlePoints) + " are listed");
            if (n.nonlinearity)
                for (std::uint32_t i = 0; i < std::min(n.pointCount, kMaxNeedlePoints); ++i) {
                    const NonlinearityPoint& p = n.nonlinearity[i];
                    points.push_back({{"x", p.x}, {"y", p.y}, {"value", jsonNumber(p.value)}});
                }
            out["nonlinearity"] = std::move(points);
            out["callback"] = callback(n.callback);
            break;
        }
        case ElementKind::StringElement: {
            const StringElement& s = as<StringElement>(e);
            out["sources"] = {s.sourceVars[0].token, s.sourceVars[1].token, s.sourceVars[2].token};
            out["box"] = {s.boxSize.w, s.boxSize.h};
            out["foreColour"] = s.foreColour;
            out["backColour"] = s.backColour;
            out["hiliteColour"] = s.hiliteColour;
            out["font"] = text(s.fontName, sizeof s.fontName);
            out["fontWeight"] = s.fontWeight;
            out["fontCharset"] = s.fontCharset;
            out["textOptions"] = s.textOptions;
            out["callback"] = callback(s.callback);
            break;
        }
        case ElementKind::Slider: {
            const Slider& s = as<Slider>(e);
            out["sourceX"] = s.sourceVarX.token;
            out["scaleX"] = jsonNumber(s.scaleX);
            out["sourceY"] = s.sourceVarY.token;
            out["scaleY"] = jsonNumber(s.scaleY);
            out["callbackX"] = callback(s.callbackX);
            out["callbackY"] = callback(s.callbackY);
            break;
        }
        case ElementKind::Icon: {
            const Icon& i = as<Icon>(e);
            out["source"] = i.sourceVar.token;
            out["switchMode"] = i.switchMode;
            out["imageCount"] = i.imageCount;
            out["callback"] = callback(i.callback);
            break;
        }
        case ElementKind::MovingImage: {
            const MovingImage& m = as<MovingImage>(e);
            out["sourceX"] = m.sourceVarX.token;
            out["minX"] = jsonNumber(m.minX);
            out["maxX"] = jsonNumber(m.maxX);
            out["sourceY"] = m.sourceVarY.token;
            out["minY"] = jsonNumber(m.minY);
            out["maxY"] = jsonNumber(m.maxY);
            out["callbackX"] = callback(m.callbackX);
            out["callbackY"] = callback(m.callbackY);
            break;
        }
        case ElementKind::Sprite: {
            const Sprite& s = as<Sprite>(e);
            out["sourceX"] = s.sourceVarX.token;
            out["scaleX"] = jsonNumber(s.scaleX);
            out["sourceY"] = s.sourceVarY.token;
            out["scaleY"] = jsonNumber(s.scaleY);
            out["sourceRot"] = s.sourceVarRot.token;
            out["scaleRot"] = jsonNumber(s.scaleRot);
            out["textureScale"] = {jsonNumber(s.textureScale.x), jsonNumber(s.textureScale.y)};
            out["callbackX"] = callback(s.callbackX);
            out["callbackY"] = callback(s.callbackY);
            out["callbackRot"] = callback(s.callbackRot);
            break;
        }
        }
    }

    void mouseList(const MouseRect* rects) {
        Json list = Json::array();
        if (!rects) {
            out_["mouseList"] = nullptr;
            return;
        }
        for (std::size_t i = 0;; ++i) {
            if (i == kMaxMouseRects) {
                errors_.push_back("mouse list has no end within " + std::to_string(kMaxMouseRects) +
                                  " entries");
                break;
            }
            const MouseRect& r = rects[i];
            Json entry;
            entry["index"] = i;
            entry["kind"] = mouseKindName(r.kind);
            entry["box"] = {r.box.x, r.box.y, r.box.w, r.box.h};
            entry["cursor"] = r.cursor;
            entry["helpId"] = r.helpId;
            entry["flags"] = r.mouseFlags;
            entry["eventId"] = r.eventId;
            if (r.kind == MouseRectKind::Tooltip)
                entry["text"] = text(r.target.tooltip);
            else if (r.kind == MouseRectKind::Child)
                entry["function"] = r.target.function != nullptr;
            else
                entry["target"] = r.target.function != nullptr;
            entry["data"] = r.data != nullptr;
            list.push_back(std::move(entry));
            if (r.kind == MouseRectKind::EndOfList) break;
            if (std::string(mouseKindName(r.kind)) == "unknown") {
                errors_.push_back("mouse list entry " + std::to_string(i) + " has unknown kind " +
                                  std::to_string(static_cast<std::uint32_t>(r.kind)));
                break;
            }
        }
        out_["mouseList"] = std::move(list);
    }

    static const char* mouseKindName(MouseRectKind kind) {
        switch (kind) {
        case MouseRectKind::EndOfList:
            return "end of list";
        case MouseRectKind::Parent:
            return "parent";
        case MouseRectKind::Child:
            return "child";
        case MouseRectKind::EndOfParent:
            return "end of parent";
        case MouseRectKind::Tooltip:
            return "tooltip";
        }
        return "unknown";
    }

    const ModuleFile& file_;
    Json& out_;
    Json elements_ = Json::array();
    Json missing_ = Json::array();
    std::vector<std::string> errors_;
};

// Text helpers.
std::string hex(std::uint64_t v) {
    std::ostringstream s;
    s << "0x" << std::uppercase << std::hex << v;
    return s.str();
}

// A 0x00BBGGRR colour with all six digits.
std::string colour(const Json& j) {
    std::ostringstream s;
    s << "0x" << std::uppercase << std::hex << std::setw(6) << std::setfill('0')
      << j.get<std::uint32_t>();
    return s.str();
}

std::string number(const Json& j) {
    return j.is_string() ? j.get<std::string>() : j.dump();
}

std::string yesNo(const Json& j) {
    return j.get<bool>() ? "yes" : "no";
}

std::string quoted(const Json& j) {
    return j.is_null() ? std::string("none") : j.dump();
}

std::string pair(const Json& j, const char* separator = ", ") {
    return number(j[0]) + separator + number(j[1]);
}

void elementText(std::ostream& o, const Json& e) {
    const std::string pad(6, ' ');
    const std::string indent(2 * e["depth"].get<std::size_t>(), ' ');
    o << "  " << e["index"].get<std::size_t>() << "  " << indent << e["kind"].get<std::string>()
      << " at (" << pair(e["position"]) << "), centre (" << pair(e["centre"]) << "), draw flags "
      << hex(e["drawFlags"].get<std::uint32_t>()) << '\n';
    o << pad << indent;
    if (e["bitmaps"].empty()) {
        o << "no bitmap";
        if (e["bitmap"].get<std::int64_t>() != kNoBitmap)
            o << " (bitmap field " << e["bitmap"].get<std::int64_t>() << ")";
    } else {
        o << (e["bitmaps"].size() == 1 ? "bitmap " : "bitmaps ");
        bool first = true;
        for (const Json& b : e["bitmaps"]) {
            o << (first ? "" : ", ") << b["id"].get<std::int64_t>() << " ("
              << b["role"].get<std::string>() << ")";
            if (!b["present"].get<bool>()) o << " MISSING";
            first = false;
        }
    }
    o << '\n';

    const std::string kind = e["kind"].get<std::string>();
    o << pad << indent;
    if (kind == "StaticImage") {
        o << "no callback";
    } else if (kind == "Needle") {
        o << "source " << e["source"] << ", callback " << yesNo(e["callback"]) << ", "
          << e["pointCount"] << " nonlinearity points";
        for (const Json& p : e["nonlinearity"])
            o << '\n'
              << pad << indent << "  (" << p["x"] << ", " << p["y"] << ") at "
              << number(p["value"]);
    } else if (kind == "StringElement") {
        const Json& s = e["sources"];
        o << "sources " << s[0] << ", " << s[1] << ", " << s[2] << "; box " << pair(e["box"], "x")
          << "; callback " << yesNo(e["callback"]) << '\n'
          << pad << indent << "colours fore " << colour(e["foreColour"]) << ", back "
          << colour(e["backColour"]) << ", hilite " << colour(e["hiliteColour"]) << "; font "
          << quoted(e["font"]) << ", weight " << e["fontWeight"] << ", charset " << e["fontCharset"]
          << "; options " << hex(e["textOptions"].get<std::uint32_t>());
    } else if (kind == "Slider") {
        o << "x: source " << e["sourceX"] << ", scale " << number(e["scaleX"]) << ", callback "
          << yesNo(e["callbackX"]) << "; y: source " << e["sourceY"] << ", scale "
          << number(e["scaleY"]) << ", callback " << yesNo(e["callbackY"]);
    } else if (kind == "Icon") {
        o << "source " << e["source"] << ", switch mode " << e["switchMode"] << ", images "
          << e["imageCount"] << ", callback " << yesNo(e["callback"]);
    } else if (kind == "MovingImage") {
        o << "x: source " << e["sourceX"] << ", " << number(e["minX"]) << " to "
          << number(e["maxX"]) << ", callback " << yesNo(e["callbackX"]) << "; y: source "
          << e["sourceY"] << ", " << number(e["minY"]) << " to " << number(e["maxY"])
          << ", callback " << yesNo(e["callbackY"]);
    } else if (kind == "Sprite") {
        o << "x: source " << e["sourceX"] << ", scale " << number(e["scaleX"]) << ", callback "
          << yesNo(e["callbackX"]) << "; y: source " << e["sourceY"] << ", scale "
          << number(e["scaleY"]) << ", callback " << yesNo(e["callbackY"]) << '\n'
          << pad << indent << "rotation: source " << e["sourceRot"] << ", scale "
          << number(e["scaleRot"]) << ", callback " << yesNo(e["callbackRot"]) << "; texture scale "
          << pair(e["textureScale"], " x ");
    } else {
        o << "fields unknown";
    }
    o << '\n';
}

void mouseText(std::ostream& o, const Json& r) {
    std::string kind = r["kind"].get<std::string>();
    kind.resize(std::max<std::size_t>(kind.size(), 13), ' ');
    const Json& box = r["box"];
    o << "  " << r["index"] << "  " << kind << "  box (" << box[0] << ", " << box[1] << ", "
      << box[2] << ", " << box[3] << "), cursor " << r["cursor"] << ", help " << r["helpId"]
      << ", flags " << hex(r["flags"].get<std::uint32_t>()) << ", event " << r["eventId"];
    if (r.contains("text")) o << ", text " << quoted(r["text"]);
    if (r.contains("function")) o << ", function " << yesNo(r["function"]);
    if (r.contains("target")) o << ", target " << yesNo(r["target"]);
    o << ", data " << yesNo(r["data"]) << '\n';
}

} // namespace

int inspectModule(const std::string& path, Json& out, std::ostream& err) {
    ErrorOr<ModuleFile> read = readModuleFile(path);
    if (read.isError()) {
        err << "gaugehost inspect: " << read.error().message << '\n';
        return kInspectBadUsage;
    }
    const ModuleFile& file = read.value();
    out = Json::object();
    out["file"] = path;
    out["format"] = file.formatName();
    Inspection inspection(file, out);

    if (loadableHere(file.format)) {
        prepareSound(SoundMode::Present);
        Host host;
        ErrorOr<std::unique_ptr<GaugeSession>> opened = GaugeSession::open(host, path);
        if (opened.isError()) {
            err << "gaugehost inspect: " << opened.error().message << '\n';
            return kInspectBadUsage;
        }
        out["loaded"] = true;
        inspection.records(*opened.value(), host);
    } else {
        out["loaded"] = false;
        out["note"] = file.format == FileFormat::Pe
                          ? "a PE module loads only in the Windows build of gaugehost: its "
                            "records are not read here, only its bitmaps"
                          : "an ELF module loads only in the Linux build of gaugehost: its "
                            "records are not read here, only its bitmaps";
    }
    inspection.bitmaps();
    inspection.finish();
    return inspection.flagged() ? kInspectFlagged : kInspectOk;
}

std::string inspectionText(const Json& in) {
    std::ostringstream o;
    o << "file: " << in["file"].get<std::string>() << " (" << in["format"].get<std::string>()
      << ")\n";
    if (!in["loaded"].get<bool>()) {
        o << "records: not read: " << in["note"].get<std::string>() << '\n';
    } else {
        const Json& m = in["module"];
        const Json& h = in["header"];
        o << "gauge: " << quoted(in["gauge"]) << '\n';
        o << "module: id " << m["id"] << ", version " << hex(m["version"].get<std::uint32_t>())
          << ", flags " << hex(m["flags"].get<std::uint32_t>()) << ", priority " << m["priority"]
          << ", init " << yesNo(m["init"]) << ", deinit " << yesNo(m["deinit"]) << ", gauges "
          << m["gauges"] << '\n';
        o << "header: version " << hex(h["version"].get<std::uint32_t>()) << ", size " << h["size"]
          << ", host flags " << hex(h["hostFlags"].get<std::uint32_t>()) << ", root cell "
          << yesNo(h["rootCell"]) << ", mouse list " << yesNo(h["mouseList"])
          << ", service handler " << yesNo(h["serviceHandler"]) << '\n';
        o << "elements, in drawing order (" << in["elements"].size() << "):\n";
        for (const Json& e : in["elements"])
            elementText(o, e);
        if (in["mouseList"].is_null()) {
            o << "mouse list: none\n";
        } else {
            o << "mouse list (" << in["mouseList"].size() << " entries):\n";
            for (const Json& r : in["mouseList"])
                mouseText(o, r);
        }
        o << "tooltip: " << quoted(in["tooltip"]) << '\n';
    }
    if (!in["resources"].get<bool>())
        o << "bitmap resources: none (the file has no resources)\n";
    else
        o << "bitmap resources (" << in["bitmaps"].size() << "):\n";
    for (const Json& b : in["bitmaps"]) {
        o << "  " << (b.contains("id") ? b["id"].dump() : quoted(b["name"]));
        if (b.contains("problem"))
            o << "  unreadable header: " << b["problem"].get<std::string>();
        else
            o << "  " << b["width"] << "x" << b["height"] << ", " << b["bitsPerPixel"]
              << " bits per pixel, " << b["colours"] << " colours";
        o << ", " << b["bytes"] << " bytes, language " << b["language"] << '\n';
    }
    if (in.contains("missingBitmaps")) {
        const Json& missing = in["missingBitmaps"];
        if (missing.empty()) {
            o << "missing bitmaps: none\n";
        } else {
            o << "missing bitmaps (" << missing.size() << "):\n";
            for (const Json& m : missing)
                o << "  " << m["bitmap"] << "  " << m["role"].get<std::string>() << " of element "
                  << m["element"] << " (" << m["kind"].get<std::string>() << ")\n";
        }
    }
    if (!in["errors"].empty()) {
        o << "errors (" << in["errors"].size() << "):\n";
        for (const Json& e : in["errors"])
            o << "  " << e.get<std::string>() << '\n';
    }
    return o.str();
}

InspectCommand::InspectCommand(CLI::App& parent)
    : app_(parent.add_subcommand(
          "inspect", "List a module's records as the host reads them, and its bitmaps")),
      module_(
          app_->add_option("MODULE")->description("Path of the module file (.gau)")->required()),
      json_(app_->add_flag("--json")->description("Print one JSON object instead of text")) {
    app_->footer(
        "The records are read once the module is loaded and initialised, before the first frame. "
        "Every bitmap an element names is checked against the file's bitmap resources: an Icon "
        "names bitmapId and bitmapId + 1, a MovingImage or Sprite its picture bitmapId and mask "
        "bitmapId + 1, a StringElement none, the other kinds bitmapId.\n"
        "A module of the other platform's format (a PE file for the Linux build, an ELF file for "
        "the Windows one) cannot be loaded: only its bitmaps are listed.\n"
        "Exit status: 0; 1 if a named bitmap is missing or the records are faulty; 2 for a bad "
        "argument or a file that cannot be read or loaded.");
}

bool InspectCommand::selected() const {
    return app_->parsed();
}

int InspectCommand::run(std::ostream& out, std::ostream& err) const {
    Json inspection;
    const int status = inspectModule(module_->as<std::string>(), inspection, err);
    if (status == kInspectBadUsage) return status;
    if (json_->count() > 0)
        out << inspection.dump() << '\n';
    else
        out << inspectionText(inspection);
    return status;
}

} // namespace k729::host::view
