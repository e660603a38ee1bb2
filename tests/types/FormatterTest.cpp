#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <string>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNDoubleFormat.h"
#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/types/Formatter.h"
#include "zorvsupport/types/Variant.h"

using namespace ZORV_3_13_0_::DataSet;
using Vec3 = ::HPGEOM_3_13_0::ZELUNVec3<double>;

namespace {

template <int k>
Variant tupleOf(std::initializer_list<typename TDataType<k>::element_type> values)
{
    using T = TTupleDataType<TDataType<k>>;
    unsigned const n = static_cast<unsigned>(values.size());
    return Variant(T(n), ConstTupleProxy<T>(values.begin(), n));
}

Formatter withPrecision(unsigned precision)
{
    Formatter f;
    ZELUNDoubleFormat d;
    d.setPrecision(precision);
    f.setDoubleFormat(d);
    return f;
}

struct Result {
    long status;
    std::string text;
};

Result format(Formatter const& f, ConstVariantRef value, char const* before = "previous")
{
    ZELUNUString text(before);
    long const status = f.toString(value, text);
    return {status, text.toUtf8()};
}

void expectResult(Result const& r, long status, std::string const& text)
{
    EXPECT_EQ(r.status, status);
    EXPECT_EQ(r.text, text);
}

// Writes integers as "#<value>" and reals as "~"; throws for 13 and returns a
// status for reals above 1000, to show the walk uses the virtual conversions.
class MarkingFormatter : public Formatter {
protected:
    long formatInt(long long value, ZELUNUString& text) const override
    {
        if (value == 13) {
            text = ZELUNUString("partial");
            throw std::runtime_error("unlucky");
        }
        text = ZELUNUString(("#" + std::to_string(value)).c_str());
        return kSuccess;
    }
    long formatDouble(double value, ZELUNUString& text) const override
    {
        if (value > 1000.0) {
            text = ZELUNUString("partial");
            return 777;
        }
        text = ZELUNUString("~");
        return kSuccess;
    }
};

}  // namespace

TEST(Formatter, IntegerScalarsArePlainDecimal)
{
    Formatter const f;
    expectResult(format(f, Variant(-42)), kSuccess, "-42");
    expectResult(format(f, Variant(static_cast<signed char>(-128))), kSuccess, "-128");
    expectResult(format(f, Variant(static_cast<unsigned char>(255))), kSuccess, "255");
    expectResult(format(f, Variant(static_cast<short>(-32768))), kSuccess, "-32768");
    expectResult(format(f, Variant(static_cast<unsigned short>(65535))), kSuccess, "65535");
    expectResult(format(f, Variant(4294967295u)), kSuccess, "4294967295");
    expectResult(format(f, Variant(std::numeric_limits<long long>::min())), kSuccess, "-9223372036854775808");
    expectResult(format(f, Variant(1234567LL)), kSuccess, "1234567");
    expectResult(format(f, Variant(9223372036854775807ULL)), kSuccess, "9223372036854775807");
}

TEST(Formatter, Uint64AboveInt64RangeOverflows)
{
    Formatter const f;
    expectResult(format(f, Variant(9223372036854775808ULL)), kErrFormatOverflow, "");
    expectResult(format(f, Variant(18446744073709551615ULL)), kErrFormatOverflow, "");
    expectResult(format(f, tupleOf<9>({1, 9223372036854775808ULL, 3})), kErrFormatOverflow, "1");
}

TEST(Formatter, RealsGoThroughTheDoubleFormat)
{
    expectResult(format(withPrecision(2), Variant(2.5)), kSuccess, "2.50");
    // float32 is widened exactly: 0.1f is 0.100000001490116...
    expectResult(format(withPrecision(10), Variant(0.1f)), kSuccess, "0.1000000015");
    expectResult(format(Formatter(), Variant(1.0)), kSuccess, "1.000000");
    expectResult(format(withPrecision(1), Variant(Vec3(1, 2, 3))), kSuccess, "1.0, 2.0, 3.0");
}

TEST(Formatter, TuplesJoinElements)
{
    Formatter const f = withPrecision(1);
    expectResult(format(f, tupleOf<5>({1, 2, 3, 4})), kSuccess, "1, 2, 3, 4");
    expectResult(format(f, tupleOf<6>({7})), kSuccess, "7");
    expectResult(format(f, tupleOf<1>({0.5, -1.26})), kSuccess, "0.5, -1.3");
    expectResult(format(f, tupleOf<11>({Vec3(1, 2, 3), Vec3(4, 5, 6)})), kSuccess, "1.0, 2.0, 3.0, 4.0, 5.0, 6.0");
}

TEST(Formatter, UndefinedTypesLeaveTheText)
{
    Formatter const f;
    expectResult(format(f, ConstVariantRef()), kSuccess, "previous");
    int const payload = 5;
    expectResult(format(f, ConstVariantRef(DataType(static_cast<DataType::Type>(10), 0), &payload)), kSuccess,
                 "previous");
    expectResult(format(f, ConstVariantRef(DataType(static_cast<DataType::Type>(42), 2), &payload)), kSuccess,
                 "previous");
}

TEST(Formatter, DerivedConversionsReachEveryElement)
{
    MarkingFormatter const f;
    expectResult(format(f, Variant(5)), kSuccess, "#5");
    expectResult(format(f, Variant(9223372036854775807ULL)), kSuccess, "#9223372036854775807");
    expectResult(format(f, Variant(2.0f)), kSuccess, "~");
    expectResult(format(f, tupleOf<2>({1, -2})), kSuccess, "#1, #-2");
    expectResult(format(f, Variant(Vec3(1, 2, 3))), kSuccess, "~, ~, ~");
    expectResult(format(f, tupleOf<1>({1.0, 2.0})), kSuccess, "~, ~");
}

TEST(Formatter, FailuresKeepTheElementsBefore)
{
    MarkingFormatter const f;
    // An exception out of formatInt empties what it was writing.
    expectResult(format(f, Variant(13)), kErrFormatOverflow, "");
    expectResult(format(f, tupleOf<3>({1, 2, 13, 4})), kErrFormatOverflow, "#1, #2");
    // A status of formatDouble passes through; a scalar keeps what it left.
    expectResult(format(f, Variant(5000.0)), 777, "partial");
    expectResult(format(f, tupleOf<1>({1.0, 5000.0, 2.0})), 777, "~");
    // A 3-vector scalar is built in the text itself, component by component.
    expectResult(format(f, Variant(Vec3(1, 5000, 3))), 777, "~");
    expectResult(format(f, tupleOf<11>({Vec3(1, 2, 3), Vec3(1, 2, 5000)})), 777, "~, ~, ~");
}
