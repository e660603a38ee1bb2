#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include <libxml/tree.h>

#include "support/ElementKinds.h"
#include "support/XmlDoc.h"
#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/platform/ZELUNVec3.h"
#include "zorvsupport/types/TextForms.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

using Vec3 = ZELUNVec3<double>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

ZELUNUString u8(char const* utf8) { return ZELUNUString::fromUtf8(utf8, std::strlen(utf8)); }

ZELUNUString unit(char16_t c)
{
    ZELUNUString s;
    s.setTo(c);
    return s;
}

template <class T>
ZELUNUString textOf(T value)
{
    ZELUNUString text("stale");
    EXPECT_EQ(valueToText<T>(value, text), kSuccess);
    return text;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(TextForms, RealNumbersWrittenByThePattern)
{
    struct Case {
        double value;
        char const* text;  // UTF-8
    };
    const Case cases[] = {
        {3.0, "3.0"},
        {0.5, "0.5"},
        {-2.25, "-2.25"},
        {-0.5, "-0.5"},
        {0.1, "0.1"},
        {-0.0, "-0.0"},
        {1e21, "1000000000000000000000.0"},  // never an exponent
        {123456789012345678.0, "123456789012345680.0"},
        {0.00001, "0.00001"},
        {0.49999999999999994, "0.49999999999999994"},
        {1e-20, "0.0"},  // beyond the seventeenth fraction digit
        {kNaN, "NaN"},
        {-kNaN, "NaN"},
        {kInf, "\xE2\x88\x9E"},
        {-kInf, "-\xE2\x88\x9E"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(textOf<double>(c.value).toUtf8(), c.text);
    }
    // A float is written with the digits of its double value.
    EXPECT_EQ(textOf<float>(0.1f).toUtf8(), "0.10000000149011612");
    EXPECT_EQ(textOf<float>(3.0f).toUtf8(), "3.0");
}

TEST(TextForms, RealNumbersReadWholeTextOnly)
{
    struct Case {
        char const* text;  // UTF-8
        long status;
        double value;  // stored whatever the status
    };
    const Case cases[] = {
        {"3.0", kSuccess, 3.0},
        {"3", kSuccess, 3.0},
        {"-0.5", kSuccess, -0.5},
        {"0.1", kSuccess, 0.1},
        {"123456789012345680.0", kSuccess, 123456789012345678.0},
        {"\xE2\x88\x9E", kSuccess, kInf},
        {"-\xE2\x88\x9E", kSuccess, -kInf},
        {"12x", kErrTextNotNumber, 0.0},
        {"1,5", kErrTextNotNumber, 0.0},
        {"1.5.2", kErrTextNotNumber, 0.0},
        {" 1.0", kErrTextNotNumber, 0.0},
        {"1.0 ", kErrTextNotNumber, 0.0},
        {"", kErrTextNotNumber, 0.0},
        {"-", kErrTextNotNumber, 0.0},
        {"abc", kErrTextNotNumber, 0.0},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.text);
        double value = 42.0;
        EXPECT_EQ(textToValue<double>(u8(c.text), value), c.status);
        EXPECT_EQ(value, c.value);
    }
    double nan = 0.0;
    EXPECT_EQ(textToValue<double>(ZELUNUString("NaN"), nan), kSuccess);
    EXPECT_TRUE(std::isnan(nan));

    float f = 1.0f;
    EXPECT_EQ(textToValue<float>(ZELUNUString("12x"), f), kErrTextNotNumber);
    EXPECT_EQ(f, 0.0f);
}

TEST(TextForms, RealNumbersRoundTrip)
{
    const double doubles[] = {0.0, -0.0, 1.0 / 3.0, -2.0 / 3.0, 0.49999999999999994, 1e300, -1.7976931348623157e308,
                              1.7976931348623157e308, 2251799813685248.5, 0.30000000000000004, kInf, -kInf};
    for (double v : doubles) {
        SCOPED_TRACE(textOf<double>(v).toUtf8());
        double back = 0.0;
        ASSERT_EQ(textToValue<double>(textOf<double>(v), back), kSuccess);
        EXPECT_TRUE(sameBits(back, v));
    }
    const float floats[] = {0.1f, -1.5f, 3.4028234663852886e38f, -3.4028234663852886e38f, 16777217.0f,
                            0.333333343f, std::numeric_limits<float>::infinity()};
    for (float v : floats) {
        SCOPED_TRACE(textOf<float>(v).toUtf8());
        float back = 0.0f;
        ASSERT_EQ(textToValue<float>(textOf<float>(v), back), kSuccess);
        EXPECT_EQ(back, v);
    }
    float nan = 0.0f;
    ASSERT_EQ(textToValue<float>(textOf<float>(std::numeric_limits<float>::quiet_NaN()), nan), kSuccess);
    EXPECT_TRUE(std::isnan(nan));
}

TEST(TextForms, FloatReadBeyondItsRangeSaturates)
{
    float f = 0.0f;
    EXPECT_EQ(textToValue<float>(ZELUNUString("1000000000000000000000000000000000000000.0"), f), kSuccess);
    EXPECT_EQ(f, std::numeric_limits<float>::max());
    EXPECT_EQ(textToValue<float>(ZELUNUString("-1000000000000000000000000000000000000000.0"), f), kSuccess);
    EXPECT_EQ(f, -std::numeric_limits<float>::max());
}

TEST(TextForms, Int8IsOneLatin1Character)
{
    EXPECT_EQ(textOf<signed char>(65), ZELUNUString("A"));
    EXPECT_EQ(textOf<signed char>(0), ZELUNUString());
    EXPECT_EQ(textOf<signed char>(-1), unit(0xFF));
    EXPECT_EQ(textOf<signed char>(-128), unit(0x80));

    struct Case {
        ZELUNUString text;
        long status;
        int value;
    };
    const Case cases[] = {
        {ZELUNUString("A"), kSuccess, 65},
        {ZELUNUString(""), kSuccess, 0},
        {unit(0xFF), kSuccess, -1},
        {unit(0xE9), kSuccess, -23},
        {ZELUNUString(" "), kSuccess, 32},
        {ZELUNUString("12"), kErrTextNotNumber, 99},
        {ZELUNUString("A "), kErrTextNotNumber, 99},
        {unit(0x100), kErrTextNotNumber, 99},  // never folded to another byte
        {unit(0x20AC), kErrTextNotNumber, 99},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.text.toUtf8());
        signed char v = 99;
        EXPECT_EQ(textToValue<signed char>(c.text, v), c.status);
        EXPECT_EQ(v, c.value);
    }
}

