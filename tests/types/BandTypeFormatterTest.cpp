#include <gtest/gtest.h>

#include <atomic>
#include <boost/make_shared.hpp>
#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <unicode/locid.h>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/platform/ZELUNUnit.h"
#include "zorvsupport/types/BandType.h"
#include "zorvsupport/types/BandTypeFormatter.h"
#include "zorvsupport/types/StringTable.h"
#include "zorvsupport/types/Variant.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

double const kMaxDouble = 1.7976931348623157e308;
double const kNaN = std::numeric_limits<double>::quiet_NaN();
double const kInf = std::numeric_limits<double>::infinity();
// A no-data value of a type no band here has.
Variant const kNeverMatches(static_cast<signed char>(0));

template <int k>
Variant tupleOf(std::initializer_list<typename TDataType<k>::element_type> values)
{
    using T = TTupleDataType<TDataType<k>>;
    unsigned const n = static_cast<unsigned>(values.size());
    return Variant(T(n), ConstTupleProxy<T>(values.begin(), n));
}

struct Result {
    long status;
    std::string text;
};

Result format(BandTypeFormatter const& f, ConstVariantRef value)
{
    ZELUNUString text("previous");
    long const status = f.toString(value, text);
    return {status, text.toUtf8()};
}

Result format(BandType const& band, ConstVariantRef value, int precision = 2, double scale = 1.0,
              ZELUNUnit const* displayUnit = nullptr)
{
    return format(BandTypeFormatter(band, displayUnit, precision, scale), value);
}

void expectResult(Result const& r, long status, std::string const& text)
{
    EXPECT_EQ(r.status, status);
    EXPECT_EQ(r.text, text);
}

BandType scalarBand(DataType type, char const* unitKey = "", Variant const& noData = Variant())
{
    return BandType::createScalar(type, unitKey, ZELUNUnit::kDown, noData);
}

// Holds a few entries; a missing index answers with its own status and
// leaves the text alone.
class FixedTable : public StringTable {
public:
    static constexpr long kMissing = 4711;
    unsigned short lookup(ZELUNUString const&) override { return kInvalidIndex; }
    long getString(unsigned short index, ZELUNUString& text) override
    {
        static char const* const texts[] = {"sand", "rock", "mud"};
        if (index >= 3) return kMissing;
        text = ZELUNUString(texts[index]);
        return kSuccess;
    }
    unsigned int getCount() const override { return 3; }
    long setString(unsigned short, ZELUNUString const&) override { return kErrNotSupported; }
    unsigned short append(ZELUNUString const&, long& status) override
    {
        status = kErrNotSupported;
        return kInvalidIndex;
    }
    long remove(unsigned short) override { return kErrNotSupported; }
    long clear() override { return kErrNotSupported; }
};

ZELUNUnit const* unit(char const* key)
{
    ZELUNUnit const* u = ZELUNUnit::get(key);
    EXPECT_NE(u, nullptr) << key;
    return u;
}

}  // namespace

TEST(BandTypeFormatter, TypeMismatchComesFirst)
{
    BandType const date = BandType::createDate(Variant());
    expectResult(format(date, Variant(5)), kErrFormatTypeMismatch, "");
    expectResult(format(date, ConstVariantRef(DataType::kInt32, nullptr)), kErrFormatTypeMismatch, "");
    expectResult(format(date, Variant(1.0f)), kErrFormatTypeMismatch, "");
    BandType const rgb = BandType::createColor(kColorRGB, Variant());
    expectResult(format(rgb, tupleOf<3>({1, 2, 3, 4})), kErrFormatTypeMismatch, "");
    // A string-table band without a table still checks the type first.
    BandType const index = BandType::createStringTable(boost::shared_ptr<StringTable>(), Variant());
    expectResult(format(index, Variant(3)), kErrFormatTypeMismatch, "");
}

