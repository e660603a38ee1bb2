#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <random>
#include <vector>

#include <zlib.h>

#include "support/Bytes.h"
#include "support/CreatedOrShort.h"
#include "support/FailingAllocation.h"
#include "support/FreshThreadSweep.h"
#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/types/IOBuffer.h"

using namespace ZORV_3_13_0_::DataSet;
using zorvtest::Bytes;

namespace {

using P1 = ZELUNnPoint<unsigned, 1>;
using P2 = ZELUNnPoint<unsigned, 2>;

Bytes randomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    Bytes out(n);
    for (std::size_t i = 0; i + 4 <= n; i += 4) {
        std::uint32_t r = gen();
        std::memcpy(&out[i], &r, 4);
    }
    for (std::size_t i = n & ~std::size_t(3); i < n; ++i) out[i] = static_cast<unsigned char>(gen());
    return out;
}

Bytes valueBytes(DataVector const& v)
{
    auto const* p = static_cast<unsigned char const*>(v.getConstDataPtr());
    return p ? Bytes(p, p + v.getSizeInBytes()) : Bytes();
}

// A zlib-compressed record: the 28-byte header of a uint8 vector of the
// given dimensions, the stream length and a level-1 stream of `raw`.
Bytes zlibRecord(std::vector<unsigned> dims, Bytes const& raw, int level = 1)
{
    IOBuffer h(32, false, IOBuffer::AllocatorHandle());
    h.write(unsigned(DataType::kUInt8));
    h.write(0u);
    h.write(static_cast<unsigned short>(dims.size()));
    h.write(static_cast<unsigned char>(kCompressionZlib));
    h.write(static_cast<unsigned char>(0));
    for (std::size_t i = 0; i < 4; ++i) h.write(i < dims.size() ? dims[i] : 0u);
    uLongf length = compressBound(raw.size());
    Bytes stream(length);
    EXPECT_EQ(compress2(stream.data(), &length, raw.data(), raw.size(), level), Z_OK);
    h.write(static_cast<unsigned>(length));
    Bytes out = zorvtest::written(h);
    out.insert(out.end(), stream.begin(), stream.begin() + static_cast<long>(length));
    return out;
}

}  // namespace

// Incompressible values into a buffer of exactly header + values bytes: the
// room is values + ceil(values / 1000) + 12, and the stream must fit it.
TEST(DataVectorZlib, WritesIntoTheReservedSizeAndZlibReadsItBack)
{
    for (std::size_t n : {std::size_t(0), std::size_t(1), std::size_t(999), std::size_t(1000), std::size_t(1001),
                          std::size_t(65536), std::size_t(64) << 20}) {
        SCOPED_TRACE(n);
        auto v = DataVectorND<1>::create(DataType(DataType::kUInt8, 0), P1(unsigned(n)));
        Bytes values = randomBytes(n, unsigned(n));
        if (n) std::memcpy(v->getDataPtr(), values.data(), n);
        v->setCompressionMethod(kCompressionZlib);
        IOBuffer b(v->getHeaderSizeInBytes() + v->getSizeInBytes(), false, IOBuffer::AllocatorHandle());
        ASSERT_EQ(v->writeToBinary(b), kSuccess);

        b.seek(28);
        unsigned length = 0;
        ASSERT_EQ(b.read(length), kSuccess);
        ASSERT_LE(length, b.getSizeInBytes() - b.tell());
        Bytes back(n + 1);
        uLongf backLength = back.size();
        ASSERT_EQ(uncompress(back.data(), &backLength, b.getCurPtr(), length), Z_OK);
        ASSERT_EQ(backLength, n);
        back.resize(n);
        EXPECT_TRUE(back == values);

        b.seek(0);
        long st = -1;
        auto read = DataVector::create(b, st);
        ASSERT_EQ(st, kSuccess);
        EXPECT_EQ(b.tell(), 32u + length);
        EXPECT_TRUE(valueBytes(*read) == values);
    }
}

