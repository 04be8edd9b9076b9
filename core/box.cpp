#include "core/box.h"

#include "core/dvec3.h"

#include <algorithm>
#include <cmath>

// Oriented box by principal components: the eigenvectors of the points' covariance give the
// axes. The 3x3 symmetric eigen problem is solved with cyclic Jacobi rotations, which converge
// quadratically and keep the eigenvector matrix orthonormal to rounding.

namespace korvan {
namespace {

constexpr double kMinSpread = 1e-20;      // trace of the covariance
constexpr double kMinAxisLengthSq = 0.5;  // an eigenvector that is not about unit length
constexpr int kMaxJacobiSweeps = 32;
constexpr double kFarAway = 1e30;

using Mat3 = std::array<std::array<double, 3>, 3>;

// Diagonalises a (symmetric) in place; v's columns become the eigenvectors.
void jacobi_eigen(Mat3& a, Mat3& v) {
    v = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    for (int sweep = 0; sweep < kMaxJacobiSweeps; ++sweep) {
        const double off = a[0][1] * a[0][1] + a[0][2] * a[0][2] + a[1][2] * a[1][2];
        if (off == 0.0) return;
        for (int p = 0; p < 2; ++p) {
            for (int q = p + 1; q < 3; ++q) {
                if (a[p][q] == 0.0) continue;
                const double theta = (a[q][q] - a[p][p]) / (2.0 * a[p][q]);
                const double t = (theta >= 0.0 ? 1.0 : -1.0) /
                                 (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
                const double c = 1.0 / std::sqrt(t * t + 1.0);
                const double s = t * c;
                // A' = J^T A J with J the rotation in the (p, q) plane.
                for (int k = 0; k < 3; ++k) {
                    const double akp = a[k][p], akq = a[k][q];
                    a[k][p] = c * akp - s * akq;
                    a[k][q] = s * akp + c * akq;
                }
                for (int k = 0; k < 3; ++k) {
                    const double apk = a[p][k], aqk = a[q][k];
                    a[p][k] = c * apk - s * aqk;
                    a[q][k] = s * apk + c * aqk;
                }
                for (int k = 0; k < 3; ++k) {
                    const double vkp = v[k][p], vkq = v[k][q];
                    v[k][p] = c * vkp - s * vkq;
                    v[k][q] = s * vkp + c * vkq;
                }
            }
        }
    }
}

// The sign of an eigenvector is arbitrary; make its largest component positive so the same
// points always give the same box.
DVec3 canonical_sign(DVec3 a) {
    const double ax = std::fabs(a.x), ay = std::fabs(a.y), az = std::fabs(a.z);
    const double big = ax >= ay && ax >= az ? a.x : (ay >= az ? a.y : a.z);
    return big < 0.0 ? a * -1.0 : a;
}

}  // namespace

std::optional<Obb> oriented_box_of_points(std::span<const Vec3> points) {
    if (points.size() < 3) return std::nullopt;
    DVec3 mean;
    for (const Vec3& p : points) mean += DVec3(p);
    mean = mean * (1.0 / static_cast<double>(points.size()));

    Mat3 cov{};
    for (const Vec3& p : points) {
        const DVec3 d = DVec3(p) - mean;
        const double c[3] = {d.x, d.y, d.z};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) cov[i][j] += c[i] * c[j];
    }
    const double inv_n = 1.0 / static_cast<double>(points.size());
    for (auto& row : cov)
        for (double& x : row) x *= inv_n;
    if (!(cov[0][0] + cov[1][1] + cov[2][2] > kMinSpread)) return std::nullopt;

    Mat3 vecs;
    jacobi_eigen(cov, vecs);

    struct Axis {
        DVec3 dir;
        double lo = kFarAway, hi = -kFarAway;
    };
    std::array<Axis, 3> axes;
    for (int k = 0; k < 3; ++k) {
        axes[k].dir = DVec3(vecs[0][k], vecs[1][k], vecs[2][k]);
        if (dot(axes[k].dir, axes[k].dir) < kMinAxisLengthSq) return std::nullopt;
    }
    for (const Vec3& p : points) {
        const DVec3 d = DVec3(p) - mean;
        for (Axis& a : axes) {
            const double t = dot(d, a.dir);
            a.lo = std::min(a.lo, t);
            a.hi = std::max(a.hi, t);
        }
    }
    std::stable_sort(axes.begin(), axes.end(),
                     [](const Axis& a, const Axis& b) { return a.hi - a.lo > b.hi - b.lo; });

    DVec3 center = mean;
    for (const Axis& a : axes) center += a.dir * (0.5 * (a.lo + a.hi));
    const DVec3 a0 = canonical_sign(axes[0].dir);
    const DVec3 a1 = canonical_sign(axes[1].dir);
    Obb box;
    box.center = center.to_vec3();
    box.axes = {a0.to_vec3(), a1.to_vec3(), cross(a0, a1).to_vec3()};
    box.half_extents = DVec3(0.5 * (axes[0].hi - axes[0].lo), 0.5 * (axes[1].hi - axes[1].lo),
                             0.5 * (axes[2].hi - axes[2].lo))
                           .to_vec3();
    return box;
}

}  // namespace korvan
