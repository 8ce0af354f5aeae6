// The Windows loader operations the service handler uses to bind the sound
// library. On Windows they are the system's own; elsewhere the runtime brings
// a stand-in with the same reference-counting meaning.
#pragma once

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
struct HINSTANCE__;
using HMODULE = HINSTANCE__*;
using FARPROC = long (*)();
using BOOL = int;

// A bare name gets the platform's library suffix; it is searched for in the
// executable's folder, then in each folder of PATH, as Windows does.
HMODULE LoadLibraryA(const char* name);     // takes a reference
HMODULE GetModuleHandleA(const char* name); // takes none; null if not loaded
FARPROC GetProcAddress(HMODULE library, const char* name);
BOOL FreeLibrary(HMODULE library); // releases one reference
#endif
