// What every module of the build should carry, derived from the gauge
// folders' own tables where they exist. A new gauge folder adds its rows here.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace k729::checks {

struct ExpectedBitmap {
    std::uint32_t id;
    int width, height;
};

struct ExpectedModule {
    std::string name; // the gauge name; the file is `<name>.gau`
    std::vector<ExpectedBitmap> bitmaps;
};

// Test parameters print as their gauge name.
inline void PrintTo(const ExpectedModule& m, std::ostream* out) {
    *out << m.name;
}

const std::vector<ExpectedModule>& expectedModules();

// Modules that draw the same pictures and must carry byte-identical bitmaps.
const std::vector<std::vector<std::string>>& identicalBitmapGroups();

} // namespace k729::checks