TEST(BandTypeFormatter, MissingOrNoDataValueIsNotAvailable)
{
    struct Row {
        char const* name;
        BandType band;
        Variant value;
    };
    Row const rows[] = {
        {"scalar", scalarBand(DataType::kInt32, "m", Variant(-1)), Variant(-1)},
        {"string", BandType::createString(3, Variant()), tupleOf<5>({0, 0, 0})},
        {"string table without table", BandType::createStringTable(boost::shared_ptr<StringTable>(), Variant()),
         Variant(static_cast<unsigned short>(65535))},
        {"date", BandType::createDate(Variant()), Variant(kMaxDouble)},
        {"time", BandType::createTime(Variant()), Variant(kMaxDouble)},
        {"date-time", BandType::createDateTime(Variant(-1.0)), Variant(-1.0)},
        {"rgba", BandType::createColor(kColorRGBA, Variant()), tupleOf<3>({255, 255, 255, 0})},
        {"single byte", BandType::createColor(kColorSingleByte, Variant()), Variant(static_cast<unsigned char>(255))},
    };
    for (Row const& r : rows) {
        SCOPED_TRACE(r.name);
        expectResult(format(r.band, r.value), kSuccess, "N/A");
        // A view of the band's type without a value.
        expectResult(format(r.band, ConstVariantRef(r.band.getDataType(), nullptr)), kSuccess, "N/A");
    }
    // The undefined band type and the undefined value agree in type and have
    // no value.
    expectResult(format(BandType(), ConstVariantRef()), kSuccess, "N/A");
    // A no-data value of another type than the band never matches.
    BandType const mixed = scalarBand(DataType::kInt16, "", Variant(7));
    expectResult(format(mixed, Variant(static_cast<short>(7))), kSuccess, "7");
}

TEST(BandTypeFormatter, StringBands)
{
    BandType const five = BandType::createString(5, Variant());
    expectResult(format(five, tupleOf<5>({'a', 'b', 0, 0, 0})), kSuccess, "ab");
    expectResult(format(five, tupleOf<5>({'h', 'e', 'l', 'l', 'o'})), kSuccess, "hello");
    expectResult(format(five, tupleOf<5>({'a', 0, 'b', 'c', 'd'})), kSuccess, "a");
    // UTF-16 units above U+00FF are kept.
    expectResult(format(five, tupleOf<5>({0x263A, 'x', 0, 0, 0})), kSuccess, "\u263Ax");

    // Maximum length 0 makes a uint16 scalar, which no string fits.
    BandType const scalar = BandType::createString(0, Variant());
    expectResult(format(scalar, Variant(static_cast<unsigned short>('a'))), kErrNotFormattable, "");
    expectResult(format(scalar, Variant(static_cast<unsigned short>(65535))), kSuccess, "N/A");
}

TEST(BandTypeFormatter, StringTableBands)
{
    BandType const none = BandType::createStringTable(boost::shared_ptr<StringTable>(), Variant());
    expectResult(format(none, Variant(static_cast<unsigned short>(1))), kErrNoStringTable, "");

    BandType const index = BandType::createStringTable(boost::make_shared<FixedTable>(), Variant());
    expectResult(format(index, Variant(static_cast<unsigned short>(1))), kSuccess, "rock");
    expectResult(format(index, Variant(static_cast<unsigned short>(0))), kSuccess, "sand");
    // The table's own status, and the text as the table left it.
    expectResult(format(index, Variant(static_cast<unsigned short>(9))), FixedTable::kMissing, "");
    expectResult(format(index, Variant(static_cast<unsigned short>(65535))), kSuccess, "N/A");
}

TEST(BandTypeFormatter, ScalarAndColourBandsUseTheElementWalk)
{
    expectResult(format(scalarBand(DataType::kInt32), Variant(-42)), kSuccess, "-42");
    expectResult(format(scalarBand(DataType::kFloat64), Variant(2.5)), kSuccess, "2.50");
    expectResult(format(scalarBand(DataType::kFloat32), Variant(0.125f), 3), kSuccess, "0.125");
    expectResult(format(scalarBand(DataType(DataType::kInt32, 3)), tupleOf<6>({1, 2, 3}), 2, 2.0), kSuccess,
                 "2, 4, 6");
    BandType const rgb = BandType::createColor(kColorRGB, Variant());
    expectResult(format(rgb, tupleOf<3>({10, 20, 30})), kSuccess, "10, 20, 30");
    // Colour formats outside the named ones leave an undefined type: nothing
    // to write.
    BandType const odd = BandType::createColor(static_cast<ColorFormat>(8), Variant());
    expectResult(format(odd, ConstVariantRef()), kSuccess, "N/A");
}

