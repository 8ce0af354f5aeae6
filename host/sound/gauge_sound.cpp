// Stand-in for the outside sound library the modules bind by name. It plays
// nothing; TerminateSounds counts its calls in the process environment, so
// the count is still there after the modules have unloaded the library.
#include "k729/abi.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <stdlib.h>
#endif

#include <cstdio>
#include <cstdlib>

K729_EXPORT void K729_CALL GaugePlaySound() {}
K729_EXPORT void K729_CALL GaugeStopSound() {}

#if K729_SOUND_HAS_TERMINATE
namespace {

constexpr char kCountVariable[] = "K729_GAUGESOUND_TERMINATE_CALLS";

// Windows keeps the variable in the system's block: a C runtime copy would not
// be seen by the host, which has a runtime of its own.
unsigned long readCount() {
#if defined(_WIN32)
    char text[32];
    DWORD n = GetEnvironmentVariableA(kCountVariable, text, sizeof text);
    if (n == 0 || n >= sizeof text) return 0;
#else
    const char* text = getenv(kCountVariable);
    if (!text) return 0;
#endif
    return std::strtoul(text, nullptr, 10);
}

void writeCount(unsigned long count) {
    char text[32];
    std::snprintf(text, sizeof text, "%lu", count);
#if defined(_WIN32)
    SetEnvironmentVariableA(kCountVariable, text);
#else
    setenv(kCountVariable, text, 1);
#endif
}

} // namespace

K729_EXPORT void K729_CALL TerminateSounds() {
    writeCount(readCount() + 1);
}
#endif
