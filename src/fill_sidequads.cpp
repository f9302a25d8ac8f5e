// Writes the four side walls of a button box as quads of four corners.
#include "tarnwick.h"

namespace {

void put_corner(double*& out, double x, double y, double z)
{
    *out++ = x;
    *out++ = y;
    *out++ = z;
}

}  // namespace

// rect holds four corners: right-top, right-bottom, left-bottom, left-top.
// A box has four walls, so four quads are written whatever count says; the
// caller's buffer must hold 48 doubles.
int fill_sidequads(double* out, long count, double* rect)
{
    (void)count;
    const double L = rect[6], R = rect[0], T = rect[1], B = rect[4], Z0 = rect[2];
    const double H = button_top;  // an absolute z, whatever the base

    put_corner(out, L, T, H); put_corner(out, L, T, Z0); put_corner(out, R, T, Z0); put_corner(out, R, T, H);  // top
    put_corner(out, L, B, H); put_corner(out, L, B, Z0); put_corner(out, L, T, Z0); put_corner(out, L, T, H);  // left
    put_corner(out, R, B, H); put_corner(out, R, B, Z0); put_corner(out, L, B, Z0); put_corner(out, L, B, H);  // bottom
    put_corner(out, R, T, H); put_corner(out, R, T, Z0); put_corner(out, R, B, Z0); put_corner(out, R, B, H);  // right
    return 0;
}