TEST(TextForms, UInt8IsOneUnit)
{
    EXPECT_EQ(textOf<unsigned char>(65), ZELUNUString("A"));
    ZELUNUString zero = textOf<unsigned char>(0);
    ASSERT_EQ(zero.length(), 1);
    EXPECT_EQ(zero.charAt(0), 0);
    EXPECT_EQ(textOf<unsigned char>(255), unit(0xFF));

    struct Case {
        ZELUNUString text;
        long status;
        int value;
    };
    const Case cases[] = {
        {ZELUNUString("A"), kSuccess, 65},
        {ZELUNUString(""), kSuccess, 0},
        {unit(0), kSuccess, 0},
        {unit(0xFF), kSuccess, 255},
        {ZELUNUString("AB"), kErrNotSingleCharacter, 7},
        {ZELUNUString("12"), kErrNotSingleCharacter, 7},
        {unit(0x100), kErrNotSingleCharacter, 7},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.text.toUtf8());
        unsigned char v = 7;
        EXPECT_EQ(textToValue<unsigned char>(c.text, v), c.status);
        EXPECT_EQ(v, c.value);
    }
}

TEST(TextForms, EveryByteRoundTrips)
{
    for (int i = -128; i < 128; ++i) {
        signed char back = i == 0 ? 1 : 0;
        ASSERT_EQ(textToValue<signed char>(textOf<signed char>(static_cast<signed char>(i)), back), kSuccess) << i;
        EXPECT_EQ(back, i);
    }
    for (int i = 0; i < 256; ++i) {
        unsigned char back = i == 0 ? 1 : 0;
        ASSERT_EQ(textToValue<unsigned char>(textOf<unsigned char>(static_cast<unsigned char>(i)), back), kSuccess)
            << i;
        EXPECT_EQ(back, i);
    }
}

