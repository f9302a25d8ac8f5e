// Turns a vector with the rotor that carries the x axis onto the y axis: a
// quarter turn about z, so (1, 2, 3) becomes (-2, 1, 3).
#include <tarnwick/ga.h>

#include <cstdio>

int main()
{
    double x[3] = {1.0, 0.0, 0.0};
    double y[3] = {0.0, 1.0, 0.0};
    rot3 quarter = create_rotor(x, y);

    double v[3] = {1.0, 2.0, 3.0};
    double turned[3];
    rotate(&quarter, v, turned);
    std::printf("(%g, %g, %g)\n", turned[0], turned[1], turned[2]);
    return 0;
}
