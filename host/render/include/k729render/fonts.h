// The fonts text elements name, resolved through the project's own
// fontconfig configuration rather than the user's: "Times New Roman" to
// Liberation Serif, "Courier New" to Liberation Mono, "Arial" to Liberation
// Sans, "Quartz" to DSEG7 Classic, anything else to Liberation Sans.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace k729::render {

struct ResolvedFont {
    std::string family, style, file;
};

class FontResolver {
public:
    // Loads a fonts.conf into a private configuration; null (with the
    // reason) when it does not load or finds no fonts.
    static std::unique_ptr<FontResolver> open(const std::string& configPath,
                                              std::string* error = nullptr);
    // The project's host/render/fonts.conf, loaded once; null if it fails.
    static FontResolver* shared(std::string* error = nullptr);

    ~FontResolver();
    FontResolver(const FontResolver&) = delete;
    FontResolver& operator=(const FontResolver&) = delete;

    // fontWeight as text elements give it: 400 regular, 500 medium, 600
    // semibold, 700 bold; the nearest face the family has. 0 counts as 400.
    std::optional<ResolvedFont> resolve(const std::string& name, std::uint32_t weight);
    // A cairo face for it, owned by the resolver (valid while it lives).
    cairo_font_face_t* face(const std::string& name, std::uint32_t weight,
                            std::string* error = nullptr);

private:
    struct Config;
    explicit FontResolver(std::unique_ptr<Config> config);

    std::unique_ptr<Config> config_;
    std::mutex mutex_;
    std::map<std::pair<std::string, std::uint32_t>, cairo_font_face_t*> faces_;
};

} // namespace k729::render
