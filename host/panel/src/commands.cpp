#include "k729panel/commands.h"

#include <cmath>

#include "k729panel/scenario.h"

namespace k729::panel {

const CommandRule* commandFor(KeyEventId event) {
    for (const CommandRule& rule : kCommandRules)
        if (rule.event == event) return &rule;
    return nullptr;
}

double commandedValue(const CommandRule& rule, double current) {
    if (rule.kind == CommandKind::Toggle) return current == 1.0 ? 0.0 : 1.0;
    const double from = std::isfinite(current) ? current : 0.0;
    double value = std::round((from + rule.step) * 1e6) / 1e6;
    if (rule.kind == CommandKind::StepAround && std::isfinite(value)) value = aroundCircle(value);
    return value;
}

CommandResult carryOut(KeyEventId event, host::VariableStore& store) {
    const CommandRule* rule = commandFor(event);
    if (!rule) return {};
    CommandResult result{rule, store.number(rule->token), 0.0};
    result.after = commandedValue(*rule, result.before);
    store.set(rule->token, host::StoredValue::ofNumber(result.after));
    return result;
}

} // namespace k729::panel
