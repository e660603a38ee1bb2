#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/CreatedOrShort.h"
#include "support/ElementKinds.h"
#include "support/FailingAllocation.h"
#include "support/XmlDoc.h"
#include "zorvsupport/datavector/TDataVector.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

using P1 = ZELUNnPoint<unsigned, 1>;
using P2 = ZELUNnPoint<unsigned, 2>;

std::vector<unsigned char> valueBytes(DataVector const& v)
{
    auto const* p = static_cast<unsigned char const*>(v.getConstDataPtr());
    return p ? std::vector<unsigned char>(p, p + v.getSizeInBytes()) : std::vector<unsigned char>();
}

std::string xmlOf(DataVector const& v)
{
    zorvtest::XmlDoc doc;
    EXPECT_EQ(v.writeToXML(doc.root()), kSuccess);
    return doc.str();
}

}  // namespace

TEST(DataVectorXml, LayoutOfScalarAndTupleVectors)
{
    auto v = DataVectorND<2>::create(DataType(DataType::kFloat32, 0), P2(3, 2));
    float* p = static_cast<float*>(v->getDataPtr());
    for (int i = 0; i < 6; ++i) p[i] = float(i) + 0.5f;
    EXPECT_EQ(xmlOf(*v),
              "<root><DataVector num_dimensions=\"2\" dimension_x=\"3\" dimension_y=\"2\">"
              "<DataType type=\"float32\" tupleLength=\"0\"/><Values>"
              "<value value=\"0.5\"/><value value=\"1.5\"/><value value=\"2.5\"/>"
              "<value value=\"3.5\"/><value value=\"4.5\"/><value value=\"5.5\"/>"
              "</Values></DataVector></root>");

    auto t = DataVectorND<1>::create(DataType(DataType::kUInt8, 3), P1(2));
    unsigned char* q = static_cast<unsigned char*>(t->getDataPtr());
    const char letters[] = "ABCDEF";
    for (int i = 0; i < 6; ++i) q[i] = static_cast<unsigned char>(letters[i]);
    EXPECT_EQ(xmlOf(*t),
              "<root><DataVector num_dimensions=\"1\" dimension_x=\"2\">"
              "<DataType type=\"uint8\" tupleLength=\"3\"/><Values>"
              "<value><value value=\"A\"/><value value=\"B\"/><value value=\"C\"/></value>"
              "<value><value value=\"D\"/><value value=\"E\"/><value value=\"F\"/></value>"
              "</Values></DataVector></root>");

    using P4 = ZELUNnPoint<unsigned, 4>;
    auto e = DataVectorND<4>::create(DataType(DataType::kInt32, 0), P4(1, 2, 0, 4));
    EXPECT_EQ(xmlOf(*e),
              "<root><DataVector num_dimensions=\"4\" dimension_x=\"1\" dimension_y=\"2\" dimension_z=\"0\" "
              "dimension_w=\"4\"><DataType type=\"int32\" tupleLength=\"0\"/><Values/></DataVector></root>");
}

TEST(DataVectorXml, RoundTripEveryElementType)
{
    for (DataType const& t : zorvtest::allElementTypes(2)) {
        SCOPED_TRACE(std::to_string(t.getType()) + "/" + std::to_string(t.getTupleLength()));
        auto v = DataVectorND<2>::create(t, P2(3, 2));
        auto* p = static_cast<unsigned char*>(v->getDataPtr());
        // Small integers in every component keep reals exact in text.
        int const k = t.getType();
        std::size_t w = elementSizeOf(t.getType()) == 24 ? 8 : elementSizeOf(t.getType());
        for (std::size_t i = 0; i < v->getSizeInBytes() / w; ++i) {
            if (k == 0) reinterpret_cast<float*>(p)[i] = float(i) - 2.25f;
            else if (k == 1 || k == 11) reinterpret_cast<double*>(p)[i] = double(i) * 1.5 - 3;
            else p[i * w] = static_cast<unsigned char>(w == 1 ? 'A' + i : i + 1);  // printable for XML
        }
        zorvtest::XmlDoc doc;
        ASSERT_EQ(v->writeToXML(doc.root()), kSuccess);
        zorvtest::XmlDoc reparsed(doc.str());
        ASSERT_TRUE(reparsed.ok());
        long st = -1;
        auto back = DataVector::create(reparsed.root(), st);
        ASSERT_EQ(st, kSuccess);
        EXPECT_EQ(back->getDataType(), t);
        EXPECT_EQ(back->getDimension(0), 3u);
        EXPECT_EQ(back->getDimension(1), 2u);
        EXPECT_EQ(back->getCompressionMethod(), kCompressionNone);
        EXPECT_EQ(valueBytes(*back), valueBytes(*v));
    }
}

