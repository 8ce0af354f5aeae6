#include "k729binary/pe_file.h"

#include <algorithm>
#include <set>

#include "k729binary/bytes.h"

namespace k729::binary {
namespace {

constexpr std::size_t kDirectoryExport = 0;
constexpr std::size_t kDirectoryImport = 1;
constexpr std::size_t kDirectoryResource = 2;
constexpr std::size_t kDirectoryDelayImport = 13;

constexpr std::uint32_t kHighBit = 0x80000000;

struct DataDirectory {
    std::uint32_t rva = 0;
    std::uint32_t size = 0;
};

std::string sectionName(std::span<const std::uint8_t> field) {
    std::string name;
    for (std::uint8_t c : field) {
        if (c == 0) break;
        name.push_back(static_cast<char>(c));
    }
    return name;
}

class PeReader {
public:
    explicit PeReader(std::span<const std::uint8_t> bytes) : file_(bytes) {}

    PeFile read() {
        readHeaders();
        readExports();
        readImports();
        readDelayImports();
        readResources();
        return std::move(pe_);
    }

private:
    Bytes file_;
    PeFile pe_;
    std::uint64_t imageBase_ = 0;
    std::vector<DataDirectory> directories_;

    void readHeaders() {
        if (file_.u16(0, "DOS header") != 0x5A4D) throw Malformed("no MZ signature");
        const std::uint64_t pe = file_.u32(0x3C, "offset of the PE header");
        if (file_.u32(pe, "PE signature") != 0x00004550) throw Malformed("no PE signature");
        const std::uint64_t coff = pe + 4;
        pe_.machine = file_.u16(coff, "machine");
        const std::uint16_t sectionCount = file_.u16(coff + 2, "section count");
        const std::uint16_t optionalSize = file_.u16(coff + 16, "optional header size");
        pe_.characteristics = file_.u16(coff + 18, "characteristics");

        const std::uint64_t optional = coff + 20;
        const Bytes header(file_.slice(optional, optionalSize, "optional header"));
        pe_.optionalMagic = header.u16(0, "optional header magic");
        std::uint64_t countOffset = 0;
        if (pe_.optionalMagic == kOptionalPe32) {
            imageBase_ = header.u32(28, "image base");
            countOffset = 92;
        } else if (pe_.optionalMagic == kOptionalPe32Plus) {
            imageBase_ = header.u64(24, "image base");
            countOffset = 108;
        } else {
            throw Malformed("unknown optional header magic " + hex(pe_.optionalMagic));
        }
        const std::uint32_t directoryCount = header.u32(countOffset, "data directory count");
        if (directoryCount > 16) throw Malformed("more than 16 data directories");
        for (std::uint32_t i = 0; i < directoryCount; ++i) {
            const std::uint64_t at = countOffset + 4 + 8 * std::uint64_t{i};
            directories_.push_back(
                {header.u32(at, "data directory"), header.u32(at + 4, "data directory size")});
        }

        const std::uint64_t table = optional + optionalSize;
        file_.slice(table, 40 * std::uint64_t{sectionCount}, "section table");
        for (std::uint16_t i = 0; i < sectionCount; ++i) {
            const Bytes entry(file_.slice(table + 40 * std::uint64_t{i}, 40, "section header"));
            PeSection s;
            s.name = sectionName(entry.slice(0, 8, "section name"));
            s.virtualSize = entry.u32(8, "section size");
            s.virtualAddress = entry.u32(12, "section address");
            s.rawSize = entry.u32(16, "section raw size");
            s.rawOffset = entry.u32(20, "section raw offset");
            s.characteristics = entry.u32(36, "section characteristics");
            if (s.rawSize != 0 && !file_.contains(s.rawOffset, s.rawSize))
                throw Malformed("the data of section '" + s.name +
                                "' runs past the end of the file");
            if (std::uint64_t{s.virtualAddress} + extent(s) > 0x100000000)
                throw Malformed("section '" + s.name + "' ends beyond 4 GiB");
            if (!pe_.sections.empty()) {
                const PeSection& before = pe_.sections.back();
                if (s.virtualAddress < std::uint64_t{before.virtualAddress} + extent(before))
                    throw Malformed("section '" + s.name + "' overlaps or precedes '" +
                                    before.name + "'");
            }
            pe_.sections.push_back(std::move(s));
        }
    }

    static std::uint32_t extent(const PeSection& s) {
        return s.virtualSize != 0 ? s.virtualSize : s.rawSize;
    }

    DataDirectory directory(std::size_t index) const {
        return index < directories_.size() ? directories_[index] : DataDirectory{};
    }

