#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "zorvsupport/types/ConstVariantRef.h"
#include "zorvsupport/types/VariantRef.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

using Vec = ZELUNVec3<double>;

template <class E>
ConstVariantRef scalarView(DataType::Type code, E const& value)
{
    return ConstVariantRef(DataType(code, 0), &value);
}

double const kInf = std::numeric_limits<double>::infinity();
double const kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

TEST(ConstVariantRef, DefaultViews)
{
    ConstVariantRef a, b;
    EXPECT_FALSE(a.valid());
    EXPECT_EQ(a.getDataType(), DataType());
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a < b);
    EXPECT_FALSE(a != b);
}

TEST(ConstVariantRef, DifferentDataTypesAreUnordered)
{
    float f = 1.0f;
    double d = 1.0;
    ConstVariantRef a = scalarView(DataType::kFloat32, f);
    ConstVariantRef b = scalarView(DataType::kFloat64, d);
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a != b);
    EXPECT_FALSE(a < b);
    EXPECT_FALSE(b < a);
    EXPECT_FALSE(a > b);
    EXPECT_TRUE(a <= b);
    EXPECT_TRUE(a >= b);

    // A scalar and a 1-tuple of the same code differ too.
    unsigned char u = 3;
    EXPECT_FALSE(ConstVariantRef(DataType(DataType::kUInt8, 0), &u) == ConstVariantRef(DataType(DataType::kUInt8, 1), &u));
}

TEST(ConstVariantRef, EqualityWithoutElementType)
{
    int x = 0;
    ConstVariantRef u1(DataType(), &x), u2(DataType(), &x);
    EXPECT_FALSE(u1 == u2);  // undefined with pointers set
    ConstVariantRef c10a(DataType(static_cast<DataType::Type>(10), 0), &x), c10b(DataType(static_cast<DataType::Type>(10), 0), &x);
    EXPECT_FALSE(c10a == c10b);
    EXPECT_FALSE(c10a < c10b);
    // Undefined with one null pointer: equal.
    EXPECT_TRUE(ConstVariantRef(DataType(), nullptr) == u1);
}

TEST(ConstVariantRef, NaNAndSignedZero)
{
    float n = std::numeric_limits<float>::quiet_NaN();
    ConstVariantRef v = scalarView(DataType::kFloat32, n);
    EXPECT_FALSE(v == v);
    EXPECT_FALSE(v < v);
    float pz = 0.0f, nz = -0.0f;
    EXPECT_TRUE(scalarView(DataType::kFloat32, pz) == scalarView(DataType::kFloat32, nz));
}

TEST(ConstVariantRef, OrderByElementType)
{
    short sm1 = -1, s0 = 0;
    EXPECT_TRUE(scalarView(DataType::kInt16, sm1) < scalarView(DataType::kInt16, s0));
    unsigned short u65535 = 65535, u0 = 0;
    EXPECT_FALSE(scalarView(DataType::kUInt16, u65535) < scalarView(DataType::kUInt16, u0));
    EXPECT_TRUE(scalarView(DataType::kUInt16, u65535) > scalarView(DataType::kUInt16, u0));
    Vec a(9, 9, 0), b(0, 0, 1);
    EXPECT_TRUE(scalarView(DataType::kVec3, a) < scalarView(DataType::kVec3, b));
    EXPECT_TRUE(scalarView(DataType::kVec3, a) == scalarView(DataType::kVec3, Vec(9, 9, 0)));

    unsigned char t1[3] = {1, 2, 3}, t2[3] = {1, 2, 4};
    ConstVariantRef v1(DataType(DataType::kUInt8, 3), t1), v2(DataType(DataType::kUInt8, 3), t2);
    EXPECT_TRUE(v1 < v2);
    EXPECT_FALSE(v1 == v2);
    EXPECT_TRUE(v1 == ConstVariantRef(DataType(DataType::kUInt8, 3), t1));
}

