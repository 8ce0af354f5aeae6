#include "test_support.h"

#include "k729host/text_encoding.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace k729::host::test {
namespace {

std::filesystem::path makeScratchFolder() {
#if defined(_WIN32)
    unsigned long id = GetCurrentProcessId();
#else
    unsigned long id = static_cast<unsigned long>(getpid());
#endif
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("k729-host-tests-" + std::to_string(id));
    std::filesystem::create_directories(folder);
    return folder;
}

// One folder per test process, removed when it ends.
struct ScratchFolder {
    std::filesystem::path path = makeScratchFolder();
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

const std::filesystem::path& scratchFolder() {
    static ScratchFolder folder;
    return folder.path;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

#if defined(_WIN32)
// The quoting that CommandLineToArgvW undoes.
std::wstring quote(const std::wstring& argument) {
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

int run(const std::vector<std::string>& arguments, const std::filesystem::path& out,
        const std::filesystem::path& err) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    auto open = [&](const std::filesystem::path& path) {
        return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE outFile = open(out);
    HANDLE errFile = open(err);
    std::wstring commandLine;
    for (const std::string& argument : arguments)
        commandLine += (commandLine.empty() ? L"" : L" ") + quote(host::utf8ToWide(argument));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outFile;
    startup.hStdError = errFile;
    PROCESS_INFORMATION process{};
    BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, &process);
    CloseHandle(outFile);
    CloseHandle(errFile);
    if (!started) throw std::runtime_error("cannot start " + arguments[0]);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(status);
}
#else
int run(const std::vector<std::string>& arguments, const std::filesystem::path& out,
        const std::filesystem::path& err) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child < 0) throw std::runtime_error("cannot fork");
    if (child == 0) {
        int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (outFd < 0 || errFd < 0) _exit(126);
        dup2(outFd, 1);
        dup2(errFd, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status)) throw std::runtime_error(arguments[0] + " did not exit normally");
    return WEXITSTATUS(status);
}
#endif

} // namespace

std::string binFolder() {
    return K729_TEST_BIN_DIR;
}

std::string gaugePath(std::string_view gauge) {
    return binFolder() + "/" + std::string(gauge) + ".gau";
}

std::string testModulePath(std::string_view name) {
    return binFolder() + "/test-modules/" + std::string(name) + ".gau";
}

std::string programPath() {
    return binFolder() + "/gaugehost" + K729_TEST_EXE_SUFFIX;
}

std::string soundLibraryPath() {
    return binFolder() + "/sound/GaugeSound" + K729_TEST_LIBRARY_SUFFIX;
}

std::string temporaryFile(std::string_view name, std::string_view contents) {
    std::filesystem::path path = scratchFolder() / std::string(name);
    std::ofstream(path, std::ios::binary) << contents;
    return path.string();
}

ProgramResult runGaugehost(const std::vector<std::string>& arguments) {
    static int runs = 0;
    std::filesystem::path folder = scratchFolder();
    std::filesystem::path out = folder / ("run" + std::to_string(++runs) + ".out");
    std::filesystem::path err = folder / ("run" + std::to_string(runs) + ".err");
    std::vector<std::string> command = {programPath()};
    command.insert(command.end(), arguments.begin(), arguments.end());
    int status = run(command, out, err);
    ProgramResult result{status, readFile(out), readFile(err)};
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return result;
}

} // namespace k729::host::test
