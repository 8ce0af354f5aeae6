#include "fake_loader.h"

#include <cstring>

#include "k729/abi.h"
#include "k729/win_loader.h"

namespace fake_loader {
namespace {

State current;
// Any non-null address serves as the handle; it never changes, as a reloaded
// library may well come back at the same address.
int libraryObject;
HMODULE handle() {
    return reinterpret_cast<HMODULE>(&libraryObject);
}

bool isSoundLibrary(const char* name) {
    return name && std::strcmp(name, "GaugeSound") == 0;
}

void K729_CALL play() {}
void K729_CALL stop() {}
void K729_CALL terminate() {
    ++current.terminateCalls;
    current.events.push_back("terminate");
}

} // namespace

State& reset(Library library) {
    current = State{};
    current.library = library;
    return current;
}

State& state() {
    return current;
}

} // namespace fake_loader

using fake_loader::current;

HMODULE LoadLibraryA(const char* name) {
    ++current.loadCalls;
    current.events.push_back("load");
    if (!fake_loader::isSoundLibrary(name) || current.library == fake_loader::Library::Absent)
        return nullptr;
    ++current.references;
    return fake_loader::handle();
}

HMODULE GetModuleHandleA(const char* name) {
    ++current.findCalls;
    current.events.push_back("find");
    if (!fake_loader::isSoundLibrary(name) || current.references == 0) return nullptr;
    return fake_loader::handle();
}

FARPROC GetProcAddress(HMODULE library, const char* name) {
    if (library != fake_loader::handle()) return nullptr;
    if (current.references == 0) {
        ++current.staleLookups;
        return nullptr;
    }
    using Entry = void(K729_CALL*)();
    Entry entry = nullptr;
    if (std::strcmp(name, "GaugePlaySound") == 0) entry = fake_loader::play;
    if (std::strcmp(name, "GaugeStopSound") == 0) entry = fake_loader::stop;
    if (std::strcmp(name, "TerminateSounds") == 0 &&
        current.library != fake_loader::Library::NoTerminate)
        entry = fake_loader::terminate;
    return reinterpret_cast<FARPROC>(entry);
}

BOOL FreeLibrary(HMODULE library) {
    ++current.freeCalls;
    current.events.push_back("free");
    if (library != fake_loader::handle() || current.references == 0) return 0;
    --current.references;
    return 1;
}