TEST(ConstVariantRef, TypedPointers)
{
    float f = 2.5f;
    ConstVariantRef v = scalarView(DataType::kFloat32, f);
    EXPECT_EQ(v.getTypedPtr<TDataType<0>>(), &f);
    EXPECT_EQ(v.getTypedPtr<TDataType<6>>(), nullptr);  // same size, other code
    EXPECT_EQ(v.getTypedPtr(TTupleDataType<TDataType<0>>(1)), nullptr);

    unsigned short t[3] = {1, 2, 3};
    ConstVariantRef tv(DataType(DataType::kUInt16, 3), t);
    EXPECT_EQ(tv.getTypedPtr(TTupleDataType<TDataType<5>>(3)), t);
    EXPECT_EQ(tv.getTypedPtr(TTupleDataType<TDataType<5>>(2)), nullptr);
    EXPECT_EQ(tv.getTypedPtr<TDataType<5>>(), nullptr);
    ConstTupleProxy<TTupleDataType<TDataType<5>>> p = tv.getTupleProxy(TTupleDataType<TDataType<5>>(3));
    EXPECT_EQ(p.data(), t);
    EXPECT_EQ(p.length(), 3u);
    EXPECT_EQ(tv.getTupleProxy(TTupleDataType<TDataType<5>>(4)).data(), nullptr);

    // The right DataType with a null pointer gives that null pointer.
    ConstVariantRef nul(DataType(DataType::kFloat32, 0), nullptr);
    EXPECT_EQ(nul.getTypedPtr<TDataType<0>>(), nullptr);
}

// Plain casts: floating values truncate toward zero into int64 (outside its
// range and NaN give -2^63), integers keep their low bits.
TEST(ConstVariantRef, ValueAsConversions)
{
    float f29 = 2.9f, fm29 = -2.9f, f3007 = 300.7f, fm15 = -1.5f;
    EXPECT_EQ(scalarView(DataType::kFloat32, f29).valueAs<int>(), 2);
    EXPECT_EQ(scalarView(DataType::kFloat32, fm29).valueAs<int>(), -2);
    EXPECT_EQ(scalarView(DataType::kFloat32, f3007).valueAs<signed char>(), 44);
    EXPECT_EQ(scalarView(DataType::kFloat32, fm15).valueAs<unsigned char>(), 255);

    short sm1 = -1;
    EXPECT_EQ(scalarView(DataType::kInt16, sm1).valueAs<unsigned short>(), 65535);
    int im1 = -1;
    EXPECT_EQ(scalarView(DataType::kInt32, im1).valueAs<unsigned long long>(), std::numeric_limits<unsigned long long>::max());
    unsigned umax = 4294967295u;
    EXPECT_EQ(scalarView(DataType::kUInt32, umax).valueAs<int>(), -1);

    long long const kMin = std::numeric_limits<long long>::min();
    struct FloatCase {
        double value;
        long long asInt64;
        unsigned char asUInt8;
        unsigned long long asUInt64;
    };
    std::vector<FloatCase> const cases = {
        {1e20, kMin, 0, 1ull << 63},
        {-1e20, kMin, 0, 1ull << 63},
        {kInf, kMin, 0, 1ull << 63},
        {-kInf, kMin, 0, 1ull << 63},
        {kNaN, kMin, 0, 1ull << 63},
        {9223372036854775808.0, kMin, 0, 1ull << 63},            // 2^63: just outside
        {-9223372036854775808.0, kMin, 0, 1ull << 63},           // -2^63: inside
        {9223372036854774784.0, 9223372036854774784LL, 0, 9223372036854774784ull},  // largest double below 2^63
        {-0.99, 0, 0, 0},
        {257.9, 257, 1, 257},
    };
    for (FloatCase const& c : cases) {
        EXPECT_EQ(scalarView(DataType::kFloat64, c.value).valueAs<long long>(), c.asInt64) << c.value;
        EXPECT_EQ(scalarView(DataType::kFloat64, c.value).valueAs<unsigned char>(), c.asUInt8) << c.value;
        EXPECT_EQ(scalarView(DataType::kFloat64, c.value).valueAs<unsigned long long>(), c.asUInt64) << c.value;
        float const f = static_cast<float>(c.value);
        if (std::isnan(f) || std::fabs(f) >= 9223372036854775808.0f) {
            EXPECT_EQ(scalarView(DataType::kFloat32, f).valueAs<long long>(), kMin) << c.value;
            EXPECT_EQ(scalarView(DataType::kFloat32, f).valueAs<short>(), 0) << c.value;
        }
    }

    // Unsigned sources stay positive as floating values.
    unsigned long long u64max = std::numeric_limits<unsigned long long>::max();
    EXPECT_DOUBLE_EQ(scalarView(DataType::kUInt64, u64max).valueAs<double>(), 18446744073709551615.0);
    EXPECT_EQ(scalarView(DataType::kUInt32, umax).valueAs<float>(), 4294967296.0f);
    double third = 1.0 / 3.0;
    EXPECT_EQ(scalarView(DataType::kFloat64, third).valueAs<float>(), static_cast<float>(third));
}

