// Checks of the built module files themselves, in both formats: what they
// export, what they import and which bitmaps they carry. The folders come
// from the environment:
//   K729_PE_BIN   the 32-bit Windows build's bin/ (PE modules)
//   K729_ELF_BIN  the native build's bin/ (ELF modules)
//   K729_GAUGES   the gauges the build defines, comma-separated
#include <elf.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "k729binary/bundle_file.h"
#include "k729binary/bytes.h"
#include "k729binary/elf_file.h"
#include "k729binary/pe_file.h"
#include "k729binary/version_info.h"
#include "module_table.h"

namespace k729::checks {
namespace {

using binary::BundleResource;
using binary::ElfFile;
using binary::PeFile;
using binary::PeResource;

constexpr std::uint32_t kResourceBitmap = 2;
constexpr std::uint32_t kResourceVersion = 16;
constexpr std::uint32_t kLanguageEnUs = 1033;

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return std::string(value);
}

std::vector<std::uint8_t> readFile(const std::filesystem::path& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open " + path.string();
        return {};
    }
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string moduleFile(const ExpectedModule& m) {
    return m.name + ".gau";
}

// What is wrong with a bitmap resource (a BMP file without its file header),
// or nothing: a 40-byte BITMAPINFOHEADER, 8 bits per pixel, uncompressed,
// bottom-up rows, a full 256-entry colour table and exactly the pixel rows.
std::string bitmapProblem(std::span<const std::uint8_t> data, const ExpectedBitmap& expected) {
    const binary::Bytes b(data);
    if (data.size() < 40) return "shorter than a BITMAPINFOHEADER";
    const std::uint32_t headerSize = b.u32(0, "");
    const auto width = static_cast<std::int32_t>(b.u32(4, ""));
    const auto height = static_cast<std::int32_t>(b.u32(8, ""));
    const std::uint16_t planes = b.u16(12, "");
    const std::uint16_t bits = b.u16(14, "");
    const std::uint32_t compression = b.u32(16, "");
    const std::uint32_t imageSize = b.u32(20, "");
    const std::uint32_t coloursUsed = b.u32(32, "");
    std::ostringstream problem;
    if (headerSize != 40) problem << "header size " << headerSize << "; ";
    if (width != expected.width || height != expected.height)
        problem << "size " << width << "x" << height << ", expected " << expected.width << "x"
                << expected.height << "; ";
    if (planes != 1) problem << planes << " planes; ";
    if (bits != 8) problem << bits << " bits per pixel; ";
    if (compression != 0) problem << "compression " << compression << "; ";
    if (coloursUsed != 0 && coloursUsed != 256) problem << coloursUsed << " colours; ";
    if (expected.width > 0 && expected.height > 0) {
        const std::uint64_t rows = std::uint64_t((expected.width + 3) & ~3) * expected.height;
        if (imageSize != 0 && imageSize != rows) problem << "image size " << imageSize << "; ";
        const std::uint64_t total = 40 + 256 * 4 + rows;
        if (data.size() != total) problem << data.size() << " bytes, expected " << total << "; ";
    }
    return problem.str();
}

std::set<std::uint32_t> expectedIds(const ExpectedModule& m) {
    std::set<std::uint32_t> ids;
    for (const ExpectedBitmap& b : m.bitmaps)
        ids.insert(b.id);
    return ids;
}

// Each expected bitmap, checked against what the module carries under its id.
void checkBitmaps(const ExpectedModule& m,
                  const std::map<std::uint32_t, std::vector<std::uint8_t>>& carried) {
    std::set<std::uint32_t> ids;
    for (const auto& [id, data] : carried)
        ids.insert(id);
    EXPECT_EQ(ids, expectedIds(m)) << "bitmap ids";
    for (const ExpectedBitmap& expected : m.bitmaps) {
        const auto found = carried.find(expected.id);
        if (found == carried.end()) continue;
        EXPECT_EQ(bitmapProblem(found->second, expected), "") << "bitmap " << expected.id;
    }
}

// The parsed modules, read once per run.
template <class File> struct Loaded {
    std::optional<File> file;
    std::string error;
};

const Loaded<PeFile>& peModule(const std::string& folder, const ExpectedModule& m) {
    static std::map<std::string, Loaded<PeFile>> cache;
    auto [it, added] = cache.try_emplace(m.name);
    if (added) {
        const auto bytes =
            readFile(std::filesystem::path(folder) / moduleFile(m), &it->second.error);
        if (it->second.error.empty()) it->second.file = binary::readPe(bytes, &it->second.error);
    }
    return it->second;
}

const Loaded<ElfFile>& elfModule(const std::string& folder, const ExpectedModule& m) {
    static std::map<std::string, Loaded<ElfFile>> cache;
    auto [it, added] = cache.try_emplace(m.name);
    if (added) {
        const auto bytes =
            readFile(std::filesystem::path(folder) / moduleFile(m), &it->second.error);
        if (it->second.error.empty()) it->second.file = binary::readElf(bytes, &it->second.error);
    }
    return it->second;
}

std::map<std::uint32_t, std::vector<std::uint8_t>> peBitmaps(const PeFile& pe) {
    std::map<std::uint32_t, std::vector<std::uint8_t>> bitmaps;
    for (const PeResource& r : pe.resources)
        if (!r.type.isNamed() && r.type.id == kResourceBitmap && !r.id.isNamed())
            bitmaps[r.id.id] = r.data;
    return bitmaps;
}

std::optional<std::vector<BundleResource>> bundleOf(const ElfFile& elf, std::string* error) {
    const binary::ElfSection* section = elf.section(".k729.resources");
    if (!section) {
        *error = "no .k729.resources section";
        return std::nullopt;
    }
    return binary::readBundle(section->data, error);
}

std::map<std::uint32_t, std::vector<std::uint8_t>>
bundleBitmaps(const std::vector<BundleResource>& bundle) {
    std::map<std::uint32_t, std::vector<std::uint8_t>> bitmaps;
    for (const BundleResource& r : bundle)
        if (r.type == kResourceBitmap) bitmaps[r.id] = r.data;
    return bitmaps;
}

std::string paramName(const testing::TestParamInfo<ExpectedModule>& info) {
    return info.param.name;
}

// --- The table against the build ---------------------------------------------

TEST(ModuleTable, NamesEveryGaugeTheBuildDefines) {
    const auto gauges = environment("K729_GAUGES");
    ASSERT_TRUE(gauges) << "K729_GAUGES is not set";
    std::set<std::string> built;
    std::istringstream list(*gauges);
    for (std::string name; std::getline(list, name, ',');)
        if (!name.empty()) built.insert(name);
    std::set<std::string> table;
    for (const ExpectedModule& m : expectedModules())
        table.insert(m.name);
    EXPECT_EQ(built, table) << "a gauge the build defines is missing from the checks' table, "
                               "or the reverse";
    for (const auto& group : identicalBitmapGroups())
        for (const std::string& name : group)
            EXPECT_TRUE(table.contains(name)) << name;
}

// --- PE modules --------------------------------------------------------------

class PeModule : public testing::TestWithParam<ExpectedModule> {
protected:
    void SetUp() override {
        const auto folder = environment("K729_PE_BIN");
        ASSERT_TRUE(folder) << "K729_PE_BIN is not set";
        const Loaded<PeFile>& loaded = peModule(*folder, GetParam());
        ASSERT_TRUE(loaded.file) << moduleFile(GetParam()) << ": " << loaded.error;
        pe = &*loaded.file;
    }
    const PeFile* pe = nullptr;
};

TEST_P(PeModule, IsA32BitX86Dll) {
    EXPECT_EQ(pe->machine, binary::kMachineI386);
    EXPECT_EQ(pe->optionalMagic, binary::kOptionalPe32);
    EXPECT_TRUE(pe->isDll());
}

TEST_P(PeModule, ExportsOnlyItsTwoDataRecords) {
    ASSERT_TRUE(pe->hasExportDirectory);
    EXPECT_EQ(pe->exportName, moduleFile(GetParam()));
    std::vector<std::string> names;
    for (const binary::PeExport& e : pe->exports)
        names.push_back(e.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"ImportTable", "Linkage"}));
    for (const binary::PeExport& e : pe->exports) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.forwarder, "");
        if (!e.forwarder.empty()) continue;
        EXPECT_EQ(e.sectionFlags & (binary::kSectionExecute | binary::kSectionCode), 0u)
            << "in executable section " << pe->sections[e.section].name;
        // The host writes its table into ImportTable after loading the module.
        if (e.name == "ImportTable") {
            EXPECT_NE(e.sectionFlags & binary::kSectionWrite, 0u)
                << "in read-only section " << pe->sections[e.section].name;
        }
    }
}

