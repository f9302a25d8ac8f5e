// Rotors and bivectors: quoted values compared as exact doubles, and
// properties over seeded random unit vectors and angles.
// Rotors are written (a, b01, b02, b12): scalar, e0^e1, e0^e2, e1^e2.
#include "ga.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>
#include <string>

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
using matf = std::array<float, 16>;

constexpr double eps = DBL_EPSILON;
constexpr int samples = 4000;
const double sqrt_half = std::sqrt(0.5);

rot parts(rot3 r)
{
    return {r.a, r.b01, r.b02, r.b12};
}

vec rotated(rot3 r, vec v)
{
    vec out;
    EXPECT_EQ(rotate(&r, v.data(), out.data()), 0);
    return out;
}

template <class T, std::size_t N>
std::string show(const std::array<T, N>& a)
{
    std::ostringstream out;
    out.precision(17);
    for (std::size_t i = 0; i < N; i++)
        out << (i ? ", " : "{") << a[i];
    out << "}";
    return out.str();
}

// Equal as numbers, so -0 matches 0.
template <class T, std::size_t N>
testing::AssertionResult equal(const std::array<T, N>& got, const std::array<T, N>& want)
{
    if (got == want)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << show(got) << " vs " << show(want);
}

template <std::size_t N>
testing::AssertionResult same_bits(const std::array<double, N>& got, const std::array<double, N>& want)
{
    if (std::memcmp(got.data(), want.data(), sizeof got) == 0)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << show(got) << " vs " << show(want);
}

template <std::size_t N>
testing::AssertionResult within(const std::array<double, N>& got, const std::array<double, N>& want,
                                double tol)
{
    for (std::size_t i = 0; i < N; i++)
        if (!(std::fabs(got[i] - want[i]) <= tol))
            return testing::AssertionFailure()
                   << show(got) << " vs " << show(want) << ": element " << i << " off by "
                   << std::fabs(got[i] - want[i]) / eps << " eps, allowed " << tol / eps;
    return testing::AssertionSuccess();
}

// Uniform in [lo, hi) from the raw bits, the same on every standard library.
double uniform(std::mt19937_64& rng, double lo, double hi)
{
    return lo + (hi - lo) * (static_cast<double>(rng() >> 11) * 0x1p-53);
}

vec random_unit(std::mt19937_64& rng)
{
    double v[3];
    double r2;
    do {
        for (double& c : v)
            c = uniform(rng, -1, 1);
        r2 = dot(v, v);
    } while (r2 > 1 || r2 < 1e-3);
    norm3d(&v);
    return {v[0], v[1], v[2]};
}

vec cross(vec u, vec v)
{
    return {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
}

// A unit plane and an angle; both signs of turn.
rot3 random_rotor(std::mt19937_64& rng)
{
    vec n = random_unit(rng);
    bivec3 plane = {n[0], n[1], n[2]};
    return create_rotorplane(uniform(rng, -M_PI, M_PI), &plane);
}

mat matrix(rot3 r)
{
    mat m;
    EXPECT_EQ(toMatrix3(&r, m.data()), 0);
    return m;
}

matf matrixf(rot3 r)
{
    matf m;
    EXPECT_EQ(toMatrix3f(&r, m.data()), 0);
    return m;
}

const vec ex = {1, 0, 0};
const vec ey = {0, 1, 0};
const vec ez = {0, 0, 1};

} // namespace

