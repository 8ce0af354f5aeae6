// A loader double for the service handler's tests: one library, "GaugeSound",
// whose presence, exports and reference count the test controls and reads.
#pragma once

#include <string>
#include <vector>

namespace fake_loader {

enum class Library { Present, Absent, NoTerminate };

struct State {
    Library library = Library::Present;
    int references = 0; // Windows meaning: the library is loaded while > 0
    int loadCalls = 0;  // LoadLibraryA
    int findCalls = 0;  // GetModuleHandleA
    int freeCalls = 0;  // FreeLibrary
    int terminateCalls = 0;
    int staleLookups = 0;            // GetProcAddress on a handle of an unloaded library
    std::vector<std::string> events; // "load", "find", "free", "terminate", in call order
};

// Fresh state for each test.
State& reset(Library library = Library::Present);
State& state();

} // namespace fake_loader
