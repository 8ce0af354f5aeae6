#include "k729render/fonts.h"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>

#include <filesystem>
#include <system_error>

namespace k729::render {

struct FontResolver::Config {
    FcConfig* fc = nullptr;
    ~Config() {
        if (fc) FcConfigDestroy(fc);
    }
};

namespace {

struct PatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

std::string stringOf(const FcPattern* pattern, const char* object) {
    FcChar8* value = nullptr;
    if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch || !value) return {};
    return reinterpret_cast<const char*>(value);
}

// The best face of the private configuration for a name and weight.
PatternPtr match(FcConfig* config, const std::string& name, std::uint32_t weight) {
    PatternPtr pattern(FcPatternCreate());
    if (!pattern) return nullptr;
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    // Text elements give CSS-like weights; fontconfig has its own scale.
    const double css = weight == 0 ? 400.0 : weight > 1000 ? 1000.0 : static_cast<double>(weight);
    FcPatternAddDouble(pattern.get(), FC_WEIGHT, FcWeightFromOpenTypeDouble(css));
    FcPatternAddInteger(pattern.get(), FC_SLANT, FC_SLANT_ROMAN);
    if (!FcConfigSubstitute(config, pattern.get(), FcMatchPattern)) return nullptr;
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    PatternPtr found(FcFontMatch(config, pattern.get(), &result));
    if (!found || result != FcResultMatch || stringOf(found.get(), FC_FILE).empty()) return nullptr;
    return found;
}

} // namespace

FontResolver::FontResolver(std::unique_ptr<Config> config) : config_(std::move(config)) {}

FontResolver::~FontResolver() {
    for (auto& [key, face] : faces_)
        cairo_font_face_destroy(face);
}

std::unique_ptr<FontResolver> FontResolver::open(const std::string& configPath,
                                                 std::string* error) {
    // Checked first: fontconfig would also print its own complaint.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(configPath, ec)) {
        if (error) *error = "fontconfig: cannot load " + configPath;
        return nullptr;
    }
    auto config = std::make_unique<Config>();
    config->fc = FcConfigCreate();
    if (!config->fc) {
        if (error) *error = "fontconfig: cannot create a configuration";
        return nullptr;
    }
    if (!FcConfigParseAndLoad(config->fc, reinterpret_cast<const FcChar8*>(configPath.c_str()),
                              FcTrue)) {
        if (error) *error = "fontconfig: cannot load " + configPath;
        return nullptr;
    }
    if (!FcConfigBuildFonts(config->fc)) {
        if (error) *error = "fontconfig: cannot read the fonts of " + configPath;
        return nullptr;
    }
    FcFontSet* fonts = FcConfigGetFonts(config->fc, FcSetSystem);
    if (!fonts || fonts->nfont == 0) {
        if (error) *error = "fontconfig: " + configPath + " finds no fonts";
        return nullptr;
    }
    return std::unique_ptr<FontResolver>(new FontResolver(std::move(config)));
}

FontResolver* FontResolver::shared(std::string* error) {
    static std::string why;
    static const std::unique_ptr<FontResolver> fonts = open(K729_RENDER_FONTS_CONF, &why);
    if (!fonts && error) *error = why;
    return fonts.get();
}

std::optional<ResolvedFont> FontResolver::resolve(const std::string& name, std::uint32_t weight) {
    std::lock_guard lock(mutex_);
    PatternPtr found = match(config_->fc, name, weight);
    if (!found) return std::nullopt;
    return ResolvedFont{stringOf(found.get(), FC_FAMILY), stringOf(found.get(), FC_STYLE),
                        stringOf(found.get(), FC_FILE)};
}

cairo_font_face_t* FontResolver::face(const std::string& name, std::uint32_t weight,
                                      std::string* error) {
    std::lock_guard lock(mutex_);
    const auto key = std::make_pair(name, weight);
    if (auto it = faces_.find(key); it != faces_.end()) return it->second;
    PatternPtr found = match(config_->fc, name, weight);
    if (!found) {
        if (error) *error = "no font for \"" + name + "\"";
        return nullptr;
    }
    // The matched pattern names its file, so cairo opens exactly that face
    // and consults no other configuration.
    cairo_font_face_t* face = cairo_ft_font_face_create_for_pattern(found.get());
    if (cairo_font_face_status(face) != CAIRO_STATUS_SUCCESS) {
        if (error)
            *error = "cannot open the font for \"" + name +
                     "\": " + cairo_status_to_string(cairo_font_face_status(face));
        cairo_font_face_destroy(face);
        return nullptr;
    }
    faces_.emplace(key, face);
    return face;
}

} // namespace k729::render
