#include "write_file.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace k729::art {

bool writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes,
                         std::string* error) {
    const std::string temporary = path + ".tmp";
    auto fail = [&](const std::string& what) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        if (error) *error = what;
        return false;
    };
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return fail("cannot create " + temporary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) return fail("cannot write " + temporary);
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) return fail("cannot rename " + temporary + " to " + path + ": " + ec.message());
    return true;
}

void putU16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    putU16(out, value & 0xFFFF);
    putU16(out, value >> 16);
}

} // namespace k729::art
