// Reverses the row order of an RGBA16 image in place, through a scratch buffer.
#include <cstring>

#include "tarnwick.h"

int flipimg_rgba(long width, long height, unsigned short* image, unsigned short* scratch)
{
    if (width < 1 || height < 1)
        return 0;
    const size_t row_values = (size_t)width * 4;
    const size_t row_bytes = row_values * sizeof *image;
    for (long i = 0; i < height; i++)
        memcpy(scratch + (size_t)i * row_values, image + (size_t)(height - 1 - i) * row_values,
               row_bytes);
    memcpy(image, scratch, row_bytes * (size_t)height);
    return 0;
}
