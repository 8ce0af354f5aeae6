#include "k729/host_calls.h"

// The host writes its table into the first entry after loading the module.
constinit k729::ImportTable ImportTable = {
    .services = {.id = k729::kServicesImportId, .pointer = nullptr},
    .end = {.id = 0, .pointer = nullptr},
};

// The module's initialisation and de-initialisation routines do nothing.
namespace k729 {
void K729_CALL moduleInit() {}
void K729_CALL moduleDeinit() {}
} // namespace k729