// Swapped values are deflated in the buffer's byte order, small and large.
TEST(DataVectorZlib, SwappedWriteHoldsBigEndianValues)
{
    for (unsigned count : {10u, 40000u}) {
        auto v = DataVectorND<1>::create(DataType(DataType::kUInt16, 0), P1(count));
        auto* p = static_cast<unsigned short*>(v->getDataPtr());
        for (unsigned i = 0; i < count; ++i) p[i] = static_cast<unsigned short>(i * 7919u);
        v->setCompressionMethod(kCompressionZlib);
        IOBuffer b(v->getHeaderSizeInBytes() + v->getSizeInBytes(), true, IOBuffer::AllocatorHandle());
        ASSERT_EQ(v->writeToBinary(b), kSuccess);
        b.seek(28);
        unsigned length = 0;
        b.read(length);
        Bytes raw(2 * count);
        uLongf rawLength = raw.size();
        ASSERT_EQ(uncompress(raw.data(), &rawLength, b.getCurPtr(), length), Z_OK);
        for (unsigned i = 0; i < count; ++i) ASSERT_EQ(raw[2 * i] << 8 | raw[2 * i + 1], p[i]) << i;
        EXPECT_EQ(p[1], 7919u);  // the vector itself stays as it was
    }
}

// Streams of another length than the values: a shorter one leaves the rest
// 0, a longer one up to the compression overhead has its extra bytes
// dropped, a longer one beyond that fails. Both readers, small values and
// values for the large-block path, incompressible and repetitive bytes.
TEST(DataVectorZlib, StreamsOfAnotherLength)
{
    for (unsigned n : {100u, 100000u})
        for (bool repetitive : {false, true}) {
            SCOPED_TRACE(std::to_string(n) + (repetitive ? " repetitive" : " random"));
            auto probe = DataVectorND<1>::create(DataType(DataType::kUInt8, 0), P1(n));
            probe->setCompressionMethod(kCompressionZlib);
            unsigned overhead = probe->getHeaderSizeInBytes() - 28;
            for (unsigned inflated : {n - 37, n + 5, n + overhead + 1}) {
                bool accepted = inflated <= n + overhead;
                Bytes raw = randomBytes(inflated, inflated);
                if (repetitive)
                    for (unsigned i = 0; i < inflated; ++i) raw[i] = static_cast<unsigned char>("terrain "[i % 8] + i / 800);
                Bytes rec = zlibRecord({n}, raw);
                Bytes expected(raw.begin(), raw.begin() + std::min(n, inflated));
                expected.resize(n, 0);

                IOBuffer b = zorvtest::bufferOf(rec);
                long st = -1;
                auto created = DataVector::create(b, st);
                EXPECT_EQ(st, accepted ? kSuccess : kErrDecompressFailed) << inflated;
                if (accepted) {
                    ASSERT_TRUE(created);
                    EXPECT_TRUE(valueBytes(*created) == expected) << inflated;
                } else {
                    EXPECT_FALSE(created);
                    EXPECT_EQ(b.tell(), 32u);
                }

                auto target = DataVectorND<1>::create(DataType(DataType::kUInt8, 0), P1(7));
                b.seek(0);
                EXPECT_EQ(target->readFromBinary(b), accepted ? kSuccess : kErrDecompressFailed);
                EXPECT_EQ(target->getDimension(0), n);
                EXPECT_TRUE(valueBytes(*target) == (accepted ? expected : Bytes(n, 0))) << inflated;
            }
        }
}

