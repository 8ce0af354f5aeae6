#include "k729host/host.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace k729::host {
namespace {

Host* currentHost = nullptr;

template <std::size_t Index> void K729_CALL unusedEntry() {
    if (Host* host = Host::current()) host->recordProblem(Index, "unexpected call");
}

template <std::size_t... Index>
constexpr std::array<UnusedHostService, kHostServiceCount>
unusedEntries(std::index_sequence<Index...>) {
    return {&unusedEntry<Index>...};
}
constexpr auto kUnusedEntries = unusedEntries(std::make_index_sequence<kHostServiceCount>{});

void K729_CALL triggerKeyEventEntry(KeyEventId event, std::uint32_t value) {
    if (Host* host = Host::current()) host->triggerKeyEvent(event, value);
}

void K729_CALL registerNamedVariableEntry(void* address, std::int32_t typeCode, const char* name) {
    if (Host* host = Host::current()) host->registerNamedVariable(address, typeCode, name);
}

void K729_CALL lookupModuleVarEntry(ModuleVar* var) {
    Host* host = Host::current();
    if (!host) return;
    if (!var)
        host->recordProblem(kLookupModuleVarEntry, "null variable");
    else
        host->lookup(*var);
}

void K729_CALL unregisterNamedVariableEntry(const char* name) {
    if (Host* host = Host::current()) host->unregisterNamedVariable(name);
}

HostServices makeServices() {
    HostServices services{};
    for (std::size_t i = 0; i < std::size(services.unusedBefore); ++i)
        services.unusedBefore[i] = kUnusedEntries[i];
    for (std::size_t i = 0; i < std::size(services.unusedBetween); ++i)
        services.unusedBetween[i] = kUnusedEntries[38 + i];
    for (std::size_t i = 0; i < std::size(services.unusedAfter); ++i)
        services.unusedAfter[i] = kUnusedEntries[42 + i];
    services.triggerKeyEvent = triggerKeyEventEntry;
    services.registerNamedVariable = registerNamedVariableEntry;
    services.lookupModuleVar = lookupModuleVarEntry;
    services.unregisterNamedVariable = unregisterNamedVariableEntry;
    return services;
}

} // namespace

void VariableStore::set(VarToken token, const StoredValue& value) {
    RawValue raw{};
    switch (value.kind) {
    case StoredValue::Kind::Number:
        std::memcpy(raw.data(), &value.number, sizeof value.number);
        break;
    case StoredValue::Kind::Integer:
        std::memcpy(raw.data(), &value.integer, sizeof value.integer);
        break;
    case StoredValue::Kind::Text: {
        const char* text = texts_.emplace_back(value.text).c_str();
        static_assert(sizeof text <= sizeof raw);
        std::memcpy(raw.data(), &text, sizeof text);
        break;
    }
    }
    setRaw(token, raw);
}

void VariableStore::setRaw(VarToken token, const RawValue& value) {
    if (token == 0) return;
    values_[token] = value;
}

RawValue VariableStore::raw(VarToken token) const {
    auto found = values_.find(token);
    return found == values_.end() ? RawValue{} : found->second;
}

double VariableStore::number(VarToken token) const {
    RawValue bytes = raw(token);
    double value;
    std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}

std::uint32_t NamedVariable::read() const {
    std::uint32_t value;
    std::memcpy(&value, address, sizeof value);
    return value;
}

std::string HostCallProblem::describe() const {
    return "host entry " + std::to_string(entry) + ": " + what;
}

Host::Host() : services_(makeServices()) {
    if (currentHost) throw std::logic_error("only one host per process at a time");
    currentHost = this;
}

Host::~Host() {
    currentHost = nullptr;
}

Host* Host::current() {
    return currentHost;
}

void Host::lookup(ModuleVar& var) const {
    static_assert(sizeof var.value == sizeof(RawValue));
    RawValue bytes = variables_.raw(var.token);
    std::memcpy(&var.value, bytes.data(), bytes.size());
}

const NamedVariable* Host::findNamedVariable(std::string_view name) const {
    for (const NamedVariable& variable : namedVariables_)
        if (variable.name == name) return &variable;
    return nullptr;
}

void Host::triggerKeyEvent(KeyEventId event, std::uint32_t value) {
    keyEvents_.push_back({event, value});
}

void Host::registerNamedVariable(void* address, std::int32_t typeCode, const char* name) {
    if (!name) return recordProblem(kRegisterNamedVariableEntry, "null name");
    if (!address)
        return recordProblem(kRegisterNamedVariableEntry,
                             "null address for \"" + std::string(name) + "\"");
    for (NamedVariable& variable : namedVariables_) {
        if (variable.name == name) {
            variable.address = address;
            variable.typeCode = typeCode;
            return;
        }
    }
    namedVariables_.push_back({name, address, typeCode});
}

void Host::unregisterNamedVariable(const char* name) {
    if (!name) return recordProblem(kUnregisterNamedVariableEntry, "null name");
    std::erase_if(namedVariables_, [&](const NamedVariable& v) { return v.name == name; });
}

void Host::recordProblem(std::size_t entry, std::string what) {
    problems_.push_back({entry, std::move(what)});
}

} // namespace k729::host
