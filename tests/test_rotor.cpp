// The rotor library's results. Guards: a sign, index, pair or term slipped in any function (each
// below; matrices in all 16 elements, none past); create_rotor not a unit turn onto its target
// undone by its reverse; u ^ u and u onto u not exact.
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
    norm3d(&n);
    normalize(&unit);
    const double h = M_SQRT1_2, s = std::sin(17.5), k = std::sqrt(30);
    const vals m = {4, -20, 22, 0, -28, -10, -4, 0, 10, -20, -20, 0, 0, 0, 0, 0, 7};
    const struct {
        vals got, want;
        double tol = 1e-14;
    } cases[] = {
        {{dot(p, q)}, {35}},
        {vals(n, n + 3), {2 / 7., 3 / 7., 6 / 7.}},
        {parts(wedge(p, q)), {-3, -5, -1}},
        {parts(wedge(u, u)), {0, 0, 0}, 0},
        {parts(create_rotor(u, u)), {1, 0, 0, 0}, 0},
        {parts(create_rotorplane(M_PI / 2, &plane)), {h, -h, -2 * h, -3 * h}},
        {parts(geo(p, q)), {std::cos(17.5), 3 * s, 5 * s, s}},  // the dot as the angle
        {turned(r, {5, 6, 7}), {54, -228, -210}},
        {parts(reverse(r)), {1, -2, -3, -4}},
        {{lengthsqrd(&r)}, {30}},
        {parts(unit), {1 / k, 2 / k, 3 / k, 4 / k}},
        {matrix(toMatrix3, r), m},
        {matrix(toMatrix3f, r), m},
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
                    near(turned(r, vals(u, u + 3)), vals(v, v + 3), 1e-9) &&
                    near(turned(reverse(r), turned(r, {1, 2, 3})), {1, 2, 3}))
            << i;
    }
}
