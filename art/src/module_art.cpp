// A gauge's art as a module build takes it: the BMP files, the resource
// script that names them, the bundle for native modules, and the art tools'
// shared command line.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "k729art/art.h"
#include "k729art/bundle.h"
#include "write_file.h"

namespace k729::art {
namespace {

constexpr int kMaxResourceId = 0xFFFF; // resource ids are 16-bit, and 0 names none

// The resource compiler reads the quoted path as a C-like string.
bool quotedPath(const std::string& path, std::string* quoted, std::string* error) {
    std::string out = "\"";
    for (char c : path) {
        if (c == '"' || c == '\n' || c == '\r') {
            if (error) *error = "output path cannot be quoted for the resource compiler: " + path;
            return false;
        }
        if (c == '\\') out += '\\';
        out += c;
    }
    *quoted = out + "\"";
    return true;
}

} // namespace

bool writeModuleArt(const std::string& folder, const std::vector<Bitmap>& bitmaps,
                    std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error) *error = what;
        return false;
    };
    if (bitmaps.empty()) return fail("no bitmaps to write");

    std::vector<const Bitmap*> sorted;
    for (const Bitmap& bitmap : bitmaps) {
        if (bitmap.id < 1 || bitmap.id > kMaxResourceId)
            return fail("bitmap id " + std::to_string(bitmap.id) + " is not within 1..65535");
        sorted.push_back(&bitmap);
    }
    std::sort(sorted.begin(), sorted.end(),
              [](const Bitmap* a, const Bitmap* b) { return a->id < b->id; });
    for (std::size_t i = 1; i < sorted.size(); ++i)
        if (sorted[i]->id == sorted[i - 1]->id)
            return fail("bitmap id " + std::to_string(sorted[i]->id) + " is used twice");

    std::vector<std::vector<std::uint8_t>> files(sorted.size());
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        std::string why;
        if (!encodeBmp(sorted[i]->picture, &files[i], &why))
            return fail("bitmap " + std::to_string(sorted[i]->id) + ": " + why);
    }

    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return fail("cannot create " + folder + ": " + ec.message());
    const std::filesystem::path base = std::filesystem::absolute(folder, ec).lexically_normal();
    if (ec) return fail("cannot resolve " + folder + ": " + ec.message());

    std::string script;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const std::string id = std::to_string(sorted[i]->id);
        const std::filesystem::path path = base / (id + ".bmp");
        if (!writeFileAtomically(path.string(), files[i], error)) return false;
        std::string quoted;
        if (!quotedPath(path.generic_string(), &quoted, error)) return false;
        script += id + " BITMAP " + quoted + "\n";
    }
    if (!writeFileAtomically((base / "bitmaps.rc").string(),
                             std::vector<std::uint8_t>(script.begin(), script.end()), error))
        return false;

    // The bundle: header, entries, then each payload at a 4-byte boundary.
    const std::size_t count = sorted.size();
    std::vector<std::uint8_t> bundle(kBundleMagic, kBundleMagic + sizeof kBundleMagic);
    putU32(bundle, static_cast<std::uint32_t>(count));
    putU32(bundle, 0);
    std::uint32_t offset =
        static_cast<std::uint32_t>(sizeof(BundleHeader) + count * sizeof(BundleEntry));
    for (std::size_t i = 0; i < count; ++i) {
        const auto size = static_cast<std::uint32_t>(files[i].size() - kBmpFileHeaderSize);
        putU32(bundle, kResourceBitmap);
        putU32(bundle, static_cast<std::uint32_t>(sorted[i]->id));
        putU32(bundle, kLanguageEnUs);
        putU32(bundle, offset);
        putU32(bundle, size);
        putU32(bundle, 0);
        offset += (size + 3u) & ~3u;
    }
    for (const auto& file : files) {
        bundle.insert(bundle.end(), file.begin() + kBmpFileHeaderSize, file.end());
        bundle.resize((bundle.size() + 3u) & ~std::size_t{3}, 0);
    }
    return writeFileAtomically((base / "resources.bin").string(), bundle, error);
}

int artToolMain(int argc, char** argv, std::vector<Bitmap> (*draw)(std::string_view gaugeName)) {
    const char* tool = argc > 0 && argv[0] ? argv[0] : "art";
    auto usage = [&](std::FILE* to) {
        std::fprintf(to,
                     "usage: %s <gauge name> <output folder>\n"
                     "Draws the gauge's bitmaps into the folder: <id>.bmp for each,\n"
                     "bitmaps.rc for the resource compiler, resources.bin for a native module.\n",
                     tool);
    };
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        usage(stdout);
        return 0;
    }
    if (argc != 3 || argv[1][0] == '\0' || argv[2][0] == '\0') {
        usage(stderr);
        return 2;
    }
    const std::vector<Bitmap> bitmaps = draw(argv[1]);
    if (bitmaps.empty()) {
        std::fprintf(stderr, "%s: unknown gauge name '%s'\n", tool, argv[1]);
        usage(stderr);
        return 2;
    }
    std::string error;
    if (!writeModuleArt(argv[2], bitmaps, &error)) {
        std::fprintf(stderr, "%s: %s\n", tool, error.c_str());
        return 1;
    }
    return 0;
}

} // namespace k729::art
