#include "k729binary/elf_file.h"

#include <algorithm>
#include <iterator>

#include "k729binary/bytes.h"

namespace k729::binary {
namespace {

// The values of the format this reader needs, written out rather than taken
// from a system header, so that a Windows build can read ELF files too.
constexpr std::size_t kIdentBytes = 16;
constexpr std::uint8_t kMagic[4] = {0x7F, 'E', 'L', 'F'};
constexpr std::size_t kClassByte = 4, kDataByte = 5;
constexpr std::uint8_t kClass32 = 1, kClass64 = 2, kLittleEndian = 1;
constexpr std::uint64_t kSectionHeaderSize32 = 40, kSectionHeaderSize64 = 64;
constexpr std::uint64_t kSymbolSize32 = 16, kSymbolSize64 = 24;
constexpr std::uint32_t kSectionNull = 0, kSectionDynamicSymbols = 11, kSectionNoBits = 8;
constexpr std::uint16_t kIndexUndefined = 0, kIndexLowReserved = 0xFF00, kIndexAbsolute = 0xFFF1,
                        kIndexExtended = 0xFFFF;
constexpr unsigned kBindGlobal = 1, kBindWeak = 2, kBindUnique = 10;

class ElfReader {
public:
    explicit ElfReader(std::span<const std::uint8_t> bytes) : file_(bytes) {}

    ElfFile read() {
        const auto ident = file_.slice(0, kIdentBytes, "identification");
        if (!std::equal(std::begin(kMagic), std::end(kMagic), ident.begin()))
            throw Malformed("no ELF signature");
        if (ident[kDataByte] != kLittleEndian) throw Malformed("not a little-endian file");
        if (ident[kClassByte] == kClass64)
            is64_ = true;
        else if (ident[kClassByte] != kClass32)
            throw Malformed("unknown ELF class");
        elf_.is64 = is64_;
        elf_.type = file_.u16(16, "file type");
        elf_.machine = file_.u16(18, "machine");
        readSections();
        readDynamicSymbols();
        return std::move(elf_);
    }

private:
    Bytes file_;
    ElfFile elf_;
    bool is64_ = false;

    // A natural-size word: 8 bytes in 64-bit files, 4 in 32-bit ones.
    std::uint64_t word(const Bytes& b, std::uint64_t offset, const char* what) const {
        return is64_ ? b.u64(offset, what) : b.u32(offset, what);
    }

    struct RawSection {
        std::uint32_t name, type, link;
        std::uint64_t flags, address, offset, size, entrySize;
    };
    std::vector<RawSection> raw_;

    void readSections() {
        const std::uint64_t tableOffset = word(file_, is64_ ? 40 : 32, "section table offset");
        const std::uint16_t entrySize = file_.u16(is64_ ? 58 : 46, "section header size");
        std::uint64_t count = file_.u16(is64_ ? 60 : 48, "section count");
        const std::uint16_t shortNamesIndex = file_.u16(is64_ ? 62 : 50, "section name index");
        if (tableOffset == 0) return; // no section table
        if (entrySize < (is64_ ? kSectionHeaderSize64 : kSectionHeaderSize32))
            throw Malformed("section headers too small");
        // Beyond 0xFF00 sections the real count and name index live in section 0.
        const Bytes first(file_.slice(tableOffset, entrySize, "section header 0"));
        if (count == 0) count = word(first, is64_ ? 32 : 20, "section count");
        std::uint64_t namesIndex = shortNamesIndex;
        if (namesIndex == kIndexExtended) namesIndex = first.u32(is64_ ? 40 : 24, "section link");
        if (count > file_.size() / entrySize) throw Malformed("section count larger than the file");
        const Bytes table(file_.slice(tableOffset, count * entrySize, "section header table"));
        for (std::uint64_t i = 0; i < count; ++i) {
            const Bytes h(table.slice(i * entrySize, entrySize, "section header"));
            RawSection s{};
            s.name = h.u32(0, "section name");
            s.type = h.u32(4, "section type");
            s.flags = word(h, 8, "section flags");
            s.address = word(h, is64_ ? 16 : 12, "section address");
            s.offset = word(h, is64_ ? 24 : 16, "section offset");
            s.size = word(h, is64_ ? 32 : 20, "section size");
            s.link = h.u32(is64_ ? 40 : 24, "section link");
            s.entrySize = word(h, is64_ ? 56 : 36, "section entry size");
            raw_.push_back(s);
        }
        if (namesIndex >= raw_.size()) throw Malformed("section name table index out of range");
        const Bytes names(sectionBytes(namesIndex, "section name table"));
        for (std::size_t i = 0; i < raw_.size(); ++i) {
            ElfSection s;
            s.name = i == 0 ? std::string() : names.cString(raw_[i].name, "section name");
            s.type = raw_[i].type;
            s.flags = raw_[i].flags;
            s.address = raw_[i].address;
            const auto data = sectionBytes(i, ("data of section '" + s.name + "'").c_str());
            s.data.assign(data.begin(), data.end());
            elf_.sections.push_back(std::move(s));
        }
    }