namespace {

// One text read as every decimal integer type; kErrTextNotNumber where a
// type refuses it.
struct IntegerTextRow {
    char const* text;
    long long i16;  // expected value, or kRefused
    long long u16;
    long long i32;
    long long i64;
    unsigned long long u64;
    bool u64ok;
};
constexpr long long kRefused = 77777;

template <class T>
void expectRead(char const* text, long long expected)
{
    T v = 77;
    long const st = textToValue<T>(u8(text), v);
    if (expected == kRefused) {
        EXPECT_EQ(st, kErrTextNotNumber) << typeid(T).name();
        // int32 stores what the parse returned (0 on failure); the others
        // leave the value.
        EXPECT_EQ(v, (std::is_same_v<T, int> ? 0 : 77)) << typeid(T).name();
    } else {
        EXPECT_EQ(st, kSuccess) << typeid(T).name();
        EXPECT_EQ(static_cast<long long>(v), expected) << typeid(T).name();
    }
}

}  // namespace

TEST(TextForms, DecimalIntegersReadStrictly)
{
    constexpr long long R = kRefused;
    // clang-format off
    const IntegerTextRow rows[] = {
        // text                       i16     u16    i32          i64                     u64
        {"12",                        12,     12,    12,          12,                     12u, true},
        {"12 ",                       12,     12,    R,           12,                     12u, true},
        {" 12",                       R,      R,     R,           R,                      0u, false},
        {"12x",                       R,      R,     R,           R,                      0u, false},
        {"40000",                     R,      40000, 40000,       40000,                  40000u, true},
        {"-5",                        -5,     R,     -5,          -5,                     0u, false},
        {"-0",                        0,      R,     0,           0,                      0u, false},
        {"-32768",                    -32768, R,     -32768,      -32768,                 0u, false},
        {"65536",                     R,      R,     65536,       65536,                  65536u, true},
        {"2147483648",                R,      R,     R,           2147483648LL,           2147483648u, true},
        {"-2147483649",               R,      R,     R,           -2147483649LL,          0u, false},
        {"99999999999999999999",      R,      R,     R,           R,                      0u, false},
        {"-9223372036854775808",      R,      R,     R,           -9223372036854775807LL - 1, 0u, false},
        {"9223372036854775808",       R,      R,     R,           R,                      9223372036854775808u, true},
        {"18446744073709551615",      R,      R,     R,           R,                      18446744073709551615u, true},
        {"18446744073709551616",      R,      R,     R,           R,                      0u, false},
        {"",                          R,      R,     R,           R,                      0u, false},
        {"1.0",                       R,      R,     R,           R,                      0u, false},
        {"12\xC4\x80",                R,      R,     R,           R,                      0u, false},  // U+0100
        {"12\xC2\xA0",                R,      R,     R,           R,                      0u, false},  // no-break space
    };
    // clang-format on
    for (IntegerTextRow const& r : rows) {
        SCOPED_TRACE(r.text);
        expectRead<short>(r.text, r.i16);
        expectRead<unsigned short>(r.text, r.u16);
        expectRead<int>(r.text, r.i32);
        expectRead<long long>(r.text, r.i64);
        unsigned long long v = 77;
        long const st = textToValue<unsigned long long>(u8(r.text), v);
        EXPECT_EQ(st, r.u64ok ? kSuccess : kErrTextNotNumber);
        EXPECT_EQ(v, r.u64ok ? r.u64 : 77u);
    }
}

TEST(TextForms, DecimalIntegersWritten)
{
    EXPECT_EQ(textOf<short>(-32768), ZELUNUString("-32768"));
    EXPECT_EQ(textOf<unsigned short>(65535), ZELUNUString("65535"));
    EXPECT_EQ(textOf<int>(-2147483647 - 1), ZELUNUString("-2147483648"));
    EXPECT_EQ(textOf<int>(0), ZELUNUString("0"));
    EXPECT_EQ(textOf<long long>(-9223372036854775807LL - 1), ZELUNUString("-9223372036854775808"));
    EXPECT_EQ(textOf<unsigned long long>(18446744073709551615u), ZELUNUString("18446744073709551615"));
}

