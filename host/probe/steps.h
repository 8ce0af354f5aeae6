// The steps a gauge session runs, as the commands that drive one take them
// from the command line: --set, --frame, --click, --hold, --kill and
// --service in the order given, and the session's settings --text-buffer and
// --sound. `probe` and `render` share them, so a picture shows exactly the
// state a probe with the same steps reports.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "k729host/error.h"
#include "k729host/host.h"
#include "k729host/session.h"
#include "k729host/sound.h"
#include "values.h"

namespace CLI {
class App;
class Option;
} // namespace CLI

namespace k729::host::probe {

struct SetStep {
    Assignment assignment;
};
struct FrameStep {};
struct ClickStep {
    Point point;
};
struct HoldStep {
    Hold hold;
};
struct KillStep {};
struct ServiceStep {
    std::uint32_t code;
};
using Step = std::variant<SetStep, FrameStep, ClickStep, HoldStep, KillStep, ServiceStep>;

// What a session is to do, read from the command line.
struct SessionPlan {
    std::vector<Step> steps;
    std::uint32_t textBufferBytes = kDefaultTextBufferBytes;
    SoundMode sound = SoundMode::Present;
};

// The step and setting options of one subcommand: made with the subcommand,
// read once the command line has been parsed.
class StepOptions {
public:
    explicit StepOptions(CLI::App& command);
    // The steps in command-line order; an error names the argument at fault.
    ErrorOr<SessionPlan> read() const;

    // What every command taking these options says about them in its help.
    static const char* const kImplicitFrameNote;

private:
    CLI::App* app_;
    CLI::Option* textBuffer_;
    CLI::Option* sound_;
    CLI::Option* set_;
    CLI::Option* frame_;
    CLI::Option* click_;
    CLI::Option* hold_;
    CLI::Option* kill_;
    CLI::Option* service_;
};

// Without a frame step, one frame runs before the first click, hold or kill
// step, or at the end if there is none.
std::vector<Step> withImplicitFrame(std::vector<Step> steps);

// Runs the steps in order, as they are (add the implicit frame first).
void runSteps(Host& host, GaugeSession& session, const std::vector<Step>& steps);

} // namespace k729::host::probe
