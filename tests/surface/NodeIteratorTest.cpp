#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include <boost/shared_ptr.hpp>
#include <gtest/gtest.h>

#include "support/FakeBandSet.h"
#include "support/FakeNodeIterator.h"
#include "support/ForeignDataVector.h"
#include "support/NodeBuffers.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/datavector/DataVectorND.h"
#include "zorvsupport/surface/ChunkMiscUtils.h"
#include "zorvsupport/surface/NodeIterator.h"
#include "zorvsupport/types/BandType.h"
#include "zorvsupport/types/Variant.h"

using namespace ZORV_3_13_0_::DataSet;
using zorvtest::FakeBandSet;
using zorvtest::FakeDesignatedIterator;
using zorvtest::FakeNodeIterator;
using zorvtest::FakeStateCheckNodeIterator;
using zorvtest::ForeignDataVector;
using zorvtest::makeBuffer;

namespace {

using F32 = TDataType<0>;
using F64 = TDataType<1>;
using I32 = TDataType<6>;
using U16 = TDataType<5>;
using U16Tuple = TTupleDataType<U16>;

constexpr unsigned kBand = 7;
constexpr double kCanary = -777.0;

// The typed read of the current element with the tag of `type` (a float32
// scalar or a uint16 tuple); writes into `out` only on success.
long readAttribute(NodeIterator const& it, DataType const& type, double& out)
{
    if (type.isTuple()) {
        std::vector<std::uint16_t> tuple(type.getTupleLength(), 0xBEEF);
        long const st = it.getAttribute(kBand, U16Tuple(type.getTupleLength()),
                                        TupleProxy<U16Tuple>(tuple.data(), type.getTupleLength()));
        if (st == 0) {
            out = tuple[0];
        } else {
            EXPECT_EQ(tuple, std::vector<std::uint16_t>(type.getTupleLength(), 0xBEEF)) << "out unchanged";
        }
        return st;
    }
    float value = -1.0f;
    long const st = it.getAttribute(kBand, F32(), value);
    if (st == 0) {
        out = value;
    } else {
        EXPECT_EQ(value, -1.0f) << "out unchanged";
    }
    return st;
}

struct StatusCase {
    char const* label;
    std::function<boost::shared_ptr<DataVector>()> buffer;  // null: band not buffered
    unsigned index;
    bool current;
    Variant value;  // written by set; its DataType picks the getAttribute tag
    long get;
    long set;
    long asDouble;
    long attribute;
};

}  // namespace

