// PNG files to and from raw pictures, every channel at 16 bits.
#ifndef RGBATOOL_PNGIO_H
#define RGBATOOL_PNGIO_H

#include "rawimage.h"

#include <string>

// Reads any PNG and expands it to RGBA16 (8-bit channels become v*257, no alpha
// means opaque). It must be side x side pixels; `what` names the picture's use
// in the size message.
bool png_read_raw(const std::string& path, long side, const char* what, rawimage& img,
                  std::string& err);

// Writes a 16-bit RGBA PNG through a temporary file.
bool png_write_raw(const std::string& path, const rawimage& img, std::string& err);

#endif
