#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <zlib.h>

#include "support/Bytes.h"
#include "support/ElementKinds.h"
#include "support/ForeignDataVector.h"
#include "zorvsupport/datavector/DataVectorHeader.h"
#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/types/IOBuffer.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

using zorvtest::Bytes;
using zorvtest::bufferOf;
using zorvtest::vectorHeader;
using zorvtest::written;
using P1 = ZELUNnPoint<unsigned, 1>;
using P2 = ZELUNnPoint<unsigned, 2>;

boost::shared_ptr<DataVectorND<1>> floats(std::vector<float> const& v)
{
    auto out = DataVectorND<1>::create(DataType(DataType::kFloat32, 0), P1(unsigned(v.size())));
    if (!v.empty()) std::memcpy(out->getDataPtr(), v.data(), v.size() * 4);
    return out;
}

Bytes valueBytes(DataVector const& v)
{
    auto const* p = static_cast<unsigned char const*>(v.getConstDataPtr());
    return p ? Bytes(p, p + v.getSizeInBytes()) : Bytes();
}

}  // namespace

TEST(DataVectorBinary, HeaderAndValuesByteLayoutBothOrders)
{
    auto v = floats({1.0f, 2.0f, -1.5f});
    const Bytes little = {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                          0, 0, 0x80, 0x3F, 0, 0, 0, 0x40, 0, 0, 0xC0, 0xBF};
    const Bytes big = {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                       0x3F, 0x80, 0, 0, 0x40, 0, 0, 0, 0xBF, 0xC0, 0, 0};
    for (bool swap : {false, true}) {
        SCOPED_TRACE(swap);
        IOBuffer b(v->getHeaderSizeInBytes() + v->getSizeInBytes(), swap, IOBuffer::AllocatorHandle());
        ASSERT_EQ(v->writeToBinary(b), kSuccess);
        EXPECT_EQ(written(b), swap ? big : little);
        // The vector itself is untouched by the swapped write.
        EXPECT_EQ(static_cast<float const*>(v->getConstDataPtr())[0], 1.0f);

        b.seek(0);
        long st = -1;
        auto back = DataVector::create(b, st);
        ASSERT_EQ(st, kSuccess);
        ASSERT_NE(dynamic_cast<TDataVector1D<TDataType<0>>*>(back.get()), nullptr);
        EXPECT_EQ(back->getDimension(0), 3u);
        EXPECT_EQ(back->getCompressionMethod(), kCompressionNone);
        EXPECT_EQ(valueBytes(*back), valueBytes(*v));
        EXPECT_EQ(b.tell(), 40u);
        EXPECT_EQ(back.use_count(), 1);

        // Read with the other flag: dimension count 256, no vector.
        IOBuffer other = bufferOf(written(b), !swap);
        auto none = DataVector::create(other, st);
        EXPECT_EQ(st, kErrCannotCreateVector);
        EXPECT_FALSE(none);
    }
}

TEST(DataVectorBinary, HeaderOfEveryDimensionCount)
{
    using P4 = ZELUNnPoint<unsigned, 4>;
    auto v4 = DataVectorND<4>::create(DataType(DataType::kUInt16, 2), P4(1, 2, 3, 4));
    IOBuffer b(28 + v4->getSizeInBytes(), true, IOBuffer::AllocatorHandle());
    ASSERT_EQ(v4->writeToBinary(b), kSuccess);
    Bytes head(b.getStartPtr(), b.getStartPtr() + 28);
    EXPECT_EQ(head, (Bytes{0, 0, 0, 5, 0, 0, 0, 2, 0, 4, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4}));
    auto v2 = DataVectorND<2>::create(DataType(DataType::kVec3, 0), P2(2, 1));
    IOBuffer c(28 + 48, false, IOBuffer::AllocatorHandle());
    ASSERT_EQ(v2->writeToBinary(c), kSuccess);
    EXPECT_EQ(Bytes(c.getStartPtr(), c.getStartPtr() + 28), vectorHeader(11, 0, 2, 0, {2, 1}));
}