TEST(NodeIterator, AccessorStatuses)
{
    std::uint16_t const pair[2] = {1, 2};
    Variant const f32(2.5f);
    Variant const u16Pair(U16Tuple(2), ConstTupleProxy<U16Tuple>(pair, 2));
    auto f32Buffer = [] { return makeBuffer(F32(), {1.5f, 2.5f, 3.5f, 4.5f}); };

    StatusCase const cases[] = {
        {"no current node, band not buffered", nullptr, 0, false, f32, 143001, 143001, 136153, 143001},
        {"band not buffered", nullptr, 0, true, f32, 143003, 143003, 136153, 143003},
        {"wrong scalar type", [] { return makeBuffer(F64(), {1.5, 2.5}); }, 1, true, f32, 0, 143002, 0, 143002},
        {"tuple length 3 against 2",
         [] { return makeBuffer(U16Tuple(3), {1, 2, 3, 4, 5, 6}); }, 1, true, u16Pair, 0, 143002, 136153, 143002},
        {"empty two-dimensional buffer",
         [] { return makeBuffer(F32(), ZELUNnPoint<unsigned, 2>(0u, 3u)); }, 0, true, f32, 143003, 143003, 136153,
         143003},
        {"index past the end", f32Buffer, 4, true, f32, 143003, 143003, 136153, 143003},
        {"wrong type on a short buffer", [] { return makeBuffer(F64(), {1.5, 2.5}); }, 5, true, f32, 143003,
         143003, 136153, 143002},
        {"three-dimensional buffer",
         [] { return makeBuffer(F32(), ZELUNnPoint<unsigned, 3>(2u, 2u, 2u), {1.5f}); }, 0, true, f32, 143003,
         143003, 136153, 143003},
        {"success", f32Buffer, 2, true, f32, 0, 0, 0, 0},
    };
    for (StatusCase const& c : cases) {
        SCOPED_TRACE(c.label);
        FakeBandSet set;
        FakeNodeIterator it(set);
        boost::shared_ptr<DataVector> const buffer = c.buffer ? c.buffer() : nullptr;
        if (buffer) it.setBuffer(kBand, buffer);
        it.setCurrentIndex(c.index);
        it.setHasCurrentNode(c.current);

        Variant out(1.25);
        EXPECT_EQ(it.get(kBand, out), c.get);
        if (c.get == 143001) {
            EXPECT_EQ(out.valueAs<double>(), 1.25) << "out untouched";
        } else if (c.get == 143003) {
            EXPECT_EQ(out.getPtr(), nullptr);
        }

        double asDouble = kCanary;
        EXPECT_EQ(it.getAsDouble(kBand, asDouble), c.asDouble);
        if (c.asDouble != 0) {
            EXPECT_EQ(asDouble, kCanary);
        }

        double attribute = kCanary;
        EXPECT_EQ(readAttribute(it, c.value.getDataType(), attribute), c.attribute);

        ConstVariantRef const ref = it.get(kBand);
        bool const hasElement = c.get == 0;
        EXPECT_EQ(ref.getPtr() != nullptr, hasElement);
        EXPECT_EQ(it.getRef(kBand).getPtr(), ref.getPtr());
        if (!hasElement) {
            EXPECT_EQ(ref.getDataType(), DataType());
        } else {
            EXPECT_EQ(ref.getDataType(), buffer->getDataType());
            EXPECT_EQ(ref.getPtr(), static_cast<char const*>(buffer->getConstDataPtr()) +
                                        std::size_t(c.index) * buffer->getDataType().getTypeSize());
        }

        EXPECT_EQ(it.set(kBand, c.value), c.set);
        if (c.set == 0) {
            EXPECT_EQ(it.get(kBand), ConstVariantRef(c.value));
            EXPECT_EQ(static_cast<float const*>(buffer->getConstDataPtr())[c.index + 1], 4.5f) << "neighbour kept";
        }
    }

    // The successful reads give the stored value.
    FakeBandSet set;
    FakeNodeIterator it(set);
    it.setBuffer(kBand, makeBuffer(F32(), {1.5f, 2.5f, 3.5f, 4.5f}));
    it.setCurrentIndex(2);
    Variant out;
    ASSERT_EQ(it.get(kBand, out), 0);
    EXPECT_EQ(out, Variant(3.5f));
    double d = 0;
    ASSERT_EQ(it.getAsDouble(kBand, d), 0);
    EXPECT_EQ(d, 3.5);
    float f = 0;
    ASSERT_EQ(it.getAttribute(kBand, F32(), f), 0);
    EXPECT_EQ(f, 3.5f);
}

TEST(NodeIterator, SetRejectsAValueViewWithoutAValue)
{
    FakeBandSet set;
    FakeNodeIterator it(set);
    auto buffer = makeBuffer(F32(), {1.5f});
    it.setBuffer(kBand, buffer);
    EXPECT_EQ(it.set(kBand, ConstVariantRef(DataType(DataType::kFloat32), nullptr)), 143002);
    EXPECT_EQ(it.set(kBand, Variant()), 143002);
    EXPECT_EQ(buffer->element(0), 1.5f);
}

TEST(NodeIterator, TwoDimensionalBufferIsReadInStorageOrder)
{
    // Element (x, y) holds 10x + y; index 9 in a 4 x 3 buffer is (1, 2).
    auto buffer = makeBuffer(I32(), ZELUNnPoint<unsigned, 2>(4u, 3u));
    for (unsigned y = 0; y < 3; ++y)
        for (unsigned x = 0; x < 4; ++x) buffer->element(x, y) = int(10 * x + y);

    FakeBandSet set;
    FakeNodeIterator it(set);
    it.setBuffer(kBand, buffer);
    it.setCurrentIndex(9);

    EXPECT_EQ(it.get(kBand).getPtr(), &buffer->element(1u, 2u));
    int value = 0;
    ASSERT_EQ(it.getAttribute(kBand, I32(), value), 0);
    EXPECT_EQ(value, 12);
    double d = 0;
    ASSERT_EQ(it.getAsDouble(kBand, d), 0);
    EXPECT_EQ(d, 12.0);
    ASSERT_EQ(it.set(kBand, Variant(99)), 0);
    EXPECT_EQ(buffer->element(1u, 2u), 99);
    EXPECT_EQ(buffer->element(2u, 2u), 22);

    it.setCurrentIndex(12);
    EXPECT_EQ(it.getAttribute(kBand, I32(), value), 143003);
}

