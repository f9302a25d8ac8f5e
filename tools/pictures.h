// The default pictures: labelled button faces and the spiral background.
#ifndef RGBATOOL_PICTURES_H
#define RGBATOOL_PICTURES_H

#include "rawimage.h"

#include <string>
#include <vector>

// Draws one button picture per label, all in the same font size; false with a
// message in `err` when the font cannot be found.
bool draw_labels(const std::vector<std::string>& labels, std::vector<rawimage>& pictures,
                 std::string& err);

// A face with nothing on it: transparent everywhere, so the gold shows.
void draw_blank(rawimage& picture);

// An opaque spiral of hues on a square of side x side pixels.
void draw_spiral(rawimage& picture, long side);

// Frees the font library's caches (for leak checkers); call once, at the end.
void pictures_release();

#endif