TEST_P(PeModule, ImportsOnlyFromTheSystemsLibraries) {
    // The host's machine has nothing else: the compiler's runtime is linked in.
    const std::set<std::string> allowed = {"kernel32.dll", "msvcrt.dll"};
    for (const std::string& dll : pe->imports)
        EXPECT_TRUE(allowed.contains(lower(dll))) << dll;
    EXPECT_EQ(pe->delayImports, std::vector<std::string>{});
}

TEST_P(PeModule, CarriesItsBitmapsAndOneVersionResource) {
    int versions = 0;
    for (const PeResource& r : pe->resources) {
        SCOPED_TRACE("resource type " +
                     (r.type.isNamed() ? r.type.name : std::to_string(r.type.id)) + " id " +
                     (r.id.isNamed() ? r.id.name : std::to_string(r.id.id)));
        ASSERT_FALSE(r.type.isNamed());
        if (r.type.id == kResourceVersion) {
            ++versions;
            continue;
        }
        EXPECT_EQ(r.type.id, kResourceBitmap) << "neither a bitmap nor the version";
        EXPECT_FALSE(r.id.isNamed());
        EXPECT_EQ(r.language, kLanguageEnUs);
    }
    EXPECT_EQ(versions, 1);

    // A bitmap carried twice (two languages) would hide behind the id map.
    std::multiset<std::uint32_t> ids;
    for (const PeResource& r : pe->resources)
        if (!r.type.isNamed() && r.type.id == kResourceBitmap) ids.insert(r.id.id);
    const std::set<std::uint32_t> unique(ids.begin(), ids.end());
    EXPECT_EQ(ids.size(), unique.size()) << "a bitmap id appears twice";
    checkBitmaps(GetParam(), peBitmaps(*pe));
}

