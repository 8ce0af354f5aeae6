// The ELF reader on a small library built with the tests (K729_ELF_FIXTURE):
// its exported symbols and a named section, every truncation of it, and
// single-field corruptions that must each be caught.
#include "k729binary/elf_file.h"

#include <elf.h>
#include <link.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>

#include <gtest/gtest.h>

namespace k729::binary {
namespace {

std::vector<std::uint8_t> fixture() {
    std::ifstream in(K729_ELF_FIXTURE, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(ElfReader, ReadsTheFixtureLibrary) {
    std::string error;
    const auto elf = readElf(fixture(), &error);
    ASSERT_TRUE(elf) << error;
    EXPECT_EQ(elf->type, ET_DYN);

    std::map<std::string, const ElfSymbol*> symbols;
    for (const ElfSymbol& s : elf->dynamicSymbols)
        symbols[s.name] = &s;
    // Only what the version script leaves global, and nothing undefined.
    std::vector<std::string> names;
    for (const auto& [name, s] : symbols)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"fixtureBytes", "fixtureFunction", "fixtureObject",
                                               "fixtureWeak"}));
    if (names.size() != 4) return;

    EXPECT_EQ(symbols["fixtureObject"]->type, unsigned{STT_OBJECT});
    EXPECT_EQ(symbols["fixtureObject"]->binding, unsigned{STB_GLOBAL});
    EXPECT_EQ(symbols["fixtureObject"]->section, ".data");
    EXPECT_NE(symbols["fixtureObject"]->sectionFlags & SHF_WRITE, 0u);
    EXPECT_EQ(symbols["fixtureFunction"]->type, unsigned{STT_FUNC});
    EXPECT_NE(symbols["fixtureFunction"]->sectionFlags & SHF_EXECINSTR, 0u);
    EXPECT_EQ(symbols["fixtureWeak"]->binding, unsigned{STB_WEAK});
    EXPECT_EQ(symbols["fixtureBytes"]->section, ".fixture.bytes");
    EXPECT_EQ(symbols["fixtureBytes"]->size, 4u);

    const ElfSection* bytes = elf->section(".fixture.bytes");
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::string(bytes->data.begin(), bytes->data.end()), "K729");
    EXPECT_EQ(elf->section(".no.such.section"), nullptr);
}

TEST(ElfReader, EveryTruncationIsAnError) {
    const auto whole = fixture();
    ASSERT_FALSE(whole.empty());
    for (std::size_t size = 0; size < whole.size(); ++size)
        EXPECT_FALSE(readElf(std::span(whole).first(size))) << "cut at " << size;
}

// Corruptions of the fixture through its own headers (this machine's word size).
using Header = ElfW(Ehdr);
using SectionHeader = ElfW(Shdr);
using Symbol = ElfW(Sym);

template <class T> T get(const std::vector<std::uint8_t>& f, std::size_t at) {
    T value;
    std::memcpy(&value, &f[at], sizeof value);
    return value;
}
template <class T> void set(std::vector<std::uint8_t>& f, std::size_t at, const T& value) {
    std::memcpy(&f[at], &value, sizeof value);
}

// The file offset of the header of the first section of `type`.
std::size_t sectionHeader(const std::vector<std::uint8_t>& f, std::uint32_t type) {
    const auto h = get<Header>(f, 0);
    for (std::size_t i = 0; i < h.e_shnum; ++i) {
        const std::size_t at = h.e_shoff + i * h.e_shentsize;
        if (get<SectionHeader>(f, at).sh_type == type) return at;
    }
    throw std::runtime_error("fixture has no such section");
}

struct Corruption {
    const char* what;
    std::function<void(std::vector<std::uint8_t>&)> apply;
    const char* error;
};
void PrintTo(const Corruption& c, std::ostream* out) {
    *out << c.what;
}

class ElfCorruption : public testing::TestWithParam<Corruption> {};

TEST_P(ElfCorruption, IsReported) {
    auto file = fixture();
    ASSERT_FALSE(file.empty());
    GetParam().apply(file);
    std::string error;
    EXPECT_FALSE(readElf(file, &error));
    EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Fixture, ElfCorruption,
    testing::Values(Corruption{"BigEndian", [](auto& f) { f[EI_DATA] = ELFDATA2MSB; },
                               "little-endian"},
                    Corruption{"SectionTablePastTheEnd",
                               [](auto& f) {
                                   auto h = get<Header>(f, 0);
                                   h.e_shoff = f.size() - h.e_shentsize;
                                   set(f, 0, h);
                               },
                               "section header table"},
                    Corruption{"HugeSectionCount",
                               [](auto& f) {
                                   auto h = get<Header>(f, 0);
                                   h.e_shnum = 0; // the count then comes from section 0
                                   set(f, 0, h);
                                   auto first = get<SectionHeader>(f, h.e_shoff);
                                   first.sh_size = ~decltype(first.sh_size){0} / 2;
                                   set(f, h.e_shoff, first);
                               },
                               "section count larger than the file"},
                    Corruption{"NameTableIndexOutOfRange",
                               [](auto& f) {
                                   auto h = get<Header>(f, 0);
                                   h.e_shstrndx = h.e_shnum;
                                   set(f, 0, h);
                               },
                               "index out of range"},
                    Corruption{"SymbolTablePastTheEnd",
                               [](auto& f) {
                                   const std::size_t at = sectionHeader(f, SHT_DYNSYM);
                                   auto s = get<SectionHeader>(f, at);
                                   s.sh_offset = f.size() - 8;
                                   set(f, at, s);
                               },
                               "data of section '.dynsym'"},
                    Corruption{"SymbolStringTableOutOfRange",
                               [](auto& f) {
                                   const std::size_t at = sectionHeader(f, SHT_DYNSYM);
                                   auto s = get<SectionHeader>(f, at);
                                   s.sh_link = 0xFFFF;
                                   set(f, at, s);
                               },
                               "string table out of range"},
                    Corruption{"SymbolNamePastItsTable",
                               [](auto& f) {
                                   const auto table =
                                       get<SectionHeader>(f, sectionHeader(f, SHT_DYNSYM));
                                   // Every entry after the null one.
                                   for (std::size_t at = table.sh_offset + sizeof(Symbol);
                                        at < table.sh_offset + table.sh_size;
                                        at += sizeof(Symbol)) {
                                       auto sym = get<Symbol>(f, at);
                                       sym.st_name = 0x7FFFFFFF;
                                       set(f, at, sym);
                                   }
                               },
                               "symbol name"}),
    [](const testing::TestParamInfo<Corruption>& info) { return info.param.what; });

} // namespace
} // namespace k729::binary
