// Where the tests find the built modules and programs, and how they run the
// real gaugehost binary.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace k729::host::test {

std::string binFolder();
std::string gaugePath(std::string_view gauge);     // a real gauge in bin/
std::string testModulePath(std::string_view name); // a module of these tests
std::string programPath();                         // gaugehost
std::string soundLibraryPath();                    // the complete stand-in

// A file in a fresh temporary folder of this process, with these contents.
std::string temporaryFile(std::string_view name, std::string_view contents);

struct ProgramResult {
    int status;
    std::string out; // carriage returns removed
    std::string err;
};

// Runs gaugehost with these arguments and waits for it.
ProgramResult runGaugehost(const std::vector<std::string>& arguments);

} // namespace k729::host::test
