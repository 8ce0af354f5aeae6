// `gaugehost render MODULE [steps...] --out FILE.png [--scale K] [--night]
// [--areas]`: one gauge as the host would show it after the steps, at the
// size of its background bitmap, written as a PNG file. Drawing needs cairo,
// which only the native build has: the Windows build knows the command only
// to say so.
#pragma once

#include <iosfwd>
#include <memory>

#include "command.h"

namespace CLI {
class App;
} // namespace CLI

namespace k729::host::view {

// Exit statuses.
inline constexpr int kRenderOk = 0;
inline constexpr int kRenderProblems = 1; // written, but not everything drew as asked
inline constexpr int kRenderBadUsage = 2; // nothing written

class RenderCommand final : public Command {
public:
    explicit RenderCommand(CLI::App& parent);
    ~RenderCommand() override;
    bool selected() const override;
    int run(std::ostream& out, std::ostream& err) const override;

private:
    struct Options;
    std::unique_ptr<Options> options_;
};

} // namespace k729::host::view
