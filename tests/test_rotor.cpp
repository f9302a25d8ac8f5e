// The rotor library's results. Where a result's sums round, the test holds its exact bits: the
// library promises the same bits on every machine it is tried on, and a sum taken in another
// order, or fused into a multiply-add, rounds to other bits. scripts/test-arches.sh runs these
// tests on five architectures under qemu.
#include "ga.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using values = std::vector<double>;

// Allowed difference for results that round a few times on the way (1e-14), for results that
// must be the same bits (0), and for a vector turned by a rotor onto its target (1e-9).
constexpr double rounding = 1e-14;
constexpr double exactly = 0;
constexpr double turn_tolerance = 1e-9;

values components(rot3 rotor)
{
    return {rotor.a, rotor.b01, rotor.b02, rotor.b12};
}

values components(bivec3 plane)
{
    return {plane.b01, plane.b02, plane.b12};
}

values vector_of(const double* v)
{
    return {v[0], v[1], v[2]};
}

values turned(rot3 rotor, values vector)
{
    rotate(&rotor, vector.data(), vector.data());
    return vector;
}

// The 16 elements a matrix function writes, and one more past them, which must keep the 7 it
// is given.
template <class number>
values matrix_of(int (*write)(rot3*, number*), rot3 rotor)
{
    number written[17];
    for (number& element : written)
        element = 7;
    write(&rotor, written);
    return values(written, written + 17);
}

bool all_within(const values& got, const values& want, double tolerance)
{
    if (got.size() != want.size())
        return false;
    for (size_t i = 0; i < got.size(); i++) {
        if (!(std::fabs(got[i] - want[i]) <= tolerance))
            return false;
    }
    return true;
}

bool all_nan(rot3 rotor)
{
    return std::isnan(rotor.a) && std::isnan(rotor.b01) && std::isnan(rotor.b02) &&
           std::isnan(rotor.b12);
}

// A unit vector for each number, spread over the sphere.
void spread_unit_vector(int i, double (*v)[3])
{
    (*v)[0] = std::sin(i);
    (*v)[1] = std::cos(3 * i);
    (*v)[2] = std::sin(7 * i);
    norm3d(v);
}

// A value the compiler cannot know while it compiles, as a user's input: sums of such values
// are taken by the library's own code when the program runs, also where a program's link-time
// optimisation takes that code into its own.
double input(double value)
{
    volatile double stored = value;
    return stored;
}

struct known_value {
    const char* what;
    values got;
    values want;
    double tolerance;
};

void expect_known_values(const std::vector<known_value>& rows)
{
    for (const known_value& row : rows)
        EXPECT_TRUE(all_within(row.got, row.want, row.tolerance))
            << row.what << ": " << testing::PrintToString(row.got);
}

}  // namespace

TEST(Rotor, SimpleInputsGiveTheirTextbookValues)
{
    double two_three_six[] = {2, 3, 6};  // length 7
    norm3d(&two_three_six);
    double one_two_three[] = {1, 2, 3};
    double four_five_seven[] = {4, 5, 7};
    bivec3 plane = {1, 2, 3};
    rot3 rotor = {1, 2, 3, 4};  // the quaternion (1, -4, 3, -2), of length sqrt(30)
    rot3 unit = rotor;
    normalize(&unit);
    const double root_half = M_SQRT1_2;
    const double root_thirty = std::sqrt(30);
    // geo takes the dot product of the two, 35, as its angle: half of it is 17.5.
    const double sine = std::sin(17.5);
    // rotor turns and scales by its squared length, 30: the columns are the turned axes; the
    // element past the matrix keeps its 7.
    const values rotor_matrix = {4, -20, 22, 0, -28, -10, -4, 0, 10, -20, -20, 0, 0, 0, 0, 0, 7};
    expect_known_values({
        {"norm3d", vector_of(two_three_six), {2 / 7., 3 / 7., 6 / 7.}, rounding},
        {"wedge", components(wedge(one_two_three, four_five_seven)), {-3, -5, -1}, rounding},
        {"create_rotorplane, a quarter turn",
         components(create_rotorplane(M_PI / 2, &plane)),
         {root_half, -root_half, -2 * root_half, -3 * root_half},
         rounding},
        {"geo",
         components(geo(one_two_three, four_five_seven)),
         {std::cos(17.5), 3 * sine, 5 * sine, sine},
         rounding},
        {"reverse", components(reverse(rotor)), {1, -2, -3, -4}, exactly},
        {"normalize",
         components(unit),
         {1 / root_thirty, 2 / root_thirty, 3 / root_thirty, 4 / root_thirty},
         rounding},
        {"toMatrix3", matrix_of(toMatrix3, rotor), rotor_matrix, rounding},
        {"toMatrix3f", matrix_of(toMatrix3f, rotor), rotor_matrix, rounding},
    });
}