TEST(TextForms, Vec3Text)
{
    EXPECT_EQ(textOf<Vec3>(Vec3(1.5, -2.0, 0.25)), ZELUNUString("1.5,-2.0,0.25"));
    Vec3 v;
    ASSERT_EQ(textToValue<Vec3>(ZELUNUString("1.5,-2.0,0.25"), v), kSuccess);
    EXPECT_EQ(v, Vec3(1.5, -2.0, 0.25));
    ASSERT_EQ(textToValue<Vec3>(ZELUNUString("1.5,2.5,3.5"), v), kSuccess);
    EXPECT_EQ(v, Vec3(1.5, 2.5, 3.5));
    Vec3 inf(kInf, -kInf, 0.1);
    ASSERT_EQ(textToValue<Vec3>(textOf<Vec3>(inf), v), kSuccess);
    EXPECT_EQ(v, inf);

    struct Case {
        char const* text;
        Vec3 after;  // from (7, 8, 9)
    };
    const Case failures[] = {
        {"1.0,x,3.0", Vec3(1.0, 0.0, 9.0)},        // y fails: x stored, z untouched
        {"x,2.0,3.0", Vec3(0.0, 8.0, 9.0)},
        {"1.0,2.0,3.0,4.0", Vec3(1.0, 2.0, 0.0)},  // z is all the rest
        {"1.0,2.0,", Vec3(1.0, 2.0, 0.0)},
        {"1.0,2.0", Vec3(7.0, 8.0, 9.0)},          // fewer than two commas: nothing stored
        {"1.0", Vec3(7.0, 8.0, 9.0)},
        {",", Vec3(7.0, 8.0, 9.0)},
        {"", Vec3(7.0, 8.0, 9.0)},
    };
    for (Case const& c : failures) {
        SCOPED_TRACE(c.text);
        Vec3 w(7.0, 8.0, 9.0);
        EXPECT_EQ(textToValue<Vec3>(ZELUNUString(c.text), w), kErrTextNotNumber);
        EXPECT_EQ(w, c.after);
    }
}

namespace {

// Values of one type for the attribute tests.
template <class T>
struct Samples;
template <>
struct Samples<float> {
    static std::vector<float> values() { return {0.0f, 0.1f, -3.4028234663852886e38f, 1e-3f, 16777216.0f}; }
    static float sentinel() { return 42.5f; }
};
template <>
struct Samples<double> {
    static std::vector<double> values() { return {0.0, -0.5, 1.0 / 3.0, 1.7976931348623157e308, kInf, -kInf}; }
    static double sentinel() { return 42.5; }
};
template <>
struct Samples<signed char> {
    static std::vector<signed char> values() { return {0, 65, -1, -128, 127, 32, 34, 38, 60}; }
    static signed char sentinel() { return 42; }
};
template <>
struct Samples<unsigned char> {
    static std::vector<unsigned char> values() { return {0, 65, 200, 255, 34, 60}; }
    static unsigned char sentinel() { return 42; }
};
template <>
struct Samples<short> {
    static std::vector<short> values() { return {0, -32768, 32767, 12}; }
    static short sentinel() { return 42; }
};
template <>
struct Samples<unsigned short> {
    static std::vector<unsigned short> values() { return {0, 65535, 12}; }
    static unsigned short sentinel() { return 42; }
};
template <>
struct Samples<int> {
    static std::vector<int> values() { return {0, -2147483647 - 1, 2147483647, -5}; }
    static int sentinel() { return 42; }
};
template <>
struct Samples<unsigned int> {
    static std::vector<unsigned int> values() { return {0u, 4294967295u}; }
    static unsigned int sentinel() { return 42; }
};
template <>
struct Samples<long long> {
    static std::vector<long long> values() { return {0, -9223372036854775807LL - 1, 9223372036854775807LL}; }
    static long long sentinel() { return 42; }
};
template <>
struct Samples<unsigned long long> {
    static std::vector<unsigned long long> values() { return {0u, 18446744073709551615u}; }
    static unsigned long long sentinel() { return 42; }
};
template <>
struct Samples<Vec3> {
    static std::vector<Vec3> values() { return {Vec3(), Vec3(1.5, -2.0, 0.25), Vec3(-0.1, 1e15, kInf)}; }
    static Vec3 sentinel() { return Vec3(4, 5, 6); }
};

template <class T>
class TextFormsAttribute : public ::testing::Test {};

TYPED_TEST_SUITE(TextFormsAttribute, zorvtest::ElementValueTypes);

}  // namespace

