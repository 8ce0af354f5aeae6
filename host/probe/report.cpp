#include "report.h"

#include <cmath>
#include <cstdint>

#include "k729host/text_encoding.h"

namespace k729::host::probe {
namespace {

Json jsonResults(const ElementResults& results) {
    Json values = Json::object();
    if (results.value) values["value"] = jsonNumber(*results.value);
    if (results.x) values["x"] = jsonNumber(*results.x);
    if (results.y) values["y"] = jsonNumber(*results.y);
    if (results.rot) values["rot"] = jsonNumber(*results.rot);
    return values;
}

Json jsonElement(const ElementState& state) {
    const Element& element = *state.element;
    Json out;
    out["kind"] = kindName(element.kind);
    out["bitmap"] = element.bitmapId;
    out["position"] = {element.position.x, element.position.y};
    out["drawFlags"] = element.drawFlags;
    out["values"] = jsonResults(state.results);
    if (state.text) out["text"] = jsonText(*state.text);
    return out;
}

Json jsonArea(const MouseArea& area) {
    Json out;
    out["box"] = {area.box.x, area.box.y, area.box.w, area.box.h};
    out["cursor"] = area.cursor;
    out["flags"] = area.flags;
    return out;
}

} // namespace

Json jsonNumber(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    // Every double of at least 2^63 in size is integral too, but does not fit
    // the integer type: it keeps the exponent form, which reads back exactly.
    constexpr double kInt64Limit = 9223372036854775808.0;
    bool negativeZero = value == 0.0 && std::signbit(value);
    if (!negativeZero && std::trunc(value) == value && std::fabs(value) < kInt64Limit)
        return static_cast<std::int64_t>(value);
    return value;
}

Json jsonText(const std::string& bytes) {
    return cp1252ToUtf8(bytes);
}

std::vector<std::string> collectErrors(const GaugeSession& session, const Host& host) {
    std::vector<std::string> errors = session.errors();
    for (const HostCallProblem& problem : host.problems())
        errors.push_back(problem.describe());
    return errors;
}

Json report(const GaugeSession& session, const Host& host, std::uint32_t terminateCalls,
            const std::vector<std::string>& errors) {
    Json out;
    std::optional<std::string> name = session.gaugeName();
    out["gauge"] = name ? jsonText(*name) : Json(nullptr);

    const GaugeModule& module = session.module();
    out["module"] = {{"id", module.id},
                     {"flags", module.flags},
                     {"priority", module.priority},
                     {"version", module.version},
                     {"headers", 1}};
    const GaugeHeader& header = session.header();
    out["header"] = {{"version", header.version}, {"size", header.size}};
    out["tooltip"] = session.tooltip() ? jsonText(*session.tooltip()) : Json(nullptr);

    out["areas"] = Json::array();
    for (const MouseArea& area : session.areas())
        out["areas"].push_back(jsonArea(area));
    out["elements"] = Json::array();
    for (const ElementState& state : session.elements())
        out["elements"].push_back(jsonElement(state));

    out["keyEvents"] = Json::array();
    for (const KeyEvent& event : host.keyEvents())
        out["keyEvents"].push_back({event.event, event.value});
    out["namedVariables"] = Json::object();
    for (const NamedVariable& variable : host.namedVariables())
        out["namedVariables"][cp1252ToUtf8(variable.name)] = variable.read();

    out["sound"] = {{"terminateCalls", terminateCalls}};
    out["frames"] = session.frames();
    if (!errors.empty()) {
        Json list = Json::array();
        for (const std::string& error : errors)
            list.push_back(jsonText(error));
        out["errors"] = std::move(list);
    }
    return out;
}

} // namespace k729::host::probe
