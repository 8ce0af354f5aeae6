#include "k729binary/version_info.h"

#include <vector>

#include "k729binary/bytes.h"

namespace k729::binary {
namespace {

// Every block: length, value length, value type, a NUL-terminated UTF-16 key,
// padding to 4 bytes, the value, padding, then the child blocks.
struct Block {
    std::string key;
    std::uint64_t value = 0; // offset of the value
    std::uint16_t valueLength = 0;
    std::uint64_t children = 0; // offset of the first child
    std::uint64_t end = 0;
};

std::uint64_t aligned(std::uint64_t offset) {
    return (offset + 3) & ~std::uint64_t{3};
}

// UTF-16 text from `offset` up to a NUL or `end`; returns the offset after it.
std::uint64_t text(const Bytes& b, std::uint64_t offset, std::uint64_t end, std::string* out) {
    for (; offset + 2 <= end; offset += 2) {
        const std::uint16_t c = b.u16(offset, "version text");
        if (c == 0) return offset + 2;
        out->push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return end;
}

Block block(const Bytes& b, std::uint64_t offset, std::uint64_t parentEnd) {
    Block k;
    const std::uint16_t length = b.u16(offset, "version block length");
    if (length < 6 || offset + length > parentEnd)
        throw Malformed("version block at " + hex(offset) + " does not fit in its parent");
    k.end = offset + length;
    k.valueLength = b.u16(offset + 2, "version value length");
    const std::uint16_t type = b.u16(offset + 4, "version value type");
    k.value = aligned(text(b, offset + 6, k.end, &k.key));
    // Text values count UTF-16 units, binary ones bytes.
    const std::uint64_t valueBytes = type == 1 ? 2 * std::uint64_t{k.valueLength} : k.valueLength;
    if (k.value + valueBytes > k.end && valueBytes != 0)
        throw Malformed("version value of '" + k.key + "' runs past its block");
    k.children = aligned(k.value + valueBytes);
    return k;
}

void strings(const Bytes& b, const Block& parent, int depth, VersionInfo* info) {
    for (std::uint64_t at = parent.children; at + 6 <= parent.end;) {
        const Block child = block(b, at, parent.end);
        if (depth == 2) {
            std::string value;
            text(b, child.value, child.end, &value);
            info->strings[child.key] = value;
        } else if (depth < 2 && (depth == 1 || child.key == "StringFileInfo")) {
            strings(b, child, depth + 1, info);
        }
        at = aligned(child.end);
    }
}

} // namespace

std::optional<VersionInfo> readVersionInfo(std::span<const std::uint8_t> bytes,
                                           std::string* error) {
    try {
        const Bytes b(bytes);
        const Block root = block(b, 0, b.size());
        if (root.key != "VS_VERSION_INFO") throw Malformed("no VS_VERSION_INFO block");
        if (root.valueLength < 52) throw Malformed("no fixed version information");
        if (b.u32(root.value, "signature") != kFixedInfoSignature)
            throw Malformed("wrong fixed version signature");
        VersionInfo info;
        info.fileVersionHigh = b.u32(root.value + 8, "file version");
        info.fileVersionLow = b.u32(root.value + 12, "file version");
        info.fileType = b.u32(root.value + 36, "file type");
        strings(b, root, 0, &info);
        return info;
    } catch (const Malformed& e) {
        if (error) *error = e.what();
        return std::nullopt;
    }
}

} // namespace k729::binary