TEST(BandTypeFormatter, PrecisionOfTheDoubleFormat)
{
    BandType const b = scalarBand(DataType::kFloat64);
    EXPECT_EQ(BandTypeFormatter(b, nullptr, 3, 1.0).getDoubleFormat().getPrecision(), 3u);
    // A negative precision arrives as a huge unsigned number and is clamped.
    EXPECT_EQ(BandTypeFormatter(b, nullptr, -1, 1.0).getDoubleFormat().getPrecision(),
              ZELUNDoubleFormat::kMaxPrecision);
}

TEST(BandTypeFormatter, ScaledIntegersPrintAsIntegersWhenWhole)
{
    BandType const b = scalarBand(DataType::kInt32);
    struct Row {
        int value;
        int precision;
        double scale;
        char const* expected;
    };
    Row const rows[] = {
        {4, 2, 0.5, "2"},      {3, 2, 0.5, "1.50"},   {5, 0, 0.5, "2"},      {-5, 0, 0.5, "-2"},
        {7, 2, 0.001, "0.01"}, {1, 2, 0.004, "0"},    {-1, 2, 0.004, "0"},   {-7, 1, 2.0, "-14"},
        {10, 2, 0.1, "1"},     {3, 2, 1.0 / 3, "1"},  {1000, 2, 1.5, "1500"},
    };
    for (Row const& r : rows) {
        SCOPED_TRACE(std::to_string(r.value) + " x " + std::to_string(r.scale) + " at " + std::to_string(r.precision));
        expectResult(format(b, Variant(r.value), r.precision, r.scale), kSuccess, r.expected);
    }
    // Reals are scaled and always go through the double format.
    expectResult(format(scalarBand(DataType::kFloat64), Variant(2.0), 2, 3.0), kSuccess, "6.00");
    // Without scale and unit an integer is always plain decimal. (The
    // largest int32 is the default no-data value, so this band has one of
    // another type, which never matches.)
    BandType const anyValue = scalarBand(DataType::kInt32, "", kNeverMatches);
    expectResult(format(anyValue, Variant(2147483647), 0, 1.0), kSuccess, "2147483647");
    expectResult(format(b, Variant(2147483647), 0, 1.0), kSuccess, "N/A");
}

TEST(BandTypeFormatter, ScaledValuesAtTheInt64Limits)
{
    // The largest values are the default no-data values; a no-data value of
    // another type never matches.
    BandType const i64 = scalarBand(DataType::kInt64, "m", kNeverMatches);
    BandType const u64 = scalarBand(DataType::kUInt64, "m", kNeverMatches);
    long long const kMin = std::numeric_limits<long long>::min();
    long long const kMax = std::numeric_limits<long long>::max();
    long long const k2p62 = 4611686018427387904LL;
    ZELUNUnit const* metre = unit("m");

    expectResult(format(i64, Variant(k2p62), 2, 4.0), kErrFormatOverflow, "");
    expectResult(format(i64, Variant(k2p62), 2, 2.0), kErrFormatOverflow, "");
    // -2^63 itself is inside the range.
    expectResult(format(i64, Variant(-k2p62), 2, 2.0), kSuccess, "-9223372036854775808");
    // The same unit forces the converting path without changing the value.
    expectResult(format(i64, Variant(kMin), 2, 1.0, metre), kSuccess, "-9223372036854775808");
    // 2^63 - 1 becomes 2^63 as a double: outside.
    expectResult(format(i64, Variant(kMax), 2, 1.0, metre), kErrFormatOverflow, "");
    expectResult(format(i64, Variant(kMax), 2, 1.0), kSuccess, "9223372036854775807");
    expectResult(format(i64, Variant(kMin), 2, 1.0), kSuccess, "-9223372036854775808");

    // uint64 values of 2^63 and above never reach the integer conversion.
    expectResult(format(u64, Variant(9223372036854775808ULL), 2, 0.5), kErrFormatOverflow, "");
    expectResult(format(u64, Variant(18446744073709551615ULL), 2, 1.0), kErrFormatOverflow, "");
    expectResult(format(u64, Variant(9223372036854775807ULL), 2, 1.0), kSuccess, "9223372036854775807");
    expectResult(format(u64, Variant(4611686018427387904ULL), 2, 2.0), kErrFormatOverflow, "");
    expectResult(format(u64, Variant(4611686018427387904ULL), 2, 0.5), kSuccess, "2305843009213693952");
    BandType const u64pair = scalarBand(DataType(DataType::kUInt64, 2), "", kNeverMatches);
    expectResult(format(u64pair, tupleOf<9>({1, 9223372036854775808ULL})), kErrFormatOverflow, "1");
}

