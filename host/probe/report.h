// The probe's JSON report of a session.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "k729host/host.h"
#include "k729host/session.h"

namespace k729::host::probe {

using Json = nlohmann::ordered_json;

// A double as JSON that reads back to the same bits: integral finite values
// as integers (1, not 1.0), -0.0 kept as such, the rest in the shortest form
// that reads back exactly; non-finite values as the strings "nan", "inf" and
// "-inf".
Json jsonNumber(double value);

// A module text (code page 1252) as a JSON string.
Json jsonText(const std::string& bytes);

// Faults of the session and unexpected host calls, in that order.
std::vector<std::string> collectErrors(const GaugeSession& session, const Host& host);

Json report(const GaugeSession& session, const Host& host, std::uint32_t terminateCalls,
            const std::vector<std::string>& errors);

} // namespace k729::host::probe
