// The module frame: the exported records `Linkage` and `ImportTable`, the gauge
// header, the host's table of operations and the host-variable binding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "k729/abi.h"

namespace k729 {

using VarToken = std::uint32_t;   // names a host variable
using KeyEventId = std::uint32_t; // names a host command

struct GaugeHeader;
struct Element;
struct MouseRect;

// The module's list of mouse rectangles, as the host walks it.
using MouseRectList = const MouseRect*;

using ModuleRoutine = void(K729_CALL*)();
using ServiceRoutine = void(K729_CALL*)(GaugeHeader* gauge, std::uint32_t service,
                                        std::uint32_t extra);

// Values every module carries in its frame.
inline constexpr std::uint32_t kModuleId = 0x13;
inline constexpr std::uint32_t kModuleVersion = 0x800;
inline constexpr std::uint32_t kHeaderVersion = 0x320;
inline constexpr std::uint32_t kHeaderSize = 100;
inline constexpr std::uint32_t kServicesImportId = 0x0F;
inline constexpr std::int32_t kNamedVarTypeInt32 = 19;

// A host variable binding. The host's lookup fills `value`; a few tokens carry
// a 32-bit integer or a text address in its first bytes instead of a float.
struct ModuleVar {
    VarToken token{};
    void* reference{};   // the host's
    std::int32_t type{}; // the host's
    double value{};
    double secondValue{}; // the host's
};

constexpr ModuleVar moduleVar(VarToken token) {
    return ModuleVar{.token = token};
}

inline std::int32_t integerValue(const ModuleVar& var) {
    std::int32_t v;
    std::memcpy(&v, &var.value, sizeof v);
    return v;
}

inline const char* textValue(const ModuleVar& var) {
    const char* text;
    std::memcpy(&text, &var.value, sizeof text);
    return text;
}

// The host's operations, reached through ImportTable entry 1. Only four
// entries are used; the host points the others at a routine of its own.
using KeyEventTrigger = void(K729_CALL*)(KeyEventId event, std::uint32_t value);
using NamedVarRegister = void(K729_CALL*)(void* variable, std::int32_t typeCode, const char* name);
using ModuleVarLookup = void(K729_CALL*)(ModuleVar* var);
using NamedVarUnregister = void(K729_CALL*)(const char* name);
using UnusedHostService = void(K729_CALL*)();

inline constexpr std::size_t kHostServiceCount = 64;

struct HostServices {
    UnusedHostService unusedBefore[36];
    KeyEventTrigger triggerKeyEvent;            // 36
    NamedVarRegister registerNamedVariable;     // 37
    UnusedHostService unusedBetween[2];         // 38, 39
    ModuleVarLookup lookupModuleVar;            // 40
    NamedVarUnregister unregisterNamedVariable; // 41
    UnusedHostService unusedAfter[kHostServiceCount - 42];
};

static_assert(sizeof(HostServices) == kHostServiceCount * sizeof(void*));
static_assert(offsetof(HostServices, triggerKeyEvent) == 36 * sizeof(void*));
static_assert(offsetof(HostServices, registerNamedVariable) == 37 * sizeof(void*));
static_assert(offsetof(HostServices, lookupModuleVar) == 40 * sizeof(void*));
static_assert(offsetof(HostServices, unregisterNamedVariable) == 41 * sizeof(void*));

template <class T> struct ImportEntry {
    std::uint32_t id;
    T* pointer;
};

// The slot through which a module reaches the host: the host writes its table
// into the first entry after loading the module; the second ends the table.
struct ImportTable {
    ImportEntry<HostServices> services;
    ImportEntry<void> end;
};

// The one gauge of a module. The host owns the fields a module leaves zero.
struct GaugeHeader {
    std::uint32_t version{};
    const char* name{};
    Element* const* rootCell{}; // one cell holding the root, not a null-ended list
    void* hostInstance{};
    std::uint32_t size{};
    std::uint32_t hostFlags{};
    MouseRectList mouseRects{};
    ServiceRoutine serviceHandler{}; // a GaugeServiceHandler<...>::handle
    std::int32_t hostPlacement[4]{};
};

// The exported module record. Its gauge list sits inside the record: one
// header, then null.
struct GaugeModule {
    std::uint32_t id{};
    ModuleRoutine init{};
    ModuleRoutine deinit{};
    std::uint32_t flags{};
    std::uint32_t priority{};
    std::uint32_t version{};
    GaugeHeader* gauges[2]{};
};

#if K729_PIN_LAYOUT
static_assert(sizeof(ModuleVar) == 32);
static_assert(offsetof(ModuleVar, reference) == 4);
static_assert(offsetof(ModuleVar, type) == 8);
static_assert(offsetof(ModuleVar, value) == 16);
static_assert(offsetof(ModuleVar, secondValue) == 24);
static_assert(sizeof(ImportTable) == 16);
static_assert(sizeof(GaugeHeader) == 48);
static_assert(offsetof(GaugeHeader, rootCell) == 8);
static_assert(offsetof(GaugeHeader, size) == 16);
static_assert(offsetof(GaugeHeader, mouseRects) == 24);
static_assert(offsetof(GaugeHeader, serviceHandler) == 28);
static_assert(sizeof(GaugeModule) == 32);
static_assert(offsetof(GaugeModule, version) == 20);
static_assert(offsetof(GaugeModule, gauges) == 24);
#endif

// Builds the exported record of a module around its one gauge header.
constexpr GaugeModule gaugeModule(GaugeHeader* header, ModuleRoutine init, ModuleRoutine deinit) {
    return GaugeModule{
        .id = kModuleId,
        .init = init,
        .deinit = deinit,
        .flags = 0,
        .priority = 0,
        .version = kModuleVersion,
        .gauges = {header, nullptr},
    };
}

} // namespace k729
