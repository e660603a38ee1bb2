#include "zorvsupport/platform/ZELUNCompGeom.h"

#include <cfloat>
#include <cmath>

// GCC 12 reports a false maybe-uninitialized inside cpp_int's inlined
// limb copies; the fallback below is the only user.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <boost/multiprecision/cpp_int.hpp>

#include "zorvsupport/platform/ExactPredicates.h"

namespace ZELUNCompGeom {
namespace Exact {

namespace {

// The exact sign of (bx - ax)(py - ay) - (by - ay)(px - ax); every double is
// a rational, so the products and the difference are exact here.
int orientExact(double ax, double ay, double bx, double by, double px, double py)
{
    using boost::multiprecision::cpp_rational;
    cpp_rational const det = (cpp_rational(bx) - cpp_rational(ax)) * (cpp_rational(py) - cpp_rational(ay)) -
                             (cpp_rational(by) - cpp_rational(ay)) * (cpp_rational(px) - cpp_rational(ax));
    return det.sign();
}

}  // namespace

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

int orient(double ax, double ay, double bx, double by, double px, double py)
{
    // Shewchuk's first-stage filter: the rounded determinant has the sign of
    // the exact one when it exceeds this bound. Below 2^-900 underflow could
    // break the bound, and non-finite terms have no sign, so both go exact.
    constexpr double kEpsilon = 0x1p-53;
    constexpr double kBound = (3.0 + 16.0 * kEpsilon) * kEpsilon;
    double const dxb = bx - ax, dyp = py - ay, dyb = by - ay, dxp = px - ax;
    double const left = dxb * dyp;
    double const right = dyb * dxp;
    double const det = left - right;
    double const sum = std::fabs(left) + std::fabs(right);
    if (sum > 0x1p-900 && sum <= DBL_MAX) {
        double const bound = kBound * sum;
        if (det > bound) return 1;
        if (det < -bound) return -1;
    }
    if (!std::isfinite(ax) || !std::isfinite(ay) || !std::isfinite(bx) || !std::isfinite(by) || !std::isfinite(px) ||
        !std::isfinite(py))
        return 0;
    // A difference of finite doubles is 0 exactly when they are equal, so a
    // zero factor in each product makes the determinant exactly 0.
    if ((dxb == 0.0 || dyp == 0.0) && (dyb == 0.0 || dxp == 0.0)) return 0;
    return orientExact(ax, ay, bx, by, px, py);
}

}  // namespace Exact

namespace {

bool finite(ZELUNVector2D const& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y);
}

}  // namespace

bool isPointInRing(double x, double y, ZELUNArray<ZELUNVector2D> const& ring, double /*tolerance*/,
                   bool boundaryInside, ZELUNExactCalc const* /*calc*/)
{
    std::size_t n = ring.size();
    // A closing vertex equal to the first adds only an empty edge.
    while (n > 1 && ring[n - 1].x == ring[0].x && ring[n - 1].y == ring[0].y) --n;
    if (n < 3 || !std::isfinite(x) || !std::isfinite(y)) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (!finite(ring[i])) return false;
    bool inside = false;
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
        Exact::EdgeHit const hit = Exact::edgeHit(ring[j], ring[i], x, y);
        if (hit == Exact::kOnEdge) return boundaryInside;
        inside ^= hit == Exact::kCrosses;
    }
    return inside;
}

}  // namespace ZELUNCompGeom