TEST_P(PeModule, VersionResourceNamesTheFile) {
    const PeResource* version = nullptr;
    for (const PeResource& r : pe->resources)
        if (!r.type.isNamed() && r.type.id == kResourceVersion) version = &r;
    ASSERT_NE(version, nullptr);
    std::string error;
    const auto info = binary::readVersionInfo(version->data, &error);
    ASSERT_TRUE(info) << error;
    EXPECT_EQ(info->fileType, binary::kFileTypeDll);
    EXPECT_EQ(info->fileVersionHigh, std::uint32_t{K729_VERSION_MAJOR} << 16 | K729_VERSION_MINOR);
    EXPECT_EQ(info->fileVersionLow, std::uint32_t{K729_VERSION_PATCH} << 16);
    const auto field = [&](const std::string& key) {
        const auto it = info->strings.find(key);
        return it == info->strings.end() ? "(missing)" : it->second;
    };
    EXPECT_EQ(field("OriginalFilename"), moduleFile(GetParam()));
    EXPECT_EQ(field("InternalName"), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Built, PeModule, testing::ValuesIn(expectedModules()), paramName);

// --- ELF modules -------------------------------------------------------------

class ElfModule : public testing::TestWithParam<ExpectedModule> {
protected:
    void SetUp() override {
        const auto folder = environment("K729_ELF_BIN");
        ASSERT_TRUE(folder) << "K729_ELF_BIN is not set";
        const Loaded<ElfFile>& loaded = elfModule(*folder, GetParam());
        ASSERT_TRUE(loaded.file) << moduleFile(GetParam()) << ": " << loaded.error;
        elf = &*loaded.file;
    }
    const ElfFile* elf = nullptr;
};

TEST_P(ElfModule, ExportsOnlyItsTwoDataRecords) {
    EXPECT_EQ(elf->type, ET_DYN);
    std::vector<std::string> names;
    for (const binary::ElfSymbol& s : elf->dynamicSymbols)
        names.push_back(s.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"ImportTable", "Linkage"}));
    for (const binary::ElfSymbol& s : elf->dynamicSymbols) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(s.type, unsigned{STT_OBJECT});
        EXPECT_EQ(s.sectionFlags & SHF_EXECINSTR, 0u) << "in executable section " << s.section;
        // The host writes its table into ImportTable after loading the module;
        // relocated read-only data turns read-only once loaded.
        if (s.name == "ImportTable") {
            EXPECT_NE(s.sectionFlags & SHF_WRITE, 0u) << "in read-only section " << s.section;
            EXPECT_FALSE(s.section.starts_with(".data.rel.ro")) << s.section;
        }
    }
}

