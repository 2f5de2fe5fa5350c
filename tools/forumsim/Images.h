#pragma once

// Pictures as bytes: telling real JPEG and PNG files from anything else, and
// drawing the seeded pictures.

#include <string>
#include <string_view>

namespace forumsim {

enum class ImageType { None, Jpeg, Png };

struct ImageInfo {
    ImageType type = ImageType::None;
    int width = 0;
    int height = 0;
};

inline constexpr int kMaxImageSide = 20000;
inline constexpr long long kMaxImagePixels = 100'000'000;

// The type and size of a well-formed JPEG (SOI, marker segments with a frame
// header, scan data, EOI) or PNG (signature, IHDR first, intact chunk
// checksums, image data, IEND). Anything else, or a picture larger than
// kMaxImageSide or kMaxImagePixels, gives ImageType::None.
ImageInfo inspectImage(std::string_view data);
const char *contentTypeOf(ImageType type);   // "image/jpeg", "image/png"

// A wood-grain JPEG of width x height pixels with "B<number>" drawn into its
// corner, recording `dpi` as its density. The same arguments give the same
// bytes. Empty on failure.
std::string drawWoodPicture(int number, int width, int height, int dpi);

} // namespace forumsim
