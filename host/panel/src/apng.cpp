#include "k729panel/apng.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace k729::panel {
namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::uint32_t be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void chunk(std::vector<std::uint8_t>& out, const char (&type)[5], const std::uint8_t* data,
           std::size_t size) {
    put32(out, static_cast<std::uint32_t>(size));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    if (size) out.insert(out.end(), data, data + size);
    const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(4 + size));
    put32(out, static_cast<std::uint32_t>(crc));
}

void chunk(std::vector<std::uint8_t>& out, const char (&type)[5],
           const std::vector<std::uint8_t>& data) {
    chunk(out, type, data.data(), data.size());
}

cairo_status_t append(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

bool fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

// IHDR's data and the concatenated IDAT data of a PNG file.
bool splitPng(const std::vector<std::uint8_t>& png, std::vector<std::uint8_t>& header,
              std::vector<std::uint8_t>& data, std::string* error) {
    if (png.size() < 8 || std::memcmp(png.data(), kSignature, 8) != 0)
        return fail(error, "the encoder wrote no PNG signature");
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        const std::uint32_t length = be32(&png[at]);
        if (length > png.size() - at - 12) return fail(error, "a PNG chunk runs past the end");
        const char* type = reinterpret_cast<const char*>(&png[at + 4]);
        const std::uint8_t* body = &png[at + 8];
        if (std::memcmp(type, "IHDR", 4) == 0) header.assign(body, body + length);
        if (std::memcmp(type, "IDAT", 4) == 0) data.insert(data.end(), body, body + length);
        if (std::memcmp(type, "IEND", 4) == 0) break;
        at += 12 + length;
    }
    if (header.size() != 13 || data.empty()) return fail(error, "the PNG lacks IHDR or IDAT");
    return true;
}

} // namespace

std::vector<std::uint8_t> encodePng(cairo_surface_t* surface, std::string* error) {
    std::vector<std::uint8_t> png;
    const cairo_status_t status = cairo_surface_write_to_png_stream(surface, append, &png);
    if (status != CAIRO_STATUS_SUCCESS) {
        if (error) *error = std::string("PNG encoding: ") + cairo_status_to_string(status);
        png.clear();
    }
    return png;
}

bool ApngBuilder::add(cairo_surface_t* frame, std::uint16_t delayMs, std::string* error) {
    if (!frame || cairo_surface_get_type(frame) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_format(frame) != CAIRO_FORMAT_ARGB32 ||
        cairo_image_surface_get_width(frame) != width_ ||
        cairo_image_surface_get_height(frame) != height_)
        return fail(error, "the frame is not an ARGB32 image of the animation's size");
    if (delayMs == 0) return fail(error, "a frame shows for at least 1 ms");
    cairo_surface_flush(frame);
    const unsigned char* pixels = cairo_image_surface_get_data(frame);
    const int stride = cairo_image_surface_get_stride(frame);
    auto row = [&](int y) {
        return reinterpret_cast<const std::uint32_t*>(pixels +
                                                      static_cast<std::ptrdiff_t>(y) * stride);
    };
    const auto w = static_cast<std::size_t>(width_);

    // The rectangle that differs from the previous frame: all of the first.
    int left = 0, top = 0, right = width_, bottom = height_;
    if (!frames_.empty()) {
        left = width_, top = height_, right = 0, bottom = 0;
        for (int y = 0; y < height_; ++y) {
            const std::uint32_t* now = row(y);
            const std::uint32_t* was = &last_[static_cast<std::size_t>(y) * w];
            if (std::memcmp(now, was, w * 4) == 0) continue;
            int a = 0, b = width_;
            while (now[a] == was[a])
                ++a;
            while (now[b - 1] == was[b - 1])
                --b;
            left = std::min(left, a), right = std::max(right, b);
            top = std::min(top, y), bottom = y + 1;
        }
        if (right <= left) {
            Frame& previous = frames_.back();
            if (previous.delayMs + delayMs <= 0xFFFF) {
                previous.delayMs += delayMs;
                return true;
            }
            left = 0, top = 0, right = 1, bottom = 1; // a new frame that repeats one pixel
        }
    }
    last_.resize(w * static_cast<std::size_t>(height_));
    for (int y = 0; y < height_; ++y)
        std::memcpy(&last_[static_cast<std::size_t>(y) * w], row(y), w * 4);

    const int rw = right - left, rh = bottom - top;
    // Frames are opaque: as RGB24 every part is written as 8-bit RGB, where
    // cairo would choose RGB or RGBA for an ARGB32 part by its contents.
    cairo_surface_t* part = cairo_image_surface_create(CAIRO_FORMAT_RGB24, rw, rh);
    if (const cairo_status_t status = cairo_surface_status(part); status != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(part); // an error surface has no pixels to copy into
        return fail(error, std::string("a frame's part: ") + cairo_status_to_string(status));
    }
    cairo_surface_flush(part);
    unsigned char* to = cairo_image_surface_get_data(part);
    const int toStride = cairo_image_surface_get_stride(part);
    for (int y = 0; y < rh; ++y)
        std::memcpy(to + static_cast<std::ptrdiff_t>(y) * toStride, row(top + y) + left,
                    static_cast<std::size_t>(rw) * 4);
    cairo_surface_mark_dirty(part);
    std::string why;
    const std::vector<std::uint8_t> png = encodePng(part, &why);
    cairo_surface_destroy(part);
    if (png.empty()) return fail(error, why);

    std::vector<std::uint8_t> header;
    Frame stored{left, top, rw, rh, delayMs, {}};
    if (!splitPng(png, header, stored.data, error)) return false;
    // Every frame must share the first one's pixel format: bit depth,
    // colour type, compression, filter and interlace follow the size.
    if (header_.empty())
        header_ = header;
    else if (!std::equal(header.begin() + 8, header.end(), header_.begin() + 8))
        return fail(error, "the encoder changed the pixel format between frames");
    frames_.push_back(std::move(stored));
    return true;
}

std::vector<std::uint8_t> ApngBuilder::file() const {
    std::vector<std::uint8_t> out;
    if (frames_.empty()) return out;
    out.insert(out.end(), kSignature, kSignature + 8);
    chunk(out, "IHDR", header_);
    std::vector<std::uint8_t> actl;
    put32(actl, static_cast<std::uint32_t>(frames_.size()));
    put32(actl, 0); // plays: forever
    chunk(out, "acTL", actl);

    std::uint32_t sequence = 0;
    for (std::size_t i = 0; i < frames_.size(); ++i) {
        const Frame& f = frames_[i];
        std::vector<std::uint8_t> fctl;
        put32(fctl, sequence++);
        put32(fctl, static_cast<std::uint32_t>(f.width));
        put32(fctl, static_cast<std::uint32_t>(f.height));
        put32(fctl, static_cast<std::uint32_t>(f.x));
        put32(fctl, static_cast<std::uint32_t>(f.y));
        put16(fctl, static_cast<std::uint16_t>(f.delayMs));
        put16(fctl, 1000);
        fctl.push_back(0); // dispose: none, the next frame draws over this one
        fctl.push_back(0); // blend: source, the stored rectangle replaces what is there
        chunk(out, "fcTL", fctl);
        if (i == 0) {
            chunk(out, "IDAT", f.data);
        } else {
            std::vector<std::uint8_t> fdat;
            put32(fdat, sequence++);
            fdat.insert(fdat.end(), f.data.begin(), f.data.end());
            chunk(out, "fdAT", fdat);
        }
    }
    chunk(out, "IEND", nullptr, 0);
    return out;
}

} // namespace k729::panel
