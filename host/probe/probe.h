// `gaugehost probe MODULE [steps...]`: loads one module, runs the steps in
// command-line order and prints one JSON report of what it did.
#pragma once

#include <iosfwd>
#include <string>

#include "command.h"
#include "k729host/error.h"
#include "steps.h"

namespace CLI {
class App;
class Option;
} // namespace CLI

namespace k729::host::probe {

struct ProbeOptions : SessionPlan {
    std::string module;
};

// Exit statuses.
inline constexpr int kProbeOk = 0;
inline constexpr int kProbeFoundErrors = 1; // the report lists errors
inline constexpr int kProbeBadUsage = 2;    // bad argument or unloadable module

// The command's arguments as CLI11 keeps them, turned into options once the
// command line has been parsed.
class ProbeCommand final : public Command {
public:
    explicit ProbeCommand(CLI::App& parent);
    bool selected() const override;
    int run(std::ostream& out, std::ostream& err) const override;
    ErrorOr<ProbeOptions> options() const;

private:
    CLI::App* app_;
    CLI::Option* module_;
    StepOptions steps_;
};

// Loads the module, runs the steps, writes the report to `out` and problems
// that stop the command to `err` (one line). Returns the exit status.
int runProbe(const ProbeOptions& options, std::ostream& out, std::ostream& err);

} // namespace k729::host::probe
