#include "fake_host.h"

namespace fake_host {
namespace {

Calls calls;
k729::HostServices table;

void K729_CALL trigger(k729::KeyEventId event, std::uint32_t value) {
    calls.keyEvents.emplace_back(event, value);
}
void K729_CALL registerNamed(void*, std::int32_t, const char* name) {
    calls.registered.emplace_back(name);
}
void K729_CALL lookup(k729::ModuleVar* var) {
    calls.lookups.push_back(var->token);
    auto it = calls.variables.find(var->token);
    var->value = it == calls.variables.end() ? 0.0 : it->second;
}
void K729_CALL unregisterNamed(const char* name) {
    calls.unregistered.emplace_back(name);
}

} // namespace

Calls& install() {
    calls = Calls{};
    table = k729::HostServices{};
    table.triggerKeyEvent = trigger;
    table.registerNamedVariable = registerNamed;
    table.lookupModuleVar = lookup;
    table.unregisterNamedVariable = unregisterNamed;
    ::ImportTable.services.pointer = &table;
    return calls;
}

void uninstall() {
    ::ImportTable.services.pointer = nullptr;
}

} // namespace fake_host
