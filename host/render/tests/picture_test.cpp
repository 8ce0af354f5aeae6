// Decoding bitmap payloads and finding them in bundles and module files.
#include <gtest/gtest.h>

#include <climits>

#include "k729art/bundle.h"
#include "k729render/picture.h"

namespace k729::render {
namespace {

void putU16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    putU16(out, v & 0xFFFF);
    putU16(out, v >> 16);
}
void setU32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A payload as a module carries it. `rows` are palette indices, top row first.
struct Dib {
    std::vector<std::vector<std::uint8_t>> rows;
    std::vector<Rgb> palette;
    bool topDown = false;
    std::uint32_t coloursUsed = 0; // 0: the palette's size

    std::vector<std::uint8_t> bytes() const {
        const auto w = static_cast<std::uint32_t>(rows.at(0).size());
        const auto h = static_cast<std::uint32_t>(rows.size());
        std::vector<std::uint8_t> out;
        putU32(out, 40);
        putU32(out, w);
        putU32(out, topDown ? static_cast<std::uint32_t>(-static_cast<std::int32_t>(h)) : h);
        putU16(out, 1);
        putU16(out, 8);
        putU32(out, 0);
        putU32(out, 0);
        putU32(out, 2835);
        putU32(out, 2835);
        putU32(out, coloursUsed ? coloursUsed : static_cast<std::uint32_t>(palette.size()));
        putU32(out, 0);
        for (Rgb c : palette) {
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
            out.push_back(0);
        }
        for (std::uint32_t i = 0; i < h; ++i) {
            const auto& row = rows[topDown ? i : h - 1 - i];
            out.insert(out.end(), row.begin(), row.end());
            out.resize(out.size() + ((4 - w % 4) % 4), 0xEE); // padding must be ignored
        }
        return out;
    }
};

constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255};

const Dib kThreeByTwo{{{0, 1, 2}, {2, 2, 0}}, {kTransparent, kRed, kGreen}};

std::vector<Rgb> pixelsOf(const Picture& p) {
    return p.pixels;
}

TEST(DecodeDib, ReadsRowsInEitherOrderAndSkipsPadding) {
    const std::vector<Rgb> expected = {kTransparent, kRed, kGreen, kGreen, kGreen, kTransparent};
    for (bool topDown : {false, true}) {
        Dib dib = kThreeByTwo;
        dib.topDown = topDown;
        std::string error;
        std::optional<Picture> picture = decodeDib(dib.bytes(), &error);
        ASSERT_TRUE(picture) << error;
        EXPECT_EQ(picture->width, 3);
        EXPECT_EQ(picture->height, 2);
        EXPECT_EQ(pixelsOf(*picture), expected) << "top-down " << topDown;
    }
}

TEST(DecodeDib, FullTableWhenColoursUsedIsZero) {
    Dib dib{{{255, 7}}, std::vector<Rgb>(256, kBlue)};
    dib.palette[255] = kRed;
    std::vector<std::uint8_t> bytes = dib.bytes();
    setU32(bytes, 32, 0);
    std::optional<Picture> picture = decodeDib(bytes);
    ASSERT_TRUE(picture);
    EXPECT_EQ(pixelsOf(*picture), (std::vector<Rgb>{kRed, kBlue}));
}

TEST(DecodeDib, RefusesMalformedPayloads) {
    const std::vector<std::uint8_t> good = kThreeByTwo.bytes();
    struct Case {
        const char* what;
        std::size_t at; // field to overwrite
        std::uint32_t value;
        const char* reason;
    };
    const Case cases[] = {
        {"header size too small", 0, 12, "header size"},
        {"header size beyond the data", 0, 4000, "truncated"},
        {"zero width", 4, 0, "empty or too large"},
        {"negative width", 4, static_cast<std::uint32_t>(-3), "empty or too large"},
        {"huge width", 4, 100000, "empty or too large"},
        {"zero height", 8, 0, "empty or too large"},
        {"most negative height", 8, static_cast<std::uint32_t>(INT32_MIN), "empty or too large"},
        {"two planes", 12, (8u << 16) | 2u, "planes"},
        {"24 bits per pixel", 12, (24u << 16) | 1u, "bits per pixel"},
        {"4 bits per pixel", 12, (4u << 16) | 1u, "bits per pixel"},
        {"run-length compression", 16, 1, "compression"},
        {"table beyond 256 entries", 32, 257, "too large"},
        {"table beyond the data", 32, 200, "colour table truncated"},
        {"rows beyond the data", 8, 40, "rows truncated"},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = good;
        setU32(bytes, c.at, c.value);
        std::string error;
        EXPECT_FALSE(decodeDib(bytes, &error)) << c.what;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
    }

    // An index beyond a short table.
    Dib shortTable = kThreeByTwo;
    shortTable.rows[1][0] = 3;
    std::string error;
    EXPECT_FALSE(decodeDib(shortTable.bytes(), &error));
    EXPECT_NE(error.find("beyond the 3-entry colour table"), std::string::npos) << error;

    // Every truncation of a good payload is refused, none read past the end.
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(decodeDib(std::span(good).first(n))) << n << " bytes";
}

