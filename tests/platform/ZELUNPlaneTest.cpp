#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "zorvsupport/platform/ZELUNPlane.h"

using ZELUNCompGeom::ZELUNPlane;
using ZELUNCompGeom::ZELUNVector3D;

namespace {

double const kNaN = std::numeric_limits<double>::quiet_NaN();
double const kInf = std::numeric_limits<double>::infinity();

}  // namespace

TEST(ZELUNVector3D, LengthAndUnitize)
{
    struct Row {
        char const* label;
        ZELUNVector3D v;
        double tolerance;
        double length;     // length()
        double unitized;   // unitize's result
        ZELUNVector3D after;
    } const rows[] = {
        {"3-4-0", {3, 4, 0}, 1e-12, 5, 5, {0.6, 0.8, 0}},
        {"negative axis", {0, 0, -2}, 1e-12, 2, 2, {0, 0, -1}},
        {"zero", {0, 0, 0}, 1e-12, 0, 0, {0, 0, 0}},
        {"length equal to the tolerance", {0, 0.5, 0}, 0.5, 0.5, 0, {0, 0.5, 0}},
        {"below the tolerance", {1e-13, 0, 0}, 1e-12, 1e-13, 0, {1e-13, 0, 0}},
        {"just above the tolerance", {0, 0, 0.25}, 0.2499, 0.25, 0.25, {0, 0, 1}},
        // ((x² + y²) + z²) with x = 1, y = 3·2^-30, z = 117·2^-30 rounds to
        // 1 + 26 ulp; summing y² and z² first would give 1 + 27 ulp.
        {"order of the sum", {1, 3 * 0x1p-30, 117 * 0x1p-30}, 2, 0x1.000000000001ap+0, 0,
         {1, 3 * 0x1p-30, 117 * 0x1p-30}},
    };
    for (Row const& r : rows) {
        EXPECT_EQ(r.v.length(), r.length) << r.label;
        ZELUNVector3D v = r.v;
        EXPECT_EQ(v.unitize(r.tolerance), r.unitized) << r.label;
        EXPECT_EQ(v.x, r.after.x) << r.label;
        EXPECT_EQ(v.y, r.after.y) << r.label;
        EXPECT_EQ(v.z, r.after.z) << r.label;
    }

    // Non-finite lengths: NaN is never above the tolerance; an infinite
    // length is, and dividing by it gives NaN for the infinite component.
    ZELUNVector3D nan(kNaN, 1, 1);
    EXPECT_TRUE(std::isnan(nan.length()));
    EXPECT_EQ(nan.unitize(1e-12), 0.0);
    EXPECT_EQ(nan.y, 1.0);
    ZELUNVector3D inf(kInf, 1, 0);
    EXPECT_EQ(inf.unitize(1e-12), kInf);
    EXPECT_TRUE(std::isnan(inf.x));
    EXPECT_EQ(inf.y, 0.0);
}

TEST(ZELUNPlane, ConstructionAndAccess)
{
    ZELUNPlane const zero;
    EXPECT_EQ(zero.getNormal().x, 0.0);
    EXPECT_EQ(zero.getNormal().y, 0.0);
    EXPECT_EQ(zero.getNormal().z, 0.0);
    EXPECT_EQ(zero.getOffset(), 0.0);

    ZELUNPlane const fromValues(1, 2, 3, 4);
    ZELUNPlane const fromNormal(ZELUNVector3D(1, 2, 3), 4);
    for (ZELUNPlane const* p : {&fromValues, &fromNormal}) {
        EXPECT_EQ(p->getNormal().x, 1.0);
        EXPECT_EQ(p->getNormal().y, 2.0);
        EXPECT_EQ(p->getNormal().z, 3.0);
        EXPECT_EQ(p->getOffset(), 4.0);
    }

    ZELUNPlane copy(fromValues);
    copy.setNormal(ZELUNVector3D(0, 0, 2));  // stored as given, not normalised
    copy.setOffset(-1);
    EXPECT_EQ(copy.getNormal().z, 2.0);
    EXPECT_EQ(copy.getOffset(), -1.0);
    EXPECT_EQ(fromValues.getNormal().z, 3.0);
    ZELUNPlane assigned;
    assigned = copy;
    EXPECT_EQ(assigned.getNormal().z, 2.0);
    EXPECT_EQ(assigned.getNormal().x, 0.0);
    EXPECT_EQ(assigned.getOffset(), -1.0);
}
