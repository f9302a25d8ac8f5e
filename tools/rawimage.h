// A picture in the menu's raw file layout: no header, 8 bytes per pixel,
// red, green, blue, alpha as unsigned 16-bit little-endian, top row first.
#ifndef RGBATOOL_RAWIMAGE_H
#define RGBATOOL_RAWIMAGE_H

#include "outfile.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr long button_side = 1024;
constexpr long background_side = 4096;

struct rgba16 {
    uint16_t r, g, b, a;
};

struct rawimage {
    long width = 0;
    long height = 0;
    std::vector<unsigned char> bytes;  // exactly the file's bytes
};

// Sizes the picture and makes every pixel transparent black.
void rawimage_init(rawimage& img, long width, long height);
void rawimage_put(rawimage& img, long x, long y, rgba16 pixel);
rgba16 rawimage_get(const rawimage& img, long x, long y);

// Reads a raw file; its length decides whether it is a button picture or the background.
bool rawimage_read(const std::string& path, rawimage& img, std::string& err);
bool rawimage_write(const std::string& path, const rawimage& img, out_mode mode, std::string& err);

#endif
