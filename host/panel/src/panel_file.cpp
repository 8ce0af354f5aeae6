// Panel files. One statement a line, fields separated by blanks:
//
//   # the K729 front panel               a line starting with # is a comment
//   panel 940 400                        the panel's width and height in pixels, once
//   background #2b2f33                   its colour (optional; #202020 when absent)
//   gauge QT_K729_PFD.gau QT_K729_PFD 24 48 189 166
//         module file     gauge name  x  y  width height
//
// Blank lines are ignored; a comment takes a whole line (a colour starts
// with # too, so there are none at the end of a line). Gauges are drawn in
// the order of their lines, later ones on top, and must lie inside the
// panel. A module file is named once: the host loads a module once, and a
// module carries one gauge. The width and height are the gauge's own size
// (its background bitmap): the panel states them so that a gauge whose module
// is not built yet still has a place, and a built one is checked against them.
#include "k729panel/panel_file.h"

#include <charconv>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

namespace k729::panel {
namespace {

std::vector<std::string_view> fieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (true) {
        at = line.find_first_not_of(" \t", at);
        if (at == std::string_view::npos) break;
        std::size_t end = line.find_first_of(" \t", at);
        if (end == std::string_view::npos) end = line.size();
        fields.push_back(line.substr(at, end - at));
        at = end;
    }
    return fields;
}

bool wholeNumber(std::string_view text, int& value) {
    if (text.empty()) return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool hexColour(std::string_view text, render::Rgb& colour) {
    if (text.size() != 7 || text[0] != '#') return false;
    std::uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data() + 1, text.data() + 7, value, 16);
    if (error != std::errc() || end != text.data() + 7) return false;
    colour = {static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
              static_cast<std::uint8_t>(value)};
    return true;
}

} // namespace

std::string located(const std::string& source, int line, const std::string& message) {
    return source + ":" + std::to_string(line) + ": " + message;
}

std::string_view takeLine(std::string_view& text) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

host::ErrorOr<std::string> readTextFile(const std::string& path) {
    // Panels and scenarios are a few kilobytes; anything far larger is a mistake.
    constexpr std::streamoff kMaxBytes = 16 << 20;
    std::ifstream in(path, std::ios::binary);
    if (!in) return host::Error{path + ": cannot open the file"};
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size > kMaxBytes) return host::Error{path + ": the file is too large"};
    in.seekg(0);
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return host::Error{path + ": cannot read the file"};
    return text.str();
}

host::ErrorOr<Panel> parsePanel(std::string_view text, const std::string& source) {
    Panel panel;
    panel.source = source;
    int panelLine = 0, backgroundLine = 0;
    std::map<std::string, int, std::less<>> modules, names;

    int number = 0;
    while (!text.empty()) {
        ++number;
        const std::string_view line = takeLine(text);
        const std::vector<std::string_view> f = fieldsOf(line);
        if (f.empty() || f[0].front() == '#') continue;
        auto fail = [&](const std::string& what) {
            return host::Error{located(source, number, what)};
        };
        auto expect = [&](std::size_t count, const char* form) -> std::optional<host::Error> {
            if (f.size() == count) return std::nullopt;
            return fail(std::string("expected \"") + form + "\"");
        };
        const std::string keyword(f[0]);

        if (keyword == "panel") {
            if (auto e = expect(3, "panel WIDTH HEIGHT")) return *e;
            if (panelLine)
                return fail("a second panel line (the first is line " + std::to_string(panelLine) +
                            ")");
            if (!wholeNumber(f[1], panel.width) || !wholeNumber(f[2], panel.height) ||
                panel.width < 1 || panel.height < 1 || panel.width > kMaxPanelSide ||
                panel.height > kMaxPanelSide)
                return fail("the panel's width and height must be whole numbers from 1 to " +
                            std::to_string(kMaxPanelSide));
            panelLine = number;
        } else if (keyword == "background") {
            if (auto e = expect(2, "background #RRGGBB")) return *e;
            if (backgroundLine)
                return fail("a second background line (the first is line " +
                            std::to_string(backgroundLine) + ")");
            if (!hexColour(f[1], panel.background))
                return fail("\"" + std::string(f[1]) + "\" is not a colour #RRGGBB");
            backgroundLine = number;
        } else if (keyword == "gauge") {
            if (auto e = expect(7, "gauge MODULE-FILE GAUGE-NAME X Y WIDTH HEIGHT")) return *e;
            PanelGauge gauge{std::string(f[1]), std::string(f[2]), 0, 0, 0, 0, number};
            const char* what[] = {"X", "Y", "WIDTH", "HEIGHT"};
            int* into[] = {&gauge.x, &gauge.y, &gauge.width, &gauge.height};
            for (int i = 0; i < 4; ++i)
                if (!wholeNumber(f[3 + i], *into[i]) || *into[i] < (i < 2 ? 0 : 1) ||
                    *into[i] > kMaxPanelSide)
                    return fail(std::string(what[i]) + " \"" + std::string(f[3 + i]) +
                                "\" is not a whole number from " + (i < 2 ? "0" : "1") + " to " +
                                std::to_string(kMaxPanelSide));
            if (auto [it, fresh] = modules.emplace(gauge.module, number); !fresh)
                return fail("module " + gauge.module + " is placed twice (first on line " +
                            std::to_string(it->second) + "); a module carries one gauge");
            if (auto [it, fresh] = names.emplace(gauge.name, number); !fresh)
                return fail("gauge " + gauge.name + " is placed twice (first on line " +
                            std::to_string(it->second) + ")");
            panel.gauges.push_back(std::move(gauge));
        } else {
            return fail("unknown statement \"" + keyword +
                        "\" (expected panel, background or gauge)");
        }
    }

    if (!panelLine) return host::Error{source + ": no \"panel WIDTH HEIGHT\" line"};
    for (const PanelGauge& g : panel.gauges)
        if (g.x + g.width > panel.width || g.y + g.height > panel.height)
            return host::Error{located(source, g.line,
                                       "gauge " + g.name + " (" + std::to_string(g.x) + ", " +
                                           std::to_string(g.y) + ", " + std::to_string(g.width) +
                                           "x" + std::to_string(g.height) +
                                           ") reaches beyond the " + std::to_string(panel.width) +
                                           "x" + std::to_string(panel.height) + " panel")};
    return panel;
}

host::ErrorOr<Panel> readPanel(const std::string& path) {
    host::ErrorOr<std::string> text = readTextFile(path);
    if (text.isError()) return text.error();
    return parsePanel(text.value(), path);
}

} // namespace k729::panel
