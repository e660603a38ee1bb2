// Variant::readFromXML from the root element of the input document. A value
// that is read is written, read again and written once more; the two writes
// must be the same text (the first may round tiny reals). The input read
// into the second value must give the first value's bytes.
#include "FuzzSupport.h"

#include "zorvsupport/types/Variant.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace zorvfuzz;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    quietXml();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    XmlDoc input(data, size);
    if (!input.ok()) return -1;
    Variant v;
    if (v.readFromXML(input.root()) != kSuccess) return 0;
    unsigned const typeSize = v.getDataType().getTypeSize();
    ZORV_FUZZ_CHECK(v.valid() == (typeSize != 0));

    XmlDoc first;
    ZORV_FUZZ_CHECK(v.writeToXML(first.root()) == kSuccess);
    Variant again;
    ZORV_FUZZ_CHECK(again.readFromXML(first.root()) == kSuccess);
    ZORV_FUZZ_CHECK(again.getDataType() == v.getDataType());
    XmlDoc second;
    ZORV_FUZZ_CHECK(again.writeToXML(second.root()) == kSuccess);
    ZORV_FUZZ_CHECK(first.str() == second.str());

    ZORV_FUZZ_CHECK(again.readFromXML(input.root()) == kSuccess);
    ZORV_FUZZ_CHECK(again.getDataType() == v.getDataType());
    ZORV_FUZZ_CHECK(sameBytes(again.getPtr(), v.getPtr(), typeSize));
    return 0;
}
