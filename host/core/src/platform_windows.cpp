// Modules as Windows DLLs, through the system loader. Paths and environment
// values are UTF-8 on the host's side and UTF-16 towards the system.
#include "k729host/platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <vector>

#include "k729host/text_encoding.h"

namespace k729::host {
namespace {

std::string systemError(DWORD code) {
    return "Windows error " + std::to_string(code);
}

class WindowsPlatform final : public Platform {
public:
    ErrorOr<Library> loadLibrary(const std::string& path) override {
        std::wstring wide = utf8ToWide(path);
        DWORD attributes = GetFileAttributesW(wide.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return Error{path + ": cannot read the file (" + systemError(GetLastError()) + ")"};
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return Error{path + ": cannot read the file (not a file)"};
        HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return Error{path + ": cannot read the file (" + systemError(GetLastError()) + ")"};
        CloseHandle(file);
        // A bare name would send the loader searching its own folders.
        if (path.find_first_of("/\\:") == std::string::npos) wide = L".\\" + wide;
        // No dialog boxes for a file the loader refuses.
        UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        HMODULE library = LoadLibraryW(wide.c_str());
        DWORD error = GetLastError();
        SetErrorMode(previous);
        if (!library) return Error{path + ": not a loadable module (" + systemError(error) + ")"};
        return static_cast<Library>(library);
    }

    void* findData(Library library, const char* name) override {
        return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
    }

    void unloadLibrary(Library library) override {
        if (library) FreeLibrary(static_cast<HMODULE>(library));
    }

    std::string executableFolder() override {
        std::vector<wchar_t> path(32768);
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0 || n >= path.size()) return ".";
        std::string folder = wideToUtf8({path.data(), n});
        std::size_t slash = folder.find_last_of("\\/");
        return slash == std::string::npos ? "." : folder.substr(0, slash);
    }

    char folderSeparator() const override { return '\\'; }
    char pathListSeparator() const override { return ';'; }

    std::optional<std::string> environment(const char* name) override {
        std::wstring wideName = utf8ToWide(name);
        DWORD n = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
        if (n == 0) return std::nullopt;
        std::vector<wchar_t> value(n);
        n = GetEnvironmentVariableW(wideName.c_str(), value.data(), n);
        return wideToUtf8({value.data(), n});
    }

    void setEnvironment(const char* name, const std::optional<std::string>& value) override {
        std::wstring wideName = utf8ToWide(name);
        if (value)
            SetEnvironmentVariableW(wideName.c_str(), utf8ToWide(*value).c_str());
        else
            SetEnvironmentVariableW(wideName.c_str(), nullptr);
    }
};

} // namespace

Platform& platform() {
    static WindowsPlatform instance;
    return instance;
}

} // namespace k729::host
