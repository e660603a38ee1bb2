// IOUtils::readFromBinary of coordinate systems. The first input byte selects
// the buffer's byte-swap flag. A system that is read is written back and read
// again into an equal system.
#include "FuzzSupport.h"

#include "zorvsupport/types/IOUtils.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace zorvfuzz;

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    SwapAndPayload in;
    if (!splitSwap(data, size, in)) return -1;
    IOBuffer input = bufferOf(in.data, in.size, in.swap);
    ZELUNType<ZELUNCoordSystem> system;
    long const status = IOUtils::readFromBinary(input, system);
    ZORV_FUZZ_CHECK((status == kSuccess) == !system.isNull());
    if (status != kSuccess) return 0;
    // Only valid systems are read, and every valid system has a text form.
    ZORV_FUZZ_CHECK(system->isValid());
    unsigned const serialized = IOUtils::getSerializedSize(*system);
    ZORV_FUZZ_CHECK(serialized != 0);

    IOBuffer written(serialized, in.swap);
    ZORV_FUZZ_CHECK(IOUtils::writeToBinary(written, *system) == kSuccess);
    ZORV_FUZZ_CHECK(written.tell() == serialized);

    ZORV_FUZZ_CHECK(written.seek(0) == kSuccess);
    ZELUNType<ZELUNCoordSystem> again;
    ZORV_FUZZ_CHECK(IOUtils::readFromBinary(written, again) == kSuccess);
    ZORV_FUZZ_CHECK(!again.isNull() && *again == *system);
    ZORV_FUZZ_CHECK(written.tell() == serialized);
    return 0;
}
