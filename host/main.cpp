// gaugehost: the bench host for gauge modules. One subcommand per job; each
// registers its options with the command line and runs once it is chosen.
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "command.h"
#include "k729host/text_encoding.h"
#include "probe/probe.h"
#include "view/inspect.h"
#include "view/render.h"
#if defined(K729_HOST_PANEL)
#include "panel/run_command.h"
#endif

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#endif

namespace {

// The arguments as UTF-8 on every platform: Windows hands a program its
// arguments in the ANSI code page unless it asks for the wide ones.
std::vector<std::string> arguments(int argc, char** argv) {
#if defined(_WIN32)
    (void)argc;
    (void)argv;
    std::vector<std::string> out;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 0; wide && i < count; ++i)
        out.push_back(k729::host::wideToUtf8(wide[i]));
    LocalFree(wide);
    return out;
#else
    return std::vector<std::string>(argv, argv + argc);
#endif
}

// CLI11's messages may span lines; a usage error is reported on one.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

} // namespace

int main(int argc, char** argv) {
    using namespace k729::host;

    CLI::App app("Bench host for K729 gauge modules", "gaugehost");
    app.require_subcommand(1);
    // Module paths start with a slash; they are not /options, on any platform.
    app.allow_windows_style_options(false);
    // Each registers itself; the one the command line names runs.
    probe::ProbeCommand probeCommand(app);
    view::RenderCommand renderCommand(app);
    view::InspectCommand inspectCommand(app);
    std::vector<const Command*> commands = {&probeCommand, &renderCommand, &inspectCommand};
#if defined(K729_HOST_PANEL)
    k729::panel::RunCommand runCommand(app);
    k729::panel::DemoCommand demoCommand(app);
    commands.push_back(&runCommand);
    commands.push_back(&demoCommand);
#endif

    // CLI11 prints a footer without a final newline.
    for (CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; }))
        if (std::string footer = sub->get_footer(); !footer.empty() && footer.back() != '\n')
            sub->footer(footer + '\n');

    std::vector<std::string> args = arguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& arg : args)
        pointers.push_back(arg.c_str());
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help, std::cout, std::cerr);
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help, std::cout, std::cerr);
    } catch (const CLI::ParseError& error) {
        std::cerr << "gaugehost: " << oneLine(error.what()) << '\n';
        return probe::kProbeBadUsage;
    }

    for (const Command* command : commands)
        if (command->selected()) return command->run(std::cout, std::cerr);
    return probe::kProbeBadUsage; // require_subcommand makes this unreachable
}
