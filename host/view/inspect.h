// `gaugehost inspect MODULE [--json]`: the records of a module as the host
// reads them once it has loaded the module (before the first frame), and the
// bitmaps the file carries, with every bitmap an element names but the file
// lacks flagged.
#pragma once

#include <iosfwd>
#include <string>

#include <nlohmann/json.hpp>

#include "command.h"

namespace CLI {
class App;
class Option;
} // namespace CLI

namespace k729::host::view {

using Json = nlohmann::ordered_json;

// Exit statuses.
inline constexpr int kInspectOk = 0;
inline constexpr int kInspectFlagged = 1;  // missing bitmaps or faulty records
inline constexpr int kInspectBadUsage = 2; // bad argument, unreadable or unloadable module

// Everything inspect reports about the file, as the JSON it prints; the text
// form is made from it. Returns the exit status; `err` gets a one-line error
// when the file cannot be read or loaded.
int inspectModule(const std::string& path, Json& out, std::ostream& err);

// The text form of an inspection.
std::string inspectionText(const Json& inspection);

class InspectCommand final : public Command {
public:
    explicit InspectCommand(CLI::App& parent);
    bool selected() const override;
    int run(std::ostream& out, std::ostream& err) const override;

private:
    CLI::App* app_;
    CLI::Option* module_;
    CLI::Option* json_;
};

} // namespace k729::host::view
