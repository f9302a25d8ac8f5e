// The rotor library and the vector operations under it: quoted values compared
// exactly, and properties over seeded random unit vectors and angles.
// Rotors are written (a, b01, b02, b12): scalar, e0^e1, e0^e2, e1^e2.
#include "ga.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <random>

namespace {

#ifdef __FMA__
// This build may use fused multiply-add instructions; a CPU without them cannot run it.
class NeedsFma : public testing::Environment {
    void SetUp() override
    {
        if (!__builtin_cpu_supports("fma"))
            GTEST_SKIP() << "this CPU has no FMA instructions";
    }
};
testing::Environment* const needs_fma = testing::AddGlobalTestEnvironment(new NeedsFma);
#endif

using vec = std::array<double, 3>;
using rot = std::array<double, 4>;
using mat = std::array<double, 16>;

constexpr double eps = DBL_EPSILON;
const vec ex = {1, 0, 0}, ey = {0, 1, 0}, ez = {0, 0, 1};

rot parts(rot3 r) { return {r.a, r.b01, r.b02, r.b12}; }
vec parts(bivec3 b) { return {b.b01, b.b02, b.b12}; }
bool all_nan(rot r) { return std::isnan(r[0]) && std::isnan(r[1]) && std::isnan(r[2]) && std::isnan(r[3]); }
bool same_bits(vec a, vec b) { return std::memcmp(a.data(), b.data(), sizeof a) == 0; }

vec rotated(rot3 r, vec v)
{
    vec out;
    EXPECT_EQ(rotate(&r, v.data(), out.data()), 0);
    return out;
}

// Every element within tol of the wanted one; tol 0 means equal as numbers, so -0 matches 0.
template <std::size_t N>
testing::AssertionResult within(const std::array<double, N>& got, const std::array<double, N>& want,
                                double tol = 0)
{
    for (std::size_t i = 0; i < N; i++)
        if (!(std::fabs(got[i] - want[i]) <= tol))
            return testing::AssertionFailure() << "element " << i << ": " << got[i] << " vs " << want[i];
    return testing::AssertionSuccess();
}

// The writer fills all 16 elements of a NaN-filled array with the wanted values,
// rounded to T, and leaves the guard words after them: exactly 128 or 64 bytes.
template <class T>
void expect_written(int (*write)(rot3*, T*), rot3 r, const mat& want)
{
    T m[20], guard[4];
    std::fill(m, m + 16, std::numeric_limits<T>::quiet_NaN());
    std::memset(m + 16, 0x5a, sizeof guard);
    std::memset(guard, 0x5a, sizeof guard);
    EXPECT_EQ(write(&r, m), 0);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(m[i], static_cast<T>(want[i])) << "element " << i << ", " << sizeof(T) << " bytes each";
    EXPECT_EQ(std::memcmp(m + 16, guard, sizeof guard), 0) << "written past the matrix";
}

void expect_matrices(rot3 r, const mat& want)
{
    expect_written(toMatrix3, r, want);
    expect_written(toMatrix3f, r, want);
}

// Uniform in [lo, hi) from the raw bits, the same on every standard library.
double uniform(std::mt19937_64& rng, double lo, double hi)
{
    return lo + (hi - lo) * (static_cast<double>(rng() >> 11) * 0x1p-53);
}

vec random_unit(std::mt19937_64& rng)
{
    double v[3] = {uniform(rng, -1, 1), uniform(rng, -1, 1), uniform(rng, -1, 1)};
    norm3d(&v);
    return {v[0], v[1], v[2]};
}

vec cross(vec u, vec v)
{
    return {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
}

} // namespace

TEST(Dot, QuotedValuesAndLeftToRightSums)
{
    // Left to right: 1 + 2^53 rounds to 2^53, so big.ones is 0; grouped the other way it is 1.
    // a*a - a*a with both products rounded is exactly 0; a fused multiply-add leaves +-2^-60.
    const double a = 1 + 0x1p-30;
    double u[3] = {1, 2, 3}, v[3] = {4, 5, 6}, w[3] = {3, 4, 12}, zero[3] = {0, 0, 0};
    double big[3] = {1, 0x1p53, -0x1p53}, ones[3] = {1, 1, 1}, p[3] = {a, a, 0}, q[3] = {a, -a, 0};
    EXPECT_EQ(dot(u, v), 32.0);
    EXPECT_EQ(dot(w, w), 169.0);
    EXPECT_EQ(dot(u, zero), 0.0);
    EXPECT_EQ(dot(big, ones), 0.0);
    EXPECT_EQ(dot(p, q), 0.0);
}

TEST(Norm3d, QuotedValuesAndZeroVector)
{
    // Three divisions: 3 * (1 / 5) would give 0.6000000000000001. The zero vector gives 0 / 0.
    double v[3] = {3, 4, 0}, zero[3] = {0, 0, 0};
    EXPECT_EQ(norm3d(&v), 0);
    EXPECT_TRUE(within(vec{v[0], v[1], v[2]}, vec{0.6, 0.8, 0}));
    EXPECT_EQ(norm3d(&zero), 0);
    EXPECT_TRUE(std::isnan(zero[0]) && std::isnan(zero[1]) && std::isnan(zero[2]));
}

TEST(Wedge, BasisPlanesAndAntisymmetry)
{
    // Each pair of basis vectors gives its own unit plane (b01, b02, b12).
    vec x = ex, y = ey, z = ez;
    EXPECT_TRUE(within(parts(wedge(x.data(), y.data())), vec{1, 0, 0}));
    EXPECT_TRUE(within(parts(wedge(x.data(), z.data())), vec{0, 1, 0}));
    EXPECT_TRUE(within(parts(wedge(y.data(), z.data())), vec{0, 0, 1}));

    // Exactly antisymmetric, and exactly zero for a vector with itself, so that
    // create_rotor(u, u) is the identity: rounded products that cancel, where a
    // fused multiply-add would leave the low bits of a*b, b*c or c*a.
    const double a = 1 + 0x1p-30, b = 1 + 0x1p-29, c = 1 - 0x1p-31;
    vec u = {a, b, c}, v = {b, c, a};
    vec uv = parts(wedge(u.data(), v.data())), vu = parts(wedge(v.data(), u.data()));
    EXPECT_TRUE(within(uv, vec{-vu[0], -vu[1], -vu[2]}));
    EXPECT_TRUE(within(parts(wedge(u.data(), u.data())), vec{0, 0, 0}));
    EXPECT_TRUE(within(parts(create_rotor(u.data(), u.data())), rot{1, 0, 0, 0}));
}

TEST(CreateRotor, XOntoY)
{
    // The quarter turn from x to y, what it does to x and y, and its matrices:
    // row-major, column j the image of basis vector j; the floats are 0 and +-1.
    vec x = ex, y = ey;
    rot3 r = create_rotor(x.data(), y.data());
    const double h = 0.7071067811865475, one = 0.9999999999999998;
    EXPECT_TRUE(within(parts(r), rot{h, -h, 0, 0}));
    EXPECT_TRUE(within(rotated(r, ex), vec{0, one, 0}));
    EXPECT_TRUE(within(rotated(r, ey), vec{-one, 0, 0}));
    expect_matrices(r, {0,   -one, 0,   0,
                        one, 0,    0,   0,
                        0,   0,    one, 0,
                        0,   0,    0,   0});
}

TEST(CreateRotor, OppositeNearlyOppositeAndNonUnitInputs)
{
    // Exactly opposite: 0 / 0 in all four parts, no fallback half turn.
    // Nearly opposite: a half turn in the xy plane.
    vec x = ex, minus_x = {-1, 0, 0}, near = {-1, 1e-9, 0};
    EXPECT_TRUE(all_nan(parts(create_rotor(x.data(), minus_x.data()))));
    rot3 r = create_rotor(x.data(), near.data());
    EXPECT_TRUE(within(parts(r), rot{0, -1, 0, 0}));
    EXPECT_TRUE(within(rotated(r, ex), vec{-1, 0, 0}));

    // (2,0,0) to (0,2,0): 1 + v u = 1 - 4 e0^e1, normalised, turns by 2 atan 4
    // (about 151.9 degrees), not by the quarter turn between the vectors.
    // A zero vector makes 1 + v u just 1.
    vec u = {2, 0, 0}, v = {0, 2, 0}, zero = {0, 0, 0};
    r = create_rotor(u.data(), v.data());
    EXPECT_TRUE(within(parts(r), rot{0.24253562503633297, -0.97014250014533188, 0, 0}));
    EXPECT_TRUE(within(rotated(r, ex), vec{-15.0 / 17, 8.0 / 17, 0}, eps));
    EXPECT_TRUE(within(parts(create_rotor(zero.data(), v.data())), rot{1, 0, 0, 0}));
    EXPECT_TRUE(within(parts(create_rotor(u.data(), zero.data())), rot{1, 0, 0, 0}));
}

TEST(CreateRotorplane, QuarterTurnInEachPlane)
{
    // The planes xy, xz, yz (b01, b02, b12) turn x to y, x to z, y to z by pi/2.
    // cos(pi/4) and sin(pi/4) differ in the last bit.
    const vec from[3] = {ex, ex, ey}, to[3] = {ey, ez, ez}, planes[3] = {ex, ey, ez};
    const double c = 0.70710678118654757, s = 0.70710678118654746;
    for (int j = 0; j < 3; j++) {
        bivec3 p = {planes[j][0], planes[j][1], planes[j][2]};
        bivec3 twice = {2 * p.b01, 2 * p.b02, 2 * p.b12};
        rot3 r = create_rotorplane(M_PI / 2, &p);
        EXPECT_TRUE(within(parts(r), rot{c, -s * p.b01, -s * p.b02, -s * p.b12}));
        EXPECT_TRUE(within(rotated(r, from[j]), to[j], 2 * eps));
        // The plane is taken as given, not normalised.
        rot3 r2 = create_rotorplane(M_PI / 2, &twice);
        EXPECT_TRUE(within(parts(r2), rot{c, 2 * r.b01, 2 * r.b02, 2 * r.b12}));
    }
}

TEST(RotorArithmetic, QuotedValues)
{
    // Not normalised first: a rotor of length 2 scales by 4. Only the 3x3 block
    // of a matrix is filled: the identity rotor has 0 in element 15, not 1.
    rot3 two = {2, 0, 0, 0};
    EXPECT_TRUE(within(rotated(two, {1, -2, 3}), vec{4, -8, 12}));
    expect_matrices(two, {4, 0, 0, 0, 0, 4, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0});
    expect_matrices({1, 0, 0, 0}, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0});

