#include <gtest/gtest.h>

#include <cmath>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/platform/ZELUNUnit.h"

using ZORV_3_13_0_::DataSet::kErrNotConvertible;
using ZORV_3_13_0_::DataSet::kSuccess;

namespace {

ZELUNUnit const& unit(char const* key)
{
    static ZELUNUnit const missing("missing", ZELUNUnit::kAngle, 0.0);
    ZELUNUnit const* u = ZELUNUnit::get(key);
    EXPECT_NE(u, nullptr) << key;
    return u != nullptr ? *u : missing;
}

}  // namespace

TEST(ZELUNUnit, BuiltInUnitsByExactKey)
{
    struct Row {
        char const* key;
        ZELUNUnit::Dimension dimension;
        double factor;
    };
    Row const rows[] = {
        {"m", ZELUNUnit::kLength, 1.0},
        {"km", ZELUNUnit::kLength, 1000.0},
        {"ft", ZELUNUnit::kLength, 0.3048},
        {"us-ft", ZELUNUnit::kLength, 1200.0 / 3937.0},
        {"fathom", ZELUNUnit::kLength, 1.8288},
        {"rad", ZELUNUnit::kAngle, 1.0},
        {"deg", ZELUNUnit::kAngle, M_PI / 180.0},
    };
    for (Row const& r : rows) {
        SCOPED_TRACE(r.key);
        ZELUNUnit const* u = ZELUNUnit::get(r.key);
        ASSERT_NE(u, nullptr);
        EXPECT_EQ(u->getKey(), ZELUNUString(r.key));
        EXPECT_EQ(u->getDimension(), r.dimension);
        EXPECT_DOUBLE_EQ(u->getFactor(), r.factor);
        EXPECT_EQ(ZELUNUnit::get(r.key), u) << "one object per unit";
    }
    EXPECT_EQ(ZELUNUnit::get(""), nullptr);
    EXPECT_EQ(ZELUNUnit::get("M"), nullptr);
    EXPECT_EQ(ZELUNUnit::get("parsec"), nullptr);
}

TEST(ZELUNUnit, ConvertsBetweenLengths)
{
    long status = -1;
    EXPECT_DOUBLE_EQ(unit("m").convert(10.0, &unit("ft"), status), 3.048);
    EXPECT_EQ(status, kSuccess);
    status = -1;
    EXPECT_DOUBLE_EQ(unit("ft").convert(1.0, &unit("fathom"), status), 6.0);
    EXPECT_EQ(status, kSuccess);
    EXPECT_DOUBLE_EQ(unit("m").convert(3937.0, &unit("us-ft"), status), 1200.0);
    EXPECT_DOUBLE_EQ(unit("km").convert(1500.0, &unit("m"), status), 1.5);
    // A US survey foot is 1200 / 3937 m: 1.000002000004 feet.
    EXPECT_NEAR(unit("ft").convert(1000000.0, &unit("us-ft"), status), 1000002.000004, 1e-6);
    EXPECT_DOUBLE_EQ(unit("rad").convert(180.0, &unit("deg"), status), M_PI);
}

TEST(ZELUNUnit, SameUnitKeepsTheValueExactly)
{
    long status = -1;
    double const v = 0.1 + 0.2;
    EXPECT_EQ(unit("ft").convert(v, &unit("ft"), status), v);
    EXPECT_EQ(status, kSuccess);
    ZELUNUnit const metre2("metre", ZELUNUnit::kLength, 1.0);
    EXPECT_EQ(metre2.convert(v, &unit("m"), status), v);
}

TEST(ZELUNUnit, OtherDimensionOrNoUnitIsNotConvertible)
{
    long status = 0;
    EXPECT_EQ(unit("m").convert(2.5, &unit("deg"), status), 2.5);
    EXPECT_EQ(status, kErrNotConvertible);
    status = 0;
    EXPECT_EQ(unit("deg").convert(2.5, &unit("m"), status), 2.5);
    EXPECT_EQ(status, kErrNotConvertible);
    status = 0;
    EXPECT_EQ(unit("m").convert(2.5, nullptr, status), 2.5);
    EXPECT_EQ(status, kErrNotConvertible);
}

TEST(ZELUNUnit, LengthDirections)
{
    EXPECT_EQ(static_cast<int>(ZELUNUnit::kNoDirection), 0);
    EXPECT_EQ(static_cast<int>(ZELUNUnit::kHorizontal), 1);
    EXPECT_EQ(static_cast<int>(ZELUNUnit::kUp), 2);
    EXPECT_EQ(static_cast<int>(ZELUNUnit::kDown), 3);
    EXPECT_TRUE(ZELUNUnit::isOpposite(ZELUNUnit::kUp, ZELUNUnit::kDown));
    EXPECT_TRUE(ZELUNUnit::isOpposite(ZELUNUnit::kDown, ZELUNUnit::kUp));
    EXPECT_FALSE(ZELUNUnit::isOpposite(ZELUNUnit::kUp, ZELUNUnit::kUp));
    EXPECT_FALSE(ZELUNUnit::isOpposite(ZELUNUnit::kNoDirection, ZELUNUnit::kHorizontal));
    EXPECT_FALSE(ZELUNUnit::isOpposite(ZELUNUnit::kHorizontal, ZELUNUnit::kDown));
    EXPECT_STREQ(ZELUNUnit::getDirectionId(ZELUNUnit::kNoDirection), "none");
    EXPECT_STREQ(ZELUNUnit::getDirectionId(ZELUNUnit::kHorizontal), "horizontal");
    EXPECT_STREQ(ZELUNUnit::getDirectionId(ZELUNUnit::kUp), "up");
    EXPECT_STREQ(ZELUNUnit::getDirectionId(ZELUNUnit::kDown), "down");
    // The fixed underlying type keeps a stored value outside 0 to 3.
    auto const odd = static_cast<ZELUNUnit::LengthDirection>(9);
    EXPECT_EQ(static_cast<int>(odd), 9);
    EXPECT_STREQ(ZELUNUnit::getDirectionId(odd), "unknown");
}
