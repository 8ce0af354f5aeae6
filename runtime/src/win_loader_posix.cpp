// Stands in for the Windows loader where modules are ELF libraries, keeping
// the Windows meaning of each call: LoadLibraryA takes a reference,
// GetModuleHandleA takes none, FreeLibrary releases one.
#include "k729/win_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kLibrarySuffix[] = ".so";

// "GaugeSound" -> "GaugeSound.so"; a name with a suffix or folder stays.
bool fileName(const char* name, char (&out)[PATH_MAX]) {
    const char* base = std::strrchr(name, '/');
    base = base ? base + 1 : name;
    const char* suffix = std::strchr(base, '.') ? "" : kLibrarySuffix;
    int n = std::snprintf(out, sizeof out, "%s%s", name, suffix);
    return n > 0 && static_cast<std::size_t>(n) < sizeof out;
}

bool executableFolder(char (&out)[PATH_MAX]) {
    ssize_t n = readlink("/proc/self/exe", out, sizeof out - 1);
    if (n <= 0) return false;
    out[n] = '\0';
    char* slash = std::strrchr(out, '/');
    if (!slash) return false;
    *slash = '\0';
    return true;
}

void* openIn(const char* folder, std::size_t folderLength, const char* file) {
    char path[PATH_MAX];
    int n =
        std::snprintf(path, sizeof path, "%.*s/%s", static_cast<int>(folderLength), folder, file);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof path) return nullptr;
    if (access(path, F_OK) != 0) return nullptr;
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

} // namespace

HMODULE LoadLibraryA(const char* name) {
    char file[PATH_MAX];
    if (!name || !fileName(name, file)) return nullptr;
    if (std::strchr(file, '/')) return static_cast<HMODULE>(dlopen(file, RTLD_NOW | RTLD_LOCAL));
    // Already loaded: one more reference to it.
    if (void* loaded = dlopen(file, RTLD_NOW | RTLD_NOLOAD)) return static_cast<HMODULE>(loaded);
    char folder[PATH_MAX];
    if (executableFolder(folder))
        if (void* handle = openIn(folder, std::strlen(folder), file))
            return static_cast<HMODULE>(handle);
    const char* path = std::getenv("PATH");
    while (path && *path) {
        const char* end = std::strchr(path, ':');
        std::size_t length = end ? static_cast<std::size_t>(end - path) : std::strlen(path);
        if (length > 0)
            if (void* handle = openIn(path, length, file)) return static_cast<HMODULE>(handle);
        path = end ? end + 1 : nullptr;
    }
    return nullptr;
}

HMODULE GetModuleHandleA(const char* name) {
    char file[PATH_MAX];
    if (!name || !fileName(name, file)) return nullptr;
    void* handle = dlopen(file, RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle); // NOLOAD counted a reference; give it back
    return static_cast<HMODULE>(handle);
}

FARPROC GetProcAddress(HMODULE library, const char* name) {
    if (!library || !name) return nullptr;
    return reinterpret_cast<FARPROC>(dlsym(library, name));
}

BOOL FreeLibrary(HMODULE library) {
    if (!library) return 0;
    return dlclose(library) == 0;
}
