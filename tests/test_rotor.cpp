// The rotor library's results: every function, exactly where the order of the sums matters;
// create_rotor a unit turn onto its target.
#include "ga.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using vals = std::vector<double>;
vals parts(rot3 r)
{
    return {r.a, r.b01, r.b02, r.b12};
}
vals parts(bivec3 b)
{
    return {b.b01, b.b02, b.b12};
}
vals turned(rot3 r, vals v)
{
    rotate(&r, v.data(), v.data());
    return v;
}
template <class T>
vals matrix(int (*write)(rot3*, T*), rot3 r)
{
    T m[17];
    for (T& e : m)
        e = 7;  // shows elements left out or written past
    write(&r, m);
    return vals(m, m + 17);
}
// Each within tol of the wanted value (tol 0: exactly).
bool near(const vals& got, const vals& want, double tol = 1e-14)
{
    bool ok = got.size() == want.size();
    for (size_t i = 0; ok && i < got.size(); i++)
        ok = std::fabs(got[i] - want[i]) <= tol;
    return ok;
}

TEST(Rotor, KnownValues)
{
    // u's products round: only unfused ones cancel exactly.
    double u[] = {1 + 0x1p-30, 1 + 0x1p-29, 1 - 0x1p-31}, p[] = {1, 2, 3}, q[] = {4, 5, 7},
           n[] = {2, 3, 6};
    rot3 r = {1, 2, 3, 4}, unit = r;  // as the quaternion (1, -4, 3, -2)
    bivec3 plane = {1, 2, 3};
    // Sums of these round: in another order or with fused multiply-adds, other bits than these.
    double a[] = {-0.18, -0.67, -0.73}, b[] = {0.31, 0.13, -0.55};
    rot3 odd = {-0.67, 0.05, -0.3, 0.87};
    const vals sums = {dot(a, b), lengthsqrd(&odd)};
    norm3d(&n);
    norm3d(&a);
    norm3d(&b);
    normalize(&unit);
    const double h = M_SQRT1_2, s = std::sin(17.5), k = std::sqrt(30);
    const vals m = {4, -20, 22, 0, -28, -10, -4, 0, 10, -20, -20, 0, 0, 0, 0, 0, 7};
    const struct {
        vals got, want;
        double tol = 1e-14;
    } cases[] = {
        {vals(n, n + 3), {2 / 7., 3 / 7., 6 / 7.}},
        {parts(wedge(p, q)), {-3, -5, -1}},
        {parts(wedge(u, u)), {0, 0, 0}, 0},
        {parts(create_rotor(u, u)), {1, 0, 0, 0}, 0},
        {parts(create_rotorplane(M_PI / 2, &plane)), {h, -h, -2 * h, -3 * h}},
        {parts(geo(p, q)), {std::cos(17.5), 3 * s, 5 * s, s}},  // the dot as the angle
        {parts(reverse(r)), {1, -2, -3, -4}},
        {parts(unit), {1 / k, 2 / k, 3 / k, 4 / k}},
        {matrix(toMatrix3, r), m},
        {matrix(toMatrix3f, r), m},
        {sums, {0x1.08ce703afb7eap-2, 0x1.4c5d63886594cp+0}, 0},
        {turned(odd, {-0.32, 0.45, 0.4}),
         {0x1.6937d1fe64f5ep-5, -0x1.7beab367a0f91p-1, 0x1.ec3f3e0370cdfp-2},
         0},
        {parts(create_rotor(a, b)),
         {0x1.ac1ea66f58cb6p-1, -0x1.5baeb12f12fefp-3, -0x1.32d6f0f65bb4p-2, -0x1.b51a444ae099p-2},
         0},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(near(c.got, c.want, c.tol)) << testing::PrintToString(c.got);
}

TEST(Rotor, TurnsOntoTarget)
{
    for (int i = 0; i < 1000; i++) {  // pairs spread over the sphere
        double u[3] = {std::sin(i), std::cos(3 * i), std::sin(7 * i)};
        double v[3] = {std::cos(5 * i), std::sin(2 * i), std::cos(i)};
        norm3d(&u);
        norm3d(&v);
        rot3 r = create_rotor(u, v);
        ASSERT_TRUE(near({lengthsqrd(&r)}, {1}) &&
                    near(turned(r, vals(u, u + 3)), vals(v, v + 3), 1e-9))
            << i;
    }
}