// A bundle as the art tool lays it out; `entries` hold (type, id, payload).
struct BundleItem {
    std::uint32_t type, id;
    std::vector<std::uint8_t> payload;
};

std::vector<std::uint8_t> bundleOf(const std::vector<BundleItem>& items) {
    std::vector<std::uint8_t> out(art::kBundleMagic, art::kBundleMagic + 8);
    putU32(out, static_cast<std::uint32_t>(items.size()));
    putU32(out, 0);
    std::uint32_t offset = static_cast<std::uint32_t>(16 + 24 * items.size());
    for (const BundleItem& item : items) {
        for (std::uint32_t v : {item.type, item.id, art::kLanguageEnUs, offset,
                                static_cast<std::uint32_t>(item.payload.size()), 0u})
            putU32(out, v);
        offset += static_cast<std::uint32_t>(item.payload.size());
    }
    for (const BundleItem& item : items)
        out.insert(out.end(), item.payload.begin(), item.payload.end());
    return out;
}

TEST(BitmapBundle, ReadsBitmapsAndIgnoresOtherResources) {
    const Dib one{{{1}}, {kTransparent, kRed}};
    const auto bundle = bundleOf({{art::kResourceBitmap, 5120, kThreeByTwo.bytes()},
                                  {16, 1, {1, 2, 3}}, // a version resource
                                  {art::kResourceBitmap, 4608, one.bytes()}});
    std::string error;
    std::optional<PictureMap> bitmaps = readBitmapBundle(bundle, &error);
    ASSERT_TRUE(bitmaps) << error;
    EXPECT_EQ(bitmaps->size(), 2u);
    ASSERT_TRUE(bitmaps->find(5120));
    EXPECT_EQ(bitmaps->find(5120)->width, 3);
    ASSERT_TRUE(bitmaps->find(4608));
    EXPECT_EQ(bitmaps->find(4608)->at(0, 0), kRed);
    EXPECT_FALSE(bitmaps->find(1));
}

TEST(BitmapBundle, RefusesMalformedBundles) {
    const auto payload = kThreeByTwo.bytes();
    std::vector<std::uint8_t> badMagic = bundleOf({});
    badMagic[0] = 'X';
    std::vector<std::uint8_t> shortTable = bundleOf({{art::kResourceBitmap, 1, payload}});
    setU32(shortTable, 8, 1000);
    std::vector<std::uint8_t> outside = bundleOf({{art::kResourceBitmap, 1, payload}});
    setU32(outside, 16 + 12, 0xFFFFFFF0u);
    std::vector<std::uint8_t> broken = payload;
    setU32(broken, 12, (24u << 16) | 1u);
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"empty", {}, "bundle magic"},
        {"wrong magic", badMagic, "no bundle magic"},
        {"entry table beyond the data", shortTable, "bundle entry table"},
        {"payload beyond the data", outside, "bundle payload"},
        {"same id twice",
         bundleOf({{art::kResourceBitmap, 7, payload}, {art::kResourceBitmap, 7, payload}}),
         "appears twice"},
        {"payload that does not decode", bundleOf({{art::kResourceBitmap, 9, broken}}),
         "bitmap 9: bitmap has 24 bits"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(readBitmapBundle(c.bytes, &error)) << c.what;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
    }
}

