// `gaugehost run PANEL SCENARIO --out DIR` and `gaugehost demo [--out DIR]`:
// a panel of gauges driven through a scenario and drawn frame by frame.
#pragma once

#include <iosfwd>

#include "command.h"

namespace CLI {
class App;
class Option;
} // namespace CLI

namespace k729::panel {

// The options both commands share.
struct PictureOptions {
    CLI::Option* out;
    CLI::Option* modules;
    CLI::Option* scale;
    CLI::Option* night;
    CLI::Option* framesEvery;
    CLI::Option* areas;
};

class RunCommand final : public host::Command {
public:
    explicit RunCommand(CLI::App& parent);
    bool selected() const override;
    int run(std::ostream& out, std::ostream& err) const override;

private:
    CLI::App* app_;
    CLI::Option* panel_;
    CLI::Option* scenario_;
    PictureOptions options_;
};

class DemoCommand final : public host::Command {
public:
    explicit DemoCommand(CLI::App& parent);
    bool selected() const override;
    int run(std::ostream& out, std::ostream& err) const override;

private:
    CLI::App* app_;
    PictureOptions options_;
};

} // namespace k729::panel
