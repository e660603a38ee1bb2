#include <typeinfo>

#include "datavectorutils/GridValues.h"
#include "support/SimdTargets.h"

using namespace gridvalues;

TEST(SubsectionEqual, BoxAgainstValue)
{
    // x 0..3 along dimension 0, y 0..2.
    auto v = grid<float>(4, 3, {5, 5, 5, 1,  //
                                5, 5, 5, nanf(),
                                -0.0f, 0, 2, 2});
    struct {
        Box b;
        Variant value;
        bool equal;
        long err;
    } const cases[] = {
        {box(0, 0, 3, 2), Variant(5.0f), true, kSuccess},
        {box(0, 0, 4, 2), Variant(5.0f), false, kSuccess},  // (3, 0) is 1
        {box(1, 0, 2, 3), Variant(5.0f), false, kSuccess},  // the last row differs
        {box(0, 2, 2, 3), Variant(0.0f), true, kSuccess},   // -0.0 equals 0.0
        {box(3, 1, 4, 2), Variant(nanf()), false, kSuccess},
        {box(2, 1, 2, 3), Variant(7.0f), true, kSuccess},   // lo = hi inside: empty
        {box(3, 2, 1, 0), Variant(7.0f), true, kSuccess},   // hi below lo: empty
        {box(3, 2, 4, 3), Variant(2.0f), true, kSuccess},   // last column and row
        {box(4, 0, 4, 1), Variant(5.0f), false, kErrBoxOutOfRange},  // lo x = dimension 0
        {box(0, 0, 5, 1), Variant(5.0f), false, kErrBoxOutOfRange},
        {box(0, 3, 1, 3), Variant(5.0f), false, kErrBoxOutOfRange},  // lo y = dimension 1
        {box(0, 0, 1, 4), Variant(5.0f), false, kErrBoxOutOfRange},
        {box(0, 0, 5, 1), Variant(5), false, kErrValueTypeMismatch},  // type before the box
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(std::to_string(c.b.low[0]) + "," + std::to_string(c.b.low[1]) + " " +
                     std::to_string(c.b.high[0]) + "," + std::to_string(c.b.high[1]));
        long err = kErrSentinel;
        EXPECT_EQ(DataVectorUtils::subsectionEqual(*v, c.b, c.value, err), c.equal);
        EXPECT_EQ(err, c.err);
    }

    // Tuples compare whole; a value of another length is refused.
    auto t = grid(DataType(DataType::kInt16, 2), 2, 2, std::vector<short>{1, 2, 1, 2, 1, 2, 1, 3});
    long err = kErrSentinel;
    EXPECT_TRUE(DataVectorUtils::subsectionEqual(*t, box(0, 0, 2, 1), tupleValue<short>(DataType::kInt16, {1, 2}), err));
    EXPECT_FALSE(DataVectorUtils::subsectionEqual(*t, box(0, 0, 2, 2), tupleValue<short>(DataType::kInt16, {1, 2}), err));
    EXPECT_EQ(err, kSuccess);
    EXPECT_FALSE(
        DataVectorUtils::subsectionEqual(*t, box(0, 0, 1, 1), tupleValue<short>(DataType::kInt16, {1, 2, 0}), err));
    EXPECT_EQ(err, kErrValueTypeMismatch);
    auto p = grid<Vec3>(2, 1, {Vec3(1, 2, 3), Vec3(1, 2, 4)});
    EXPECT_TRUE(DataVectorUtils::subsectionEqual(*p, box(0, 0, 1, 1), Variant(Vec3(1, 2, 3)), err));
    EXPECT_FALSE(DataVectorUtils::subsectionEqual(*p, box(0, 0, 2, 1), Variant(Vec3(1, 2, 3)), err));
    EXPECT_EQ(err, kSuccess);
}

TEST(SubsectionEqual, LongRowsAgainstValueOnEverySimdTarget)
{
    forEachSimdTarget([] {
        for (unsigned at = 0; at < 67; ++at) {
            std::vector<unsigned short> values(67 * 3, 4);
            values[67 + at] = 5;
            auto v = grid<unsigned short>(67, 3, values);
            long err = kErrSentinel;
            EXPECT_FALSE(DataVectorUtils::subsectionEqual(*v, box(0, 0, 67, 3), Variant((unsigned short)(4)), err));
            EXPECT_EQ(DataVectorUtils::subsectionEqual(*v, box(0, 0, at, 3), Variant((unsigned short)(4)), err),
                      true);
            EXPECT_EQ(err, kSuccess);
        }
    });
}