TEST(Wedge, BasisPlanesAndAntisymmetry)
{
    // Fields b01, b02, b12: each pair of basis vectors gives its own unit plane.
    vec x = ex, y = ey, z = ez;
    bivec3 xy = wedge(x.data(), y.data());
    bivec3 xz = wedge(x.data(), z.data());
    bivec3 yz = wedge(y.data(), z.data());
    EXPECT_TRUE(equal(vec({xy.b01, xy.b02, xy.b12}), vec({1, 0, 0})));
    EXPECT_TRUE(equal(vec({xz.b01, xz.b02, xz.b12}), vec({0, 1, 0})));
    EXPECT_TRUE(equal(vec({yz.b01, yz.b02, yz.b12}), vec({0, 0, 1})));

    // Exactly antisymmetric, and exactly zero for a vector with itself: two
    // rounded products that cancel, which a fused multiply-add would not do.
    std::mt19937_64 rng(1);
    for (int i = 0; i < samples; i++) {
        vec u = random_unit(rng), v = random_unit(rng);
        bivec3 uv = wedge(u.data(), v.data());
        bivec3 vu = wedge(v.data(), u.data());
        bivec3 uu = wedge(u.data(), u.data());
        ASSERT_TRUE(equal(vec({uv.b01, uv.b02, uv.b12}), vec({-vu.b01, -vu.b02, -vu.b12})));
        ASSERT_TRUE(equal(vec({uu.b01, uu.b02, uu.b12}), vec({0, 0, 0}))) << "u = " << show(u);
    }
}

TEST(CreateRotor, XOntoY)
{
    // The quarter turn from x to y and what it does to x and y.
    vec x = ex, y = ey;
    rot3 r = create_rotor(x.data(), y.data());
    EXPECT_TRUE(equal(parts(r), rot({0.7071067811865475, -0.7071067811865475, 0, 0})));
    EXPECT_TRUE(equal(rotated(r, ex), vec({0, 0.9999999999999998, 0})));
    EXPECT_TRUE(equal(rotated(r, ey), vec({-0.9999999999999998, 0, 0})));
}

TEST(CreateRotor, SameVectorOrZeroVectorGivesIdentity)
{
    // 1 + v u with v = u has a wedge of exactly zero, at any scale that does
    // not overflow (1 + |u|^2)^2; a zero vector makes the whole product 1.
    std::mt19937_64 rng(2);
    vec zero = {0, 0, 0};
    for (int i = 0; i < samples; i++) {
        vec u = random_unit(rng);
        int e = static_cast<int>(uniform(rng, -500, 250));
        for (double& c : u)
            c = std::ldexp(c, e);
        vec v = u;
        ASSERT_TRUE(equal(parts(create_rotor(u.data(), v.data())), rot({1, 0, 0, 0})))
            << "u = " << show(u);
        for (double& c : v)
            c = std::ldexp(c, 750);
        ASSERT_TRUE(equal(parts(create_rotor(zero.data(), v.data())), rot({1, 0, 0, 0})));
        ASSERT_TRUE(equal(parts(create_rotor(v.data(), zero.data())), rot({1, 0, 0, 0})));
    }
}

TEST(CreateRotor, OppositeAndNearlyOppositeVectors)
{
    // Exactly opposite: 0 / 0 in all four parts, no fallback half turn.
    vec x = ex;
    vec minus_x = {-1, 0, 0};
    rot3 r = create_rotor(x.data(), minus_x.data());
    EXPECT_TRUE(std::isnan(r.a));
    EXPECT_TRUE(std::isnan(r.b01));
    EXPECT_TRUE(std::isnan(r.b02));
    EXPECT_TRUE(std::isnan(r.b12));

    // Nearly opposite: a half turn in the xy plane.
    vec near = {-1, 1e-9, 0};
    r = create_rotor(x.data(), near.data());
    EXPECT_TRUE(within(parts(r), rot({0, -1, 0, 0}), eps));
    EXPECT_TRUE(within(rotated(r, ex), vec({-1, 0, 0}), 2 * eps));
}

TEST(CreateRotor, NonUnitInputs)
{
    // (2,0,0) to (0,2,0): 1 + v u = 1 - 4 e0^e1, normalised, turns by 2 atan 4
    // (about 151.9 degrees), not by the quarter turn between the vectors.
    vec u = {2, 0, 0}, v = {0, 2, 0};
    rot3 r = create_rotor(u.data(), v.data());
    EXPECT_TRUE(within(parts(r), rot({1 / std::sqrt(17.0), -4 / std::sqrt(17.0), 0, 0}), eps));
    EXPECT_NEAR(r.a, 0.2425, 1e-4);
    EXPECT_NEAR(r.b01, -0.9701, 1e-4);
    EXPECT_NEAR(2 * std::acos(r.a) * 180 / M_PI, 151.93, 0.01);
    EXPECT_NEAR(lengthsqrd(&r), 1, 2 * eps);
}