TEST(DataVectorBinary, SwapsPerComponent)
{
    auto v = DataVectorND<1>::create(DataType(DataType::kVec3, 0), P1(1));
    static_cast<ZELUNVec3<double>*>(v->getDataPtr())[0] = ZELUNVec3<double>(1.0, 2.0, -2.0);
    IOBuffer b(28 + 24, true, IOBuffer::AllocatorHandle());
    ASSERT_EQ(v->writeToBinary(b), kSuccess);
    EXPECT_EQ(Bytes(b.getStartPtr() + 28, b.getEndPtr()),
              (Bytes{0x3F, 0xF0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0}));

    auto t = DataVectorND<1>::create(DataType(DataType::kInt16, 3), P1(1));
    short* s = static_cast<short*>(t->getDataPtr());
    s[0] = 0x0102;
    s[1] = 0x0304;
    s[2] = -2;
    IOBuffer tb(28 + 6, true, IOBuffer::AllocatorHandle());
    ASSERT_EQ(t->writeToBinary(tb), kSuccess);
    EXPECT_EQ(Bytes(tb.getStartPtr() + 28, tb.getEndPtr()), (Bytes{1, 2, 3, 4, 0xFF, 0xFE}));

    auto u8 = DataVectorND<1>::create(DataType(DataType::kUInt8, 2), P1(1));
    static_cast<unsigned char*>(u8->getDataPtr())[1] = 9;
    IOBuffer ub(30, true, IOBuffer::AllocatorHandle());
    ASSERT_EQ(u8->writeToBinary(ub), kSuccess);
    EXPECT_EQ(Bytes(ub.getStartPtr() + 28, ub.getEndPtr()), (Bytes{0, 9}));
}

TEST(DataVectorBinary, ZlibFraming)
{
    auto empty = DataVectorND<2>::create(DataType(DataType::kFloat32, 0), P2(0, 3));
    empty->setCompressionMethod(kCompressionZlib);
    EXPECT_EQ(empty->getHeaderSizeInBytes(), 44u);
    IOBuffer b(44, false, IOBuffer::AllocatorHandle());
    ASSERT_EQ(empty->writeToBinary(b), kSuccess);
    Bytes all = written(b);
    ASSERT_EQ(all.size(), 40u);
    EXPECT_EQ(all[10], 1);
    EXPECT_EQ(Bytes(all.begin() + 28, all.end()), (Bytes{8, 0, 0, 0, 0x78, 0x01, 0x03, 0, 0, 0, 0, 1}));

    // Compressible values: the stream after the length inflates with plain zlib.
    for (bool swap : {false, true}) {
        auto v = DataVectorND<2>::create(DataType(DataType::kUInt16, 0), P2(100, 50));
        auto* p = static_cast<unsigned short*>(v->getDataPtr());
        for (int i = 0; i < 5000; ++i) p[i] = static_cast<unsigned short>(i % 7 + 256);
        v->setCompressionMethod(kCompressionZlib);
        IOBuffer z(v->getHeaderSizeInBytes() + v->getSizeInBytes(), swap, IOBuffer::AllocatorHandle());
        ASSERT_EQ(v->writeToBinary(z), kSuccess);
        z.seek(28);
        unsigned length = 0;
        z.read(length);
        EXPECT_EQ(z.tell() + length, written(z).size() ? z.tell() + length : 0u);
        std::vector<unsigned char> raw(10000);
        uLongf rawLen = raw.size();
        ASSERT_EQ(uncompress(raw.data(), &rawLen, z.getCurPtr(), length), Z_OK);
        ASSERT_EQ(rawLen, 10000u);
        EXPECT_EQ(raw[0], swap ? 1 : 0);  // 256 = 00 01 little-endian, 01 00 big-endian
        z.seek(0);
        long st = -1;
        auto back = DataVector::create(z, st);
        ASSERT_EQ(st, kSuccess);
        EXPECT_EQ(back->getCompressionMethod(), kCompressionZlib);
        EXPECT_EQ(valueBytes(*back), valueBytes(*v));
    }
}