TEST(SubsectionEqual, TwoBoxes)
{
    // The left half (x 0..2) repeats in the right half (x 3..5); (1, 4) and
    // (4, 4) hold NaN.
    std::vector<float> values;
    for (unsigned y = 0; y < 5; ++y)
        for (unsigned x = 0; x < 6; ++x) values.push_back(y == 4 && x % 3 == 1 ? nanf() : float(x % 3 + 10 * y));
    auto a = grid<float>(6, 5, values);
    auto b = grid<float>(3, 4, std::vector<float>(values.begin(), values.begin() + 12));
    // b is 3 × 4: its rows are a's first row halves, so only row 0 matches a.
    auto ints = grid<int>(6, 5, std::vector<int>(30, 0));
    struct {
        char const* name;
        DataVectorND<2> const* other;
        Box boxA, boxB;
        bool equal;
        long err;
    } const cases[] = {
        {"halves, rows 0..3", a.get(), box(0, 0, 3, 4), box(3, 0, 6, 4), true, kErrSentinel},
        {"halves with NaN", a.get(), box(0, 0, 3, 5), box(3, 0, 6, 5), false, kErrSentinel},
        {"around NaN", a.get(), box(2, 0, 3, 5), box(5, 0, 6, 5), true, kErrSentinel},
        {"shifted", a.get(), box(0, 0, 3, 4), box(1, 0, 4, 4), false, kErrSentinel},
        {"other vector", b.get(), box(0, 0, 3, 1), box(0, 0, 3, 1), true, kErrSentinel},
        {"3x5 against 5x3", a.get(), box(0, 0, 3, 5), box(0, 0, 5, 3), false, kErrSubsectionsDiffer},
        {"boxB beyond", b.get(), box(0, 0, 3, 2), box(1, 0, 4, 2), false, kErrSubsectionsDiffer},
        {"boxA beyond", b.get(), box(0, 4, 3, 6), box(0, 0, 3, 2), false, kErrSubsectionsDiffer},
        {"empty, lo not tested", a.get(), box(9, 0, 6, 5), box(7, 0, 0, 5), true, kErrSentinel},
        {"empty at the far corner", a.get(), box(6, 5, 6, 5), box(0, 0, 0, 0), true, kErrSentinel},
        {"types differ", ints.get(), box(0, 0, 1, 1), box(0, 0, 1, 1), false, kErrDataTypesDiffer},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        long err = kErrSentinel;
        EXPECT_EQ(DataVectorUtils::subsectionEqual(*a, c.boxA, *c.other, c.boxB, err), c.equal);
        EXPECT_EQ(err, c.err);
    }
}

TEST(SubsectionEqual, TwoBoxesOfEveryKindOfEquality)
{
    long err = kErrSentinel;
    // Integers compare bitwise, rows of different strides.
    auto i16 = grid<short>(4, 2, {1, 2, 3, 9, 4, 5, 6, 9});
    auto j16 = grid<short>(3, 3, {0, 0, 0, 1, 2, 3, 4, 5, 6});
    EXPECT_TRUE(DataVectorUtils::subsectionEqual(*i16, box(0, 0, 3, 2), *j16, box(0, 1, 3, 3), err));
    static_cast<short*>(j16->getDataPtr())[8] = 7;
    EXPECT_FALSE(DataVectorUtils::subsectionEqual(*i16, box(0, 0, 3, 2), *j16, box(0, 1, 3, 3), err));
    // Floats: -0.0 equals 0.0.
    auto f = grid<double>(2, 1, {-0.0, 1});
    auto g = grid<double>(2, 1, {0.0, 1});
    EXPECT_TRUE(DataVectorUtils::subsectionEqual(*f, box(0, 0, 2, 1), *g, box(0, 0, 2, 1), err));
    // 3-vectors differing in z; tuples.
    auto p = grid<Vec3>(2, 1, {Vec3(1, 2, 3), Vec3(1, 2, 4)});
    EXPECT_FALSE(DataVectorUtils::subsectionEqual(*p, box(0, 0, 1, 1), *p, box(1, 0, 2, 1), err));
    DataType const t(DataType::kFloat32, 2);
    auto tu = grid(t, 2, 1, std::vector<float>{1, 2, 1, 2});
    auto tv = grid(DataType(DataType::kFloat32, 1), 2, 1, std::vector<float>{1, 2});
    EXPECT_TRUE(DataVectorUtils::subsectionEqual(*tu, box(0, 0, 1, 1), *tu, box(1, 0, 2, 1), err));
    EXPECT_EQ(err, kErrSentinel);
    EXPECT_FALSE(DataVectorUtils::subsectionEqual(*tu, box(0, 0, 1, 1), *tv, box(0, 0, 1, 1), err));
    EXPECT_EQ(err, kErrDataTypesDiffer);

    // Long float rows: a difference in every position of the block loop.
    for (unsigned at = 0; at < 70; ++at) {
        std::vector<float> row(70, 1.5f);
        auto x = grid<float>(70, 1, row);
        row[at] = 2.5f;
        auto y = grid<float>(70, 1, row);
        ASSERT_FALSE(DataVectorUtils::subsectionEqual(*x, box(0, 0, 70, 1), *y, box(0, 0, 70, 1), err)) << at;
    }
}

TEST(SubsectionEqual, VectorsOutsideTheLibrary)
{
    float data[4] = {1, 1, 1, 1};
    ForeignVector foreign(DataType(DataType::kFloat32), 2, 2, data);
    auto own = grid<float>(2, 2, {1, 1, 1, 1});
    long err = kErrSentinel;
    EXPECT_THROW(DataVectorUtils::subsectionEqual(foreign, box(0, 0, 1, 1), Variant(1.0f), err), std::bad_cast);
    EXPECT_THROW(DataVectorUtils::subsectionEqual(*own, box(0, 0, 1, 1), foreign, box(0, 0, 1, 1), err),
                 std::bad_cast);
    // A type code without an element class: false, err as the export left it.
    DataType const ten(DataType::Type(10), 0);
    ForeignVector odd(ten, 2, 2, data);
    err = kErrSentinel;
    EXPECT_FALSE(DataVectorUtils::subsectionEqual(odd, box(0, 0, 1, 1), Variant(ten), err));
    EXPECT_EQ(err, kSuccess);
    err = kErrSentinel;
    EXPECT_FALSE(DataVectorUtils::subsectionEqual(odd, box(0, 0, 1, 1), odd, box(0, 0, 1, 1), err));
    EXPECT_EQ(err, kErrSentinel);
}
