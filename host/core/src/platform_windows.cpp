// Modules as Windows DLLs, through the system loader. Paths and environment
// values are UTF-8 on the host's side and UTF-16 towards the system.
#include "k729host/platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <vector>

namespace k729::host {
namespace {

std::wstring widen(const std::string& text) {
    if (text.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string narrow(const wchar_t* text, std::size_t length) {
    if (length == 0) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr,
                                nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::string systemError(DWORD code) {
    return "Windows error " + std::to_string(code);
}

class WindowsPlatform final : public Platform {
public:
    ErrorOr<Library> loadLibrary(const std::string& path) override {
        std::wstring wide = widen(path);
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
        std::string folder = narrow(path.data(), n);
        std::size_t slash = folder.find_last_of("\\/");
        return slash == std::string::npos ? "." : folder.substr(0, slash);
    }

    char folderSeparator() const override { return '\\'; }
    char pathListSeparator() const override { return ';'; }

    std::optional<std::string> environment(const char* name) override {
        std::wstring wideName = widen(name);
        DWORD n = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
        if (n == 0) return std::nullopt;
        std::vector<wchar_t> value(n);
        n = GetEnvironmentVariableW(wideName.c_str(), value.data(), n);
        return narrow(value.data(), n);
    }

    void setEnvironment(const char* name, const std::optional<std::string>& value) override {
        std::wstring wideName = widen(name);
        if (value)
            SetEnvironmentVariableW(wideName.c_str(), widen(*value).c_str());
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