TEST(CreateRotorplane, QuarterTurnInEachPlane)
{
    // Plane (b01, b02, b12), the vector it turns by pi/2, where that lands,
    // and the axis that stays put.
    struct Case {
        bivec3 plane;
        vec from, to, axis;
    };
    const Case cases[] = {
        {{1, 0, 0}, ex, ey, ez},            // xy: x towards y, about +z
        {{0, 1, 0}, ex, ez, {0, -1, 0}},    // xz: x towards z, about -y
        {{0, 0, 1}, ey, ez, ex},            // yz: y towards z, about +x
    };
    for (const Case& c : cases) {
        bivec3 plane = c.plane;
        rot3 r = create_rotorplane(M_PI / 2, &plane);
        rot want = {sqrt_half, -sqrt_half * plane.b01, -sqrt_half * plane.b02, -sqrt_half * plane.b12};
        EXPECT_TRUE(within(parts(r), want, eps));
        EXPECT_TRUE(within(rotated(r, c.from), c.to, 2 * eps));
        EXPECT_TRUE(within(rotated(r, c.axis), c.axis, 2 * eps));

        // The plane is taken as given, not normalised.
        bivec3 twice = {2 * plane.b01, 2 * plane.b02, 2 * plane.b12};
        rot3 r2 = create_rotorplane(M_PI / 2, &twice);
        EXPECT_TRUE(equal(parts(r2), rot({r.a, 2 * r.b01, 2 * r.b02, 2 * r.b12})));
    }
}

TEST(Rotate, RotorOfLengthTwoScalesByFour)
{
    // Not normalised first: a rotor of length k scales by k^2.
    rot3 r = {2, 0, 0, 0};
    EXPECT_TRUE(equal(rotated(r, {1, -2, 3}), vec({4, -8, 12})));
    EXPECT_TRUE(equal(matrix(r), mat{4, 0, 0, 0,
                                     0, 4, 0, 0,
                                     0, 0, 4, 0,
                                     0, 0, 0, 0}));
}

TEST(Rotate, InPlaceMatchesSeparateOutput)
{
    // out may be v itself: all of v is read before out is written.
    std::mt19937_64 rng(3);
    for (int i = 0; i < samples; i++) {
        rot3 r = random_rotor(rng);
        vec v = random_unit(rng);
        vec separate = rotated(r, v);
        ASSERT_EQ(rotate(&r, v.data(), v.data()), 0);
        ASSERT_TRUE(same_bits(v, separate));
    }
}

TEST(Reverse, NegatesBivectorSigns)
{
    // A sign flip, so +0 becomes -0.
    rot3 r = reverse(rot3{1, 0, 0, 0});
    EXPECT_TRUE(equal(parts(r), rot({1, 0, 0, 0})));
    EXPECT_FALSE(std::signbit(r.a));
    EXPECT_TRUE(std::signbit(r.b01));
    EXPECT_TRUE(std::signbit(r.b02));
    EXPECT_TRUE(std::signbit(r.b12));

    r = reverse(rot3{-0.5, -1, 2, -0.0});
    EXPECT_TRUE(equal(parts(r), rot({-0.5, 1, -2, 0})));
    EXPECT_FALSE(std::signbit(r.b12));
}

TEST(Length, QuotedValues)
{
    rot3 r = {0, 3, 0, 4};
    EXPECT_EQ(lengthsqrd(&r), 25.0);
    EXPECT_EQ(length(&r), 5.0);
    // Divisions: 3 * (1 / 5) would give 0.6000000000000001.
    normalize(&r);
    EXPECT_TRUE(equal(parts(r), rot({0, 0.6, 0, 0.8})));

    rot3 zero = {0, 0, 0, 0};
    EXPECT_EQ(length(&zero), 0.0);
    normalize(&zero);
    EXPECT_TRUE(std::isnan(zero.a));
    EXPECT_TRUE(std::isnan(zero.b01));
    EXPECT_TRUE(std::isnan(zero.b02));
    EXPECT_TRUE(std::isnan(zero.b12));
}

