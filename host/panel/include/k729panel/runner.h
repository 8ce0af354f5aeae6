// `gaugehost run` and `gaugehost demo`: every gauge of a panel driven through
// a scenario by one host, drawn frame by frame, and written out as PNG
// frames, a contact sheet, an animated PNG and a JSON account of the run.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace k729::panel {

// Exit statuses.
inline constexpr int kRunOk = 0;
inline constexpr int kRunFoundErrors = 1; // done, but gauges or the host reported faults
inline constexpr int kRunBadInput = 2;    // bad option, file or module: nothing written

// The longest side of a frame, scale included.
inline constexpr int kMaxFrameSide = 8192;
inline constexpr std::uint32_t kMaxFramesEvery = 100000;

struct RunOptions {
    std::string command = "run"; // for messages: "gaugehost run: ..."
    std::string panelText, panelSource;
    std::string scenarioText, scenarioSource;
    std::string modules; // the folder module files are relative to
    std::string out;     // the output folder
    int scale = 1;
    bool night = false;
    bool areas = false;
    std::uint32_t framesEvery = 1; // write every Nth frame (the first is always written)
    bool terminal = false;         // progress as a bar that redraws itself
    bool progress = true;          // progress at all
};

// The files a run writes into its folder.
inline constexpr char kContactSheetFile[] = "contact-sheet.png";
inline constexpr char kAnimationFile[] = "panel.apng";
inline constexpr char kReportFile[] = "run.json";
std::string frameFile(std::size_t written); // "frame-0000.png"

// Reports where the pictures are on `out`, warnings and progress on `err`.
int runPanel(const RunOptions& options, std::ostream& out, std::ostream& err);

} // namespace k729::panel
