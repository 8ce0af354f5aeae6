// The Windows build draws nothing: it has no cairo. The command still exists,
// so that asking for it says why it does nothing.
#include <ostream>

#include <CLI/CLI.hpp>

#include "render.h"

namespace k729::host::view {

struct RenderCommand::Options {
    CLI::App* app;
};

RenderCommand::RenderCommand(CLI::App& parent)
    : options_(std::make_unique<Options>(Options{parent.add_subcommand(
          "render", "Not available in this build: pictures are drawn by the Linux gaugehost")})) {
    options_->app->allow_extras();
}

RenderCommand::~RenderCommand() = default;

bool RenderCommand::selected() const {
    return options_->app->parsed();
}

int RenderCommand::run(std::ostream&, std::ostream& err) const {
    err << "gaugehost render: not available in the Windows build (drawing needs cairo); use the "
           "Linux gaugehost\n";
    return kRenderBadUsage;
}

} // namespace k729::host::view
