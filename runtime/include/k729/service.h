// GaugeServiceHandler, the service handler template every module uses: it
// keeps the module bound to the outside sound library, refreshes the module's
// refresh list on every update and marks the first draw.
//
// A gauge adds to it through a traits class, each member optional:
//   static inline ModuleVar refreshList[N];  looked up in order at every update
//   static void install();                   at pre-install
//   static void firstDraw();                 at the first pre-draw of the module's life
//   static void kill();                      at pre-kill, after the sound library is released
#pragma once

#include <cstdint>

#include "k729/host_calls.h"
#include "k729/win_loader.h"

namespace k729 {

enum ServiceCode : std::uint32_t {
    PreInstall = 2,
    PreInitialise = 4,
    PreUpdate = 6,
    PreDraw = 10,
    PreKill = 12,
};

inline constexpr const char kSoundLibrary[] = "GaugeSound";

using SoundEntry = void(K729_CALL*)();

struct SoundBinding {
    HMODULE library; // never set back to null once set
    SoundEntry play;
    SoundEntry stop;
    SoundEntry terminate;
};

// 0 when the module is loaded, 1 from its first pre-draw on; nothing clears it.
using FirstDrawLatch = std::uint32_t;

namespace sound {

inline SoundEntry entry(HMODULE library, const char* name) {
    if (!library) return nullptr; // the loader would search the executable instead
    return reinterpret_cast<SoundEntry>(GetProcAddress(library, name));
}

inline void rebind(SoundBinding& binding) {
    binding.play = entry(binding.library, "GaugePlaySound");
    binding.stop = entry(binding.library, "GaugeStopSound");
    binding.terminate = entry(binding.library, "TerminateSounds");
}

inline void findOrLoad(SoundBinding& binding) {
    binding.library = GetModuleHandleA(kSoundLibrary);
    if (!binding.library) binding.library = LoadLibraryA(kSoundLibrary);
}

// A handle kept from before a kill may name a library that has since been
// unloaded; asking it for entries would read freed loader state.
inline bool stillLoaded(const SoundBinding& binding) {
    return binding.library && GetModuleHandleA(kSoundLibrary) == binding.library;
}

} // namespace sound

template <class Gauge> struct GaugeServiceHandler {
    static inline SoundBinding soundBinding{};
    static inline FirstDrawLatch firstDrawLatch = 0;

    static void K729_CALL handle(GaugeHeader*, std::uint32_t service, std::uint32_t) {
        switch (service) {
        case PreInstall:
            if constexpr (requires { Gauge::install(); }) Gauge::install();
            break;
        case PreInitialise:
            preInitialise();
            break;
        case PreUpdate:
            sound::findOrLoad(soundBinding);
            sound::rebind(soundBinding);
            if constexpr (requires { Gauge::refreshList; })
                for (ModuleVar& var : Gauge::refreshList)
                    lookupModuleVar(var);
            break;
        case PreDraw:
            if (firstDrawLatch == 0) {
                firstDrawLatch = 1;
                if constexpr (requires { Gauge::firstDraw(); }) Gauge::firstDraw();
            }
            break;
        case PreKill:
            sound::findOrLoad(soundBinding);
            sound::rebind(soundBinding);
            if (soundBinding.terminate) soundBinding.terminate();
            if (soundBinding.library) FreeLibrary(soundBinding.library);
            if constexpr (requires { Gauge::kill(); }) Gauge::kill();
            break;
        default:
            break;
        }
    }

private:
    static void preInitialise() {
        if (!soundBinding.library) {
            soundBinding.library = LoadLibraryA(kSoundLibrary);
        } else if (!sound::stillLoaded(soundBinding)) {
            soundBinding.play = soundBinding.stop = soundBinding.terminate = nullptr;
            return;
        }
        sound::rebind(soundBinding);
    }
};

// A gauge that adds nothing to the handler.
struct NoServiceAdditions {};

} // namespace k729
