// Variant::readFromBinary. The first input byte selects the buffer's
// byte-swap flag. A value that is read is written back (the same bytes as
// were read) and read again (the same type and value bytes).
#include "FuzzSupport.h"

#include "zorvsupport/types/Variant.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace zorvfuzz;

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    SwapAndPayload in;
    if (!splitSwap(data, size, in)) return -1;
    IOBuffer input = bufferOf(in.data, in.size, in.swap);
    Variant v;
    if (v.readFromBinary(input) != kSuccess) return 0;
    unsigned const consumed = input.tell();
    unsigned const typeSize = v.getDataType().getTypeSize();
    ZORV_FUZZ_CHECK(v.valid() == (typeSize != 0));

    unsigned const serialized = v.getSerializedSize();
    IOBuffer written(serialized, in.swap);
    ZORV_FUZZ_CHECK(v.writeToBinary(written) == kSuccess);
    ZORV_FUZZ_CHECK(written.tell() == serialized);
    ZORV_FUZZ_CHECK(consumed == serialized);
    // An undefined type stores no tuple length worth keeping.
    if (v.getDataType().getType() != DataType::kUndefined)
        ZORV_FUZZ_CHECK(sameBytes(written.getStartPtr(), in.data, consumed));

    ZORV_FUZZ_CHECK(written.seek(0) == kSuccess);
    Variant again(DataType(DataType::kFloat64, 3));  // replaced by the read
    ZORV_FUZZ_CHECK(again.readFromBinary(written) == kSuccess);
    ZORV_FUZZ_CHECK(written.tell() == serialized);
    ZORV_FUZZ_CHECK(again.getDataType() == v.getDataType());
    ZORV_FUZZ_CHECK(sameBytes(again.getPtr(), v.getPtr(), typeSize));
    return 0;
}