    std::optional<std::size_t> sectionOf(std::uint64_t rva) const {
        for (std::size_t i = 0; i < pe_.sections.size(); ++i) {
            const PeSection& s = pe_.sections[i];
            if (rva >= s.virtualAddress && rva - s.virtualAddress < extent(s)) return i;
        }
        return std::nullopt;
    }

    // The bytes of the section from `rva` to the end of its data in the file.
    Bytes from(std::uint64_t rva, const std::string& what) const {
        const std::optional<std::size_t> index = sectionOf(rva);
        if (!index) throw Malformed(what + " at RVA " + hex(rva) + " lies outside every section");
        const PeSection& s = pe_.sections[*index];
        const std::uint64_t backed = std::min(s.rawSize, extent(s));
        const std::uint64_t into = rva - s.virtualAddress;
        if (into >= backed)
            throw Malformed(what + " at RVA " + hex(rva) + " has no data in the file");
        return Bytes(file_.slice(s.rawOffset + into, backed - into, what.c_str()));
    }

    std::span<const std::uint8_t> at(std::uint64_t rva, std::uint64_t count,
                                     const std::string& what) const {
        return from(rva, what).slice(0, count, what.c_str());
    }
    std::uint32_t u32(std::uint64_t rva, const std::string& what) const {
        return from(rva, what).u32(0, what.c_str());
    }
    std::uint16_t u16(std::uint64_t rva, const std::string& what) const {
        return from(rva, what).u16(0, what.c_str());
    }
    std::string cString(std::uint64_t rva, const std::string& what) const {
        return from(rva, what).cString(0, what.c_str());
    }

    void readExports() {
        const DataDirectory dir = directory(kDirectoryExport);
        if (dir.rva == 0) return;
        pe_.hasExportDirectory = true;
        const Bytes table(at(dir.rva, 40, "export directory"));
        pe_.exportName = cString(table.u32(12, "export name"), "export directory name");
        const std::uint32_t base = table.u32(16, "ordinal base");
        const std::uint32_t functionCount = table.u32(20, "export count");
        const std::uint32_t nameCount = table.u32(24, "export name count");
        const Bytes functions(at(table.u32(28, "export addresses"),
                                 4 * std::uint64_t{functionCount}, "export address table"));
        const Bytes names(
            at(table.u32(32, "export names"), 4 * std::uint64_t{nameCount}, "export name table"));
        const Bytes ordinals(at(table.u32(36, "export ordinals"), 2 * std::uint64_t{nameCount},
                                "export ordinal table"));

        std::vector<std::vector<std::string>> namesOf(functionCount);
        for (std::uint32_t i = 0; i < nameCount; ++i) {
            const std::uint16_t index = ordinals.u16(2 * std::uint64_t{i}, "export ordinal");
            std::string name =
                cString(names.u32(4 * std::uint64_t{i}, "export name"), "export name");
            if (index >= functionCount)
                throw Malformed("export '" + name + "' names ordinal index " +
                                std::to_string(index) + " of " + std::to_string(functionCount));
            namesOf[index].push_back(std::move(name));
        }

        for (std::uint32_t i = 0; i < functionCount; ++i) {
            const std::uint32_t rva = functions.u32(4 * std::uint64_t{i}, "export address");
            if (rva == 0) continue; // an unused ordinal
            if (namesOf[i].empty()) namesOf[i].emplace_back();
            for (std::string& name : namesOf[i]) {
                PeExport e;
                e.name = std::move(name);
                e.ordinal = base + i;
                e.rva = rva;
                const std::string what =
                    "export '" + (e.name.empty() ? "#" + std::to_string(e.ordinal) : e.name) + "'";
                if (rva >= dir.rva && rva - dir.rva < dir.size) {
                    e.forwarder = cString(rva, what + " forwarder");
                } else {
                    const std::optional<std::size_t> section = sectionOf(rva);
                    if (!section)
                        throw Malformed(what + " at RVA " + hex(rva) +
                                        " lies outside every section");
                    e.section = *section;
                    e.sectionFlags = pe_.sections[*section].characteristics;
                }
                pe_.exports.push_back(std::move(e));
            }
        }
    }

    // Descriptor tables end with an all-zero entry.
    static bool allZero(std::span<const std::uint8_t> bytes) {
        return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
    }

    void readImports() {
        const DataDirectory dir = directory(kDirectoryImport);
        if (dir.rva == 0) return;
        const Bytes table = from(dir.rva, "import directory");
        for (std::uint64_t at = 0;; at += 20) {
            const Bytes entry(table.slice(at, 20, "import descriptor"));
            if (allZero(entry.slice(0, 20, "import descriptor"))) break;
            pe_.imports.push_back(cString(entry.u32(12, "import name"), "imported DLL name"));
        }
    }