// A tuple tag of length 0 names no stored type: a scalar buffer of its
// element type is not read through it.
TEST(NodeIterator, TupleTagOfLengthZeroMatchesNoBuffer)
{
    FakeBandSet set;
    FakeNodeIterator it(set);
    it.setBuffer(kBand, makeBuffer(U16(), {1, 2}));
    it.setCurrentIndex(1);
    std::uint16_t tuple[2] = {0xBEEF, 0xBEEF};
    EXPECT_EQ(it.getAttribute(kBand, U16Tuple(0), TupleProxy<U16Tuple>(tuple, 2)), 143002);
    EXPECT_EQ(tuple[0], 0xBEEF) << "out unchanged";
    EXPECT_EQ(tuple[1], 0xBEEF);
    std::uint16_t scalar = 0;
    EXPECT_EQ(it.getAttribute(kBand, U16(), scalar), 0);
    EXPECT_EQ(scalar, 2);
    it.setHasCurrentNode(false);
    EXPECT_EQ(it.getAttribute(kBand, U16Tuple(0), TupleProxy<U16Tuple>(tuple, 2)), 143001) << "checked first";
}

TEST(NodeIterator, TupleReadFollowsTheCallersLength)
{
    FakeBandSet set;
    FakeNodeIterator it(set);
    it.setBuffer(kBand, makeBuffer(U16Tuple(3), {1, 2, 3, 7, 8, 9}));
    it.setCurrentIndex(1);

    std::uint16_t longer[5] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    ASSERT_EQ(it.getAttribute(kBand, U16Tuple(3), TupleProxy<U16Tuple>(longer, 5)), 0);
    EXPECT_EQ(std::vector<std::uint16_t>(longer, longer + 5), (std::vector<std::uint16_t>{7, 8, 9, 0, 0}));

    std::uint16_t shorter[3] = {0xFFFF, 0xFFFF, 0xFFFF};
    ASSERT_EQ(it.getAttribute(kBand, U16Tuple(3), TupleProxy<U16Tuple>(shorter, 2)), 0);
    EXPECT_EQ(std::vector<std::uint16_t>(shorter, shorter + 3), (std::vector<std::uint16_t>{7, 8, 0xFFFF}));

    // 3-vector tuples have a member too.
    using V3Tuple = TTupleDataType<TDataType<11>>;
    it.setBuffer(kBand, makeBuffer(V3Tuple(1), {ZELUNVec3<double>(1, 2, 3), ZELUNVec3<double>(4, 5, 6)}));
    ZELUNVec3<double> v;
    ASSERT_EQ(it.getAttribute(kBand, V3Tuple(1), TupleProxy<V3Tuple>(&v, 1)), 0);
    EXPECT_EQ(v, ZELUNVec3<double>(4, 5, 6));
}

// The band's type formats the current element: numbers at precision 2 in
// fixed notation, integers in plain decimal, string bands as their text,
// the no-data value as N/A.
TEST(NodeIterator, AsStringFormatsWithTheBandType)
{
    std::uint16_t const text[3] = {'a', 'b', 0};
    auto scalar = [](DataType::Type type, Variant noData) {
        return BandType::createScalar(DataType(type), ZELUNUString("m"), ZELUNUnit::kDown, std::move(noData));
    };
    struct Case {
        char const* label;
        BandType type;
        boost::shared_ptr<DataVector> buffer;
        char const* expected;
    } const cases[] = {
        {"float64", scalar(DataType::kFloat64, Variant()), makeBuffer(F64(), {0.0, 12.345}), "12.35"},
        {"int32", scalar(DataType::kInt32, Variant()), makeBuffer(TDataType<6>(), {0, 7}), "7"},
        {"no-data", scalar(DataType::kFloat64, Variant(12.345)), makeBuffer(F64(), {0.0, 12.345}), "N/A"},
        {"string", BandType::createString(3, Variant()), makeBuffer(U16Tuple(3), {0, 0, 0, text[0], text[1], text[2]}),
         "ab"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.label);
        FakeBandSet set;
        FakeNodeIterator it(set);
        it.setBuffer(kBand, c.buffer);
        it.setBandType(kBand, c.type);
        it.setCurrentIndex(1);

        ZELUNUString actual;
        EXPECT_EQ(it.getAsString(kBand, actual), 0);
        EXPECT_EQ(actual, ZELUNUString(c.expected));
    }
}

