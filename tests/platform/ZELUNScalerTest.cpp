#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNScaler.h"

using ZORV_3_13_0_::DataSet::kErrNotConvertible;

TEST(ZELUNScaler, RoundsHalvesAwayFromZeroAndSaturates)
{
    constexpr long kMax = 2147483647L;
    constexpr long kMin = -2147483648L;
    double const inf = std::numeric_limits<double>::infinity();
    double const nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double value;
        long disk;
        bool saturated;
    } const cases[] = {
        {0.0, 0, false},          {0.6, 2, false},        {0.625, 3, false},     {-0.625, -3, false},
        {0.624, 2, false},        {536870911.75, kMax, false}, {536870911.875, kMax, true},
        {-536870912.0, kMin, false}, {-536870912.125, kMin, true}, {1e300, kMax, true},
        {-inf, kMin, true},       {inf, kMax, true},      {nan, 0, true},
    };
    // Origin 0.5 on every axis, resolution 0.25: disk = (value - 0.5) / 0.25;
    // the rows give value - 0.5.
    ZELUNScaler const scaler(0.5, 0.5, 0.5, 0.25, 0.25, 0.25);
    for (auto const& c : cases) {
        SCOPED_TRACE(c.value);
        long dx = -7, dy = -7, dz = -7;
        // The case on one axis at a time; the others stay at the origin.
        EXPECT_EQ(scaler.userToDisk(c.value + 0.5, 0.5, 0.5, dx, dy, dz), c.saturated ? kErrNotConvertible : 0);
        EXPECT_EQ(dx, c.disk);
        EXPECT_EQ(dy, 0);
        EXPECT_EQ(scaler.userToDisk(0.5, 0.5, c.value + 0.5, dx, dy, dz), c.saturated ? kErrNotConvertible : 0);
        EXPECT_EQ(dz, c.disk);
    }
    long dx = 0, dy = 0, dz = 0;
    EXPECT_EQ(ZELUNScaler().userToDisk(-1.5, 2.5, 3.49, dx, dy, dz), 0);
    EXPECT_EQ(dx, -2);
    EXPECT_EQ(dy, 3);
    EXPECT_EQ(dz, 3);
}
