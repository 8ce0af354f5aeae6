// The outside sound library the modules bind at run time. The host never
// loads it: it only makes the stand-in findable, or not, before a module
// looks for it, and reads back how often its terminate entry ran.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace k729::host {

enum class SoundMode {
    Present,     // <program folder>/sound first on PATH
    Absent,      // PATH left alone
    NoTerminate, // <program folder>/sound-no-terminate first on PATH
};

std::optional<SoundMode> parseSoundMode(std::string_view text); // present|absent|no-terminate

// Set by the stand-in, so that the count survives the library's unloading.
inline constexpr char kTerminateCallsVariable[] = "K729_GAUGESOUND_TERMINATE_CALLS";

// Clears the count and arranges PATH for the mode. Call it before the first
// module is loaded, once per process.
void prepareSound(SoundMode mode);

// How often TerminateSounds ran since prepareSound.
std::uint32_t terminateCalls();

} // namespace k729::host
