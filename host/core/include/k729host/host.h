// The bench host: the table of operations a module reaches through its
// ImportTable, and the state those operations act on (host variables, named
// variables the modules register, the key events they send).
//
// Host routines get no context pointer, so they act on the one current host:
// a Host becomes current when it is made and stops being current when it is
// destroyed. One host per process at a time; a second one while the first
// lives is a programming error (std::logic_error). Not thread-safe: modules
// are driven from one thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "k729/module.h"

namespace k729::host {

// Indices of the host table entries a module may use.
inline constexpr std::size_t kTriggerKeyEventEntry = 36;
inline constexpr std::size_t kRegisterNamedVariableEntry = 37;
inline constexpr std::size_t kLookupModuleVarEntry = 40;
inline constexpr std::size_t kUnregisterNamedVariableEntry = 41;

// The eight bytes a lookup writes into ModuleVar::value.
using RawValue = std::array<unsigned char, 8>;

// A value as a command sets it: a float, a 32-bit integer in the first four
// bytes, or a text whose address goes in the first pointer-sized bytes.
struct StoredValue {
    enum class Kind { Number, Integer, Text };
    Kind kind = Kind::Number;
    double number = 0.0;
    std::int32_t integer = 0;
    std::string text; // bytes as the module reads them (code page 1252)

    static StoredValue ofNumber(double v) { return {Kind::Number, v, 0, {}}; }
    static StoredValue ofInteger(std::int32_t v) { return {Kind::Integer, 0.0, v, {}}; }
    static StoredValue ofText(std::string v) { return {Kind::Text, 0.0, 0, std::move(v)}; }
};

// Host variables by token. Unset tokens read 0.0. Token 0 names no variable:
// setting it changes nothing and it always reads 0.0.
class VariableStore {
public:
    void set(VarToken token, const StoredValue& value);
    void setRaw(VarToken token, const RawValue& value);
    RawValue raw(VarToken token) const;
    // The eight bytes as a float, whatever was stored.
    double number(VarToken token) const;

private:
    std::unordered_map<VarToken, RawValue> values_;
    // Every text ever set stays alive as long as the store: a module may keep
    // an address it was handed after the value changes.
    std::deque<std::string> texts_;
};

struct KeyEvent {
    KeyEventId event;
    std::uint32_t value;
    friend bool operator==(const KeyEvent&, const KeyEvent&) = default;
};

struct NamedVariable {
    std::string name;
    void* address; // the module's; valid while the module is loaded
    std::int32_t typeCode;
    std::uint32_t read() const; // the four bytes at the address, unsigned
};

// A call the host did not expect or could not honour: an unused entry, or a
// used one with an argument it cannot act on (a null pointer).
struct HostCallProblem {
    std::size_t entry;
    std::string what;
    std::string describe() const; // "host entry 12: ..."
};

class Host {
public:
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    static Host* current();

    // The table a session writes into a module's ImportTable. Every entry is
    // set; the unused ones record a problem with their index.
    HostServices* services() { return &services_; }

    VariableStore& variables() { return variables_; }
    const VariableStore& variables() const { return variables_; }

    // What the lookup entry does: fills `value` from the store (token 0:
    // 0.0). The session uses it too, to refresh element source variables.
    void lookup(ModuleVar& var) const;

    const std::vector<KeyEvent>& keyEvents() const { return keyEvents_; }
    // In order of first registration; registering a name again replaces its
    // address and type in place.
    const std::vector<NamedVariable>& namedVariables() const { return namedVariables_; }
    const NamedVariable* findNamedVariable(std::string_view name) const;
    const std::vector<HostCallProblem>& problems() const { return problems_; }

    // The operations behind the table; public so that the routines (and
    // tests) can reach them.
    void triggerKeyEvent(KeyEventId event, std::uint32_t value);
    void registerNamedVariable(void* address, std::int32_t typeCode, const char* name);
    void unregisterNamedVariable(const char* name);
    void recordProblem(std::size_t entry, std::string what);

private:
    HostServices services_;
    VariableStore variables_;
    std::vector<KeyEvent> keyEvents_;
    std::vector<NamedVariable> namedVariables_;
    std::vector<HostCallProblem> problems_;
};

} // namespace k729::host
