// Scales a 3-D vector in place to unit length.
#include "ga.h"

#include <cmath>

int norm3d(double (*v)[3])
{
    double x = (*v)[0];
    double y = (*v)[1];
    double z = (*v)[2];
    double n = std::sqrt(x * x + y * y + z * z);
    // Three divisions: multiplying by 1/n would round differently (3 * (1/5) is not 0.6).
    (*v)[0] = x / n;
    (*v)[1] = y / n;
    (*v)[2] = z / n;
    return 0;
}
