// A reader for the parts of a PE image the module checks look at: header
// fields, sections, exports, imported DLL names and the resource tree. Written
// from the file format itself; every offset and count in the file is checked
// before use, so a truncated or malformed file is an error, never a crash.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace k729::binary {

inline constexpr std::uint16_t kMachineI386 = 0x014C;
inline constexpr std::uint16_t kFileDll = 0x2000;     // COFF characteristics
inline constexpr std::uint16_t kOptionalPe32 = 0x10B; // optional header magic
inline constexpr std::uint16_t kOptionalPe32Plus = 0x20B;

// Section characteristics.
inline constexpr std::uint32_t kSectionCode = 0x00000020;
inline constexpr std::uint32_t kSectionExecute = 0x20000000;
inline constexpr std::uint32_t kSectionRead = 0x40000000;
inline constexpr std::uint32_t kSectionWrite = 0x80000000;

struct PeSection {
    std::string name; // the 8-byte field up to its first NUL
    std::uint32_t virtualAddress = 0;
    std::uint32_t virtualSize = 0;
    std::uint32_t rawOffset = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t characteristics = 0;
};

struct PeExport {
    std::string name;          // empty: exported by ordinal only
    std::uint32_t ordinal = 0; // biased by the directory's base
    std::uint32_t rva = 0;
    std::string forwarder;   // non-empty: the export forwards to "DLL.name"
    std::size_t section = 0; // index into PeFile::sections (not meaningful for a forwarder)
    std::uint32_t sectionFlags = 0;
};

// A resource name or type: a number, or a string when `name` is non-empty
// (UTF-16 in the file; characters above 0x7F become '?').
struct PeResourceKey {
    std::uint32_t id = 0;
    std::string name;
    bool isNamed() const { return !name.empty(); }
};

struct PeResource {
    PeResourceKey type;
    PeResourceKey id;
    std::uint32_t language = 0;
    std::uint32_t codePage = 0;
    std::vector<std::uint8_t> data;
};

struct PeFile {
    std::uint16_t machine = 0;
    std::uint16_t characteristics = 0;
    std::uint16_t optionalMagic = 0;
    std::vector<PeSection> sections;

    bool hasExportDirectory = false;
    std::string exportName; // the DLL name the export directory records
    std::vector<PeExport> exports;

    std::vector<std::string> imports;      // DLL names, in directory order
    std::vector<std::string> delayImports; // DLL names of the delay-load directory
    std::vector<PeResource> resources;     // in tree order

    bool isDll() const { return (characteristics & kFileDll) != 0; }
};

// Nothing on success; otherwise `error` (if given) says what is wrong.
std::optional<PeFile> readPe(std::span<const std::uint8_t> bytes, std::string* error = nullptr);

} // namespace k729::binary
