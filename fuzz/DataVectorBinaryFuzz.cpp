// DataVector::create from the binary form. The first input byte selects the
// buffer's byte-swap flag, the rest is the stored vector. A vector that is
// read is written back, read again and compared byte for byte; it is also
// read a second time from the input into the vector already made.
#include "FuzzSupport.h"
#include "VectorChecks.h"

#include "zorvsupport/datavector/DataVector.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace zorvfuzz;

namespace {

// The 28-byte header at the start of the payload, as stored.
struct StoredHeader {
    bool complete = false;
    unsigned code = 0, tupleLength = 0, dims[4] = {0, 0, 0, 0};
    unsigned short count = 0;
    unsigned char method = 0, reserved = 0;

    StoredHeader(std::uint8_t const* data, std::size_t size, bool swap)
    {
        IOBuffer header = bufferOf(data, size < 28 ? size : 28, swap);
        complete = !header.read(code) && !header.read(tupleLength) && !header.read(count) && !header.read(method) &&
                   !header.read(reserved) && !header.read(dims[0]) && !header.read(dims[1]) &&
                   !header.read(dims[2]) && !header.read(dims[3]);
    }

    // Dimensions beyond the count are 0, as a vector's own header has them.
    bool unusedDimensionsZero() const
    {
        for (unsigned i = count; i < 4; ++i)
            if (dims[i] != 0) return false;
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    SwapAndPayload in;
    if (!splitSwap(data, size, in)) return -1;
    StoredHeader const stored(in.data, in.size, in.swap);

    // Every input is read: the reader must bound what it allocates itself.
    IOBuffer input = bufferOf(in.data, in.size, in.swap);
    long status = -1;
    boost::shared_ptr<DataVector> v = DataVector::create(input, status);
    ZORV_FUZZ_CHECK((status == kSuccess) == bool(v));
    if (!v) return 0;
    unsigned const consumed = input.tell();
    // Only what is written back for comparison is capped.
    if (v->getSizeInBytes() > kMaxValueBytes) return 0;

    // The stored form of what was read.
    IOBuffer written(v->getHeaderSizeInBytes() + v->getSizeInBytes(), in.swap);
    ZORV_FUZZ_CHECK(v->writeToBinary(written) == kSuccess);
    unsigned const writtenBytes = written.tell();

    // A raw record is written back as it was read, except for the reserved
    // byte and the dimensions beyond the count, which are not kept.
    if (v->getCompressionMethod() == kCompressionNone) {
        ZORV_FUZZ_CHECK(writtenBytes == consumed);
        ZORV_FUZZ_CHECK(sameBytes(written.getStartPtr(), in.data, 11));
        ZORV_FUZZ_CHECK(sameBytes(written.getStartPtr() + 12, in.data + 12, 4 * v->getNumDimensions()));
        ZORV_FUZZ_CHECK(sameBytes(written.getStartPtr() + 28, in.data + 28, v->getSizeInBytes()));
    }

    // Read back as a new vector.
    ZORV_FUZZ_CHECK(written.seek(0) == kSuccess);
    boost::shared_ptr<DataVector> again = DataVector::create(written, status);
    ZORV_FUZZ_CHECK(status == kSuccess && again);
    ZORV_FUZZ_CHECK(written.tell() == writtenBytes);
    ZORV_FUZZ_CHECK(sameVector(*v, *again));
    ZORV_FUZZ_CHECK(v->getCompressionMethod() == again->getCompressionMethod());

    // Read the input once more, into the vector it made: of the stored kind,
    // so it must succeed and change nothing. (Unlike create, this reader
    // refuses dimensions beyond the count that are not 0.)
    ZORV_FUZZ_CHECK(input.seek(0) == kSuccess);
    long const reread = again->readFromBinary(input);
    if (!stored.unusedDimensionsZero()) {
        ZORV_FUZZ_CHECK(reread == kErrVectorHeaderMismatch);
        return 0;
    }
    ZORV_FUZZ_CHECK(reread == kSuccess);
    ZORV_FUZZ_CHECK(input.tell() == consumed);
    ZORV_FUZZ_CHECK(sameVector(*v, *again));
    return 0;
}
