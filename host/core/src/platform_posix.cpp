// Modules as ELF shared libraries, through the dynamic loader.
#include "k729host/platform.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace k729::host {
namespace {

class PosixPlatform final : public Platform {
public:
    ErrorOr<Library> loadLibrary(const std::string& path) override {
        struct stat info;
        if (stat(path.c_str(), &info) != 0)
            return Error{path + ": cannot read the file (" + std::strerror(errno) + ")"};
        if (!S_ISREG(info.st_mode)) return Error{path + ": cannot read the file (not a file)"};
        if (access(path.c_str(), R_OK) != 0)
            return Error{path + ": cannot read the file (" + std::strerror(errno) + ")"};
        // A bare name would send the loader searching its own folders.
        std::string target = path.find('/') == std::string::npos ? "./" + path : path;
        void* library = dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            const char* reason = dlerror();
            return Error{path + ": not a loadable module (" +
                         (reason ? reason : "no reason given") + ")"};
        }
        return library;
    }

    void* findData(Library library, const char* name) override {
        dlerror();
        return dlsym(library, name);
    }

    void unloadLibrary(Library library) override {
        if (library) dlclose(library);
    }

    std::string executableFolder() override {
        char path[PATH_MAX];
        ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
        if (n <= 0) return ".";
        std::string folder(path, static_cast<std::size_t>(n));
        std::size_t slash = folder.rfind('/');
        return slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
    }

    char folderSeparator() const override { return '/'; }
    char pathListSeparator() const override { return ':'; }

    std::optional<std::string> environment(const char* name) override {
        const char* value = std::getenv(name);
        if (!value) return std::nullopt;
        return std::string(value);
    }

    void setEnvironment(const char* name, const std::optional<std::string>& value) override {
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
};

} // namespace

Platform& platform() {
    static PosixPlatform instance;
    return instance;
}

} // namespace k729::host