TEST(DataVectorBinary, CompressionOverhead)
{
    struct Case {
        unsigned bytes;
        unsigned overhead;
    };
    for (Case c : {Case{0, 16}, Case{1, 17}, Case{1000, 17}, Case{1001, 18}, Case{2000, 18}}) {
        auto v = DataVectorND<1>::create(DataType(DataType::kUInt8, 0), P1(c.bytes));
        EXPECT_EQ(v->getHeaderSizeInBytes(), 28u);
        v->setCompressionMethod(kCompressionZlib);
        EXPECT_EQ(v->getHeaderSizeInBytes(), 28u + c.overhead) << c.bytes;
    }
}

TEST(DataVectorBinary, ReadIntoExistingVectorAdoptsLastDimension)
{
    auto stored = DataVectorND<2>::create(DataType(DataType::kInt32, 0), P2(4, 3));
    for (int i = 0; i < 12; ++i) static_cast<int*>(stored->getDataPtr())[i] = i * 11;
    stored->setCompressionMethod(kCompressionZlib);
    IOBuffer b(stored->getHeaderSizeInBytes() + stored->getSizeInBytes(), false, IOBuffer::AllocatorHandle());
    ASSERT_EQ(stored->writeToBinary(b), kSuccess);

    auto ok = DataVectorND<2>::create(DataType(DataType::kInt32, 0), P2(4, 10));
    b.seek(0);
    EXPECT_EQ(ok->readFromBinary(b), kSuccess);
    EXPECT_EQ(ok->getDimensions(), P2(4, 3));
    EXPECT_EQ(valueBytes(*ok), valueBytes(*stored));
    EXPECT_EQ(ok->getCompressionMethod(), kCompressionZlib);

    auto wide = DataVectorND<2>::create(DataType(DataType::kInt32, 0), P2(5, 3));
    b.seek(0);
    EXPECT_EQ(wide->readFromBinary(b), kErrVectorHeaderMismatch);
    EXPECT_EQ(wide->getDimensions(), P2(5, 3));
    EXPECT_EQ(b.tell(), 28u);

    // The other dimensions are compared before the last one is adopted: a
    // refused read leaves the vector as it was.
    auto other = DataVectorND<2>::create(DataType(DataType::kInt32, 0), P2(5, 7));
    b.seek(0);
    EXPECT_EQ(other->readFromBinary(b), kErrVectorHeaderMismatch);
    EXPECT_EQ(other->getDimensions(), P2(5, 7));
    EXPECT_EQ(other->getCompressionMethod(), kCompressionNone);

    auto locked = DataVectorND<2>::create(DataType(DataType::kInt32, 0), P2(4, 3));
    locked->setResizeable(false);
    b.seek(0);
    EXPECT_EQ(locked->readFromBinary(b), kErrNotResizeable);

    for (DataType t : {DataType(DataType::kInt32, 1), DataType(DataType::kUInt32, 0)}) {
        auto wrongType = DataVectorND<2>::create(t, P2(4, 3));
        b.seek(0);
        EXPECT_EQ(wrongType->readFromBinary(b), kErrVectorHeaderMismatch);
    }
    auto wrongCount = DataVectorND<3>::create(DataType(DataType::kInt32, 0), ZELUNnPoint<unsigned, 3>(4, 3, 1));
    b.seek(0);
    EXPECT_EQ(wrongCount->readFromBinary(b), kErrVectorHeaderMismatch);
}

