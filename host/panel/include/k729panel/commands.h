// The host's command model: what the bench host does with the key events the
// gauges send. Each known event changes one host variable; the table below is
// the whole model.
//
//  - Stepping: the token's value moves by the step (a value that is not
//    finite counts as 0). Course and selected heading go round: the result is
//    kept in 0 to 360 (0 to 359 for whole degrees).
//  - Toggling: a value of exactly 1 becomes 0, any other value becomes 1,
//    as the lamps light only at exactly 1.
//
// Stepped results are rounded to a millionth so that tenths add up
// (29.92 + 0.1 is 30.02, not 30.020000000000003).
#pragma once

#include <optional>
#include <span>

#include "k729/module.h"
#include "k729host/host.h"

namespace k729::panel {

enum class CommandKind { Step, StepAround, Toggle };

struct CommandRule {
    KeyEventId event;
    VarToken token;
    CommandKind kind;
    double step; // Step and StepAround; unused for Toggle
    const char* what;
};

inline constexpr CommandRule kCommandRules[] = {
    // The course: the course selector, the HSI's CRS arrows and the data strip's areas.
    {65662, 854, CommandKind::StepAround, -1.0, "selected course down"},
    {65663, 854, CommandKind::StepAround, +1.0, "selected course up"},
    // The selected heading: the HSI's HDG arrows (right arrow, the lower number, up).
    {65879, 107, CommandKind::StepAround, +1.0, "selected heading up"},
    {65880, 107, CommandKind::StepAround, -1.0, "selected heading down"},
    // The primary flight display's four selector pairs: right half up, left half down.
    {65896, 116, CommandKind::Step, +1.0, "top-left readout up"},
    {65897, 116, CommandKind::Step, -1.0, "top-left readout down"},
    {65892, 109, CommandKind::Step, +100.0, "top-right readout up"},
    {65893, 109, CommandKind::Step, -100.0, "top-right readout down"},
    {65894, 120, CommandKind::Step, +100.0, "vertical speed readout up"},
    {65895, 120, CommandKind::Step, -100.0, "vertical speed readout down"},
    {65883, 75, CommandKind::Step, +0.1, "pressure readout up"},
    {65884, 75, CommandKind::Step, -0.1, "pressure readout down"},
    // The push-buttons.
    {66364, 575, CommandKind::Toggle, 0.0, "generator 2"},
    {66241, 364, CommandKind::Toggle, 0.0, "battery"},
    {66301, 573, CommandKind::Toggle, 0.0, "engine 2 starter"},
};

// The rule for an event; null when the model does not know it.
const CommandRule* commandFor(KeyEventId event);

struct CommandResult {
    const CommandRule* rule; // null: nothing was done
    double before = 0.0, after = 0.0;
};

// Carries out one key event on the host's variables.
CommandResult carryOut(KeyEventId event, host::VariableStore& store);

// The value a rule makes of the current one.
double commandedValue(const CommandRule& rule, double current);

} // namespace k729::panel
