// A gaugehost subcommand: it registers its options with the command line
// when made, and runs if the command line chose it.
#pragma once

#include <iosfwd>

namespace k729::host {

class Command {
public:
    virtual ~Command() = default;
    virtual bool selected() const = 0;
    // Returns the exit status; reports go to `out`, one-line failures to `err`.
    virtual int run(std::ostream& out, std::ostream& err) const = 0;
};

} // namespace k729::host