TEST_P(ElfModule, BundleCarriesItsBitmaps) {
    std::string error;
    const auto bundle = bundleOf(*elf, &error);
    ASSERT_TRUE(bundle) << error;
    for (const BundleResource& r : *bundle) {
        SCOPED_TRACE("bundle entry " + std::to_string(r.id));
        EXPECT_EQ(r.type, kResourceBitmap);
        EXPECT_EQ(r.language, kLanguageEnUs);
    }
    // Ascending ids, each once: the order the art tool promises.
    for (std::size_t i = 1; i < bundle->size(); ++i)
        EXPECT_LT((*bundle)[i - 1].id, (*bundle)[i].id) << "entry " << i;
    checkBitmaps(GetParam(), bundleBitmaps(*bundle));
}

INSTANTIATE_TEST_SUITE_P(Built, ElfModule, testing::ValuesIn(expectedModules()), paramName);

// --- Both formats ------------------------------------------------------------

class PeElfModule : public testing::TestWithParam<ExpectedModule> {};

TEST_P(PeElfModule, CarrySameBitmaps) {
    const auto peFolder = environment("K729_PE_BIN");
    const auto elfFolder = environment("K729_ELF_BIN");
    ASSERT_TRUE(peFolder && elfFolder) << "K729_PE_BIN and K729_ELF_BIN must both be set";
    const Loaded<PeFile>& pe = peModule(*peFolder, GetParam());
    const Loaded<ElfFile>& elf = elfModule(*elfFolder, GetParam());
    ASSERT_TRUE(pe.file) << pe.error;
    ASSERT_TRUE(elf.file) << elf.error;
    std::string error;
    const auto bundle = bundleOf(*elf.file, &error);
    ASSERT_TRUE(bundle) << error;
    const auto fromPe = peBitmaps(*pe.file);
    const auto fromElf = bundleBitmaps(*bundle);
    for (const auto& [id, data] : fromPe) {
        const auto other = fromElf.find(id);
        if (other == fromElf.end())
            ADD_FAILURE() << "bitmap " << id << " only in the PE module";
        else
            EXPECT_TRUE(data == other->second) << "bitmap " << id << " differs";
    }
    for (const auto& [id, data] : fromElf)
        EXPECT_TRUE(fromPe.contains(id)) << "bitmap " << id << " only in the ELF module";
}

INSTANTIATE_TEST_SUITE_P(Built, PeElfModule, testing::ValuesIn(expectedModules()), paramName);

// --- Modules that must look alike ----------------------------------------------

const ExpectedModule& expected(const std::string& name) {
    for (const ExpectedModule& m : expectedModules())
        if (m.name == name) return m;
    throw std::runtime_error(name + " is not in the table");
}

TEST(PeModuleGroups, CarryIdenticalBitmaps) {
    const auto folder = environment("K729_PE_BIN");
    ASSERT_TRUE(folder) << "K729_PE_BIN is not set";
    for (const auto& group : identicalBitmapGroups()) {
        const Loaded<PeFile>& first = peModule(*folder, expected(group[0]));
        ASSERT_TRUE(first.file) << first.error;
        for (std::size_t i = 1; i < group.size(); ++i) {
            const Loaded<PeFile>& other = peModule(*folder, expected(group[i]));
            ASSERT_TRUE(other.file) << other.error;
            EXPECT_TRUE(peBitmaps(*first.file) == peBitmaps(*other.file))
                << group[0] << " and " << group[i] << " carry different bitmaps";
        }
    }
}

TEST(ElfModuleGroups, CarryIdenticalBitmaps) {
    const auto folder = environment("K729_ELF_BIN");
    ASSERT_TRUE(folder) << "K729_ELF_BIN is not set";
    for (const auto& group : identicalBitmapGroups()) {
        std::optional<std::map<std::uint32_t, std::vector<std::uint8_t>>> first;
        for (const std::string& name : group) {
            const Loaded<ElfFile>& elf = elfModule(*folder, expected(name));
            ASSERT_TRUE(elf.file) << elf.error;
            std::string error;
            const auto bundle = bundleOf(*elf.file, &error);
            ASSERT_TRUE(bundle) << name << ": " << error;
            if (!first)
                first = bundleBitmaps(*bundle);
            else
                EXPECT_TRUE(*first == bundleBitmaps(*bundle))
                    << group[0] << " and " << name << " carry different bitmaps";
        }
    }
}

} // namespace
} // namespace k729::checks