    std::span<const std::uint8_t> sectionBytes(std::size_t index, const char* what) const {
        const RawSection& s = raw_[index];
        if (s.type == kSectionNoBits || s.type == kSectionNull) return {};
        return file_.slice(s.offset, s.size, what);
    }

    void readDynamicSymbols() {
        for (std::size_t i = 0; i < raw_.size(); ++i) {
            if (raw_[i].type != kSectionDynamicSymbols) continue;
            const std::uint64_t size = is64_ ? kSymbolSize64 : kSymbolSize32;
            if (raw_[i].entrySize != size) throw Malformed("unexpected symbol entry size");
            if (raw_[i].link >= raw_.size()) throw Malformed("symbol string table out of range");
            const Bytes symbols(sectionBytes(i, "dynamic symbol table"));
            const Bytes strings(sectionBytes(raw_[i].link, "dynamic string table"));
            // Entry 0 is the null symbol.
            for (std::uint64_t at = size; at + size <= symbols.size(); at += size) {
                const Bytes sym(symbols.slice(at, size, "symbol"));
                const std::uint8_t info = sym.u8(is64_ ? 4 : 12, "symbol info");
                const std::uint8_t other = sym.u8(is64_ ? 5 : 13, "symbol visibility");
                const std::uint16_t index = sym.u16(is64_ ? 6 : 14, "symbol section");
                const unsigned binding = info >> 4;
                if (index == kIndexUndefined ||
                    (binding != kBindGlobal && binding != kBindWeak && binding != kBindUnique))
                    continue;
                ElfSymbol s;
                s.name = strings.cString(sym.u32(0, "symbol name"), "symbol name");
                s.type = info & 0xF;
                s.binding = binding;
                s.visibility = other & 0x3;
                s.value = is64_ ? sym.u64(8, "symbol value") : sym.u32(4, "symbol value");
                s.size = is64_ ? sym.u64(16, "symbol size") : sym.u32(8, "symbol size");
                if (index == kIndexAbsolute) {
                    s.section = "*ABS*";
                } else if (index >= kIndexLowReserved || index >= elf_.sections.size()) {
                    throw Malformed("symbol '" + s.name + "' in section " + std::to_string(index) +
                                    " of " + std::to_string(elf_.sections.size()));
                } else {
                    s.section = elf_.sections[index].name;
                    s.sectionFlags = elf_.sections[index].flags;
                }
                elf_.dynamicSymbols.push_back(std::move(s));
            }
        }
    }
};

} // namespace

const ElfSection* ElfFile::section(std::string_view name) const {
    for (const ElfSection& s : sections)
        if (s.name == name) return &s;
    return nullptr;
}

std::optional<ElfFile> readElf(std::span<const std::uint8_t> bytes, std::string* error) {
    try {
        return ElfReader(bytes).read();
    } catch (const Malformed& e) {
        if (error) *error = e.what();
        return std::nullopt;
    }
}

} // namespace k729::binary