TEST(StateCheckNodeIterator, AddCheckReplacesAndRefreshes)
{
    FakeBandSet set;
    FakeStateCheckNodeIterator it(set);
    EXPECT_EQ(it.addCheck(5, true), 0);
    EXPECT_EQ(it.addCheck(5, false), 0);
    EXPECT_EQ(it.refreshCalls, 2);
    EXPECT_EQ(it.stateChecks(), (std::map<unsigned, bool>{{5, false}}));
}

TEST(StateCheckNodeIterator, PassesStateCheckAsksInKeyOrder)
{
    FakeBandSet set;
    FakeStateCheckNodeIterator it(set);
    EXPECT_TRUE(it.passesStateCheck()) << "no checks";
    EXPECT_TRUE(it.stateQueries.empty());

    it.addCheck(9, true);
    it.addCheck(1, true);
    it.addCheck(3, false);
    it.setState(1, true);
    it.setState(3, true);
    it.setState(9, true);
    EXPECT_FALSE(it.passesStateCheck());
    EXPECT_EQ(it.stateQueries, (std::vector<unsigned>{1, 3})) << "stops at the first difference";

    it.stateQueries.clear();
    it.setState(3, false);
    EXPECT_TRUE(it.passesStateCheck());
    EXPECT_EQ(it.stateQueries, (std::vector<unsigned>{1, 3, 9}));
}

TEST(DesignatedIterator, OriginalDepthAndType)
{
    double const nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        char const* label;
        boost::shared_ptr<DataVector> depths;
        unsigned index;
        double expected;
    } const cases[] = {
        {"depths[i]", makeBuffer(F64(), {10.5, 20.5, 30.5}), 1, 20.5},
        {"no depths buffer", nullptr, 0, nan},
        {"float32 depths", makeBuffer(F32(), {10.5f, 20.5f}), 1, nan},
        {"two-dimensional depths", makeBuffer(F64(), ZELUNnPoint<unsigned, 2>(3u, 1u), {10.5, 20.5, 30.5}), 1, nan},
        {"index equal to the size", makeBuffer(F64(), {10.5, 20.5, 30.5}), 3, nan},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.label);
        FakeBandSet set;
        FakeDesignatedIterator it(set);
        it.setDepths(c.depths);
        it.setCurrentIndex(c.index);
        if (std::isnan(c.expected))
            EXPECT_TRUE(std::isnan(it.getOriginalDepth()));
        else
            EXPECT_EQ(it.getOriginalDepth(), c.expected);
    }

    FakeBandSet set;
    FakeDesignatedIterator it(set);
    it.setTypes({DesignatedType(4), DesignatedType(7)});
    it.setCurrentIndex(1);
    EXPECT_EQ(it.getType(), DesignatedType(7));
    it.setCurrentIndex(2);
    EXPECT_EQ(it.getType(), DesignatedType{});
}

TEST(NodeIterator, WalkOfAHostNodeQuery)
{
    // The road of a request over the band-set double: query, walk, read, delete.
    FakeBandSet set;
    unsigned const depth = set.addBand(ZELUNUString("Depth"), BandType());
    set.positions = {{0, 0, 0}, {1, 1, 0}, {5, 5, 0}, {2, 2, 0}};
    set.columns[depth] = makeBuffer(F32(), {10.0f, 11.0f, 12.0f, 13.0f});
    int live = 0;
    set.liveIterators = &live;

    for (bool fetch : {true, false}) {
        SCOPED_TRACE(fetch ? "fetching values" : "counting only");
        long status = -1;
        NodeIterator* it =
            set.getNodeIterator(ZELUNCover(ZELUNCoordSystem(), 0.5, 0.5, 3, 3), {depth, 0xFFFFFFFFu}, fetch, status,
                                nullptr);
        ASSERT_NE(it, nullptr);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(live, 1);
        std::vector<double> xs, depths;
        for (; !it->done(); it->next()) {
            ZELUNVec3<double> p;
            ASSERT_EQ(it->getPosition(p, depth), 0);
            xs.push_back(p.x);
            double d = 0;
            if (it->getAsDouble(depth, d) == 0) depths.push_back(d);
        }
        EXPECT_EQ(xs, (std::vector<double>{1, 2}));
        EXPECT_EQ(depths, fetch ? (std::vector<double>{11, 13}) : std::vector<double>{});
        delete it;
        EXPECT_EQ(live, 0);
    }
    ASSERT_EQ(set.queries.size(), 2u);
    EXPECT_EQ(set.queries[0].bandIds, (std::vector<unsigned>{depth, 0xFFFFFFFFu}));
    EXPECT_TRUE(set.queries[0].fetchValues);
    EXPECT_FALSE(set.queries[1].fetchValues);
    EXPECT_EQ(set.queries[1].hostData, nullptr);
}