TEST(ConstVariantRef, ValueAsOfNonNumericValuesIsZero)
{
    Vec v(1, 2, 3);
    EXPECT_EQ(scalarView(DataType::kVec3, v).valueAs<double>(), 0.0);
    unsigned char t[2] = {5, 6};
    EXPECT_EQ(ConstVariantRef(DataType(DataType::kUInt8, 2), t).valueAs<int>(), 0);
    EXPECT_EQ(ConstVariantRef(DataType(static_cast<DataType::Type>(10), 0), t).valueAs<int>(), 0);
    EXPECT_EQ(ConstVariantRef().valueAs<int>(), 0);
    EXPECT_EQ(ConstVariantRef(DataType(DataType::kInt32, 0), nullptr).valueAs<int>(), 0);
}

TEST(ConstVariantRef, GetAs)
{
    unsigned char tuple[3] = {1, 2, 3};
    int out = 77;
    EXPECT_EQ(ConstVariantRef(DataType(DataType::kUInt8, 3), tuple).getAs(out), kErrNotConvertible);
    EXPECT_EQ(out, 77);
    EXPECT_EQ(ConstVariantRef().getAs(out), kErrNotConvertible);
    EXPECT_EQ(out, 77);
    // A null pointer of an element type counts as undefined.
    EXPECT_EQ(ConstVariantRef(DataType(DataType::kInt32, 0), nullptr).getAs(out), kErrNotConvertible);
    EXPECT_EQ(out, 77);

    Vec v(1, 2, 3);
    EXPECT_EQ(scalarView(DataType::kVec3, v).getAs(out), kSuccess);
    EXPECT_EQ(out, 0);
    out = 77;
    EXPECT_EQ(ConstVariantRef(DataType(static_cast<DataType::Type>(10), 0), nullptr).getAs(out), kSuccess);
    EXPECT_EQ(out, 0);

    unsigned long long u64max = std::numeric_limits<unsigned long long>::max();
    double d = 0;
    EXPECT_EQ(scalarView(DataType::kUInt64, u64max).getAs(d), kSuccess);
    EXPECT_DOUBLE_EQ(d, 1.8446744073709552e19);
    unsigned umax = 4294967295u;
    float f = 0;
    EXPECT_EQ(scalarView(DataType::kUInt32, umax).getAs(f), kSuccess);
    EXPECT_EQ(f, 4294967296.0f);
}

TEST(VariantRef, ConvertValue)
{
    float target = 9.0f;
    VariantRef t(DataType(DataType::kFloat32, 0), &target);
    short sm3 = -3;
    EXPECT_EQ(t.convertValue(scalarView(DataType::kInt16, sm3)), kSuccess);
    EXPECT_EQ(target, -3.0f);

    unsigned char tuple[3] = {9, 9, 9};
    VariantRef tupleTarget(DataType(DataType::kUInt8, 3), tuple);
    EXPECT_EQ(tupleTarget.convertValue(scalarView(DataType::kInt16, sm3)), kErrNotConvertible);
    EXPECT_EQ(tuple[0], 9);

    Vec v(1, 1, 1);
    VariantRef vecTarget(DataType(DataType::kVec3, 0), &v);
    EXPECT_EQ(vecTarget.convertValue(scalarView(DataType::kInt16, sm3)), kErrNotConvertible);
    EXPECT_EQ(v, Vec(1, 1, 1));

    target = 9.0f;
    EXPECT_EQ(t.convertValue(ConstVariantRef(DataType(DataType::kUInt8, 3), tuple)), kErrNotConvertible);
    EXPECT_EQ(t.convertValue(ConstVariantRef()), kErrNotConvertible);
    EXPECT_EQ(t.convertValue(ConstVariantRef(DataType(DataType::kInt16, 0), nullptr)), kErrNotConvertible);
    EXPECT_EQ(target, 9.0f);

    // A 3-vector source writes 0.
    EXPECT_EQ(t.convertValue(scalarView(DataType::kVec3, v)), kSuccess);
    EXPECT_EQ(target, 0.0f);

    int untouched = 5;
    VariantRef code10(DataType(static_cast<DataType::Type>(10), 0), &untouched);
    EXPECT_EQ(code10.convertValue(scalarView(DataType::kInt16, sm3)), kSuccess);
    EXPECT_EQ(untouched, 5);
    EXPECT_EQ(VariantRef().convertValue(scalarView(DataType::kInt16, sm3)), kErrNotConvertible);
    EXPECT_EQ(VariantRef(DataType(DataType::kInt32, 0), nullptr).convertValue(scalarView(DataType::kInt16, sm3)),
              kErrNotConvertible);

    // Floating to integer through the checked path: no overflowing cast.
    signed char sc = 0;
    double huge = 1e300;
    EXPECT_EQ(VariantRef(DataType(DataType::kInt8, 0), &sc).convertValue(scalarView(DataType::kFloat64, huge)), kSuccess);
    EXPECT_EQ(sc, 0);
}

