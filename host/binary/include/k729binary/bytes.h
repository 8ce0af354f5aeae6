// Bounds-checked little-endian reads from a file's bytes, shared by the
// readers. Every read either lies wholly inside the bytes or throws Malformed,
// so a reader cannot step outside a truncated or lying file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace k729::binary {

struct Malformed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string hex(std::uint64_t value);

class Bytes {
public:
    explicit Bytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t size() const { return bytes_.size(); }
    bool contains(std::uint64_t offset, std::uint64_t count) const {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }

    // `what` names the field in the error message.
    std::span<const std::uint8_t> slice(std::uint64_t offset, std::uint64_t count,
                                        const char* what) const;
    std::uint8_t u8(std::uint64_t offset, const char* what) const;
    std::uint16_t u16(std::uint64_t offset, const char* what) const;
    std::uint32_t u32(std::uint64_t offset, const char* what) const;
    std::uint64_t u64(std::uint64_t offset, const char* what) const;
    // A NUL-terminated string starting at `offset`; the NUL must lie within
    // the bytes and within `limit` characters.
    std::string cString(std::uint64_t offset, const char* what, std::size_t limit = 4096) const;

private:
    std::span<const std::uint8_t> bytes_;
};

} // namespace k729::binary
