// What the host needs from the operating system, behind one interface with an
// implementation per platform (chosen at build time): loading a module file
// and finding its exported records, and the process environment through which
// the sound library is found and counts its calls.
#pragma once

#include <optional>
#include <string>

#include "k729host/error.h"

namespace k729::host {

class Platform {
public:
    using Library = void*; // opaque; null is never a loaded library

    virtual ~Platform() = default;

    // Paths are UTF-8. A file that cannot be read and a file the loader
    // refuses give different errors.
    virtual ErrorOr<Library> loadLibrary(const std::string& path) = 0;
    // An exported data record by its undecorated name; null if absent.
    virtual void* findData(Library library, const char* name) = 0;
    virtual void unloadLibrary(Library library) = 0;

    // The folder holding the running program, without a trailing separator.
    virtual std::string executableFolder() = 0;
    virtual char folderSeparator() const = 0;
    virtual char pathListSeparator() const = 0;

    // The process environment as the loader and the modules see it (on
    // Windows the system's block, not the C runtime's copy).
    virtual std::optional<std::string> environment(const char* name) = 0;
    virtual void setEnvironment(const char* name, const std::optional<std::string>& value) = 0;
};

// The platform of this build.
Platform& platform();

} // namespace k729::host