    void readDelayImports() {
        const DataDirectory dir = directory(kDirectoryDelayImport);
        if (dir.rva == 0) return;
        const Bytes table = from(dir.rva, "delay-load directory");
        for (std::uint64_t at = 0;; at += 32) {
            const Bytes entry(table.slice(at, 32, "delay-load descriptor"));
            if (allZero(entry.slice(0, 32, "delay-load descriptor"))) break;
            std::uint64_t name = entry.u32(4, "delay-load name");
            // Without the RVA flag, the old layout holds addresses.
            if ((entry.u32(0, "delay-load attributes") & 1) == 0) {
                if (name < imageBase_) throw Malformed("delay-load name below the image base");
                name -= imageBase_;
            }
            pe_.delayImports.push_back(cString(name, "delay-loaded DLL name"));
        }
    }

    // Resource tree: type, then name, then language directories, then data
    // entries. Offsets inside the tree count from the root directory.
    void readResources() {
        const DataDirectory dir = directory(kDirectoryResource);
        if (dir.rva == 0) return;
        root_ = dir.rva;
        std::vector<PeResourceKey> path;
        readResourceDirectory(0, path);
    }

    std::uint64_t root_ = 0;
    std::set<std::uint32_t> directoriesSeen_;
    std::set<std::uint32_t> entriesSeen_;
    std::uint64_t resourceBytes_ = 0;

    PeResourceKey resourceKey(std::uint32_t field) const {
        PeResourceKey key;
        if ((field & kHighBit) == 0) {
            key.id = field;
            return key;
        }
        const std::uint64_t rva = root_ + (field & ~kHighBit);
        const std::uint16_t length = u16(rva, "resource name");
        const Bytes text(at(rva + 2, 2 * std::uint64_t{length}, "resource name"));
        for (std::uint16_t i = 0; i < length; ++i) {
            const std::uint16_t c = text.u16(2 * std::uint64_t{i}, "resource name");
            key.name.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        }
        if (key.name.empty()) throw Malformed("empty resource name");
        return key;
    }

    void readResourceDirectory(std::uint32_t offset, std::vector<PeResourceKey>& path) {
        // Each directory is reached once: a loop would never end, and a shared
        // subtree could multiply the work without bound.
        if (!directoriesSeen_.insert(offset).second)
            throw Malformed("resource directory at offset " + hex(offset) +
                            " is reached twice (a loop in the tree)");
        const Bytes header(at(root_ + offset, 16, "resource directory"));
        const std::uint32_t count =
            std::uint32_t{header.u16(12, "named entry count")} + header.u16(14, "id entry count");
        const Bytes entries(
            at(root_ + offset + 16, 8 * std::uint64_t{count}, "resource directory entries"));
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t nameField = entries.u32(8 * std::uint64_t{i}, "resource entry");
            const std::uint32_t target = entries.u32(8 * std::uint64_t{i} + 4, "resource entry");
            path.push_back(resourceKey(nameField));
            if (target & kHighBit) {
                if (path.size() == 3)
                    throw Malformed("resource language entry leads to another directory");
                readResourceDirectory(target & ~kHighBit, path);
            } else {
                if (path.size() != 3)
                    throw Malformed("resource data entry above the language level");
                readResourceData(target, path);
            }
            path.pop_back();
        }
    }

    void readResourceData(std::uint32_t offset, const std::vector<PeResourceKey>& path) {
        if (!entriesSeen_.insert(offset).second)
            throw Malformed("resource data entry at offset " + hex(offset) + " is used twice");
        const Bytes entry(at(root_ + offset, 16, "resource data entry"));
        PeResource r;
        r.type = path[0];
        r.id = path[1];
        if (path[2].isNamed()) throw Malformed("resource language is a name");
        r.language = path[2].id;
        const std::uint32_t size = entry.u32(4, "resource size");
        r.codePage = entry.u32(8, "resource code page");
        // Resources never share bytes, so together they fit in the file.
        resourceBytes_ += size;
        if (resourceBytes_ > file_.size()) throw Malformed("resources larger than the file");
        const auto data = at(entry.u32(0, "resource data"), size, "resource data");
        r.data.assign(data.begin(), data.end());
        pe_.resources.push_back(std::move(r));
    }
};

} // namespace

std::optional<PeFile> readPe(std::span<const std::uint8_t> bytes, std::string* error) {
    try {
        return PeReader(bytes).read();
    } catch (const Malformed& e) {
        if (error) *error = e.what();
        return std::nullopt;
    }
}

} // namespace k729::binary