TEST(VariantRef, AssignmentCopiesOnlyBetweenEqualTypes)
{
    unsigned char a3[3] = {1, 2, 3}, b4[4] = {9, 9, 9, 9}, c3[3] = {7, 7, 7};
    VariantRef target4(DataType(DataType::kUInt8, 4), b4);
    target4 = ConstVariantRef(DataType(DataType::kUInt8, 3), a3);
    EXPECT_EQ(b4[0], 9);
    EXPECT_EQ(b4[3], 9);

    VariantRef target3(DataType(DataType::kUInt8, 3), c3);
    target3 = ConstVariantRef(DataType(DataType::kUInt8, 3), a3);
    EXPECT_EQ(c3[0], 1);
    EXPECT_EQ(c3[1], 2);
    EXPECT_EQ(c3[2], 3);

    // Assigning a VariantRef writes the value, not the view.
    double x = 1.0, y = 2.0;
    VariantRef vx(DataType(DataType::kFloat64, 0), &x);
    VariantRef vy(DataType(DataType::kFloat64, 0), &y);
    vx = vy;
    EXPECT_EQ(x, 2.0);
    EXPECT_EQ(vx.getPtr(), &x);

    Vec v1(1, 2, 3), v2(4, 5, 6);
    VariantRef r1(DataType(DataType::kVec3, 0), &v1);
    r1 = ConstVariantRef(DataType(DataType::kVec3, 0), &v2);
    EXPECT_EQ(v1, Vec(4, 5, 6));
    r1 = ConstVariantRef(r1);  // onto itself
    EXPECT_EQ(v1, Vec(4, 5, 6));

    // Null pointers of an element type: nothing is read or written.
    x = 1.0;
    vx = ConstVariantRef(DataType(DataType::kFloat64, 0), nullptr);
    EXPECT_EQ(x, 1.0);
    VariantRef nul(DataType(DataType::kFloat64, 0), nullptr);
    nul = ConstVariantRef(vx);
    EXPECT_FALSE(ConstVariantRef(DataType(DataType::kFloat64, 0), nullptr) < ConstVariantRef(vx));
    EXPECT_FALSE(ConstVariantRef(vx) < ConstVariantRef(DataType(DataType::kFloat64, 0), nullptr));
    EXPECT_FALSE(ConstVariantRef(DataType(DataType::kFloat64, 0), nullptr) == ConstVariantRef(vx));
}

TEST(VariantRef, TupleViewsAndWritablePointers)
{
    using U16x3 = TTupleDataType<TDataType<5>>;
    unsigned short store[6] = {1, 2, 3, 4, 5, 6};
    VariantRef second(U16x3(3), TupleProxy<U16x3>(store + 3, 3));
    EXPECT_EQ(second.getDataType(), DataType(DataType::kUInt16, 3));
    EXPECT_EQ(second.getPtr(), store + 3);

    unsigned short* p = second.getTypedPtr(U16x3(3));
    ASSERT_EQ(p, store + 3);
    p[0] = 40;
    TupleProxy<U16x3> w = second.getTupleProxy(U16x3(3));
    w[2] = 60;
    EXPECT_EQ(store[3], 40);
    EXPECT_EQ(store[5], 60);

    VariantRef first(U16x3(3), TupleProxy<U16x3>(store, 3));
    first = ConstVariantRef(second);
    EXPECT_EQ(store[0], 40);
    EXPECT_EQ(store[1], 5);
    EXPECT_EQ(store[2], 60);

    ConstVariantRef ro(U16x3(3), ConstTupleProxy<U16x3>(store, 3));
    EXPECT_TRUE(ro == ConstVariantRef(second));

    float f = 1.0f;
    VariantRef vf(DataType(DataType::kFloat32, 0), &f);
    *vf.getTypedPtr<TDataType<0>>() = 4.0f;
    EXPECT_EQ(f, 4.0f);
    VariantRef const& cvf = vf;
    EXPECT_EQ(cvf.getTypedPtr<TDataType<0>>(), &f);
}

// Assigning through a base reference reaches the most derived rule.
TEST(VariantRef, AssignmentSlotsAreVirtual)
{
    struct Recording : VariantRef {
        int* calls;
        explicit Recording(int* c) : calls(c) {}
        using VariantRef::operator=;
        VariantRef& operator=(ConstVariantRef) override
        {
            ++*calls;
            return *this;
        }
    };
    int calls = 0;
    Recording r(&calls);
    VariantRef& base = r;
    VariantRef other;
    base = other;  // the VariantRef slot goes through the ConstVariantRef slot
    base = ConstVariantRef();
    EXPECT_EQ(calls, 2);
}