// A minimal ELF file: header, the sections' contents, then the section
// table (a null section, the named ones, the name table last).
std::vector<std::uint8_t> elfOf(bool is64,
                                const std::vector<std::pair<std::string, std::string>>& sections) {
    const std::size_t headerSize = is64 ? 64 : 52, entrySize = is64 ? 64 : 40;
    std::vector<std::uint8_t> out(headerSize, 0);
    out[0] = 0x7F, out[1] = 'E', out[2] = 'L', out[3] = 'F';
    out[4] = is64 ? 2 : 1;
    out[5] = 1;
    std::string names(1, '\0');
    struct Placed {
        std::uint32_t name;
        std::size_t offset, size;
    };
    std::vector<Placed> placed;
    for (const auto& [name, contents] : sections) {
        placed.push_back({static_cast<std::uint32_t>(names.size()), out.size(), contents.size()});
        names += name + '\0';
        out.insert(out.end(), contents.begin(), contents.end());
    }
    placed.push_back({static_cast<std::uint32_t>(names.size()), out.size(), 0});
    names += std::string(".shstrtab") + '\0';
    placed.back().size = names.size();
    out.insert(out.end(), names.begin(), names.end());

    const std::size_t tableAt = out.size();
    const std::size_t count = placed.size() + 1;
    out.resize(tableAt + count * entrySize, 0);
    for (std::size_t i = 0; i < placed.size(); ++i) {
        const std::size_t at = tableAt + (i + 1) * entrySize;
        setU32(out, at, placed[i].name);
        setU32(out, at + 4, 1); // program data
        const auto offset = static_cast<std::uint32_t>(placed[i].offset);
        const auto size = static_cast<std::uint32_t>(placed[i].size);
        setU32(out, at + (is64 ? 0x18 : 0x10), offset);
        setU32(out, at + (is64 ? 0x20 : 0x14), size);
    }
    setU32(out, is64 ? 0x28 : 0x20, static_cast<std::uint32_t>(tableAt));
    out[is64 ? 0x3A : 0x2E] = static_cast<std::uint8_t>(entrySize);
    out[is64 ? 0x3C : 0x30] = static_cast<std::uint8_t>(count);
    out[is64 ? 0x3E : 0x32] = static_cast<std::uint8_t>(count - 1);
    return out;
}

TEST(ModuleBitmaps, ReadsTheBundleSectionOfEitherClass) {
    const Dib one{{{1}}, {kTransparent, kRed}};
    const auto bundle = bundleOf({{art::kResourceBitmap, 4608, one.bytes()}});
    for (bool is64 : {true, false}) {
        const auto file =
            elfOf(is64, {{".text", "code"},
                         {art::kBundleSection, std::string(bundle.begin(), bundle.end())}});
        std::string error;
        std::optional<PictureMap> bitmaps = readModuleBitmaps(file, &error);
        ASSERT_TRUE(bitmaps) << error;
        EXPECT_EQ(bitmaps->size(), 1u);
        ASSERT_TRUE(bitmaps->find(4608)) << "64-bit " << is64;
        EXPECT_EQ(bitmaps->find(4608)->at(0, 0), kRed);
    }
}

TEST(ModuleBitmaps, NoSectionMeansNoBitmapsButBadFilesFail) {
    std::string error;
    // A prefix of the name is not the name.
    std::optional<PictureMap> none = readModuleBitmaps(elfOf(true, {{".k729", "x"}}), &error);
    ASSERT_TRUE(none) << error;
    EXPECT_EQ(none->size(), 0u);

    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"not ELF", std::vector<std::uint8_t>(100, 'x'), "not a native module"},
        {"truncated", elfOf(true, {{art::kBundleSection, "KRES"}}), "not a native module"},
        {"bundle malformed", elfOf(false, {{art::kBundleSection, "not a bundle"}}),
         "malformed resource bundle"},
    };
    for (Case c : cases) {
        if (std::string(c.what) == "truncated") c.bytes.resize(c.bytes.size() - 1);
        EXPECT_FALSE(readModuleBitmaps(c.bytes, &error)) << c.what;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
    }
}

TEST(ModuleBitmaps, ReadsABuiltModule) {
#ifdef K729_RENDER_TEST_MODULE
    std::string error;
    std::optional<PictureMap> bitmaps = readModuleBitmaps(K729_RENDER_TEST_MODULE, &error);
    ASSERT_TRUE(bitmaps) << error;
    // The generator button: background, lamp dark and lit.
    for (std::int32_t id : {5120, 4608, 4609}) {
        const Picture* p = bitmaps->find(id);
        ASSERT_TRUE(p) << id;
        EXPECT_EQ(p->width, 40);
        EXPECT_EQ(p->height, 40);
    }
#else
    GTEST_SKIP() << "no built module in this build";
#endif
}

TEST(ModuleBitmaps, ReportsAMissingFile) {
    std::string error;
    EXPECT_FALSE(readModuleBitmaps("/nonexistent/module.gau", &error));
    EXPECT_EQ(error, "cannot open /nonexistent/module.gau");
}

} // namespace
} // namespace k729::render
