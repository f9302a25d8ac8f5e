// The rotor library: known values compared bit for bit, and properties of seeded random turns.
#include "ga.h"
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {
#ifdef __FMA__ // This build may use fused multiply-add instructions, which some CPUs lack.
struct NeedsFma : testing::Environment {
    void SetUp() override { if (!__builtin_cpu_supports("fma")) GTEST_SKIP() << "this CPU has no FMA instructions"; }
};
testing::Environment* const needs_fma = testing::AddGlobalTestEnvironment(new NeedsFma);
#endif

using vals = std::vector<double>;
vals parts(rot3 r) { return {r.a, r.b01, r.b02, r.b12}; }
vals parts(bivec3 b) { return {b.b01, b.b02, b.b12}; }
vals turned(rot3 r, vals v) { vals out(3); rotate(&r, v.data(), out.data()); return out; }

// All 16 elements written (none keeps the filler 7), and not one after them.
template <class T> vals matrix(int (*write)(rot3*, T*), rot3 r)
{
    T m[17] = {7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7};
    EXPECT_TRUE(write(&r, m) == 0 && m[16] == 7) << "written past the matrix";
    return vals(m, m + 16);
}

// Every element within tol of the wanted one; tol 0 asks for the same bits, or NaN for NaN.
testing::AssertionResult match(const vals& got, const vals& want, double tol = 0)
{
    bool ok = got.size() == want.size();
    for (std::size_t i = 0; ok && i < got.size(); i++)
        ok = tol > 0 ? std::fabs(got[i] - want[i]) <= tol
                     : !std::memcmp(&got[i], &want[i], sizeof got[i]) || (std::isnan(got[i]) && std::isnan(want[i]));
    return ok ? testing::AssertionSuccess() : testing::AssertionFailure() << testing::PrintToString(got);
}
} // namespace

TEST(Rotor, KnownValues)
{
    // big.ones is 0 only summed left to right; a*a - a*a and u^u (in create_rotor u onto u) are 0 only if each
    // product is rounded, not fused into a multiply-add. Zeros keep their sign: -(sin h) * 0 is -0.
    const double a = 1 + 0x1p-30, one = 0.9999999999999998;
    double x[] = {1, 0, 0}, y[] = {0, 1, 0}, mx[] = {-1, 0, 0}, x2[] = {2, 0, 0}, y2[] = {0, 2, 0};
    double p[] = {1, 2, 3}, q[] = {4, 5, 7}, big[] = {1, 0x1p53, -0x1p53}, ones[] = {1, 1, 1};
    double aa[] = {a, a, 0}, amina[] = {a, -a, 0}, u[] = {a, 1 + 0x1p-29, 1 - 0x1p-31}, v345[] = {3, 4, 0};
    rot3 xy = create_rotor(x, y), r1234 = {1, 2, 3, 4}, normed = {0, 3, 0, 4};
    bivec3 plane = {1, 2, 3};
    norm3d(&v345);
    normalize(&normed);
    const struct { const char* what; vals got, want; } cases[] = {
        {"dot: left to right, each product rounded", {dot(p, q), dot(big, ones), dot(aa, amina)}, {35, 0, 0}},
        {"norm3d: 3 / 5, not 3 * (1 / 5)", {v345[0], v345[1], v345[2]}, {0.6, 0.8, 0}},
        {"wedge", parts(wedge(p, q)), {-3, -5, -1}},
        {"create_rotor u onto u", parts(create_rotor(u, u)), {1, 0, 0, 0}},
        {"create_rotor x onto y", parts(xy), {0.7071067811865475, -0.7071067811865475, 0, 0}},
        {"toMatrix3", matrix(toMatrix3, xy), {0, -one, 0, 0, one, 0, 0, 0, 0, 0, one, 0, 0, 0, 0, 0}},
        {"toMatrix3f", matrix(toMatrix3f, xy), {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0}},
        {"create_rotor x onto -x", parts(create_rotor(x, mx)), {NAN, NAN, NAN, NAN}},
        {"create_rotor 2x onto 2y", parts(create_rotor(x2, y2)), {0.24253562503633297, -0.9701425001453319, 0, 0}},
        {"create_rotorplane", parts(create_rotorplane(M_PI / 2, &plane)),
         {0.7071067811865476, -0.7071067811865475, -1.414213562373095, -2.1213203435596424}},
        {"rotate as the quaternion (1, -4, 3, -2)", turned(r1234, {5, 6, 7}), {54, -228, -210}},
        {"reverse", parts(reverse(rot3{1, 0, 0, 0})), {1, -0.0, -0.0, -0.0}},
        {"lengthsqrd", {lengthsqrd(&r1234)}, {30}},
        {"normalize", parts(normed), {0, 0.6, 0, 0.8}},
        {"geo", parts(geo(x, ones)), {std::cos(0.5), -std::sin(0.5), -std::sin(0.5), -0.0}},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(match(c.got, c.want)) << c.what;
}

TEST(Rotor, PropertiesOfRandomTurns)
{
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> any(-1, 1);
    auto unit = [&] { double v[3] = {any(rng), any(rng), any(rng)}; norm3d(&v); return vals(v, v + 3); };
    // create_rotor(u, v) turns u onto v by their angle in their unit plane (nearly opposite vectors lose accuracy
    // as 1 + u.v does). It keeps lengths, its reverse turns back, the identity changes nothing, the matrix does
    // what rotate does, and rotate may write over its input.
    for (int i = 0; i < 2000; i++) {
        vals u = unit(), v = unit(), w = unit(), b = parts(wedge(u.data(), v.data()));
        double d = dot(u.data(), v.data()), sine = std::sqrt(dot(b.data(), b.data())), tol = 2e-15 / (1 + d);
        bivec3 plane = {b[0] / sine, b[1] / sine, b[2] / sine};
        rot3 r = create_rotor(u.data(), v.data()), by_angle = create_rotorplane(std::atan2(sine, d), &plane);
        ASSERT_TRUE(match(turned(r, u), v, tol) && match(parts(r), parts(by_angle), tol)) << i;
        vals rw = turned(r, w), m = matrix(toMatrix3, r);
        ASSERT_TRUE(match({lengthsqrd(&r), dot(rw.data(), rw.data())}, {1, 1}, 2e-15)) << i;
        ASSERT_TRUE(match(turned(reverse(r), rw), w, 2e-15) && match(turned(rot3{1, 0, 0, 0}, w), w)) << i;
        ASSERT_TRUE(match({dot(&m[0], w.data()), dot(&m[4], w.data()), dot(&m[8], w.data())}, rw, 1e-15)) << i;
        ASSERT_TRUE(rotate(&r, w.data(), w.data()) == 0 && match(w, rw)) << i;
    }
}
