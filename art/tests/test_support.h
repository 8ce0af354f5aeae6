// Reading back what the toolkit writes, independently of how it writes it,
// and a scratch folder per test.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "k729art/art.h"

namespace k729::art::testing {

inline std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16) |
           (static_cast<std::uint32_t>(b.at(at + 3)) << 24);
}
inline std::uint16_t u16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}

// A BMP file decoded back to a canvas; asserts the layout the host expects
// (8 bits, 256-entry table, bottom-up, uncompressed).
inline Canvas decodeBmp(const std::vector<std::uint8_t>& file) {
    EXPECT_GE(file.size(), 14u + 40u + 1024u);
    if (file.size() < 14u + 40u + 1024u) return Canvas(0, 0);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(u32(file, 2), file.size());
    EXPECT_EQ(u32(file, 14), 40u);
    EXPECT_EQ(u16(file, 28), 8u);
    EXPECT_EQ(u32(file, 30), 0u);
    EXPECT_EQ(u32(file, 46), 256u);
    const int w = static_cast<int>(u32(file, 18));
    const int h = static_cast<int>(u32(file, 22));
    const std::size_t stride = (static_cast<std::size_t>(w) + 3) & ~std::size_t{3};
    const std::size_t pixels = u32(file, 10);
    EXPECT_EQ(pixels, 14u + 40u + 1024u);
    EXPECT_EQ(file.size(), pixels + stride * static_cast<std::size_t>(h));
    if (file.size() != pixels + stride * static_cast<std::size_t>(h)) return Canvas(0, 0);
    Canvas picture(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t entry =
                54 + 4 * std::size_t{file[pixels + static_cast<std::size_t>(h - 1 - y) * stride +
                                          static_cast<std::size_t>(x)]};
            picture.set(x, y, Rgb{file[entry + 2], file[entry + 1], file[entry]});
        }
    return picture;
}

inline bool samePixels(const Canvas& a, const Canvas& b) {
    if (a.width() != b.width() || a.height() != b.height()) return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.at(x, y) != b.at(x, y)) return false;
    return true;
}

inline int differingPixels(const Canvas& a, const Canvas& b) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += a.at(x, y) != b.at(x, y);
    return count;
}

// A fresh folder under the system's temporary directory, removed afterwards.
class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // The process id keeps two builds running the tests at once apart.
        std::string name = "k729-art-" + std::to_string(::getpid()) + "-" +
                           info->test_suite_name() + "-" + info->name();
        std::replace(name.begin(), name.end(), '/', '_');
        dir_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    const std::filesystem::path& dir() const { return dir_; }

private:
    std::filesystem::path dir_;
};

// Names in a folder, to show that no temporary file is left behind.
inline std::vector<std::string> listing(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace k729::art::testing
