#include "k729binary/bundle_file.h"

#include <algorithm>

#include "k729art/bundle.h"
#include "k729binary/bytes.h"

namespace k729::binary {

std::optional<std::vector<BundleResource>> readBundle(std::span<const std::uint8_t> bytes,
                                                      std::string* error) {
    using art::BundleEntry;
    using art::BundleHeader;
    try {
        const Bytes file(bytes);
        const auto magic = file.slice(0, sizeof art::kBundleMagic, "bundle magic");
        if (!std::equal(magic.begin(), magic.end(), std::begin(art::kBundleMagic)))
            throw Malformed("no bundle magic");
        const std::uint32_t count = file.u32(8, "bundle entry count");
        const std::uint64_t tableEnd =
            sizeof(BundleHeader) + std::uint64_t{count} * sizeof(BundleEntry);
        file.slice(0, tableEnd, "bundle entry table");
        std::vector<BundleResource> resources;
        for (std::uint32_t i = 0; i < count; ++i) {
            const Bytes entry(
                file.slice(sizeof(BundleHeader) + std::uint64_t{i} * sizeof(BundleEntry),
                           sizeof(BundleEntry), "bundle entry"));
            BundleResource r;
            r.type = entry.u32(0, "bundle entry type");
            r.id = entry.u32(4, "bundle entry id");
            r.language = entry.u32(8, "bundle entry language");
            const std::uint32_t offset = entry.u32(12, "bundle entry offset");
            const std::uint32_t size = entry.u32(16, "bundle entry size");
            // A payload over the header or table would be read as both.
            if (offset < tableEnd)
                throw Malformed("payload of resource " + std::to_string(r.id) +
                                " overlaps the entry table");
            const auto data = file.slice(offset, size, "bundle payload");
            r.data.assign(data.begin(), data.end());
            resources.push_back(std::move(r));
        }
        return resources;
    } catch (const Malformed& e) {
        if (error) *error = e.what();
        return std::nullopt;
    }
}

} // namespace k729::binary
