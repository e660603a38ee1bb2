// Every allocation of an operation made to fail in turn: the operation either
// completes, or lets std::bad_alloc out (or returns its status) with the
// objects exactly as they were. Runs in every build; the sanitizers check
// that nothing leaks or is touched after release on the way.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Bytes.h"
#include "support/FailingAllocation.h"
#include "support/XmlDoc.h"
#include "zorvsupport/datavector/DataVectorND.h"
#include "zorvsupport/datavector/StorageTestHooks.h"
#include "zorvsupport/types/IOBuffer.h"
#include "zorvsupport/types/Property.h"
#include "zorvsupport/types/Tuple.h"
#include "zorvsupport/types/Variant.h"

using namespace ZORV_3_13_0_::DataSet;
using zorvtest::Bytes;
using zorvtest::forEachAllocationFailure;

namespace {

using U8x = TTupleDataType<TDataType<3>>;

Bytes bytesOf(void const* p, std::size_t n)
{
    auto const* b = static_cast<unsigned char const*>(p);
    return n ? Bytes(b, b + n) : Bytes();
}

// A Property tree's names, value bytes and shape, depth first ("-" for an
// empty child handle).
std::string describe(Property const& p)
{
    std::string s = p.name().toUtf8() + "[" + std::to_string(p.value().getSizeInBytes()) + "]";
    if (p.value().getSizeInBytes()) s += std::to_string(p.value().getStartPtr()[0]);
    s += "(";
    for (auto const& c : p.children()) s += c ? describe(*c) : std::string("-");
    return s + ")";
}

Property tree(char const* name)
{
    Property root(nullptr, name, "t");
    root.value().resize(3);
    root.value().getStartPtr()[0] = 42;
    root.addChild("a", "t")->addChild("a1", "t");
    root.addChild("b", "t");
    return root;
}

}  // namespace

TEST(AllocationFailure, TupleAndVariantSetters)
{
    unsigned char const five[5] = {5, 6, 7, 8, 9};
    unsigned n = forEachAllocationFailure(
        [] {
            unsigned char const three[3] = {1, 2, 3};
            return Tuple<U8x>(U8x(3), three);
        },
        [&](Tuple<U8x>& t) { t.set(five, 5); },
        [&](Tuple<U8x>& t, bool threw) {
            EXPECT_EQ(bytesOf(t.data(), t.length()), threw ? (Bytes{1, 2, 3}) : Bytes(five, five + 5));
        });
    EXPECT_GT(n, 0u);

    struct Case {
        char const* what;
        void (*assign)(Variant&);
    };
    Case const cases[] = {
        {"typed set", [](Variant& v) { v.set(TDataType<1>(), 2.5); }},
        {"tuple set", [](Variant& v) { v.set(U8x(4), ConstTupleProxy<U8x>(nullptr, 0)); }},
        {"copy assignment", [](Variant& v) { v = Variant(TDataType<8>(), 7LL); }},
        {"view assignment", [](Variant& v) {
             unsigned short const pair[2] = {1, 2};
             v = ConstVariantRef(DataType(DataType::kUInt16, 2), pair);
         }},
        {"copy", [](Variant& v) { Variant copy(v); }},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.what);
        forEachAllocationFailure([] { return Variant(TDataType<6>(), 9); }, c.assign, [](Variant& v, bool threw) {
            if (!threw) return;
            EXPECT_EQ(v.getDataType(), DataType(DataType::kInt32, 0));
            EXPECT_EQ(v.valueAs<int>(), 9);
        });
    }
}

TEST(AllocationFailure, PropertyCopyAssignmentAndChildren)
{
    std::string const whole = describe(tree("r"));
    std::string const moved = "r[3]42(--)";

    // A failed copy keeps the source's children; a copy that is made takes them.
    forEachAllocationFailure([] { return tree("r"); }, [](Property& p) { Property copy(p); },
                             [&](Property& p, bool threw) { EXPECT_EQ(describe(p), threw ? whole : moved); });

    struct Pair {
        Property target = tree("t");
        Property source = tree("r");
    };
    std::string const target = describe(tree("t"));
    unsigned n = forEachAllocationFailure([] { return Pair(); }, [](Pair& p) { p.target = p.source; },
                                          [&](Pair& p, bool threw) {
                                              EXPECT_EQ(describe(p.target), threw ? target : whole);
                                              EXPECT_EQ(describe(p.source), threw ? whole : moved);
                                          });
    EXPECT_GT(n, 0u);

    forEachAllocationFailure([] { return tree("r"); }, [](Property& p) { p.addChild("c", "t"); },
                             [&](Property& p, bool threw) {
                                 EXPECT_EQ(describe(p), threw ? whole : "r[3]42(a[0](a1[0]())b[0]()c[0]())");
                             });
}

TEST(AllocationFailure, PropertyRead)
{
    Property stored = tree("s");
    stored.value().resize(5);
    IOBuffer image(stored.getSerializedSize(), false, IOBuffer::AllocatorHandle());
    ASSERT_EQ(stored.writeToBinary(image), kSuccess);
    std::string const before = describe(tree("r"));
    std::string const read = describe(stored);
    unsigned n = forEachAllocationFailure(
        [&] {
            image.seek(0);
            return tree("r");
        },
        [&](Property& p) { EXPECT_EQ(p.readFromBinary(image), kSuccess); },
        [&](Property& p, bool threw) { EXPECT_EQ(describe(p), threw ? before : read); });
    EXPECT_GT(n, 0u);
}

