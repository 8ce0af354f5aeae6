// A host double for the runtime's tests: the four operations the modules use,
// recording every call, installed in this test binary's ImportTable.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "k729/host_calls.h"

namespace fake_host {

struct Calls {
    std::map<k729::VarToken, double> variables; // what lookups answer
    std::vector<k729::VarToken> lookups;        // tokens, in call order
    std::vector<std::pair<k729::KeyEventId, std::uint32_t>> keyEvents;
    std::vector<std::string> registered;
    std::vector<std::string> unregistered;
};

// Installs a fresh host and returns its record of calls.
Calls& install();
// Empties the import slot, as before the host's write.
void uninstall();

} // namespace fake_host