TEST(DataVectorXml, ReadIntoExistingVector)
{
    auto stored = DataVectorND<2>::create(DataType(DataType::kInt16, 0), P2(2, 3));
    for (int i = 0; i < 6; ++i) static_cast<short*>(stored->getDataPtr())[i] = short(i - 3);
    zorvtest::XmlDoc doc;
    ASSERT_EQ(stored->writeToXML(doc.root()), kSuccess);

    auto adopt = DataVectorND<2>::create(DataType(DataType::kInt16, 0), P2(2, 9));
    adopt->setCompressionMethod(kCompressionZlib);
    EXPECT_EQ(adopt->readFromXML(doc.root()), kSuccess);
    EXPECT_EQ(adopt->getDimensions(), P2(2, 3));
    EXPECT_EQ(valueBytes(*adopt), valueBytes(*stored));
    EXPECT_EQ(adopt->getCompressionMethod(), kCompressionZlib);

    auto wide = DataVectorND<2>::create(DataType(DataType::kInt16, 0), P2(4, 1));
    EXPECT_EQ(wide->readFromXML(doc.root()), kErrVectorHeaderMismatch);
    EXPECT_EQ(wide->getDimensions(), P2(4, 1));  // refused before anything is adopted

    for (auto other : {boost::shared_ptr<DataVector>(DataVectorND<2>::create(DataType(DataType::kInt16, 1), P2(2, 3))),
                       boost::shared_ptr<DataVector>(DataVectorND<1>::create(DataType(DataType::kInt16, 0), P1(6)))}) {
        EXPECT_EQ(other->readFromXML(doc.root()), kErrVectorHeaderMismatch);
        EXPECT_EQ(other->size(), 6u);
    }
    auto locked = DataVectorND<2>::create(DataType(DataType::kInt16, 0), P2(2, 3));
    locked->setResizeable(false);
    EXPECT_EQ(locked->readFromXML(doc.root()), kErrNotResizeable);

    zorvtest::XmlDoc empty;
    long st = 0;
    EXPECT_EQ(adopt->readFromXML(empty.root()), kErrNoDataVectorElement);
    EXPECT_FALSE(DataVector::create(empty.root(), st));
    EXPECT_EQ(st, kErrNoDataVectorElement);
}

TEST(DataVectorXml, BrokenDocuments)
{
    struct Case {
        const char* what;
        const char* xml;
        long readStatus;    // into a 1-D int32 vector of 2 elements holding 7, 7, which it keeps
        long createStatus;
    };
    const Case cases[] = {
        {"one value too many",
         "<DataVector num_dimensions=\"1\" dimension_x=\"2\"><DataType type=\"int32\" tupleLength=\"0\"/>"
         "<Values><value value=\"1\"/><value value=\"2\"/><value value=\"3\"/></Values></DataVector>",
         kErrValueCountMismatch, kErrValueCountMismatch},
        {"one value too few",
         "<DataVector num_dimensions=\"1\" dimension_x=\"2\"><DataType type=\"int32\" tupleLength=\"0\"/>"
         "<Values><value value=\"1\"/></Values></DataVector>",
         kErrValueCountMismatch, kErrValueCountMismatch},
        {"no Values element",
         "<DataVector num_dimensions=\"1\" dimension_x=\"2\"><DataType type=\"int32\" tupleLength=\"0\"/></DataVector>",
         kErrValueCountMismatch, kErrValueCountMismatch},
        {"no num_dimensions",
         "<DataVector dimension_x=\"2\"><DataType type=\"int32\" tupleLength=\"0\"/><Values/></DataVector>",
         kErrXmlAttributeMissing, kErrXmlAttributeMissing},
        {"no dimension_x",
         "<DataVector num_dimensions=\"1\"><DataType type=\"int32\" tupleLength=\"0\"/><Values/></DataVector>",
         kErrXmlAttributeMissing, kErrXmlAttributeMissing},
        {"five dimensions",
         "<DataVector num_dimensions=\"5\" dimension_x=\"1\" dimension_y=\"1\" dimension_z=\"1\" dimension_w=\"1\">"
         "<DataType type=\"int32\" tupleLength=\"0\"/><Values/></DataVector>",
         kErrVectorHeaderMismatch, kErrCannotCreateVector},
        {"a bad value",
         "<DataVector num_dimensions=\"1\" dimension_x=\"2\"><DataType type=\"int32\" tupleLength=\"0\"/>"
         "<Values><value value=\"1\"/><value value=\"x\"/></Values></DataVector>",
         kErrTextNotNumber, kErrTextNotNumber},
        {"a declared size the document cannot hold",
         "<DataVector num_dimensions=\"1\" dimension_x=\"1000000000\"><DataType type=\"int32\" tupleLength=\"0\"/>"
         "<Values><value value=\"1\"/></Values></DataVector>",
         kErrValueCountMismatch, kErrValueCountMismatch},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.what);
        zorvtest::XmlDoc doc(std::string("<r>") + c.xml + "</r>");
        ASSERT_TRUE(doc.ok());
        auto v = DataVectorND<1>::create(DataType(DataType::kInt32, 0), P1(2));
        static_cast<int*>(v->getDataPtr())[0] = 7;
        static_cast<int*>(v->getDataPtr())[1] = 7;
        EXPECT_EQ(v->readFromXML(doc.root()), c.readStatus);
        EXPECT_EQ(v->getDimensions(), P1(2));
        EXPECT_EQ(static_cast<int*>(v->getDataPtr())[0], 7);
        EXPECT_EQ(static_cast<int*>(v->getDataPtr())[1], 7);
        long st = 0;
        EXPECT_FALSE(DataVector::create(doc.root(), st));
        EXPECT_EQ(st, c.createStatus);
    }
}

