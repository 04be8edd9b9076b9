#include "document/transform.h"

#include <array>
#include <cmath>

namespace korvan {
namespace {

using DMat = std::array<double, 16>;

DMat to_double(const Mat4& t) {
    DMat d;
    for (int i = 0; i < 16; ++i) d[i] = t.m[i];
    return d;
}

Mat4 to_float(const DMat& d) {
    Mat4 t;
    for (int i = 0; i < 16; ++i) t.m[i] = static_cast<float>(d[i]);
    return t;
}

DMat multiply(const DMat& a, const DMat& b) {
    DMat r{};
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 4; ++row) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += a[k * 4 + row] * b[col * 4 + k];
            r[col * 4 + row] = sum;
        }
    }
    return r;
}

constexpr double kSingularDeterminant = 1e-12;

}  // namespace

Mat4 compose(const Mat4& a, const Mat4& b) {
    return to_float(multiply(to_double(a), to_double(b)));
}

Mat4 rotation_x(float angle_rad) {
    const double c = std::cos(static_cast<double>(angle_rad));
    const double s = std::sin(static_cast<double>(angle_rad));
    Mat4 r;
    r.m[5] = static_cast<float>(c), r.m[6] = static_cast<float>(s);
    r.m[9] = static_cast<float>(-s), r.m[10] = static_cast<float>(c);
    return r;
}

Mat4 rotation_y(float angle_rad) {
    const double c = std::cos(static_cast<double>(angle_rad));
    const double s = std::sin(static_cast<double>(angle_rad));
    Mat4 r;
    r.m[0] = static_cast<float>(c), r.m[2] = static_cast<float>(-s);
    r.m[8] = static_cast<float>(s), r.m[10] = static_cast<float>(c);
    return r;
}

Mat4 rotation_z(float angle_rad) {
    const double c = std::cos(static_cast<double>(angle_rad));
    const double s = std::sin(static_cast<double>(angle_rad));
    Mat4 r;
    r.m[0] = static_cast<float>(c), r.m[1] = static_cast<float>(s);
    r.m[4] = static_cast<float>(-s), r.m[5] = static_cast<float>(c);
    return r;
}

Mat4 uniform_scale(float factor) {
    Mat4 s;
    s.m[0] = s.m[5] = s.m[10] = factor;
    return s;
}

Mat4 reflection(const Vec3& point, const Vec3& unit_normal) {
    const double n[3] = {unit_normal.x, unit_normal.y, unit_normal.z};
    const double d = static_cast<double>(point.x) * n[0] + static_cast<double>(point.y) * n[1] +
                     static_cast<double>(point.z) * n[2];
    Mat4 r;
    for (int col = 0; col < 3; ++col) {
        for (int row = 0; row < 3; ++row) {
            const double identity = row == col ? 1.0 : 0.0;
            r.m[col * 4 + row] = static_cast<float>(identity - 2.0 * n[row] * n[col]);
        }
    }
    for (int row = 0; row < 3; ++row) r.m[12 + row] = static_cast<float>(2.0 * d * n[row]);
    return r;
}

Vec3 transform_direction(const Mat4& t, const Vec3& d) {
    const auto& m = t.m;
    return {m[0] * d.x + m[4] * d.y + m[8] * d.z, m[1] * d.x + m[5] * d.y + m[9] * d.z,
            m[2] * d.x + m[6] * d.y + m[10] * d.z};
}

double linear_determinant(const Mat4& t) {
    const DMat a = to_double(t);
    // Element (row, col) is a[col * 4 + row].
    return a[0] * (a[5] * a[10] - a[9] * a[6]) - a[4] * (a[1] * a[10] - a[9] * a[2]) +
           a[8] * (a[1] * a[6] - a[5] * a[2]);
}

std::optional<Mat4> affine_inverse(const Mat4& t) {
    const DMat a = to_double(t);
    const double det = linear_determinant(t);
    if (!std::isfinite(det) || std::fabs(det) < kSingularDeterminant) return std::nullopt;
    auto at = [&](int row, int col) { return a[col * 4 + row]; };
    DMat inv{};
    // Inverse of the 3x3 part by cofactors (adjugate over determinant).
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const int r0 = (col + 1) % 3, r1 = (col + 2) % 3;
            const int c0 = (row + 1) % 3, c1 = (row + 2) % 3;
            const double cofactor = at(r0, c0) * at(r1, c1) - at(r0, c1) * at(r1, c0);
            inv[col * 4 + row] = cofactor / det;
        }
    }
    for (int row = 0; row < 3; ++row) {
        double sum = 0.0;
        for (int k = 0; k < 3; ++k) sum += inv[k * 4 + row] * a[12 + k];
        inv[12 + row] = -sum;
    }
    inv[15] = 1.0;
    Mat4 out = to_float(inv);
    for (float v : out.m) {
        if (!std::isfinite(v)) return std::nullopt;
    }
    return out;
}

}  // namespace korvan