TEST(Geo, QuotedPairs)
{
    // The dot product is the angle and the wedge the plane.
    vec x = ex, y = ey, xy = {1, 1, 0};
    EXPECT_TRUE(equal(parts(geo(x.data(), y.data())), rot({1, 0, 0, 0})));
    // dot = 1 gives h = 0.5; wedge((1,1,0), x) = -e0^e1, so b01 = sin 0.5.
    EXPECT_TRUE(equal(parts(geo(xy.data(), x.data())), rot({std::cos(0.5), std::sin(0.5), 0, 0})));
}

TEST(ToMatrix, OfXOntoY)
{
    // Row-major; column j is the image of basis vector j.
    vec x = ex, y = ey;
    rot3 r = create_rotor(x.data(), y.data());
    EXPECT_TRUE(equal(matrix(r), mat{0,                  -0.9999999999999998, 0,                  0,
                                     0.9999999999999998, 0,                   0,                  0,
                                     0,                  0,                   0.9999999999999998, 0,
                                     0,                  0,                   0,                  0}));
    EXPECT_TRUE(equal(matrixf(r), matf{0, -1, 0, 0,
                                       1, 0, 0, 0,
                                       0, 0, 1, 0,
                                       0, 0, 0, 0}));
}

TEST(ToMatrix, IdentityRotorHasZeroInElement15)
{
    // Only the 3x3 block is filled: element 15 is 0, not 1.
    rot3 r = {1, 0, 0, 0};
    EXPECT_TRUE(equal(matrix(r), mat{1, 0, 0, 0,
                                     0, 1, 0, 0,
                                     0, 0, 1, 0,
                                     0, 0, 0, 0}));
    EXPECT_TRUE(equal(matrixf(r), matf{1, 0, 0, 0,
                                       0, 1, 0, 0,
                                       0, 0, 1, 0,
                                       0, 0, 0, 0}));
}

TEST(ToMatrix, WritesExactly16Elements)
{
    // 128 and 64 bytes: all of them written over a NaN fill, the guard words after them untouched.
    const uint64_t guard = 0x5a5a5a5a5a5a5a5a;
    const uint32_t guardf = 0x5a5a5a5a;
    rot3 r = {0.5, 0.5, -0.5, 0.5};

    double d[20];
    uint64_t bits[20];
    std::fill(d, d + 16, std::nan(""));
    for (int i = 16; i < 20; i++)
        std::memcpy(&d[i], &guard, sizeof guard);
    EXPECT_EQ(toMatrix3(&r, d), 0);
    std::memcpy(bits, d, sizeof d);
    mat m = matrix(r);
    EXPECT_EQ(std::memcmp(d, m.data(), sizeof m), 0);
    for (int i = 16; i < 20; i++)
        EXPECT_EQ(bits[i], guard) << "double guard " << i - 16;

    float f[20];
    uint32_t bitsf[20];
    std::fill(f, f + 16, std::nanf(""));
    for (int i = 16; i < 20; i++)
        std::memcpy(&f[i], &guardf, sizeof guardf);
    EXPECT_EQ(toMatrix3f(&r, f), 0);
    std::memcpy(bitsf, f, sizeof f);
    matf mf = matrixf(r);
    EXPECT_EQ(std::memcmp(f, mf.data(), sizeof mf), 0);
    for (int i = 16; i < 20; i++)
        EXPECT_EQ(bitsf[i], guardf) << "float guard " << i - 16;
}

TEST(RotorProperty, UnitRotorKeepsLengths)
{
    // Rotors from a unit plane or from two unit vectors turn unit vectors into unit vectors.
    std::mt19937_64 rng(4);
    for (int i = 0; i < samples; i++) {
        vec u = random_unit(rng), v = random_unit(rng), w = random_unit(rng);
        rot3 fromplane = random_rotor(rng);
        rot3 fromvectors = create_rotor(u.data(), v.data());
        vec a = rotated(fromplane, w), b = rotated(fromvectors, w);
        ASSERT_NEAR(std::sqrt(dot(a.data(), a.data())), 1, 8 * eps);
        ASSERT_NEAR(std::sqrt(dot(b.data(), b.data())), 1, 8 * eps);
    }
}