TEST(BandTypeFormatter, NonFiniteScaledIntegersOverflow)
{
    BandType const b = scalarBand(DataType::kInt32);
    expectResult(format(b, Variant(3), 2, kNaN), kErrFormatOverflow, "");
    expectResult(format(b, Variant(3), 2, kInf), kErrFormatOverflow, "");
    expectResult(format(b, Variant(3), 2, -kInf), kErrFormatOverflow, "");
    // 0 * infinity is NaN as well.
    expectResult(format(b, Variant(0), 2, kInf), kErrFormatOverflow, "");
    expectResult(format(b, Variant(3), 2, 1e300), kErrFormatOverflow, "");
    // Reals show the double format's texts instead.
    BandType const real = scalarBand(DataType::kFloat64);
    expectResult(format(real, Variant(3.0), 2, kNaN), kSuccess, "NaN");
    expectResult(format(real, Variant(kNaN)), kSuccess, "NaN");
}

TEST(BandTypeFormatter, DisplayUnits)
{
    BandType const feetReal = scalarBand(DataType::kFloat64, "ft");
    BandType const feetInt = scalarBand(DataType::kInt32, "ft");
    BandType const fathoms = scalarBand(DataType::kInt32, "fathom");
    expectResult(format(feetReal, Variant(10.0), 3, 1.0, unit("m")), kSuccess, "3.048");
    expectResult(format(feetInt, Variant(10), 3, 1.0, unit("m")), kSuccess, "3.048");
    expectResult(format(fathoms, Variant(2), 2, 1.0, unit("ft")), kSuccess, "12");
    // Scale first, then the unit.
    expectResult(format(fathoms, Variant(2), 2, 0.5, unit("ft")), kSuccess, "6");
    expectResult(format(feetReal, Variant(10.0), 2, 2.0, unit("m")), kSuccess, "6.10");

    // A band unit that names no unit: scaled only.
    expectResult(format(scalarBand(DataType::kInt32, ""), Variant(3), 2, 2.0, unit("m")), kSuccess, "6");
    expectResult(format(scalarBand(DataType::kFloat64, "parsec"), Variant(1.5), 2, 1.0, unit("m")), kSuccess,
                 "1.50");

    // A failing conversion passes its status on and leaves the text empty.
    BandType const degreesReal = scalarBand(DataType::kFloat64, "deg");
    BandType const degreesInt = scalarBand(DataType::kInt32, "deg");
    expectResult(format(degreesReal, Variant(1.0), 2, 1.0, unit("m")), kErrNotConvertible, "");
    expectResult(format(degreesInt, Variant(1), 2, 1.0, unit("m")), kErrNotConvertible, "");
    expectResult(format(scalarBand(DataType(DataType::kFloat64, 2), "deg"), tupleOf<1>({1.0, 2.0}), 2, 1.0,
                        unit("m")),
                 kErrNotConvertible, "");
}

TEST(BandTypeFormatter, GetAsStringUsesDefaults)
{
    ZELUNUString text("previous");
    EXPECT_EQ(Variant(7).getAsString(scalarBand(DataType::kInt32, "m", Variant(-1)), text), kSuccess);
    EXPECT_EQ(text.toUtf8(), "7");
    EXPECT_EQ(Variant(2.5).getAsString(scalarBand(DataType::kFloat64), text), kSuccess);
    EXPECT_EQ(text.toUtf8(), "2.50");
    EXPECT_EQ(Variant(-1).getAsString(scalarBand(DataType::kInt32, "m", Variant(-1)), text), kSuccess);
    EXPECT_EQ(text.toUtf8(), "N/A");
    EXPECT_EQ(Variant(2.5f).getAsString(scalarBand(DataType::kFloat64), text), kErrFormatTypeMismatch);
    EXPECT_EQ(text.toUtf8(), "");
}

