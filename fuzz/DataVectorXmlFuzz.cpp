// DataVector::create from the XML form: the input is parsed as a document
// (no network access) and the vector is made from below its root element.
// A vector that is read is written, made again from what was written and
// written once more; the two writes must be the same text (the first write
// may round tiny reals, so the input itself is not compared). The input is
// also read into the second vector, which must then equal the first.
#include "FuzzSupport.h"
#include "VectorChecks.h"

#include "zorvsupport/datavector/DataVector.h"
#include "zorvsupport/datavector/DataVectorHeader.h"
#include "zorvsupport/platform/ZELUNXMLDocument.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace zorvfuzz;

namespace {

// Values the "DataVector" element below `root` declares, in bytes; 0 when
// it declares none. Also the number of values, which an input of `size`
// bytes can hold only when each gets a "value" element.
void declared(xmlNode& root, unsigned long long& bytes, unsigned long long& values)
{
    bytes = values = 0;
    _xmlNode* element = ZELUNXMLDocument::getFirstChild(root, "DataVector");
    if (!element) return;
    DataVectorHeader header;
    if (header.readFromXML(*element) != kSuccess) return;
    if (header.m_numDimensions < 1 || header.m_numDimensions > 4) return;
    values = header.m_type.getLength();
    for (unsigned i = 0; i < header.m_numDimensions; ++i) values = saturatingProduct(values, header.m_dims[i]);
    bytes = saturatingProduct(values, elementSizeOf(header.m_type.getType()));
}

bool isReal(DataType const& type)
{
    return type.getType() == DataType::kFloat32 || type.getType() == DataType::kFloat64 ||
           type.getType() == DataType::kVec3;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    quietXml();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    XmlDoc input(data, size);
    if (!input.ok()) return -1;
    unsigned long long bytes = 0, values = 0;
    declared(input.root(), bytes, values);
    // "<value/>" is 8 bytes: more declared values than that could hold only
    // make the reader zero-fill a vector that the count check then refuses.
    if (bytes > kMaxValueBytes || values > size / 8) return -1;

    long status = -1;
    boost::shared_ptr<DataVector> v = DataVector::create(input.root(), status);
    ZORV_FUZZ_CHECK((status == kSuccess) == bool(v));
    if (!v) return 0;
    ZORV_FUZZ_CHECK(v->getCompressionMethod() == kCompressionNone);

    XmlDoc first;
    ZORV_FUZZ_CHECK(v->writeToXML(first.root()) == kSuccess);
    boost::shared_ptr<DataVector> again = DataVector::create(first.root(), status);
    ZORV_FUZZ_CHECK(status == kSuccess && again);
    ZORV_FUZZ_CHECK(again->getDataType() == v->getDataType());
    ZORV_FUZZ_CHECK(again->getNumDimensions() == v->getNumDimensions());
    for (int i = 0; i < 4; ++i) ZORV_FUZZ_CHECK(again->getDimension(i) == v->getDimension(i));
    // Integer and character texts are exact.
    if (!isReal(v->getDataType())) ZORV_FUZZ_CHECK(sameVector(*v, *again));

    XmlDoc second;
    ZORV_FUZZ_CHECK(again->writeToXML(second.root()) == kSuccess);
    ZORV_FUZZ_CHECK(first.str() == second.str());

    // The input read into a vector of its kind gives the same values again.
    ZORV_FUZZ_CHECK(again->readFromXML(input.root()) == kSuccess);
    ZORV_FUZZ_CHECK(sameVector(*v, *again));
    return 0;
}