TYPED_TEST(TextFormsAttribute, RoundTripThroughElement)
{
    using T = TypeParam;
    for (T const& v : Samples<T>::values()) {
        zorvtest::XmlDoc doc;
        ASSERT_EQ(setXMLAttribute<T>(doc.root(), "value", v), kSuccess);
        T back = Samples<T>::sentinel();
        ASSERT_EQ(getXMLAttribute<T>(doc.root(), "value", back), kSuccess) << doc.str();
        EXPECT_TRUE(back == v) << doc.str();
    }
}

TYPED_TEST(TextFormsAttribute, RoundTripThroughSerialisedDocument)
{
    using T = TypeParam;
    std::vector<T> const values = Samples<T>::values();
    std::string text;
    {
        zorvtest::XmlDoc doc;
        for (std::size_t i = 0; i < values.size(); ++i) {
            _xmlNode* child = xmlNewChild(&doc.root(), nullptr, BAD_CAST "e", nullptr);
            ASSERT_EQ(setXMLAttribute<T>(*child, "value", values[i]), kSuccess);
        }
        text = doc.str();
    }
    zorvtest::XmlDoc parsed(text);
    ASSERT_TRUE(parsed.ok()) << text;
    std::size_t i = 0;
    for (xmlNode* n = parsed.root().children; n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE) continue;
        ASSERT_LT(i, values.size());
        T back = Samples<T>::sentinel();
        ASSERT_EQ(getXMLAttribute<T>(*n, "value", back), kSuccess) << text;
        EXPECT_TRUE(back == values[i]) << text;
        ++i;
    }
    EXPECT_EQ(i, values.size());
}

TYPED_TEST(TextFormsAttribute, AbsentAttributeLeavesValue)
{
    using T = TypeParam;
    zorvtest::XmlDoc doc("<root other=\"1\"/>");
    ASSERT_TRUE(doc.ok());
    T v = Samples<T>::sentinel();
    EXPECT_EQ(getXMLAttribute<T>(doc.root(), "value", v), kErrXmlAttributeMissing);
    EXPECT_TRUE(v == Samples<T>::sentinel());
}

TYPED_TEST(TextFormsAttribute, SetReplacesExistingAttribute)
{
    using T = TypeParam;
    zorvtest::XmlDoc doc("<root value=\"junk\"/>");
    ASSERT_TRUE(doc.ok());
    T const v = Samples<T>::values().back();
    ASSERT_EQ(setXMLAttribute<T>(doc.root(), "value", v), kSuccess);
    T back = Samples<T>::sentinel();
    ASSERT_EQ(getXMLAttribute<T>(doc.root(), "value", back), kSuccess);
    EXPECT_TRUE(back == v);
}

TEST(TextForms, AttributeTextIsTheTextForm)
{
    zorvtest::XmlDoc doc;
    ASSERT_EQ(setXMLAttribute<double>(doc.root(), "d", 3.0), kSuccess);
    ASSERT_EQ(setXMLAttribute<unsigned char>(doc.root(), "u", static_cast<unsigned char>(65)), kSuccess);
    ASSERT_EQ(setXMLAttribute<Vec3>(doc.root(), "v", Vec3(1.5, -2.0, 0.25)), kSuccess);
    ASSERT_EQ(setXMLAttribute<unsigned short>(doc.root(), "num_dimensions", static_cast<unsigned short>(2)), kSuccess);
    EXPECT_EQ(doc.str(), "<root d=\"3.0\" u=\"A\" v=\"1.5,-2.0,0.25\" num_dimensions=\"2\"/>");

    // A text that is no number fails the read with the form's status.
    zorvtest::XmlDoc bad("<root i=\"12x\" u=\"AB\" d=\"1,5\"/>");
    ASSERT_TRUE(bad.ok());
    short s = 5;
    EXPECT_EQ(getXMLAttribute<short>(bad.root(), "i", s), kErrTextNotNumber);
    EXPECT_EQ(s, 5);
    unsigned char u = 5;
    EXPECT_EQ(getXMLAttribute<unsigned char>(bad.root(), "u", u), kErrNotSingleCharacter);
    EXPECT_EQ(u, 5);
    double d = 5;
    EXPECT_EQ(getXMLAttribute<double>(bad.root(), "d", d), kErrTextNotNumber);
}
