// What a module file carries besides its records, read from the file itself
// through k729_binary: its format and its bitmap resources (the section
// bundle of a native module, the resource tree of a PE module).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "k729host/error.h"

namespace k729::host::view {

enum class FileFormat { Elf, Pe };

// One bitmap resource as its header describes it; `problem` is set instead
// of the sizes when the header cannot be read.
struct BitmapResource {
    std::uint32_t id = 0;
    std::string name; // a PE resource named by a string instead of a number
    std::uint32_t language = 0;
    std::uint32_t bytes = 0;
    std::int32_t width = 0, height = 0; // height as stored: negative for top-down rows
    std::uint16_t bitsPerPixel = 0;
    std::uint32_t colours = 0; // entries of the colour table
    std::optional<std::string> problem;
};

struct ModuleFile {
    FileFormat format = FileFormat::Elf;
    bool is64 = false;
    std::vector<BitmapResource> bitmaps; // in file order
    // False for a native module without the resource section: it carries none.
    bool hasResources = false;

    std::string formatName() const; // "ELF 64-bit", "PE 32-bit", ...
    const BitmapResource* findBitmap(std::int64_t id) const;
};

// Reads the file; an error when it cannot be read or is neither a well-formed
// ELF nor PE file.
ErrorOr<ModuleFile> readModuleFile(const std::string& path);

// Whether this build of the host can load modules of this format.
bool loadableHere(FileFormat format);

} // namespace k729::host::view