// A damaged stream read into an existing vector: the status, the position
// behind the length field, the adopted last dimension, the values as the
// resize left them, the stored method, and the same value block.
TEST(DataVectorZlib, DamagedStreamIntoExistingVector)
{
    auto stored = DataVectorND<2>::create(DataType(DataType::kInt32, 0), P2(4, 3));
    for (int i = 0; i < 12; ++i) static_cast<int*>(stored->getDataPtr())[i] = 1000 + i;
    stored->setCompressionMethod(kCompressionZlib);
    IOBuffer b(stored->getHeaderSizeInBytes() + stored->getSizeInBytes(), false, IOBuffer::AllocatorHandle());
    ASSERT_EQ(stored->writeToBinary(b), kSuccess);
    unsigned length = b.tell() - 32;
    b.getStartPtr()[32 + length - 1] ^= 0x55;  // the stream's checksum

    auto target = DataVectorND<2>::create(DataType(DataType::kInt32, 0), P2(4, 10));
    auto* values = static_cast<int*>(target->getDataPtr());
    for (int i = 0; i < 40; ++i) values[i] = -i;
    b.seek(0);
    EXPECT_EQ(target->readFromBinary(b), kErrDecompressFailed);
    EXPECT_EQ(b.tell(), 32u);
    EXPECT_EQ(target->getDimensions(), P2(4, 3));
    std::vector<int> kept(values, values + 12), expected;
    for (int i = 0; i < 12; ++i) expected.push_back(-i);
    EXPECT_EQ(kept, expected);
    EXPECT_EQ(target->getCompressionMethod(), kCompressionZlib);
    EXPECT_EQ(target->getDataPtr(), static_cast<void*>(values));
}

// Zeros at zlib's strongest level come closest to deflate's largest ratio;
// the reader's bound on the values a stream can declare still admits them.
TEST(DataVectorZlib, MostCompressibleValuesAreRead)
{
    Bytes const zeros(16u << 20, 0);
    Bytes record = zlibRecord({unsigned(zeros.size())}, zeros, 9);
    ASSERT_LT(record.size(), 32u + zeros.size() / 1000);
    IOBuffer b = zorvtest::bufferOf(record);
    long st = -1;
    auto v = DataVector::create(b, st);
    ASSERT_EQ(st, kSuccess);
    EXPECT_EQ(valueBytes(*v), zeros);
    auto into = DataVectorND<1>::create(DataType(DataType::kUInt8, 0), P1(1));
    b.seek(0);
    EXPECT_EQ(into->readFromBinary(b), kSuccess);
    EXPECT_EQ(into->size(), zeros.size());
}

// A thread's first compressed record, with its n-th allocation and all later
// ones failing: the compressor and decompressor it keeps for the thread (and
// the scratch blocks) cannot be made. That is std::bad_alloc with the target
// vector as it was, never a failed stream or the end of the process; the
// next call, with memory back, writes and reads the record.
TEST(DataVectorZlibThreads, FirstStreamWithoutMemory)
{
    Bytes const raw = randomBytes(16384, 3);
    auto const source = DataVectorND<1>::create(DataType(DataType::kUInt8, 0), P1(16384));
    std::memcpy(source->getDataPtr(), raw.data(), raw.size());
    source->setCompressionMethod(kCompressionZlib);
    IOBuffer buffer(source->getHeaderSizeInBytes() + source->getSizeInBytes(), false, IOBuffer::AllocatorHandle());
    auto const target = DataVectorND<1>::create(DataType(DataType::kUInt8, 0), P1(16384));
    auto readBack = [&] {
        buffer.seek(0);
        std::memset(target->getDataPtr(), 0, target->getSizeInBytes());
        EXPECT_EQ(target->readFromBinary(buffer), kSuccess);
        EXPECT_EQ(valueBytes(*target), raw);
    };

    long status = -1;
    unsigned const written = zorvtest::firstUseSweep(
        [&] { buffer.seek(0); }, [&] { status = source->writeToBinary(buffer); },
        [&](bool threw) {
            if (!threw) {
                EXPECT_EQ(status, kSuccess);
                readBack();
            }
            buffer.seek(0);
            EXPECT_EQ(source->writeToBinary(buffer), kSuccess);
            readBack();
        });
    EXPECT_GT(written, 0u);

    Bytes const zeros(raw.size(), 0);
    unsigned const read = zorvtest::firstUseSweep(
        [&] {
            buffer.seek(0);
            std::memset(target->getDataPtr(), 0, target->getSizeInBytes());
        },
        [&] { status = target->readFromBinary(buffer); },
        [&](bool threw) {
            if (threw) {
                EXPECT_EQ(valueBytes(*target), zeros);
            } else {
                EXPECT_EQ(status, kSuccess);
                EXPECT_EQ(valueBytes(*target), raw);
            }
            readBack();
        });
    EXPECT_GT(read, 0u);
}

