// Vector and matrix arithmetic; see matrix.h.
#include "gfx/matrix.h"

#include "platform/system.h"

Mat4 matrix_identity() {
    Mat4 result = {};
    result.m[0] = result.m[5] = result.m[10] = result.m[15] = 1.0f;
    return result;
}

Mat4 matrix_translation(f32 x, f32 y) {
    Mat4 result = matrix_identity();
    result.m[12] = x;
    result.m[13] = y;
    return result;
}

Mat4 matrix_scale(f32 x, f32 y) {
    Mat4 result = matrix_identity();
    result.m[0] = x;
    result.m[5] = y;
    return result;
}

Mat4 matrix_rotation(f32 angle) {
    f32 c = (f32)math_cos(angle);
    f32 s = (f32)math_sin(angle);
    Mat4 result = matrix_identity();
    result.m[0] = c;
    result.m[1] = s;
    result.m[4] = -s;
    result.m[5] = c;
    return result;
}

Mat4 matrix_multiply(Mat4 a, Mat4 b) {
    Mat4 result;
    for (i32 column = 0; column < 4; column += 1) {
        for (i32 row = 0; row < 4; row += 1) {
            f32 sum = 0.0f;
            for (i32 k = 0; k < 4; k += 1) sum += a.m[k * 4 + row] * b.m[column * 4 + k];
            result.m[column * 4 + row] = sum;
        }
    }
    return result;
}

Mat4 matrix_orthographic(f32 left, f32 right, f32 bottom, f32 top) {
    Mat4 result = {};
    result.m[0] = 2.0f / (right - left);
    result.m[5] = 2.0f / (top - bottom);
    result.m[10] = -1.0f;
    result.m[12] = -(right + left) / (right - left);
    result.m[13] = -(top + bottom) / (top - bottom);
    result.m[14] = -0.0f;
    result.m[15] = 1.0f;
    return result;
}

Vec3 transform_point(Mat4 matrix, Vec3 point) {
    const f32* m = matrix.m;
    return Vec3{m[0] * point.x + m[4] * point.y + m[8] * point.z + m[12],
                m[1] * point.x + m[5] * point.y + m[9] * point.z + m[13],
                m[2] * point.x + m[6] * point.y + m[10] * point.z + m[14]};
}

Vec3 vector_cross(Vec3 a, Vec3 b) {
    return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

void matrix_normal(Mat4 matrix, f32 normal[9]) {
    const f32* m = matrix.m;
    Vec3 c0 = {m[0], m[1], m[2]};
    Vec3 c1 = {m[4], m[5], m[6]};
    Vec3 c2 = {m[8], m[9], m[10]};
    Vec3 columns[3] = {vector_cross(c1, c2), vector_cross(c2, c0), vector_cross(c0, c1)};
    for (i32 i = 0; i < 3; i += 1) {
        normal[i * 3 + 0] = columns[i].x;
        normal[i * 3 + 1] = columns[i].y;
        normal[i * 3 + 2] = columns[i].z;
    }
}

void color_multiply(const f32* a, const f32* b, f32* result) {
    for (i32 i = 0; i < 4; i += 1) result[i] = a[i] * b[i];
}
