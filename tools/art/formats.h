// Writers of the three file formats the artwork ships in: Windows bitmaps with a colour
// table, Truevision TGA pictures and Windows icons. Each returns the whole file; an empty
// result means the picture does not fit the format, and nothing should be written.
#pragma once

#include "tools/art/picture.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace art {

// An uncompressed bitmap of 4 or 8 bits a pixel: 14-byte file header, 40-byte info header,
// a colour table of exactly 2^bits entries (the palette, padded with black), bottom-up rows
// padded to four bytes. Refused: another depth, a palette larger than the table, an index
// outside the palette, an empty picture or one whose index count does not match its size.
std::vector<uint8_t> EncodeBmp(const IndexedPicture& picture, int bitsPerPixel);

// An uncompressed true-colour TGA (image type 2) of 32 bits a pixel with 8 alpha bits,
// bottom-up rows, and the version 2 footer. Refused: an empty picture, a side above 65535.
std::vector<uint8_t> EncodeTga(const Rgba8Picture& picture);

// One image of an icon file. With `indexed` the image is stored with 8 bits a pixel and a
// 256-entry table, otherwise with 32 bits (blue, green, red, alpha); either way the
// transparency mask is taken from the alpha of `rgba` (below one half: transparent).
struct IconImage {
    Rgba8Picture rgba;
    std::optional<IndexedPicture> indexed;
};

// Square images of 1 to 256 pixels, in the order given. Refused: no image, a non-square or
// oversized image, an indexed picture that does not match its rgba picture.
std::vector<uint8_t> EncodeIco(const std::vector<IconImage>& images);

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace art
