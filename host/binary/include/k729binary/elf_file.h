// A reader for the parts of an ELF shared library the module checks look at:
// its sections and the symbols its dynamic symbol table defines. Every offset
// and count in the file is checked before use.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace k729::binary {

struct ElfSection {
    std::string name;
    std::uint32_t type = 0;  // SHT_*
    std::uint64_t flags = 0; // SHF_*
    std::uint64_t address = 0;
    std::vector<std::uint8_t> data; // empty for SHT_NOBITS
};

// A global or weak symbol the library defines.
struct ElfSymbol {
    std::string name;
    unsigned type = 0;       // STT_*
    unsigned binding = 0;    // STB_*
    unsigned visibility = 0; // STV_*
    std::uint64_t value = 0;
    std::uint64_t size = 0;
    std::string section; // its section's name; "*ABS*" for an absolute symbol
    std::uint64_t sectionFlags = 0;
};

struct ElfFile {
    bool is64 = false;
    std::uint16_t machine = 0;
    std::uint16_t type = 0; // ET_*
    std::vector<ElfSection> sections;
    std::vector<ElfSymbol> dynamicSymbols; // defined, global or weak, in table order

    const ElfSection* section(std::string_view name) const;
};

// Little-endian files only (the machines the project builds on).
std::optional<ElfFile> readElf(std::span<const std::uint8_t> bytes, std::string* error = nullptr);

} // namespace k729::binary