    // reverse flips the signs, so +0 becomes -0; the scalar part stays.
    rot3 r = reverse(rot3{1, 0, 0, 0});
    EXPECT_TRUE(within(parts(r), rot{1, 0, 0, 0}));
    EXPECT_FALSE(std::signbit(r.a));
    EXPECT_TRUE(std::signbit(r.b01) && std::signbit(r.b02) && std::signbit(r.b12));
    EXPECT_TRUE(within(parts(reverse(rot3{-0.5, -1, 2, 3})), rot{-0.5, 1, -2, -3}));

    // Divisions: 3 * (1 / 5) would give 0.6000000000000001. The zero rotor gives 0 / 0.
    r = {0, 3, 0, 4};
    EXPECT_EQ(lengthsqrd(&r), 25.0);
    EXPECT_EQ(length(&r), 5.0);
    normalize(&r);
    EXPECT_TRUE(within(parts(r), rot{0, 0.6, 0, 0.8}));
    rot3 zero = {0, 0, 0, 0};
    normalize(&zero);
    EXPECT_TRUE(all_nan(parts(zero)));
}

TEST(Geo, QuotedPairs)
{
    // The dot product is the angle and the wedge the plane: x, y gives the
    // identity; (1,1,0), x gives h = 0.5 and wedge -e0^e1, so b01 = sin 0.5.
    vec x = ex, y = ey, xy = {1, 1, 0};
    EXPECT_TRUE(within(parts(geo(x.data(), y.data())), rot{1, 0, 0, 0}));
    EXPECT_TRUE(within(parts(geo(xy.data(), x.data())), rot{std::cos(0.5), std::sin(0.5), 0, 0}));
}

