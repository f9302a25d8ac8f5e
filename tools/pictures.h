// The default pictures: labelled button faces and the spiral background.
#ifndef RGBATOOL_PICTURES_H
#define RGBATOOL_PICTURES_H

#include "rawimage.h"

#include <string>
#include <vector>

// Draws a button picture for each label that `wanted` marks, in the font size
// that fits all the labels, so that any of them drawn alone looks as it would
// with the others; the rest stay empty. False with a message in `err` when the
// font cannot be found. Memory that cannot be had throws std::bad_alloc.
bool draw_labels(const std::vector<std::string>& labels, const std::vector<bool>& wanted,
                 std::vector<rawimage>& pictures, std::string& err);

// A face with nothing on it: transparent everywhere, so the gold shows.
void draw_blank(rawimage& picture);

// An opaque spiral of hues on a square of side x side pixels.
void draw_spiral(rawimage& picture, long side);

// Frees the font library's caches (for leak checkers); call once, at the end.
void pictures_release();

#endif
