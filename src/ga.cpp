// Rotors and bivectors of 3-D geometric algebra.
// Results must be the same bits everywhere (see ga.h): each product is rounded
// before it is summed, sums run left to right as written, and the build
// forbids fusing a*b + c into one multiply-add for this module.
#include "ga.h"

#include <cmath>

bivec3 wedge(double* u, double* v)
{
    return bivec3{u[0] * v[1] - u[1] * v[0],
                  u[0] * v[2] - u[2] * v[0],
                  u[1] * v[2] - u[2] * v[1]};
}

namespace {

// Unit vectors u, v within 2^-18 radians (about 4e-6) of opposite: there |u + v|^2 is below
// this, and so is 1 + v.u. The rounding of 1 + v.u (about 1e-16) would turn the usual result
// away from v by about 1e-16 over their angle from opposite: 4e-11 at the edge, up to a half
// turn further in. near_opposite does without it.
constexpr double near_opposite_limit = 0x1p-36;

// Neither a half turn nor any other: exactly opposite vectors have no plane to turn in.
constexpr rot3 no_rotor = {NAN, NAN, NAN, NAN};

// The rotor of create_rotor for unit vectors u, v nearly opposite, from their sum (exact there).
// Their wedge v^u is taken as sum^u, as v^u's own products cancel to their rounding; 1 + v.u is
// taken from the wedge, as |w|^2 / (|u||v| - v.u), where |u||v| - v.u is 2|d| (d = v.u) to
// within 2^-37. All parts are divided by the wedge's largest component first, so that a wedge
// too small to square still gives its plane.
rot3 near_opposite(double* u, double* sum, double d)
{
    bivec3 w = wedge(sum, u);
    double largest = std::fmax(std::fabs(w.b01), std::fmax(std::fabs(w.b02), std::fabs(w.b12)));
    if (largest == 0.0)
        return no_rotor;
    bivec3 plane = {w.b01 / largest, w.b02 / largest, w.b12 / largest};
    double plane_squared = plane.b01 * plane.b01 + plane.b02 * plane.b02 + plane.b12 * plane.b12;
    double s = largest * plane_squared / (2.0 * std::fabs(d));
    double n = std::sqrt(s * s + plane_squared);
    return rot3{s / n, plane.b01 / n, plane.b02 / n, plane.b12 / n};
}

}  // namespace

rot3 create_rotor(double* u, double* v)
{
    // 1 + v u, normalised: the scalar part is 1 + v.u, the bivector part v^u.
    double d = dot(v, u);
    bivec3 w = wedge(v, u);
    double s = 1.0 + d;
    double sum[3] = {u[0] + v[0], u[1] + v[1], u[2] + v[2]};
    if (std::fabs(s) <= near_opposite_limit && dot(sum, sum) <= near_opposite_limit)
        return near_opposite(u, sum, d);
    // Opposite directions of other lengths.
    if (d < 0.0 && w.b01 == 0.0 && w.b02 == 0.0 && w.b12 == 0.0)
        return no_rotor;
    double n = std::sqrt(s * s + w.b01 * w.b01 + w.b02 * w.b02 + w.b12 * w.b12);
    return rot3{s / n, w.b01 / n, w.b02 / n, w.b12 / n};
}

rot3 create_rotorplane(double angle, bivec3* plane)
{
    double s;
    double c;
    sincos(angle * 0.5, &s, &c);
    double ns = -s;
    return rot3{c, ns * plane->b01, ns * plane->b02, ns * plane->b12};
}

int rotate(rot3* rotor, double* v, double* out)
{
    double a = rotor->a;
    double b01 = rotor->b01;
    double b02 = rotor->b02;
    double b12 = rotor->b12;
    // Read all of v first so that out may be v itself.
    double x = v[0];
    double y = v[1];
    double z = v[2];

    // R v: a vector q0, q1, q2 and a trivector, kept in q3 with its sign reversed.
    double q0 = a * x + b01 * y + b02 * z;
    double q1 = a * y - b01 * x + b12 * z;
    double q2 = a * z - b02 * x - b12 * y;
    double q3 = b02 * y - b12 * x - b01 * z;

    // (R v) R~: the trivector part cancels, only the vector part is kept.
    out[0] = a * q0 + b01 * q1 + b02 * q2 - b12 * q3;
    out[1] = a * q1 - b01 * q0 + b02 * q3 + b12 * q2;
    out[2] = a * q2 - b01 * q3 - b02 * q0 - b12 * q1;
    return 0;
}

rot3 reverse(rot3 rotor)
{
    // Sign flips, so a zero bivector part becomes -0.
    return rot3{rotor.a, -rotor.b01, -rotor.b02, -rotor.b12};
}

double lengthsqrd(rot3* rotor)
{
    return rotor->a * rotor->a + rotor->b01 * rotor->b01 + rotor->b02 * rotor->b02 +
           rotor->b12 * rotor->b12;
}

double length(rot3* rotor)
{
    return std::sqrt(lengthsqrd(rotor));
}

void normalize(rot3* rotor)
{
    double n = length(rotor);
    rotor->a = rotor->a / n;
    rotor->b01 = rotor->b01 / n;
    rotor->b02 = rotor->b02 / n;
    rotor->b12 = rotor->b12 / n;
}

int toMatrix3(rot3* rotor, double* m)
{
    for (int k = 0; k < 16; k++)
        m[k] = 0.0;
    // Column j is the image of basis vector j, straight from rotate.
    for (int j = 0; j < 3; j++) {
        double e[3] = {0.0, 0.0, 0.0};
        double col[3];
        e[j] = 1.0;
        rotate(rotor, e, col);
        for (int i = 0; i < 3; i++)
            m[4 * i + j] = col[i];
    }
    return 0;
}

int toMatrix3f(rot3* rotor, float* m)
{
    double d[16];
    toMatrix3(rotor, d);
    for (int k = 0; k < 16; k++)
        m[k] = static_cast<float>(d[k]);
    return 0;
}

rot3 geo(double* u, double* v)
{
    // The dot product serves as the angle and the plain wedge as the plane.
    double angle = dot(u, v);
    bivec3 plane = wedge(u, v);
    return create_rotorplane(angle, &plane);
}