// The compressed forms with every allocation failing in turn (also all
// later ones, and large blocks only): the compressor's state, zlib's and the
// scratch blocks. A write either stores a record that reads back or lets
// std::bad_alloc out; a read or creation gives the values, kErrOutOfMemory
// or std::bad_alloc with the target as it was; never a stream status.
TEST(DataVectorZlib, FormsUnderFailingAllocations)
{
    using zorvtest::FailingAllocation;
    struct Mode {
        char const* what;
        FailingAllocation::Extent extent;
        FailingAllocation::Blocks blocks;
    } const modes[] = {
        {"one failure", FailingAllocation::kOnlyThat, FailingAllocation::kAnyBlock},
        {"all later", FailingAllocation::kThatAndLater, FailingAllocation::kAnyBlock},
        {"large blocks", FailingAllocation::kThatAndLater, FailingAllocation::kLargeBlocks},
    };
    for (unsigned count : {50u, 8192u}) {      // zlib's compressor, then libdeflate's
        for (bool swap : {false, true}) {      // swapped values are deflated from a scratch block
            Bytes const raw = randomBytes(2 * count, count);
            auto const source = DataVectorND<1>::create(DataType(DataType::kUInt16, 0), P1(count));
            std::memcpy(source->getDataPtr(), raw.data(), raw.size());
            source->setCompressionMethod(kCompressionZlib);
            unsigned const room = source->getHeaderSizeInBytes() + source->getSizeInBytes();
            IOBuffer image(room, swap, IOBuffer::AllocatorHandle());
            ASSERT_EQ(source->writeToBinary(image), kSuccess);
            for (Mode const& m : modes) {
                unsigned injected = 0;
                SCOPED_TRACE(std::to_string(count) + (swap ? " swapped, " : ", ") + m.what);
                long status = -1;
                injected += zorvtest::forEachAllocationFailure(
                    [&] { return std::make_unique<IOBuffer>(room, swap, IOBuffer::AllocatorHandle()); },
                    [&](std::unique_ptr<IOBuffer>& b) { status = source->writeToBinary(*b); },
                    [&](std::unique_ptr<IOBuffer>& b, bool threw) {
                        if (threw) return;
                        EXPECT_EQ(status, kSuccess);
                        b->seek(0);
                        long st = -1;
                        auto const back = DataVector::create(*b, st);
                        ASSERT_EQ(st, kSuccess);
                        EXPECT_EQ(valueBytes(*back), raw);
                    },
                    m.extent, FailingAllocation::kThisThread, m.blocks);
                injected += zorvtest::forEachAllocationFailure(
                    [&] {
                        image.seek(0);
                        return DataVectorND<1>::create(DataType(DataType::kUInt16, 0), P1(count));
                    },
                    [&](auto& target) { status = target->readFromBinary(image); },
                    [&](auto& target, bool threw) {
                        if (threw || status == kErrOutOfMemory) {
                            EXPECT_EQ(valueBytes(*target), Bytes(raw.size(), 0));
                            return;
                        }
                        EXPECT_EQ(status, kSuccess);
                        EXPECT_EQ(valueBytes(*target), raw);
                    },
                    m.extent, FailingAllocation::kThisThread, m.blocks);
                injected += zorvtest::forEachAllocationFailure(
                    [&] {
                        image.seek(0);
                        return boost::shared_ptr<DataVector>();
                    },
                    [&](boost::shared_ptr<DataVector>& made) { made = DataVector::create(image, status); },
                    [&](boost::shared_ptr<DataVector>& made, bool threw) {
                        zorvtest::expectCreatedOrShort(made, status, threw,
                                                       [&](DataVector const& w) { EXPECT_EQ(valueBytes(w), raw); });
                    },
                    m.extent, FailingAllocation::kThisThread, m.blocks);
                EXPECT_GT(injected, 0u);
            }
        }
    }
}