TEST(RotorProperty, CreateRotorTurnsUOntoV)
{
    // 1 + u.v carries an absolute rounding error of about eps, so nearly
    // opposite vectors lose accuracy in proportion.
    std::mt19937_64 rng(5);
    for (int i = 0; i < samples; i++) {
        vec u = random_unit(rng), v = random_unit(rng);
        rot3 r = create_rotor(u.data(), v.data());
        double s = 1 + dot(u.data(), v.data());
        ASSERT_TRUE(within(rotated(r, u), v, 8 * eps / s)) << "1 + u.v = " << s;
        ASSERT_NEAR(lengthsqrd(&r), 1, 4 * eps);
    }
}

TEST(RotorProperty, MatrixColumnsAreRotatedBasisVectors)
{
    std::mt19937_64 rng(6);
    for (int i = 0; i < samples; i++) {
        // Any rotor, not only unit ones: the columns are rotate's results bit for bit.
        rot3 any = {uniform(rng, -2, 2), uniform(rng, -2, 2), uniform(rng, -2, 2), uniform(rng, -2, 2)};
        mat m = matrix(any);
        matf mf = matrixf(any);
        const vec basis[3] = {ex, ey, ez};
        for (int j = 0; j < 3; j++)
            ASSERT_TRUE(same_bits(vec({m[j], m[4 + j], m[8 + j]}), rotated(any, basis[j])));
        for (int k = 0; k < 16; k++)
            ASSERT_EQ(mf[k], static_cast<float>(m[k]));
        for (int k : {3, 7, 11, 12, 13, 14, 15})
            ASSERT_EQ(m[k], 0.0);

        // Matrix times column vector is the rotation.
        rot3 r = random_rotor(rng);
        vec w = random_unit(rng);
        m = matrix(r);
        vec mw;
        for (int row = 0; row < 3; row++)
            mw[row] = m[4 * row] * w[0] + m[4 * row + 1] * w[1] + m[4 * row + 2] * w[2];
        ASSERT_TRUE(within(mw, rotated(r, w), 4 * eps));
    }
}

TEST(RotorProperty, ReverseUndoesRotation)
{
    // R~ (R w R~) R = w for a unit rotor.
    std::mt19937_64 rng(7);
    for (int i = 0; i < samples; i++) {
        rot3 r = random_rotor(rng);
        vec w = random_unit(rng);
        ASSERT_TRUE(within(rotated(reverse(r), rotated(r, w)), w, 8 * eps));
    }
}

TEST(RotorProperty, TurnIsRightHandedAboutCrossProduct)
{
    std::mt19937_64 rng(8);
    for (int i = 0; i < samples; i++) {
        vec u = random_unit(rng), v = random_unit(rng);
        vec n = cross(u, v);
        double sine = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (double& c : n)
            c /= sine;

        // The unit plane of u and v, turned by theta, moves u as Rodrigues'
        // formula does about n: u cos theta + (n x u) sin theta.
        bivec3 b = wedge(u.data(), v.data());
        bivec3 plane = {b.b01 / sine, b.b02 / sine, b.b12 / sine};
        double theta = uniform(rng, -M_PI, M_PI);
        rot3 r = create_rotorplane(theta, &plane);
        vec nu = cross(n, u), want;
        for (int k = 0; k < 3; k++)
            want[k] = u[k] * std::cos(theta) + nu[k] * std::sin(theta);
        ASSERT_TRUE(within(rotated(r, u), want, 8 * eps));
        ASSERT_TRUE(within(rotated(r, n), n, 8 * eps));

        // create_rotor(u, v) is that turn by the angle from u to v.
        double phi = std::atan2(sine, dot(u.data(), v.data()));
        double s = 1 + dot(u.data(), v.data());
        ASSERT_TRUE(within(parts(create_rotor(u.data(), v.data())),
                           parts(create_rotorplane(phi, &plane)), 8 * eps / s));
    }
}
