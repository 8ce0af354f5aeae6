#include "module_table.h"

#include "buttons/buttons.h"
#include "lights/lights.h"

namespace k729::checks {

const std::vector<ExpectedModule>& expectedModules() {
    static const std::vector<ExpectedModule> modules = [] {
        std::vector<ExpectedModule> all;
        for (const buttons::ButtonSpec& b : buttons::kButtons) {
            const auto bitmap = [&](std::int32_t id) {
                return ExpectedBitmap{static_cast<std::uint32_t>(id), b.size.w, b.size.h};
            };
            all.push_back({b.name, {bitmap(b.lamp), bitmap(b.lamp + 1), bitmap(b.background)}});
        }
        for (const lights::LightSpec& l : lights::kLights) {
            const auto bitmap = [&](std::int32_t id) {
                return ExpectedBitmap{static_cast<std::uint32_t>(id), l.size.w, l.size.h};
            };
            all.push_back(
                {l.name,
                 {bitmap(lights::kBackground), bitmap(lights::kLamp), bitmap(lights::kLamp + 1)}});
        }
        return all;
    }();
    return modules;
}

const std::vector<std::vector<std::string>>& identicalBitmapGroups() {
    // The generator and battery buttons differ only in the label the host
    // draws over them.
    static const std::vector<std::vector<std::string>> groups = {
        {"QT_K729_Gen2Btn", "QT_K729_BattBtn"},
    };
    return groups;
}

} // namespace k729::checks
