#include "run_command.h"

#include <unistd.h>

#include <cstdio>
#include <ostream>

#include <CLI/CLI.hpp>

#include "k729host/platform.h"
#include "k729panel/embedded.h"
#include "k729panel/panel_file.h"
#include "k729panel/runner.h"
#include "probe/values.h"

namespace k729::panel {
namespace {

constexpr char kDefaultDemoOut[] = "out/demo";

PictureOptions addPictureOptions(CLI::App& app, bool outRequired) {
    PictureOptions o;
    o.out = app.add_option("--out")
                ->description(std::string("Folder for the frames, contact sheet, animation and "
                                          "run.json") +
                              (outRequired ? "" : " (default out/demo)"))
                ->type_name("DIR");
    if (outRequired) o.out->required();
    o.modules =
        app.add_option("--modules", "Folder the panel's module files are found in (default: the "
                                    "folder of gaugehost)")
            ->type_name("DIR");
    o.scale = app.add_option("--scale", "Draw every panel pixel as KxK pixels (default 1)")
                  ->type_name("K");
    o.night = app.add_flag("--night")->description("Night lighting: only lit elements stay bright");
    o.framesEvery =
        app.add_option("--frames-every", "Write every Nth frame as a PNG and into the animation "
                                         "(default 1: all)")
            ->type_name("N");
    o.areas = app.add_flag("--areas")->description(
        "Outline the click areas of the gauges in magenta, each with its cursor code");
    return o;
}

// The shared options into a RunOptions; an error message or empty.
std::string readPictureOptions(const PictureOptions& p, RunOptions& o) {
    if (p.out->count()) o.out = p.out->as<std::string>();
    if (p.modules->count()) {
        o.modules = p.modules->as<std::string>();
    } else {
        o.modules = host::platform().executableFolder();
    }
    if (p.scale->count()) {
        const std::string text = p.scale->as<std::string>();
        host::ErrorOr<std::uint32_t> v = host::probe::parseUnsigned(text, 1000);
        if (v.isError() || v.value() == 0)
            return "--scale " + text + ": expected a whole number from 1";
        o.scale = static_cast<int>(v.value());
    }
    if (p.framesEvery->count()) {
        const std::string text = p.framesEvery->as<std::string>();
        host::ErrorOr<std::uint32_t> v = host::probe::parseUnsigned(text, kMaxFramesEvery);
        if (v.isError() || v.value() == 0)
            return "--frames-every " + text + ": expected a whole number from 1 to " +
                   std::to_string(kMaxFramesEvery);
        o.framesEvery = v.value();
    }
    o.night = p.night->count() > 0;
    o.areas = p.areas->count() > 0;
    o.terminal = isatty(fileno(stderr)) != 0;
    return {};
}

} // namespace

RunCommand::RunCommand(CLI::App& parent) {
    app_ = parent.add_subcommand("run", "Drive every gauge of a panel through a scenario and "
                                        "write the frames as pictures");
    app_->footer("Writes frame-NNNN.png, contact-sheet.png, panel.apng and run.json into DIR, "
                 "all at once at the end; on a bad panel, scenario or module nothing is "
                 "written.\nExit status: 0, 1 if gauges or the host reported faults, 2 for a "
                 "bad argument, file or module.");
    panel_ = app_->add_option("PANEL", "Panel file: where each gauge sits")->required();
    scenario_ =
        app_->add_option("SCENARIO", "Scenario file (CSV): values over time, clicks")->required();
    options_ = addPictureOptions(*app_, true);
}

bool RunCommand::selected() const {
    return app_->parsed();
}

int RunCommand::run(std::ostream& out, std::ostream& err) const {
    RunOptions o;
    o.command = "run";
    if (std::string e = readPictureOptions(options_, o); !e.empty()) {
        err << "gaugehost run: " << e << '\n';
        return kRunBadInput;
    }
    o.panelSource = panel_->as<std::string>();
    o.scenarioSource = scenario_->as<std::string>();
    host::ErrorOr<std::string> panel = readTextFile(o.panelSource);
    if (panel.isError()) {
        err << "gaugehost run: " << panel.error().message << '\n';
        return kRunBadInput;
    }
    host::ErrorOr<std::string> scenario = readTextFile(o.scenarioSource);
    if (scenario.isError()) {
        err << "gaugehost run: " << scenario.error().message << '\n';
        return kRunBadInput;
    }
    o.panelText = panel.release();
    o.scenarioText = scenario.release();
    return runPanel(o, out, err);
}

DemoCommand::DemoCommand(CLI::App& parent) {
    app_ = parent.add_subcommand("demo", "Fly the K729 panel through the built-in demo flight "
                                         "and write the pictures (default out/demo)");
    app_->footer("The panel (panels/k729.panel) and the flight (scenarios/k729-demo.csv) are "
                 "built in. Gauges whose modules are not built yet are drawn as placeholders.");
    options_ = addPictureOptions(*app_, false);
}

bool DemoCommand::selected() const {
    return app_->parsed();
}

int DemoCommand::run(std::ostream& out, std::ostream& err) const {
    RunOptions o;
    o.command = "demo";
    o.out = kDefaultDemoOut;
    if (std::string e = readPictureOptions(options_, o); !e.empty()) {
        err << "gaugehost demo: " << e << '\n';
        return kRunBadInput;
    }
    o.panelText = kEmbeddedPanel;
    o.panelSource = kEmbeddedPanelName;
    o.scenarioText = kEmbeddedDemoScenario;
    o.scenarioSource = kEmbeddedDemoScenarioName;
    return runPanel(o, out, err);
}

} // namespace k729::panel
