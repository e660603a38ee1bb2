#include <memory>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "support/FakeBandSet.h"
#include "support/FakeNodeIterator.h"
#include "support/NodeBuffers.h"
#include "zorvsupport/surface/ExpressionEvaluator.h"
#include "zorvsupport/surface/NoAttributeInterface.h"
#include "zorvsupport/surface/NodeIteratorAttrI.h"
#include "zorvsupport/types/BandType.h"

using namespace ZORV_3_13_0_::DataSet;
using zorvtest::FakeBandSet;
using zorvtest::FakeNodeIterator;
using zorvtest::makeBuffer;

namespace {

using F64 = TDataType<1>;

BandType scalarBand(ZELUNUnit::LengthDirection direction)
{
    return BandType::createScalar(DataType(DataType::kFloat64), ZELUNUString("m"), direction, Variant());
}

std::set<ZELUNUString> names(std::vector<char const*> const& list)
{
    std::set<ZELUNUString> out;
    for (char const* n : list) out.insert(ZELUNUString(n));
    return out;
}

}  // namespace

TEST(NodeIteratorAttrI, NegatesOnlyOpposedDirections)
{
    struct Case {
        ZELUNUnit::LengthDirection band;
        ZELUNUnit::LengthDirection requested;
        double expected;
    } const cases[] = {
        {ZELUNUnit::kNoDirection, ZELUNUnit::kUp, 12.5}, {ZELUNUnit::kNoDirection, ZELUNUnit::kDown, 12.5},
        {ZELUNUnit::kUp, ZELUNUnit::kUp, 12.5},          {ZELUNUnit::kUp, ZELUNUnit::kDown, -12.5},
        {ZELUNUnit::kDown, ZELUNUnit::kUp, -12.5},       {ZELUNUnit::kDown, ZELUNUnit::kDown, 12.5},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(testing::Message() << "band " << int(c.band) << ", requested " << int(c.requested));
        FakeBandSet set;
        unsigned const id = set.addBand(ZELUNUString("Depth"), scalarBand(c.band));
        FakeNodeIterator it(set, {id});
        it.setBuffer(id, makeBuffer(F64(), {0.0, 12.5}));
        it.setCurrentIndex(1);

        NodeIteratorAttrI attributes(it, c.requested);
        EXPECT_EQ(attributes.getValue(ZELUNUString("Depth")), c.expected);
    }
}

TEST(NodeIteratorAttrI, OffersTheIteratorsBandsByName)
{
    FakeBandSet set;
    unsigned const first = set.addBand(ZELUNUString("Depth"), scalarBand(ZELUNUnit::kDown));
    unsigned const missing = set.addNullBand();
    unsigned const tuple = set.addBand(ZELUNUString("Colour"), BandType::createColor(kColorRGB, Variant()));
    unsigned const second = set.addBand(ZELUNUString("Depth"), scalarBand(ZELUNUnit::kUp));
    unsigned const unbuffered = set.addBand(ZELUNUString("Quality"), scalarBand(ZELUNUnit::kNoDirection));

    FakeNodeIterator it(set, {first, missing, tuple, second, unbuffered});
    it.setBuffer(first, makeBuffer(F64(), {1.0, 5.0}));
    it.setBuffer(missing, makeBuffer(F64(), {1.0, 6.0}));
    it.setBuffer(tuple, makeBuffer(TTupleDataType<TDataType<3>>(3), {1, 2, 3, 4, 5, 6}));
    it.setBuffer(second, makeBuffer(F64(), {1.0, 7.0}));
    it.setCurrentIndex(1);

    NodeIteratorAttrI attributes(it, ZELUNUnit::kDown);
    EXPECT_EQ(attributes.getAvailableAttributes(), names({"Colour", "Depth", "Quality"}));
    EXPECT_EQ(attributes.getValue(ZELUNUString("Depth")), -7.0) << "the later band of the name wins";
    EXPECT_EQ(attributes.getValue(ZELUNUString("Colour")), 0.0) << "a tuple reads as 0";
    EXPECT_EQ(attributes.getValue(ZELUNUString("Quality")), 0.0) << "an unbuffered band reads as 0";

    EXPECT_EQ(attributes.getValue(ZELUNUString("Unknown")), 0.0);
    EXPECT_EQ(attributes.getAvailableAttributes(), names({"Colour", "Depth", "Quality"}))
        << "an unknown name is not added";

    // The current node is read on every call.
    it.setCurrentIndex(0);
    EXPECT_EQ(attributes.getValue(ZELUNUString("Depth")), -1.0);
}

