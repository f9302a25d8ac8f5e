// The dot product of two 3-D vectors.
#include "ga.h"

double dot(double* u, double* v)
{
    return u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
}
