// The module's side of the host operations: the two exported records and the
// calls that reach the host through the import slot.
#pragma once

#include "k729/module.h"

// The two exported records. Every module defines `Linkage`; `ImportTable` is
// defined once by the runtime that each module links.
K729_EXPORT k729::GaugeModule Linkage;
K729_EXPORT k729::ImportTable ImportTable;

namespace k729 {

// The module's initialisation and de-initialisation routines: they do nothing.
void K729_CALL moduleInit();
void K729_CALL moduleDeinit();

// The host's table, read from the import slot at the moment of every call.
// A host that has not written the slot yet gets no call rather than a crash.
inline HostServices* hostServices() {
    return ::ImportTable.services.pointer;
}

inline void triggerKeyEvent(KeyEventId event) {
    if (HostServices* host = hostServices(); host && host->triggerKeyEvent)
        host->triggerKeyEvent(event, 0);
}

inline void registerNamedVariable(void* variable, std::int32_t typeCode, const char* name) {
    if (HostServices* host = hostServices(); host && host->registerNamedVariable)
        host->registerNamedVariable(variable, typeCode, name);
}

inline void lookupModuleVar(ModuleVar& var) {
    if (HostServices* host = hostServices(); host && host->lookupModuleVar)
        host->lookupModuleVar(&var);
}

inline void unregisterNamedVariable(const char* name) {
    if (HostServices* host = hostServices(); host && host->unregisterNamedVariable)
        host->unregisterNamedVariable(name);
}

} // namespace k729
