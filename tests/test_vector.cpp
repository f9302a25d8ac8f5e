// dot and norm3d: quoted values compared exactly, and the evaluation order
// that makes them the same bits everywhere.
#include "ga.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Dot, QuotedValues)
{
    // dot(u, v) is the plain sum of products; with itself it is the squared length.
    double u[3] = {1, 2, 3};
    double v[3] = {4, 5, 6};
    double w[3] = {3, 4, 12};
    double zero[3] = {0, 0, 0};
    EXPECT_EQ(dot(u, v), 32.0);
    EXPECT_EQ(dot(v, u), 32.0);
    EXPECT_EQ(dot(w, w), 169.0);
    EXPECT_EQ(dot(u, zero), 0.0);
}

TEST(Dot, SumsLeftToRightWithRoundedProducts)
{
    // Left to right: (1 + 2^53) rounds to 2^53, so the sum is 0; grouped the other way it is 1.
    double big[3] = {1, 0x1p53, -0x1p53};
    double ones[3] = {1, 1, 1};
    EXPECT_EQ(dot(big, ones), 0.0);

    // a*a - a*a with both products rounded is exactly 0; a fused multiply-add
    // keeps the low bits of one product and leaves +-2^-60.
    double a = 1 + 0x1p-30;
    double p[3] = {a, a, 0};
    double q[3] = {a, -a, 0};
    EXPECT_EQ(dot(p, q), 0.0);
}

TEST(Norm3d, QuotedValues)
{
    // Three divisions: 3 * (1 / 5) would give 0.6000000000000001, not 0.6.
    double v[3] = {3, 4, 0};
    EXPECT_EQ(norm3d(&v), 0);
    EXPECT_EQ(v[0], 0.6);
    EXPECT_EQ(v[1], 0.8);
    EXPECT_EQ(v[2], 0.0);
}

TEST(Norm3d, ZeroVectorGivesNaN)
{
    // 0 / 0 in every component, and still 0 returned.
    double v[3] = {0, 0, 0};
    EXPECT_EQ(norm3d(&v), 0);
    EXPECT_TRUE(std::isnan(v[0]));
    EXPECT_TRUE(std::isnan(v[1]));
    EXPECT_TRUE(std::isnan(v[2]));
}