TEST(DataVectorBinary, HostileAndBrokenRecords)
{
    long st = 0;
    {  // compression byte 2: both readers refuse after 28 bytes
        IOBuffer b = bufferOf(vectorHeader(0, 0, 1, 2, {1}), false, 4);
        EXPECT_FALSE(DataVector::create(b, st));
        EXPECT_EQ(st, kErrUnknownCompression);
        EXPECT_EQ(b.tell(), 28u);
        auto v = floats({0});
        b.seek(0);
        EXPECT_EQ(v->readFromBinary(b), kErrUnknownCompression);
    }
    for (unsigned short n : {0, 5}) {  // dimension counts without a class
        IOBuffer b = bufferOf(vectorHeader(0, 0, n, 0, {1, 1, 1, 1}), false, 64);
        EXPECT_FALSE(DataVector::create(b, st));
        EXPECT_EQ(st, kErrCannotCreateVector);
    }
    {  // type code 10
        IOBuffer b = bufferOf(vectorHeader(10, 0, 2, 0, {1, 1}), false, 64);
        EXPECT_FALSE(DataVector::create(b, st));
        EXPECT_EQ(st, kErrCannotCreateVector);
    }
    {  // dimensions beyond the count: create ignores them, readFromBinary does not
        Bytes rec = vectorHeader(0, 0, 1, 0, {1, 9});
        rec.insert(rec.end(), {0, 0, 0x80, 0x3F});
        IOBuffer b = bufferOf(rec, false);
        auto v = DataVector::create(b, st);
        ASSERT_EQ(st, kSuccess);
        EXPECT_EQ(v->getDimension(0), 1u);
        b.seek(0);
        auto target = floats({5});
        EXPECT_EQ(target->readFromBinary(b), kErrVectorHeaderMismatch);
    }
    {  // values cut short: refused before the vector is allocated
        IOBuffer b = bufferOf(vectorHeader(1, 0, 2, 0, {0x4000, 0x4000}), false, 16);
        EXPECT_FALSE(DataVector::create(b, st));
        EXPECT_EQ(st, kErrBufferExhausted);
        auto target = DataVectorND<2>::create(DataType(DataType::kFloat64, 0), P2(0x4000, 1));
        b.seek(0);
        EXPECT_EQ(target->readFromBinary(b), kErrBufferExhausted);
        EXPECT_EQ(target->getDimensions(), P2(0x4000, 1));  // nothing adopted
    }
    {  // more values than any vector may hold: refused, 64-bit products
        IOBuffer b = bufferOf(vectorHeader(5, 0x40000000, 1, 0, {4}), false, 16);
        EXPECT_FALSE(DataVector::create(b, st));
        EXPECT_EQ(st, kErrCannotCreateVector);
        IOBuffer c = bufferOf(vectorHeader(3, 0, 4, 1, {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}), false, 16);
        EXPECT_FALSE(DataVector::create(c, st));
        EXPECT_EQ(st, kErrCannotCreateVector);
    }
    {  // a compressed record that cannot inflate to what it declares
        Bytes rec = vectorHeader(3, 0, 2, 1, {60000, 60000});
        rec.insert(rec.end(), {8, 0, 0, 0, 0x78, 0x01, 0x03, 0, 0, 0, 0, 1});
        IOBuffer b = bufferOf(rec, false);
        EXPECT_FALSE(DataVector::create(b, st));
        EXPECT_EQ(st, kErrDecompressFailed);
    }
    {  // stream length beyond the buffer, and a damaged stream
        Bytes rec = vectorHeader(3, 0, 1, 1, {4});
        rec.insert(rec.end(), {200, 0, 0, 0, 0x78, 0x01});
        IOBuffer b = bufferOf(rec, false);
        EXPECT_FALSE(DataVector::create(b, st));
        EXPECT_EQ(st, kErrCompressedLengthTooLong);
        EXPECT_EQ(b.tell(), 32u);

        Bytes bad = vectorHeader(3, 0, 1, 1, {4});
        bad.insert(bad.end(), {8, 0, 0, 0, 0x78, 0x01, 0x03, 0, 0, 0, 0, 2});
        IOBuffer c = bufferOf(bad, false);
        EXPECT_FALSE(DataVector::create(c, st));
        EXPECT_EQ(st, kErrDecompressFailed);
    }
    {  // a stream that inflates to fewer bytes leaves the rest zero
        Bytes rec = vectorHeader(3, 0, 1, 1, {4});
        rec.insert(rec.end(), {8, 0, 0, 0, 0x78, 0x01, 0x03, 0, 0, 0, 0, 1});
        IOBuffer b = bufferOf(rec, false);
        auto v = DataVector::create(b, st);
        ASSERT_EQ(st, kSuccess);
        EXPECT_EQ(valueBytes(*v), Bytes(4, 0));
    }
}