TEST(NodeIterator, ForeignBuffersReadLikeLeafBuffers)
{
    std::vector<float> const values{1.0f, 2.5f, 4.0f, 5.5f, 7.0f, 8.5f};
    struct Case {
        char const* label;
        std::vector<unsigned> dims;
        boost::shared_ptr<DataVector> leaf;
    } const cases[] = {
        {"one dimension", {6}, makeBuffer(F32(), values)},
        {"two dimensions", {3, 2}, makeBuffer(F32(), ZELUNnPoint<unsigned, 2>(3u, 2u), values)},
    };
    constexpr unsigned kLeaf = 1, kForeign = 2;
    for (Case const& c : cases) {
        SCOPED_TRACE(c.label);
        auto foreign = boost::shared_ptr<ForeignDataVector>(new ForeignDataVector(DataType(DataType::kFloat32), c.dims));
        std::copy(values.begin(), values.end(), foreign->values<float>());
        FakeBandSet set;
        FakeNodeIterator it(set);
        it.setBuffer(kLeaf, c.leaf);
        it.setBuffer(kForeign, foreign);
        it.setCurrentIndex(4);

        float fromLeaf = 0, fromForeign = 0;
        ASSERT_EQ(it.getAttribute(kLeaf, F32(), fromLeaf), 0);
        ASSERT_EQ(it.getAttribute(kForeign, F32(), fromForeign), 0);
        EXPECT_EQ(fromForeign, fromLeaf);
        EXPECT_EQ(fromForeign, 7.0f);
        EXPECT_EQ(it.get(kForeign).getPtr(), foreign->values<float>() + 4);
        double d = 0;
        ASSERT_EQ(it.getAsDouble(kForeign, d), 0);
        EXPECT_EQ(d, 7.0);
        ASSERT_EQ(it.set(kForeign, Variant(42.0f)), 0);
        EXPECT_EQ(foreign->values<float>()[4], 42.0f);
        EXPECT_EQ(foreign->values<float>()[5], 8.5f);
    }

    // A tuple kind reads the stored tuple of the current index.
    auto foreign = boost::shared_ptr<ForeignDataVector>(new ForeignDataVector(DataType(DataType::kUInt16, 3), {2}));
    std::uint16_t const tuples[6] = {1, 2, 3, 7, 8, 9};
    std::copy(tuples, tuples + 6, foreign->values<std::uint16_t>());
    FakeBandSet set;
    FakeNodeIterator it(set);
    it.setBuffer(kForeign, foreign);
    it.setCurrentIndex(1);
    std::uint16_t out[3] = {};
    ASSERT_EQ(it.getAttribute(kForeign, U16Tuple(3), TupleProxy<U16Tuple>(out, 3)), 0);
    EXPECT_EQ(std::vector<std::uint16_t>(out, out + 3), (std::vector<std::uint16_t>{7, 8, 9}));
}

TEST(NodeIterator, ForeignBufferWithoutDataHasNoElement)
{
    auto foreign = boost::shared_ptr<ForeignDataVector>(new ForeignDataVector(DataType(DataType::kFloat32), {4}));
    foreign->setDataPtr(nullptr);
    FakeBandSet set;
    FakeNodeIterator it(set);
    it.setBuffer(kBand, foreign);
    it.setBandType(kBand, BandType::createScalar(DataType(DataType::kFloat32), ZELUNUString("m"), ZELUNUnit::kDown,
                                                 Variant(5.0f)));
    it.setCurrentIndex(1);

    float value = -1.0f;
    EXPECT_EQ(it.getAttribute(kBand, F32(), value), 143003);
    EXPECT_EQ(value, -1.0f);
    EXPECT_EQ(it.get(kBand).getPtr(), nullptr);
    EXPECT_EQ(it.get(kBand).getDataType(), DataType());
    EXPECT_EQ(it.getRef(kBand).getPtr(), nullptr);
    Variant out(1.0f);
    EXPECT_EQ(it.get(kBand, out), 143003);
    EXPECT_EQ(it.set(kBand, Variant(2.0f)), 143003);
    double d = kCanary;
    EXPECT_EQ(it.getAsDouble(kBand, d), 136153);
    EXPECT_EQ(d, kCanary);
    EXPECT_FALSE(ChunkMiscUtils::isAttSet(it, kBand));
}