TEST(Rotor, RoundedResultsAreTheSameBitsOnEveryMachine)
{
    // Each of u's products rounds; only products rounded before they are subtracted cancel.
    double u[] = {input(1 + 0x1p-30), input(1 + 0x1p-29), input(1 - 0x1p-31)};
    // The sums of these products round: the hexadecimal values are the bits of the products
    // rounded one by one and summed from left to right.
    double a[] = {input(-0.18), input(-0.67), input(-0.73)};
    double b[] = {input(0.31), input(0.13), input(-0.55)};
    rot3 odd = {input(-0.67), input(0.05), input(-0.3), input(0.87)};
    const double a_dot_b = dot(a, b);
    norm3d(&a);
    norm3d(&b);
    expect_known_values({
        {"wedge of a vector with itself", components(wedge(u, u)), {0, 0, 0}, exactly},
        {"create_rotor of a vector onto itself",
         components(create_rotor(u, u)),
         {1, 0, 0, 0},
         exactly},
        {"dot", {a_dot_b}, {0x1.08ce703afb7eap-2}, exactly},
        {"lengthsqrd", {lengthsqrd(&odd)}, {0x1.4c5d63886594cp+0}, exactly},
        {"rotate",
         turned(odd, {input(-0.32), input(0.45), input(0.4)}),
         {0x1.6937d1fe64f5ep-5, -0x1.7beab367a0f91p-1, 0x1.ec3f3e0370cdfp-2},
         exactly},
        {"create_rotor",
         components(create_rotor(a, b)),
         {0x1.ac1ea66f58cb6p-1, -0x1.5baeb12f12fefp-3, -0x1.32d6f0f65bb4p-2, -0x1.b51a444ae099p-2},
         exactly},
    });
}

TEST(Rotor, CreateRotorTurnsUOntoV)
{
    for (int i = 0; i < 1000; i++) {
        double u[3];
        double v[3];
        spread_unit_vector(i, &u);
        spread_unit_vector(i + 5000, &v);
        rot3 rotor = create_rotor(u, v);
        ASSERT_NEAR(lengthsqrd(&rotor), 1, rounding) << "pair " << i;
        ASSERT_TRUE(all_within(turned(rotor, vector_of(u)), vector_of(v), turn_tolerance))
            << "pair " << i;
    }
}

TEST(Rotor, ExactlyOppositeVectorsGiveNoRotor)
{
    // No plane to turn in: NaN, never a rotor that leaves u where it is. 1 + u.v rounds to 0 or
    // to a neighbour of 0, depending on u.
    for (int i = 0; i < 1000; i++) {
        double u[3];
        spread_unit_vector(i, &u);
        double opposite[3] = {-u[0], -u[1], -u[2]};
        ASSERT_TRUE(all_nan(create_rotor(u, opposite))) << "pair " << i;
    }
    double x[] = {1, 0, 0};
    double twice_minus_x[] = {-2, 0, 0};
    EXPECT_TRUE(all_nan(create_rotor(x, twice_minus_x)));
}

TEST(Rotor, NearlyOppositeVectorsStillTurnUOntoV)
{
    // v a little off -u, by 1e-15 to 1e-4: a half turn or close to it, into the right plane.
    for (double offset = 1e-15; offset < 1e-3; offset *= 10) {
        for (int i = 0; i < 200; i++) {
            double u[3];
            double direction[3];
            spread_unit_vector(i, &u);
            spread_unit_vector(i + 5000, &direction);
            double v[3] = {-u[0] + offset * direction[0], -u[1] + offset * direction[1],
                           -u[2] + offset * direction[2]};
            norm3d(&v);
            rot3 rotor = create_rotor(u, v);
            ASSERT_NEAR(lengthsqrd(&rotor), 1, rounding) << "offset " << offset << ", pair " << i;
            ASSERT_TRUE(all_within(turned(rotor, vector_of(u)), vector_of(v), turn_tolerance))
                << "offset " << offset << ", pair " << i;
        }
    }
    // Off by far less than v's last bit of 1: still the half turn about z.
    double x[] = {1, 0, 0};
    double almost_minus_x[] = {-1, 1e-200, 0};
    EXPECT_TRUE(all_within(components(create_rotor(x, almost_minus_x)), {0, -1, 0, 0}, rounding));
}
