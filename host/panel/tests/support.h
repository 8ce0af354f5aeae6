// What the panel tests share: a fresh folder per test and the built modules.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include <unistd.h>

namespace k729::panel::testing {

inline std::string binFolder() {
    return K729_PANEL_TEST_BIN;
}

// Where the tests of this process make their folders.
inline std::filesystem::path testFolderRoot() {
    return std::filesystem::temp_directory_path() /
           ("k729-panel-tests-" + std::to_string(getpid()));
}

// A folder of its own for the running test, emptied first.
inline std::filesystem::path testFolder() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    const std::filesystem::path folder = testFolderRoot() / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

inline std::string writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

inline std::set<std::string> filesIn(const std::filesystem::path& folder) {
    std::set<std::string> names;
    if (!std::filesystem::exists(folder)) return names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

} // namespace k729::panel::testing
