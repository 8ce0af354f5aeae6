// A panel: the host's configuration of where each gauge sits on the panel,
// read from a small text file (the format is described in panel_file.cpp and
// in the README).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "k729host/error.h"
#include "k729render/picture.h"

namespace k729::panel {

// Larger panels are refused: frames are held in memory whole.
inline constexpr int kMaxPanelSide = 4096;

struct PanelGauge {
    std::string module; // file name, relative to the module folder unless absolute
    std::string name;   // the gauge name the module's header must carry
    int x = 0, y = 0, width = 0, height = 0;
    int line = 0; // where the panel file places it
};

struct Panel {
    std::string source; // the file name errors and reports use
    int width = 0, height = 0;
    render::Rgb background{32, 32, 32};
    std::vector<PanelGauge> gauges; // in drawing order: later ones on top
};

// Every error reads "SOURCE:LINE: what" (or "SOURCE: what" for the file as a whole).
host::ErrorOr<Panel> parsePanel(std::string_view text, const std::string& source);
host::ErrorOr<Panel> readPanel(const std::string& path);

// The whole of a small text file; the error names the file.
host::ErrorOr<std::string> readTextFile(const std::string& path);

// "SOURCE:LINE: message"
std::string located(const std::string& source, int line, const std::string& message);

// The first line of `text` without its line end (LF or CRLF); `text` keeps the rest.
std::string_view takeLine(std::string_view& text);

} // namespace k729::panel