// A vector class of the host's with more dimensions than the form stores:
// the read compares the four stored fields and asks it to adopt a last
// dimension of 0 (there is no stored field for it).
TEST(DataVectorBinary, ReadIntoForeignVectorOfFiveDimensions)
{
    zorvtest::ForeignDataVector foreign(DataType(DataType::kUInt8, 0), {2, 2, 2, 2, 3});
    IOBuffer b = bufferOf(vectorHeader(3, 0, 5, 0, {2, 2, 2, 2}), false, 8);
    EXPECT_EQ(foreign.readFromBinary(b), kSuccess);
    EXPECT_EQ(foreign.resizeCalls(), (std::vector<unsigned>{0}));
    EXPECT_EQ(b.tell(), 28u);

    foreign.setDimensions({2, 2, 2, 3, 3});
    b.seek(0);
    EXPECT_EQ(foreign.readFromBinary(b), kErrVectorHeaderMismatch);
    foreign.setResizeable(false);
    b.seek(0);
    EXPECT_EQ(foreign.readFromBinary(b), kErrNotResizeable);
    EXPECT_EQ(foreign.resizeCalls().size(), 1u);
}

TEST(DataVectorBinary, WriteFailures)
{
    auto v = floats({1, 2, 3});
    {  // room for the header only
        IOBuffer b(30, false, IOBuffer::AllocatorHandle());
        EXPECT_EQ(v->writeToBinary(b), kErrBufferExhausted);
        EXPECT_EQ(b.tell(), 28u);
    }
    {  // zlib with fewer than 4 bytes behind the header
        v->setCompressionMethod(kCompressionZlib);
        IOBuffer b(31, false, IOBuffer::AllocatorHandle());
        EXPECT_EQ(v->writeToBinary(b), kErrCompressFailed);
        EXPECT_EQ(b.tell(), 28u);
        EXPECT_EQ(Bytes(b.getStartPtr() + 28, b.getEndPtr()), Bytes(3, 0));
        IOBuffer exact(28, false, IOBuffer::AllocatorHandle());
        EXPECT_EQ(v->writeToBinary(exact), kErrCompressFailed);
    }
    for (unsigned method : {2u, 257u, 0x80000001u}) {  // no reader accepts these
        v->setCompressionMethod(static_cast<CompressionMethod>(method));
        IOBuffer b(100, false, IOBuffer::AllocatorHandle());
        EXPECT_EQ(v->writeToBinary(b), kErrUnknownCompression) << method;
        EXPECT_EQ(b.tell(), 0u);
    }
}

TEST(DataVectorBinary, RoundTripEveryElementType)
{
    for (DataType const& t : zorvtest::allElementTypes(2))
        for (CompressionMethod m : {kCompressionNone, kCompressionZlib})
            for (bool swap : {false, true}) {
                auto v = DataVectorND<3>::create(t, ZELUNnPoint<unsigned, 3>(3, 2, 2));
                auto* p = static_cast<unsigned char*>(v->getDataPtr());
                for (unsigned i = 0; i < v->getSizeInBytes(); ++i) p[i] = static_cast<unsigned char>(i * 13 + 1);
                v->setCompressionMethod(m);
                IOBuffer b(v->getHeaderSizeInBytes() + v->getSizeInBytes(), swap, IOBuffer::AllocatorHandle());
                ASSERT_EQ(v->writeToBinary(b), kSuccess);
                b.seek(0);
                long st = -1;
                auto back = DataVector::create(b, st);
                ASSERT_EQ(st, kSuccess) << t.getType() << "/" << t.getTupleLength();
                EXPECT_EQ(back->getDataType(), t);
                EXPECT_EQ(back->getNumDimensions(), 3u);
                EXPECT_EQ(back->getCompressionMethod(), m);
                EXPECT_EQ(valueBytes(*back), valueBytes(*v));
            }
}

TEST(DataVectorHeaderRecord, DefaultsAndSize)
{
    DataVectorHeader h;
    EXPECT_EQ(h.m_type, DataType());
    EXPECT_EQ(h.m_numDimensions, 0);
    EXPECT_EQ(h.getSerializedSize(), 28u);
    EXPECT_FALSE(h.createDataVector());
}