// Date formats are created once per process with the default locale of that
// moment, so the locale is fixed before the first date is formatted.
class BandTypeFormatterDates : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(icu::Locale("en_US"), status);
        ASSERT_TRUE(U_SUCCESS(status));
    }

    // 2009-02-13 23:31:30 UTC and 2000-02-29 13:05:09.250 UTC.
    static constexpr double kFeb2009 = 1234567890000.0;
    static constexpr double kLeapDay = 951829509250.0;
};

TEST_F(BandTypeFormatterDates, DatesTimesAndDateTimesInGmt)
{
    BandType const date = BandType::createDate(Variant());
    BandType const time = BandType::createTime(Variant());
    BandType const dateTime = BandType::createDateTime(Variant());
    struct Row {
        BandType const& band;
        double value;
        char const* expected;
    };
    Row const rows[] = {
        {date, 0.0, "Jan 1, 1970"},
        {date, kFeb2009, "Feb 13, 2009"},
        {date, kLeapDay, "Feb 29, 2000"},
        {date, -86400000.0, "Dec 31, 1969"},
        {time, 0.0, "12:00:00\u202FAM"},
        {time, kFeb2009, "11:31:30\u202FPM"},
        {time, kLeapDay, "1:05:09\u202FPM"},
        {dateTime, 0.0, "Jan 1, 1970, 12:00:00\u202FAM"},
        {dateTime, kFeb2009, "Feb 13, 2009, 11:31:30\u202FPM"},
        {dateTime, kLeapDay, "Feb 29, 2000, 1:05:09\u202FPM"},
    };
    for (Row const& r : rows) expectResult(format(r.band, Variant(r.value)), kSuccess, r.expected);

    // A scale does not apply to dates; the no-data value still wins.
    expectResult(format(date, Variant(kFeb2009), 2, 1000.0), kSuccess, "Feb 13, 2009");
    expectResult(format(date, Variant(kMaxDouble)), kSuccess, "N/A");
    ZELUNUString text;
    EXPECT_EQ(Variant(0.0).getAsString(dateTime, text), kSuccess);
    EXPECT_EQ(text.toUtf8(), "Jan 1, 1970, 12:00:00\u202FAM");
}

TEST_F(BandTypeFormatterDates, TwoThreadsFormatDatesAtOnce)
{
    BandType const date = BandType::createDate(Variant());
    BandType const dateTime = BandType::createDateTime(Variant());
    std::vector<std::pair<double, std::string>> const dates = {
        {0.0, "Jan 1, 1970"}, {kFeb2009, "Feb 13, 2009"}, {kLeapDay, "Feb 29, 2000"}};
    std::vector<std::pair<double, std::string>> const dateTimes = {
        {0.0, "Jan 1, 1970, 12:00:00\u202FAM"},
        {kFeb2009, "Feb 13, 2009, 11:31:30\u202FPM"},
        {kLeapDay, "Feb 29, 2000, 1:05:09\u202FPM"}};

    std::atomic<int> ready{0};
    auto worker = [&](int offset, int& wrong) {
        BandTypeFormatter const dateFormatter(date, nullptr, 2, 1.0);
        BandTypeFormatter const dateTimeFormatter(dateTime, nullptr, 2, 1.0);
        ready.fetch_add(1);
        while (ready.load() < 2) std::this_thread::yield();
        ZELUNUString text;
        for (int i = 0; i < 2000; ++i) {
            auto const& d = dates[(i + offset) % dates.size()];
            if (dateFormatter.toString(Variant(d.first), text) != kSuccess || text.toUtf8() != d.second) ++wrong;
            auto const& t = dateTimes[(i + offset) % dateTimes.size()];
            if (dateTimeFormatter.toString(Variant(t.first), text) != kSuccess || text.toUtf8() != t.second) ++wrong;
        }
    };
    int wrongA = 0;
    int wrongB = 0;
    std::thread a(worker, 0, std::ref(wrongA));
    std::thread b(worker, 1, std::ref(wrongB));
    a.join();
    b.join();
    EXPECT_EQ(wrongA, 0);
    EXPECT_EQ(wrongB, 0);
}
