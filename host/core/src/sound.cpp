#include "k729host/sound.h"

#include <charconv>
#include <string>

#include "k729host/platform.h"

namespace k729::host {

std::optional<SoundMode> parseSoundMode(std::string_view text) {
    if (text == "present") return SoundMode::Present;
    if (text == "absent") return SoundMode::Absent;
    if (text == "no-terminate") return SoundMode::NoTerminate;
    return std::nullopt;
}

void prepareSound(SoundMode mode) {
    Platform& system = platform();
    system.setEnvironment(kTerminateCallsVariable, std::nullopt);
    if (mode == SoundMode::Absent) return;
    std::string folder = system.executableFolder() + system.folderSeparator() +
                         (mode == SoundMode::Present ? "sound" : "sound-no-terminate");
    std::optional<std::string> path = system.environment("PATH");
    system.setEnvironment(
        "PATH", path && !path->empty() ? folder + system.pathListSeparator() + *path : folder);
}

std::uint32_t terminateCalls() {
    std::optional<std::string> text = platform().environment(kTerminateCallsVariable);
    if (!text) return 0;
    std::uint32_t count = 0;
    auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), count);
    if (error != std::errc() || end != text->data() + text->size()) return 0;
    return count;
}

} // namespace k729::host
