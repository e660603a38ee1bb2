// DataType::readFromXML from the root element of the input document. A type
// that is read is written (XML, and binary in both byte orders) and read
// back equal.
#include "FuzzSupport.h"

#include "zorvsupport/types/DataType.h"

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
    DataType type;
    if (type.readFromXML(input.root()) != kSuccess) return 0;
    // Only the names of the table are read, so the code names an element type.
    ZORV_FUZZ_CHECK(elementSizeOf(type.getType()) != 0);

    XmlDoc written;
    ZORV_FUZZ_CHECK(type.writeToXML(written.root()) == kSuccess);
    DataType again;
    ZORV_FUZZ_CHECK(again.readFromXML(written.root()) == kSuccess);
    ZORV_FUZZ_CHECK(again == type);

    for (bool swap : {false, true}) {
        IOBuffer buffer(type.getSerializedSize(), swap);
        ZORV_FUZZ_CHECK(type.writeToBinary(buffer) == kSuccess);
        ZORV_FUZZ_CHECK(buffer.seek(0) == kSuccess);
        DataType back;
        ZORV_FUZZ_CHECK(back.readFromBinary(buffer) == kSuccess);
        ZORV_FUZZ_CHECK(back == type);
    }
    return 0;
}