TEST(AllocationFailure, IOBufferCopyAndResize)
{
    auto make = [] {
        IOBuffer b(4, false, IOBuffer::AllocatorHandle());
        b.write(0x04030201u);
        b.seek(2);
        return b;
    };
    auto same = [](IOBuffer& b) {
        EXPECT_EQ(b.getSizeInBytes(), 4u);
        EXPECT_EQ(b.tell(), 2u);
        EXPECT_EQ(bytesOf(b.getStartPtr(), 4), (Bytes{1, 2, 3, 4}));
    };
    forEachAllocationFailure(make, [](IOBuffer& b) { IOBuffer copy(b); }, [&](IOBuffer& b, bool) { same(b); });
    forEachAllocationFailure(make, [](IOBuffer& b) { b = IOBuffer(64, true, IOBuffer::AllocatorHandle()); },
                             [&](IOBuffer& b, bool threw) {
                                 if (threw) same(b);
                             });
    unsigned n = forEachAllocationFailure(make, [](IOBuffer& b) { EXPECT_EQ(b.resize(64), kSuccess); },
                                          [&](IOBuffer& b, bool threw) {
                                              if (threw) same(b);
                                          });
    EXPECT_GT(n, 0u);
}

// The vector readers and creation: each failure lets std::bad_alloc out or
// returns kErrOutOfMemory (the readers and DataVector::create, when the
// values cannot be had), and a vector read into keeps its shape and values.
// Every allocation counts, ICU's and libxml2's among them.
TEST(AllocationFailure, VectorReadersAndCreation)
{
    auto stored = DataVectorND<2>::create(DataType(DataType::kInt16, 2), ZELUNnPoint<unsigned, 2>(2, 3));
    for (unsigned i = 0; i < 12; ++i) static_cast<short*>(stored->getDataPtr())[i] = short(i * 3 - 7);
    zorvtest::XmlDoc doc;
    ASSERT_EQ(stored->writeToXML(doc.root()), kSuccess);
    IOBuffer image(stored->getHeaderSizeInBytes() + stored->getSizeInBytes(), false, IOBuffer::AllocatorHandle());
    ASSERT_EQ(stored->writeToBinary(image), kSuccess);
    Bytes const storedValues = bytesOf(stored->getConstDataPtr(), stored->getSizeInBytes());

    long status = kSuccess;  // of the last attempt
    auto shortage = [&](bool threw) { return threw || status == kErrOutOfMemory; };
    auto target = [&] {
        status = kSuccess;
        auto v = DataVectorND<2>::create(DataType(DataType::kInt16, 2), ZELUNnPoint<unsigned, 2>(2, 1));
        static_cast<short*>(v->getDataPtr())[0] = 99;
        return v;
    };
    auto readsOrKeeps = [&](boost::shared_ptr<DataVectorND<2>>& v, bool threw) {
        EXPECT_TRUE(status == kSuccess || status == kErrOutOfMemory) << status;
        if (shortage(threw)) {
            EXPECT_EQ(v->getDimensions(), (ZELUNnPoint<unsigned, 2>(2, 1)));
            EXPECT_EQ(static_cast<short*>(v->getDataPtr())[0], 99);
        } else {
            EXPECT_EQ(v->getDimensions(), (ZELUNnPoint<unsigned, 2>(2, 3)));
            EXPECT_EQ(bytesOf(v->getConstDataPtr(), v->getSizeInBytes()), storedValues);
        }
    };
    unsigned n = forEachAllocationFailure(target, [&](auto& v) { status = v->readFromXML(doc.root()); },
                                          readsOrKeeps);
    EXPECT_GT(n, 0u);
    forEachAllocationFailure(
        target,
        [&](auto& v) {
            image.seek(0);
            status = v->readFromBinary(image);
        },
        readsOrKeeps);

    auto none = [&] {
        status = kSuccess;
        return boost::shared_ptr<DataVector>();
    };
    auto created = [&](boost::shared_ptr<DataVector>& v, bool threw) {
        EXPECT_TRUE(status == kSuccess || status == kErrOutOfMemory) << status;
        ASSERT_EQ(bool(v), !shortage(threw));
        if (v) {
            EXPECT_EQ(bytesOf(v->getConstDataPtr(), v->getSizeInBytes()), storedValues);
        }
    };
    forEachAllocationFailure(none, [&](boost::shared_ptr<DataVector>& v) { v = DataVector::create(doc.root(), status); },
                             created);
    forEachAllocationFailure(none,
                             [&](boost::shared_ptr<DataVector>& v) {
                                 image.seek(0);
                                 v = DataVector::create(image, status);
                             },
                             created);
    // Creation by data type has no status: a shortage is std::bad_alloc,
    // never a vector of other dimensions.
    forEachAllocationFailure(
        [] { return boost::shared_ptr<DataVectorND<3>>(); },
        [](boost::shared_ptr<DataVectorND<3>>& v) {
            v = DataVectorND<3>::create(DataType(DataType::kVec3, 0), ZELUNnPoint<unsigned, 3>(2, 2, 2));
        },
        [](boost::shared_ptr<DataVectorND<3>>& v, bool threw) {
            ASSERT_EQ(bool(v), !threw);
            if (v) {
                EXPECT_EQ(v->size(), 8u);
            }
        });

    // The value storage itself failing: the read reports it and keeps the vector.
    auto v = target();
    DataVectorImp::failNextStorageAllocations(1);
    EXPECT_EQ(v->readFromXML(doc.root()), kErrOutOfMemory);
    DataVectorImp::failNextStorageAllocations(0);
    readsOrKeeps(v, true);
}
