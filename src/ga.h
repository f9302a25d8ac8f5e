// A small geometric-algebra library for rotations in three dimensions.
// Vectors are plain arrays of three doubles x, y, z; rotor matrices are 4x4,
// row-major, with only the upper-left 3x3 block non-zero. Results are the same
// bits on every machine: see ga.cpp.
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

// ga: rotors and bivectors. Nothing is checked or normalised on the way in;
// create_rotor expects unit vectors and gives NaN for exactly opposite ones.
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
