#include "Images.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

// libjpeg's header needs FILE and size_t declared first.
#include <jpeglib.h>

namespace forumsim {

namespace {

std::uint32_t be16(const unsigned char *p)
{
    return (std::uint32_t(p[0]) << 8) | p[1];
}

std::uint32_t be32(const unsigned char *p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

bool saneSize(std::uint32_t width, std::uint32_t height)
{
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide
           && static_cast<long long>(width) * height <= kMaxImagePixels;
}

bool isFrameMarker(unsigned char m)
{
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

ImageInfo inspectJpeg(std::string_view data)
{
    const auto *d = reinterpret_cast<const unsigned char *>(data.data());
    const std::size_t size = data.size();
    if (size < 4 || d[0] != 0xFF || d[1] != 0xD8)
        return {};
    ImageInfo info;
    std::size_t pos = 2;
    while (pos < size) {
        if (d[pos] != 0xFF)
            return {};
        while (pos < size && d[pos] == 0xFF)
            ++pos;   // fill bytes
        if (pos >= size)
            return {};
        const unsigned char marker = d[pos++];
        if (marker == 0x00 || marker == 0xD8 || marker == 0xD9)
            return {};
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01)
            continue;   // no length
        if (size - pos < 2)
            return {};
        const std::uint32_t length = be16(d + pos);
        if (length < 2 || size - pos < length)
            return {};
        if (isFrameMarker(marker)) {
            if (length < 8)
                return {};
            const unsigned precision = d[pos + 2];
            const std::uint32_t height = be16(d + pos + 3);
            const std::uint32_t width = be16(d + pos + 5);
            const unsigned components = d[pos + 7];
            if ((precision != 8 && precision != 12) || components < 1 || components > 4
                || length != 8 + 3 * components || !saneSize(width, height))
                return {};
            info = {ImageType::Jpeg, int(width), int(height)};
        }
        pos += length;
        if (marker == 0xDA) {   // start of scan: entropy-coded data up to EOI
            if (info.type != ImageType::Jpeg)
                return {};
            for (std::size_t i = size - 1; i > pos; --i) {
                if (d[i] == 0xD9 && d[i - 1] == 0xFF)
                    return info;
            }
            return {};
        }
    }
    return {};
}

bool validPngFormat(unsigned depth, unsigned colour)
{
    switch (colour) {
    case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6: return depth == 8 || depth == 16;
    default: return false;
    }
}

ImageInfo inspectPng(std::string_view data)
{
    static constexpr unsigned char signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    const auto *d = reinterpret_cast<const unsigned char *>(data.data());
    const std::size_t size = data.size();
    if (size < 8 || !std::equal(signature, signature + 8, d))
        return {};
    ImageInfo info;
    unsigned colour = 0;
    bool palette = false;
    bool imageData = false;
    std::size_t pos = 8;
    for (bool first = true;; first = false) {
        if (size - pos < 12)
            return {};
        const std::uint32_t length = be32(d + pos);
        if (length > 0x7FFFFFFFu || size - pos - 12 < length)
            return {};
        const unsigned char *type = d + pos + 4;
        for (int i = 0; i < 4; ++i) {
            const unsigned char c = type[i];
            if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
                return {};
        }
        const std::uint32_t crc = be32(d + pos + 8 + length);
        if (static_cast<std::uint32_t>(::crc32(0L, type, static_cast<uInt>(length + 4))) != crc)
            return {};
        const std::string_view name(reinterpret_cast<const char *>(type), 4);
        const unsigned char *body = d + pos + 8;
        if (first != (name == "IHDR"))
            return {};
        if (name == "IHDR") {
            if (length != 13)
                return {};
            const std::uint32_t width = be32(body);
            const std::uint32_t height = be32(body + 4);
            colour = body[9];
            if (!saneSize(width, height) || !validPngFormat(body[8], colour) || body[10] != 0 || body[11] != 0
                || body[12] > 1)
                return {};
            info = {ImageType::Png, int(width), int(height)};
        } else if (name == "PLTE") {
            palette = true;
        } else if (name == "IDAT") {
            imageData = true;
        } else if (name == "IEND") {
            return imageData && (colour != 3 || palette) ? info : ImageInfo{};
        }
        pos += 12 + length;
    }
}

// ------------------------------------------------------------ drawing

// Glyphs of 3 x 5 cells, one row per 3 bits, top row first.
constexpr std::array<std::uint16_t, 11> kGlyphs = {
    0b111'101'101'101'111,   // 0
    0b010'110'010'010'111,   // 1
    0b111'001'111'100'111,   // 2
    0b111'001'111'001'111,   // 3
    0b101'101'111'001'001,   // 4
    0b111'100'111'001'111,   // 5
    0b111'100'111'101'111,   // 6
    0b111'001'010'010'010,   // 7
    0b111'101'111'101'111,   // 8
    0b111'101'111'001'111,   // 9
    0b110'101'110'101'110,   // B
};

struct Rgb {
    unsigned char r, g, b;
};

void drawGlyph(std::vector<unsigned char> &pixels, int width, int height, int glyph, int left, int top, int cell,
               Rgb colour)
{
    for (int row = 0; row < 5; ++row) {
        for (int col = 0; col < 3; ++col) {
            if (!(kGlyphs[std::size_t(glyph)] >> ((4 - row) * 3 + (2 - col)) & 1))
                continue;
            for (int y = top + row * cell; y < top + (row + 1) * cell && y < height; ++y) {
                for (int x = left + col * cell; x < left + (col + 1) * cell && x < width; ++x) {
                    unsigned char *p = &pixels[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3];
                    p[0] = colour.r;
                    p[1] = colour.g;
                    p[2] = colour.b;
                }
            }
        }
    }
}

std::vector<unsigned char> woodPixels(int number, int width, int height)
{
    // Light and dark wood tones; the number shifts them a little so that
    // neighbouring pictures do not look alike.
    const double shift = (number * 37 % 41) / 41.0;
    const Rgb light{static_cast<unsigned char>(222 - 20 * shift), static_cast<unsigned char>(184 - 14 * shift),
                    static_cast<unsigned char>(135 - 10 * shift)};
    const Rgb dark{static_cast<unsigned char>(150 - 30 * shift), static_cast<unsigned char>(98 - 20 * shift),
                   static_cast<unsigned char>(52 - 10 * shift)};
    const double scale = 480.0 / width;   // the same grain at every size
    std::vector<double> wave(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) {
        const double u = x * scale;
        wave[std::size_t(x)] = 9.0 * std::sin(u * 0.009 + number) + 2.0 * std::sin(u * 0.041 + 0.7 * number);
    }
    // Dark, narrow late-wood lines on light early wood.
    std::array<double, 1024> rings{};
    for (std::size_t i = 0; i < rings.size(); ++i) {
        const double s = 0.5 + 0.5 * std::cos(2 * M_PI * double(i) / double(rings.size()));
        rings[i] = 0.15 * s + 0.85 * std::pow(s, 8);
    }
    std::vector<unsigned char> pixels(std::size_t(width) * std::size_t(height) * 3);
    for (int y = 0; y < height; ++y) {
        const double v = y * scale;
        // Rings closer together here and wider apart there, as in real boards.
        const double spacing = 0.075 + 0.03 * std::sin(v * 0.011 + 0.3 * number);
        for (int x = 0; x < width; ++x) {
            const double t = (v + wave[std::size_t(x)]) * spacing;
            const double f = t - std::floor(t);
            // Fine pores: a cheap hash of the position, stretched along the grain.
            const unsigned h = (unsigned(y) * 73856093u) ^ (unsigned(x * scale / 6) * 19349663u) ^ unsigned(number);
            const double pores = double((h * 2654435761u) >> 28) / 15.0 * 0.12;
            const double k = std::min(1.0, rings[std::size_t(f * double(rings.size())) % rings.size()] + pores);
            unsigned char *p = &pixels[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3];
            p[0] = static_cast<unsigned char>(light.r + (dark.r - light.r) * k);
            p[1] = static_cast<unsigned char>(light.g + (dark.g - light.g) * k);
            p[2] = static_cast<unsigned char>(light.b + (dark.b - light.b) * k);
        }
    }

    // "B<number>" on a light plate in the upper left corner.
    const std::string digits = std::to_string(number);
    const int cell = std::max(2, height / 40);
    const int glyphs = int(digits.size()) + 1;
    const int plateWidth = glyphs * 4 * cell + cell;
    const int plateHeight = 7 * cell;
    for (int y = cell; y < cell + plateHeight && y < height; ++y) {
        for (int x = cell; x < cell + plateWidth && x < width; ++x) {
            unsigned char *p = &pixels[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3];
            p[0] = 250;
            p[1] = 244;
            p[2] = 228;
        }
    }
    const Rgb ink{70, 40, 20};
    int left = 2 * cell;
    drawGlyph(pixels, width, height, 10, left, 2 * cell, cell, ink);
    for (const char c : digits) {
        left += 4 * cell;
        drawGlyph(pixels, width, height, c - '0', left, 2 * cell, cell, ink);
    }
    return pixels;
}

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void onJpegError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError *>(info->err)->jump, 1);
}

// Plain C data only between setjmp and longjmp.
bool compressJpeg(const unsigned char *pixels, int width, int height, int dpi, unsigned char **out,
                  unsigned long *outSize)
{
    jpeg_compress_struct cinfo{};
    JpegError error{};
    cinfo.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = onJpegError;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, out, outSize);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 85, TRUE);
    cinfo.write_JFIF_header = TRUE;
    cinfo.density_unit = 1;   // dots per inch
    cinfo.X_density = static_cast<UINT16>(dpi);
    cinfo.Y_density = static_cast<UINT16>(dpi);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + std::size_t(cinfo.next_scanline) * std::size_t(width) * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

} // namespace

ImageInfo inspectImage(std::string_view data)
{
    if (data.size() >= 2 && static_cast<unsigned char>(data[0]) == 0xFF)
        return inspectJpeg(data);
    return inspectPng(data);
}

const char *contentTypeOf(ImageType type)
{
    switch (type) {
    case ImageType::Jpeg: return "image/jpeg";
    case ImageType::Png: return "image/png";
    case ImageType::None: break;
    }
    return "application/octet-stream";
}

std::string drawWoodPicture(int number, int width, int height, int dpi)
{
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide)
        return {};
    const std::vector<unsigned char> pixels = woodPixels(number, width, height);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    const bool ok = compressJpeg(pixels.data(), width, height, dpi, &buffer, &size);
    std::string out;
    if (ok && buffer)
        out.assign(reinterpret_cast<const char *>(buffer), size);
    std::free(buffer);
    return out;
}

} // namespace forumsim
