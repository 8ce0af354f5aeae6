#include "module_file.h"

#include <fstream>
#include <span>

#include "k729art/bundle.h"
#include "k729binary/bundle_file.h"
#include "k729binary/bytes.h"
#include "k729binary/elf_file.h"
#include "k729binary/pe_file.h"

namespace k729::host::view {
namespace {

// Modules are small; anything far larger is not one.
constexpr std::uintmax_t kMaxModuleBytes = 256u << 20;

ErrorOr<std::vector<std::uint8_t>> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Error{"cannot open " + path};
    std::vector<std::uint8_t> bytes;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        bytes.insert(bytes.end(), chunk, chunk + in.gcount());
        if (bytes.size() > kMaxModuleBytes) return Error{path + " is too large for a module"};
    }
    if (in.bad()) return Error{"cannot read " + path};
    return bytes;
}

// The header of a bitmap payload (BITMAPINFOHEADER and what follows).
BitmapResource describe(std::uint32_t id, std::uint32_t language,
                        std::span<const std::uint8_t> payload) {
    BitmapResource bitmap;
    bitmap.id = id;
    bitmap.language = language;
    bitmap.bytes = static_cast<std::uint32_t>(payload.size());
    try {
        const binary::Bytes b(payload);
        const std::uint32_t headerSize = b.u32(0, "bitmap header size");
        if (headerSize < 40)
            throw binary::Malformed("bitmap header of " + std::to_string(headerSize) + " bytes");
        bitmap.width = static_cast<std::int32_t>(b.u32(4, "bitmap width"));
        bitmap.height = static_cast<std::int32_t>(b.u32(8, "bitmap height"));
        bitmap.bitsPerPixel = b.u16(14, "bits per pixel");
        const std::uint32_t used = b.u32(32, "colours used");
        bitmap.colours = used != 0 || bitmap.bitsPerPixel > 8 ? used : 1u << bitmap.bitsPerPixel;
    } catch (const binary::Malformed& e) {
        bitmap.problem = e.what();
    }
    return bitmap;
}

ErrorOr<ModuleFile> fromElf(std::span<const std::uint8_t> bytes) {
    std::string why;
    std::optional<binary::ElfFile> elf = binary::readElf(bytes, &why);
    if (!elf) return Error{"malformed ELF file: " + why};
    ModuleFile file{.format = FileFormat::Elf, .is64 = elf->is64, .bitmaps = {}};
    const binary::ElfSection* section = elf->section(art::kBundleSection);
    if (!section) return file;
    std::optional<std::vector<binary::BundleResource>> resources =
        binary::readBundle(section->data, &why);
    if (!resources) return Error{"malformed resource section: " + why};
    file.hasResources = true;
    for (const binary::BundleResource& r : *resources)
        if (r.type == art::kResourceBitmap)
            file.bitmaps.push_back(describe(r.id, r.language, r.data));
    return file;
}

ErrorOr<ModuleFile> fromPe(std::span<const std::uint8_t> bytes) {
    std::string why;
    std::optional<binary::PeFile> pe = binary::readPe(bytes, &why);
    if (!pe) return Error{"malformed PE file: " + why};
    ModuleFile file{.format = FileFormat::Pe,
                    .is64 = pe->optionalMagic == binary::kOptionalPe32Plus,
                    .bitmaps = {}};
    file.hasResources = !pe->resources.empty();
    for (const binary::PeResource& r : pe->resources) {
        if (r.type.isNamed() || r.type.id != art::kResourceBitmap) continue;
        BitmapResource bitmap = describe(r.id.id, r.language, r.data);
        bitmap.name = r.id.name;
        file.bitmaps.push_back(std::move(bitmap));
    }
    return file;
}

} // namespace

std::string ModuleFile::formatName() const {
    return std::string(format == FileFormat::Elf ? "ELF" : "PE") + (is64 ? " 64-bit" : " 32-bit");
}

const BitmapResource* ModuleFile::findBitmap(std::int64_t id) const {
    for (const BitmapResource& bitmap : bitmaps)
        if (bitmap.name.empty() && bitmap.id == id) return &bitmap;
    return nullptr;
}

ErrorOr<ModuleFile> readModuleFile(const std::string& path) {
    ErrorOr<std::vector<std::uint8_t>> bytes = readBytes(path);
    if (bytes.isError()) return bytes.error();
    const std::vector<std::uint8_t>& b = bytes.value();
    ErrorOr<ModuleFile> file = Error{""};
    if (b.size() >= 4 && b[0] == 0x7F && b[1] == 'E' && b[2] == 'L' && b[3] == 'F')
        file = fromElf(b);
    else if (b.size() >= 2 && b[0] == 'M' && b[1] == 'Z')
        file = fromPe(b);
    else
        return Error{path + ": not a module file (neither ELF nor PE)"};
    if (file.isError()) return Error{path + ": " + file.error().message};
    return file;
}

bool loadableHere(FileFormat format) {
#if defined(_WIN32)
    return format == FileFormat::Pe;
#else
    return format == FileFormat::Elf;
#endif
}

} // namespace k729::host::view
