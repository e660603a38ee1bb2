#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNDoubleFormat.h"
#include "zorvsupport/platform/ZELUNUString.h"

namespace {

std::string text(double value, unsigned precision)
{
    ZELUNDoubleFormat f;
    f.setPrecision(precision);
    ZELUNUString s("previous content");
    EXPECT_EQ(f.toString(value, s), ZORV_3_13_0_::DataSet::kSuccess);
    return s.toUtf8();
}

}  // namespace

TEST(ZELUNDoubleFormat, PrecisionDefaultAndClamp)
{
    ZELUNDoubleFormat f;
    EXPECT_EQ(f.getPrecision(), ZELUNDoubleFormat::kDefaultPrecision);
    EXPECT_EQ(f.getPrecision(), 6u);
    f.setPrecision(0);
    EXPECT_EQ(f.getPrecision(), 0u);
    f.setPrecision(20);
    EXPECT_EQ(f.getPrecision(), 20u);
    f.setPrecision(21);
    EXPECT_EQ(f.getPrecision(), ZELUNDoubleFormat::kMaxPrecision);
    // A negative int precision arrives as a huge unsigned number.
    f.setPrecision(static_cast<unsigned>(-1));
    EXPECT_EQ(f.getPrecision(), 20u);
}

TEST(ZELUNDoubleFormat, FixedNotation)
{
    struct Row {
        double value;
        unsigned precision;
        char const* expected;
    };
    Row const rows[] = {
        {3.14159, 2, "3.14"},
        {2.0, 2, "2.00"},
        {-1.5, 1, "-1.5"},
        {1.75, 0, "2"},
        {0.1, 6, "0.100000"},
        {1234567.0, 2, "1234567.00"},
        {1e20, 0, "100000000000000000000"},
        {-0.001, 2, "0.00"},
        {-0.0, 3, "0.000"},
        {0.5, 20, "0.50000000000000000000"},
    };
    for (Row const& r : rows) EXPECT_EQ(text(r.value, r.precision), r.expected) << r.value;
}

TEST(ZELUNDoubleFormat, NonFiniteValues)
{
    double const inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(text(std::nan(""), 2), "NaN");
    EXPECT_EQ(text(-std::nan(""), 2), "NaN");
    EXPECT_EQ(text(inf, 2), "\xE2\x88\x9E");
    EXPECT_EQ(text(-inf, 2), "-\xE2\x88\x9E");
}