TEST(DataVectorXml, TupleStructureErrors)
{
    const char* head = "<r><DataVector num_dimensions=\"1\" dimension_x=\"1\"><DataType type=\"uint16\" tupleLength=\"2\"/><Values>";
    struct Case {
        const char* values;
        long status;
    };
    const Case cases[] = {
        {"<value/>", kErrNoTupleValueElement},
        {"<value><value value=\"1\"/></value>", kErrValueCountMismatch},
        {"<value><value value=\"1\"/><value value=\"2\"/><value value=\"3\"/></value>", kErrValueCountMismatch},
        {"<value><value value=\"1\"/><value value=\"2\"/></value>", kSuccess},
    };
    for (auto const& c : cases) {
        zorvtest::XmlDoc doc(std::string(head) + c.values + "</Values></DataVector></r>");
        auto v = DataVectorND<1>::create(DataType(DataType::kUInt16, 2), P1(1));
        EXPECT_EQ(v->readFromXML(doc.root()), c.status) << c.values;
    }
}

// Writing and reading real and 3-vector values, whose texts go through ICU,
// with every allocation failing in turn (and all later ones): a write lets
// std::bad_alloc out or stores a vector that reads back, a read gives the
// values, kErrOutOfMemory or std::bad_alloc, never a text or XML status.
TEST(DataVectorXml, FormsUnderFailingAllocations)
{
    using zorvtest::FailingAllocation;
    auto const reals = DataVectorND<2>::create(DataType(DataType::kFloat64, 0), P2(3, 2));
    auto* d = static_cast<double*>(reals->getDataPtr());
    double const values[6] = {-2.25, 0.5, 123456789.125, 1e-3, -0.0, 42};
    std::memcpy(d, values, sizeof values);
    auto const vectors = DataVectorND<1>::create(DataType(DataType::kVec3, 2), P1(2));
    auto* v = static_cast<ZELUNVec3<double>*>(vectors->getDataPtr());
    for (int i = 0; i < 4; ++i) v[i] = ZELUNVec3<double>(i + 0.5, -i - 0.25, 987654321.25);
    for (boost::shared_ptr<DataVector> const& stored :
         {boost::shared_ptr<DataVector>(reals), boost::shared_ptr<DataVector>(vectors)}) {
        std::size_t const bytes = stored->getSizeInBytes();
        auto const* p = static_cast<unsigned char const*>(stored->getConstDataPtr());
        std::vector<unsigned char> const raw(p, p + bytes);
        auto sameValues = [&](DataVector const& w) {
            auto const* q = static_cast<unsigned char const*>(w.getConstDataPtr());
            return w.getSizeInBytes() == bytes && std::vector<unsigned char>(q, q + bytes) == raw;
        };
        zorvtest::XmlDoc doc;
        ASSERT_EQ(stored->writeToXML(doc.root()), kSuccess);
        for (auto const extent : {FailingAllocation::kOnlyThat, FailingAllocation::kThatAndLater}) {
            long status = -1;
            zorvtest::forEachAllocationFailure(
                [] { return std::make_unique<zorvtest::XmlDoc>(); },
                [&](std::unique_ptr<zorvtest::XmlDoc>& out) { status = stored->writeToXML(out->root()); },
                [&](std::unique_ptr<zorvtest::XmlDoc>& out, bool threw) {
                    if (threw) return;
                    EXPECT_EQ(status, kSuccess);
                    long st = -1;
                    auto const back = DataVector::create(out->root(), st);
                    ASSERT_EQ(st, kSuccess);
                    EXPECT_TRUE(sameValues(*back));
                },
                extent);
            zorvtest::forEachAllocationFailure(
                [] { return boost::shared_ptr<DataVector>(); },
                [&](boost::shared_ptr<DataVector>& made) { made = DataVector::create(doc.root(), status); },
                [&](boost::shared_ptr<DataVector>& made, bool threw) {
                    zorvtest::expectCreatedOrShort(made, status, threw,
                                                   [&](DataVector const& w) { EXPECT_TRUE(sameValues(w)); });
                },
                extent);
        }
    }
}
