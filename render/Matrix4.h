// 4 x 4 matrix helpers for the ray caster's camera: the inverse of the modelview and
// the transform of a point by it. Matrices are column-major arrays of 16, as GL stores
// them (element (row r, column c) at index 4c + r). No GL calls here.
#pragma once

// Inverts m into inv by Gauss-Jordan elimination with scaled partial pivoting.
// A singular matrix (an all-zero row or a zero pivot) gives the identity and false.
bool invertMatrix4(const double m[16], double inv[16]);

// out = the first three components of m x (p, 1); no division by w.
void transformPoint4(const double m[16], const float p[3], float out[3]);

// The window-space rectangle (x, y, width, height; origin bottom left) that holds the
// projection of the box [lo, hi] through modelview m and projection p into a viewport of
// width x height pixels, grown to whole pixels and cut to the viewport. False when a
// corner lies at or behind the eye, where the projection does not bound the box.
bool projectedBoxRectangle(const double m[16], const double p[16], const double lo[3],
                           const double hi[3], int width, int height, int rect[4]);
