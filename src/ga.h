// A small geometric-algebra library for rotations in three dimensions.
// Vectors are plain arrays of three doubles x, y, z; rotor matrices are 4x4,
// row-major, with only the upper-left 3x3 block non-zero.
//
// Every result that is not NaN is the same bits on amd64, arm64, ppc64el,
// s390x and riscv64, at every optimisation level, but for two exceptions:
// - create_rotorplane and geo take the sine and cosine of half the angle (geo:
//   of half the dot product) from the C library's sincos. Where that half is
//   2^-27 or more in size, their bits are the C library's, whose last bit can
//   differ between C libraries and, with glibc, between processors: on amd64
//   glibc picks other code for a processor without FMA.
// - On i386 the arithmetic is the x87's, whose extra precision Debian's i386
//   baseline (no SSE2) cannot turn off: results can differ in the last bits.
// NaN results are NaN everywhere; their sign and payload are not promised.
// This holds for the library as its build compiles it: -ffp-contract=off and
// -fno-lto. A program linked with link-time optimisation gets its machine code
// as it is; a copy of the sources compiled otherwise, or with -ffast-math,
// loses the promise.
#ifndef TARNWICK_GA_H
#define TARNWICK_GA_H

// An oriented plane: coefficients of e0^e1, e0^e2, e1^e2. The unit plane B
// stands for the axis (b12, -b02, b01); wedge(u, v) stands for u x v.
typedef struct {
    double b01;
    double b02;
    double b12;
} bivec3;

// A rotor: scalar part a plus a bivector part, in the order of bivec3. The
// turn by angle t in unit plane B is (cos t/2, -sin t/2 B), right-handed about
// B's axis. Nothing keeps it at unit length.
typedef struct {
    double a;
    double b01;
    double b02;
    double b12;
} rot3;

// dot, norm3d: vector operations. norm3d of the zero vector leaves NaN.
double dot(double* u, double* v);
int norm3d(double (*v)[3]);

// ga: rotors and bivectors. Nothing is checked or normalised on the way in.
// create_rotor expects unit vectors. For exactly opposite ones (v = -u) there
// is no plane to turn in: NaN in all four parts. Nearly opposite ones give the
// half turn, or nearly that, in their plane.
// rotate may write over v; a rotor of length k also scales by k^2.
// The functions that fill arrays return int for uniformity and never fail: 0.
bivec3 wedge(double* u, double* v);
rot3 create_rotor(double* u, double* v);
rot3 create_rotorplane(double angle, bivec3* plane);
int rotate(rot3* rotor, double* v, double* out);
rot3 reverse(rot3 rotor);
double lengthsqrd(rot3* rotor);
double length(rot3* rotor);
void normalize(rot3* rotor);
int toMatrix3(rot3* rotor, double* m);
int toMatrix3f(rot3* rotor, float* m);
rot3 geo(double* u, double* v);

#endif
