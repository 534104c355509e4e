// Small vector and matrix arithmetic for the renderer, the frame and the score view:
// 4 x 4 single-precision matrices stored column-major (element = column x 4 + row), as the
// shaders receive them. Pure functions, any thread.
#pragma once

#include "base/types.h"

struct Mat4 {
    f32 m[16];
};

struct Vec3 {
    f32 x, y, z;
};

Mat4 matrix_identity();
Mat4 matrix_translation(f32 x, f32 y);  // by (x, y, 0)
Mat4 matrix_scale(f32 x, f32 y);        // by (x, y, 1)
Mat4 matrix_rotation(f32 angle);        // about z, counter-clockwise, radians
Mat4 matrix_multiply(Mat4 a, Mat4 b);   // a x b: b applies first
// Maps x in left..right and y in bottom..top to -1..1; z to -z (near -1, far 1).
Mat4 matrix_orthographic(f32 left, f32 right, f32 bottom, f32 top);
// The upper 3 x 4 part applied to (x, y, z, 1).
Vec3 transform_point(Mat4 matrix, Vec3 point);
Vec3 vector_cross(Vec3 a, Vec3 b);
// Cofactor matrix of the upper-left 3 x 3 (the normal matrix without the division by the
// determinant), column-major into nine floats.
void matrix_normal(Mat4 matrix, f32 normal[9]);
// Component-wise product of two RGBA colours.
void color_multiply(const f32* a, const f32* b, f32* result);
