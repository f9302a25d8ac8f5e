// A small geometric-algebra library for rotations in three dimensions.
// Vectors are plain arrays of three doubles; rotor matrices are row-major.
#ifndef TARNWICK_GA_H
#define TARNWICK_GA_H

// An oriented plane: coefficients of e0^e1, e0^e2, e1^e2.
typedef struct {
    double b01;
    double b02;
    double b12;
} bivec3;

// A rotor: scalar part a plus a bivector part, in the order of bivec3.
typedef struct {
    double a;
    double b01;
    double b02;
    double b12;
} rot3;

// dot, norm3d: vector operations.
double dot(double* u, double* v);
int norm3d(double (*v)[3]);

// ga: rotors and bivectors.
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
