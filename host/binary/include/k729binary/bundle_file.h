// A reader for the resource bundle a native module carries (the layout is in
// k729art/bundle.h): checks the header, the entry table and that every payload
// lies inside the bundle.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace k729::binary {

struct BundleResource {
    std::uint32_t type = 0;
    std::uint32_t id = 0;
    std::uint32_t language = 0;
    std::vector<std::uint8_t> data;
};

std::optional<std::vector<BundleResource>> readBundle(std::span<const std::uint8_t> bytes,
                                                      std::string* error = nullptr);

} // namespace k729::binary
