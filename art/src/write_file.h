// Whole-file writes for the art outputs: a build that stops half-way must not
// leave a truncated bitmap or bundle under its real name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace k729::art {

// Writes `bytes` to `path + ".tmp"`, then renames it over `path`.
bool writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes,
                         std::string* error);

// Little-endian appends.
void putU16(std::vector<std::uint8_t>& out, std::uint32_t value);
void putU32(std::vector<std::uint8_t>& out, std::uint32_t value);

} // namespace k729::art
