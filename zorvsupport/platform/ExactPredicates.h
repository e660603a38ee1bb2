#pragma once

// Library-internal exact predicates of the computational-geometry layer.

#include "zorvsupport/platform/ZELUNVector2D.h"

namespace ZELUNCompGeom {
namespace Exact {

// Sign of the orientation of (a, b, p): +1 when p lies left of a->b, -1
// right, 0 on the line; exact for finite doubles.
int orient(double ax, double ay, double bx, double by, double px, double py);

// Where a point lies against one edge a->b, by the crossing-number rule with
// a ray towards +x and the half-open rule in y: kOnEdge, kCrosses or kMisses.
enum EdgeHit : int { kMisses = 0, kCrosses = 1, kOnEdge = 2 };
inline EdgeHit edgeHit(ZELUNVector2D const& a, ZELUNVector2D const& b, double x, double y)
{
    double const loY = a.y < b.y ? a.y : b.y;
    double const hiY = a.y < b.y ? b.y : a.y;
    if (y < loY || y > hiY) return kMisses;
    double const loX = a.x < b.x ? a.x : b.x;
    double const hiX = a.x < b.x ? b.x : a.x;
    if (x > hiX) return kMisses;
    bool const straddles = (a.y > y) != (b.y > y);
    if (x < loX) return straddles ? kCrosses : kMisses;
    int const o = orient(a.x, a.y, b.x, b.y, x, y);
    if (o == 0) return kOnEdge;  // on the line and inside the edge's box
    if (!straddles) return kMisses;
    // Upward edges are crossed by points on their left, downward ones by
    // points on their right.
    return (a.y <= y) == (o > 0) ? kCrosses : kMisses;
}

}  // namespace Exact
}  // namespace ZELUNCompGeom
