// DataVector::create from the XML form: the input is parsed as a document
// (no network access) and the vector is made from below its root element.
// A vector that is read is written, made again from what was written and
// written once more; the two writes must be the same text (the first write
// may round tiny reals, so the input itself is not compared). The input is
// also read into the second vector, which must then equal the first.
#include "FuzzSupport.h"
#include "VectorChecks.h"

#include "zorvsupport/datavector/DataVector.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace zorvfuzz;

namespace {

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
    // Every document is read: the reader must bound what it allocates itself.
    long status = -1;
    boost::shared_ptr<DataVector> v = DataVector::create(input.root(), status);
    ZORV_FUZZ_CHECK((status == kSuccess) == bool(v));
    if (!v) return 0;
    ZORV_FUZZ_CHECK(v->getCompressionMethod() == kCompressionNone);
    // Only what is written back for comparison is capped.
    if (v->getSizeInBytes() > kMaxValueBytes) return 0;

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
