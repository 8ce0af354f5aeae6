#include "k729binary/bytes.h"

#include <cstdio>

namespace k729::binary {

std::string hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

std::span<const std::uint8_t> Bytes::slice(std::uint64_t offset, std::uint64_t count,
                                           const char* what) const {
    if (!contains(offset, count))
        throw Malformed(std::string(what) + " (" + std::to_string(count) + " bytes at " +
                        hex(offset) + ") runs past the end of " + std::to_string(size()) +
                        " bytes");
    return bytes_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(count));
}

std::uint8_t Bytes::u8(std::uint64_t offset, const char* what) const {
    return slice(offset, 1, what)[0];
}

std::uint16_t Bytes::u16(std::uint64_t offset, const char* what) const {
    auto b = slice(offset, 2, what);
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}

std::uint32_t Bytes::u32(std::uint64_t offset, const char* what) const {
    auto b = slice(offset, 4, what);
    return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
           std::uint32_t{b[3]} << 24;
}

std::uint64_t Bytes::u64(std::uint64_t offset, const char* what) const {
    return std::uint64_t{u32(offset, what)} | std::uint64_t{u32(offset + 4, what)} << 32;
}

std::string Bytes::cString(std::uint64_t offset, const char* what, std::size_t limit) const {
    if (offset > size()) throw Malformed(std::string(what) + " starts past the end");
    std::string text;
    for (std::uint64_t at = offset; at < size(); ++at) {
        const std::uint8_t c = bytes_[static_cast<std::size_t>(at)];
        if (c == 0) return text;
        if (text.size() == limit)
            throw Malformed(std::string(what) + " is longer than " + std::to_string(limit));
        text.push_back(static_cast<char>(c));
    }
    throw Malformed(std::string(what) + " at " + hex(offset) + " has no terminating NUL");
}

} // namespace k729::binary