TEST(RotorProperty, RandomUnitVectorsAndAngles)
{
    std::mt19937_64 rng(5);
    const vec basis[3] = {ex, ey, ez};
    for (int i = 0; i < 4000; i++) {
        // create_rotor(u, v) turns u onto v. 1 + u.v carries an absolute rounding
        // error of about eps, so nearly opposite vectors lose accuracy in proportion.
        vec u = random_unit(rng), v = random_unit(rng), w = random_unit(rng), n = cross(u, v);
        double d = dot(u.data(), v.data()), s = 1 + d, sine = std::sqrt(dot(n.data(), n.data()));
        rot3 uv = create_rotor(u.data(), v.data());
        ASSERT_TRUE(within(rotated(uv, u), v, 8 * eps / s)) << "1 + u.v = " << s;
        ASSERT_NEAR(lengthsqrd(&uv), 1, 4 * eps);

        // The unit plane of u and v, turned by theta, moves u as Rodrigues' formula
        // does about the unit n = u x v: u cos theta + (n x u) sin theta; n stays.
        // create_rotor(u, v) is that turn by the angle from u to v.
        for (double& c : n)
            c /= sine;
        bivec3 b = wedge(u.data(), v.data());
        bivec3 plane = {b.b01 / sine, b.b02 / sine, b.b12 / sine};
        double theta = uniform(rng, -M_PI, M_PI);
        rot3 r = create_rotorplane(theta, &plane);
        vec nu = cross(n, u), want;
        for (int k = 0; k < 3; k++)
            want[k] = u[k] * std::cos(theta) + nu[k] * std::sin(theta);
        ASSERT_TRUE(within(rotated(r, u), want, 8 * eps));
        ASSERT_TRUE(within(rotated(r, n), n, 8 * eps));
        rot3 by_angle = create_rotorplane(std::atan2(sine, d), &plane);
        ASSERT_TRUE(within(parts(uv), parts(by_angle), 8 * eps / s));

        // That unit rotor keeps lengths, and its reverse turns back within rounding.
        vec rw = rotated(r, w);
        ASSERT_NEAR(std::sqrt(dot(rw.data(), rw.data())), 1, 8 * eps);
        ASSERT_TRUE(within(rotated(reverse(r), rw), w, 8 * eps));

        // The matrix columns are rotate's results bit for bit, the floats those
        // rounded, and matrix times vector is the rotation within a few ulps.
        mat m;
        std::array<float, 16> mf;
        ASSERT_EQ(toMatrix3(&r, m.data()) + toMatrix3f(&r, mf.data()), 0);
        for (int j = 0; j < 3; j++)
            ASSERT_TRUE(same_bits(vec{m[j], m[4 + j], m[8 + j]}, rotated(r, basis[j])));
        for (int k = 0; k < 16; k++)
            ASSERT_EQ(mf[k], static_cast<float>(m[k]));
        vec mw;
        for (int row = 0; row < 3; row++)
            mw[row] = m[4 * row] * w[0] + m[4 * row + 1] * w[1] + m[4 * row + 2] * w[2];
        ASSERT_TRUE(within(mw, rw, 4 * eps));

        // out may be v itself: all of v is read before out is written.
        ASSERT_EQ(rotate(&r, w.data(), w.data()), 0);
        ASSERT_TRUE(same_bits(w, rw));
    }
}