TEST(NodeIteratorAttrI, OutlivesItsIterator)
{
    FakeBandSet set;
    unsigned const id = set.addBand(ZELUNUString("Depth"), scalarBand(ZELUNUnit::kDown));
    auto* it = new FakeNodeIterator(set, {id});
    auto attributes = std::make_unique<NodeIteratorAttrI>(*it, ZELUNUnit::kUp);
    delete it;
    EXPECT_EQ(attributes->getAvailableAttributes(), names({"Depth"}));
    attributes.reset();  // the destructor never touches the deleted iterator (ASan)
}

// A filter over the iterator's bands resolves its names once, yet reads what
// getValue reads at every node: negated where the directions oppose, the
// later band of a name, 0.0 for a tuple or a name no longer offered.
TEST(NodeIteratorAttrI, FilterReadsWhatGetValueReads)
{
    FakeBandSet set;
    unsigned const first = set.addBand(ZELUNUString("Depth"), scalarBand(ZELUNUnit::kUp));
    unsigned const depth = set.addBand(ZELUNUString("Depth"), scalarBand(ZELUNUnit::kDown));
    unsigned const tuple = set.addBand(ZELUNUString("Colour"), BandType::createColor(kColorRGB, Variant()));
    unsigned const height = set.addBand(ZELUNUString("Height"), scalarBand(ZELUNUnit::kNoDirection));
    FakeNodeIterator it(set, {first, depth, tuple, height});
    it.setBuffer(first, makeBuffer(F64(), {100.0, 100.0}));
    it.setBuffer(depth, makeBuffer(F64(), {5.0, 7.0}));
    it.setBuffer(tuple, makeBuffer(TTupleDataType<TDataType<3>>(3), {1, 2, 3, 4, 5, 6}));
    it.setBuffer(height, makeBuffer(F64(), {2.0, 3.0}));

    NodeIteratorAttrI attributes(it, ZELUNUnit::kUp);
    ExpressionEvaluator evaluator(ExpressionEvaluator::kEvalNumeric);
    ASSERT_EQ(evaluator.set("Depth * 10 + Height + Colour", attributes), 0);
    for (unsigned const node : {0u, 1u, 0u}) {
        it.setCurrentIndex(node);
        double value = 0.0;
        EXPECT_TRUE(evaluator.evaluate(attributes, value));
        EXPECT_EQ(value, node == 0 ? -48.0 : -67.0);
        AttributeInterface& plain = attributes;  // through getValue
        EXPECT_TRUE(evaluator.evaluate(plain, value));
        EXPECT_EQ(value, node == 0 ? -48.0 : -67.0);
    }

    // Assigned attributes over another iterator are looked up afresh.
    FakeBandSet other;
    unsigned const otherHeight = other.addBand(ZELUNUString("Height"), scalarBand(ZELUNUnit::kNoDirection));
    FakeNodeIterator otherIt(other, {otherHeight});
    otherIt.setBuffer(otherHeight, makeBuffer(F64(), {9.0}));
    otherIt.setCurrentIndex(0);
    attributes = NodeIteratorAttrI(otherIt, ZELUNUnit::kUp);
    double value = 0.0;
    EXPECT_TRUE(evaluator.evaluate(attributes, value));
    EXPECT_EQ(value, 9.0) << "Depth and Colour are no longer offered";

    // A derived class is read through its own getValue.
    struct Doubled : NodeIteratorAttrI {
        using NodeIteratorAttrI::NodeIteratorAttrI;
        double getValue(ZELUNUString const& name) override { return 2 * NodeIteratorAttrI::getValue(name); }
    } doubled(otherIt, ZELUNUnit::kUp);
    EXPECT_TRUE(evaluator.evaluate(doubled, value));
    EXPECT_EQ(value, 18.0);
}

TEST(NoAttributeInterface, OffersNothing)
{
    NoAttributeInterface none;
    EXPECT_TRUE(none.getAvailableAttributes().empty());
    EXPECT_EQ(none.getValue(ZELUNUString("Depth")), 0.0);
    AttributeInterface& base = none;
    EXPECT_TRUE(base.getAvailableAttributes().empty());
}
