#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "zorvsupport/types/IOBuffer.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

std::vector<unsigned char> bytesOf(IOBuffer const& b)
{
    return std::vector<unsigned char>(b.getStartPtr(), b.getStartPtr() + b.getSizeInBytes());
}

using Bytes = std::vector<unsigned char>;

// Counts the allocator calls and checks that every block comes back with its size.
struct CountingAllocator : IOBuffer::BufferAllocator {
    int allocations = 0;
    int deallocations = 0;
    unsigned lastAllocated = 0;
    unsigned char* allocate(unsigned n) override
    {
        ++allocations;
        lastAllocated = n;
        return new unsigned char[n];
    }
    void deallocate(unsigned char* p, unsigned) override
    {
        ++deallocations;
        delete[] p;
    }
};

}  // namespace

TEST(IOBuffer, EmptyBuffer)
{
    IOBuffer b(0, false, IOBuffer::AllocatorHandle());
    EXPECT_EQ(b.getSizeInBytes(), 0u);
    EXPECT_EQ(b.tell(), 0u);
    EXPECT_EQ(b.getStartPtr(), nullptr);
    EXPECT_EQ(b.getEndPtr(), nullptr);
    EXPECT_EQ(b.getCurPtr(), nullptr);
    EXPECT_TRUE(b.isSpaceAvailable(0));
    EXPECT_FALSE(b.isSpaceAvailable(1));
    unsigned char u8 = 0;
    unsigned u32 = 0;
    double d = 0;
    EXPECT_EQ(b.read(u8), kErrBufferExhausted);
    EXPECT_EQ(b.read(u32), kErrBufferExhausted);
    EXPECT_EQ(b.write(d), kErrBufferExhausted);
    EXPECT_EQ(b.seek(0), kSuccess);
    EXPECT_EQ(b.seek(1), kErrSeekOutOfRange);
}

TEST(IOBuffer, NewBufferIsZeroed)
{
    IOBuffer b(16, false, IOBuffer::AllocatorHandle());
    EXPECT_EQ(bytesOf(b), Bytes(16, 0));
    EXPECT_EQ(b.getCurPtr(), b.getStartPtr());
    EXPECT_EQ(b.getEndPtr(), b.getStartPtr() + 16);
}

TEST(IOBuffer, ExhaustedWriteLeavesPosition)
{
    IOBuffer b(8, false, IOBuffer::AllocatorHandle());
    EXPECT_EQ(b.write(1u), kSuccess);
    EXPECT_EQ(b.write(2u), kSuccess);
    EXPECT_EQ(b.write(3u), kErrBufferExhausted);
    EXPECT_EQ(b.tell(), 8u);
    EXPECT_EQ(bytesOf(b), (Bytes{1, 0, 0, 0, 2, 0, 0, 0}));
}

// Stored bytes of each typed write, with the swap flag clear and set.
TEST(IOBuffer, ByteLayoutBothOrders)
{
    struct Case {
        const char* what;
        std::function<long(IOBuffer&)> write;
        std::function<bool(IOBuffer const&)> readBack;
        Bytes little;
    };
    std::vector<Case> cases = {
        {"u16", [](IOBuffer& b) { return b.write(static_cast<unsigned short>(0x0102)); },
         [](IOBuffer const& b) { unsigned short v = 0; return b.read(v) == 0 && v == 0x0102; }, {0x02, 0x01}},
        {"s16", [](IOBuffer& b) { return b.write(static_cast<short>(-2)); },
         [](IOBuffer const& b) { short v = 0; return b.read(v) == 0 && v == -2; }, {0xFE, 0xFF}},
        {"i32", [](IOBuffer& b) { return b.write(0x01020304); },
         [](IOBuffer const& b) { int v = 0; return b.read(v) == 0 && v == 0x01020304; }, {4, 3, 2, 1}},
        {"u32", [](IOBuffer& b) { return b.write(0xA1B2C3D4u); },
         [](IOBuffer const& b) { unsigned v = 0; return b.read(v) == 0 && v == 0xA1B2C3D4u; }, {0xD4, 0xC3, 0xB2, 0xA1}},
        {"f32", [](IOBuffer& b) { return b.write(1.0f); },
         [](IOBuffer const& b) { float v = 0; return b.read(v) == 0 && v == 1.0f; }, {0, 0, 0x80, 0x3F}},
        {"f64", [](IOBuffer& b) { return b.write(-2.0); },
         [](IOBuffer const& b) { double v = 0; return b.read(v) == 0 && v == -2.0; }, {0, 0, 0, 0, 0, 0, 0, 0xC0}},
        {"i64", [](IOBuffer& b) { return b.write(0x0102030405060708LL); },
         [](IOBuffer const& b) { long long v = 0; return b.read(v) == 0 && v == 0x0102030405060708LL; },
         {8, 7, 6, 5, 4, 3, 2, 1}},
        {"u64", [](IOBuffer& b) { return b.write(0xF0E0D0C0B0A09080ULL); },
         [](IOBuffer const& b) { unsigned long long v = 0; return b.read(v) == 0 && v == 0xF0E0D0C0B0A09080ULL; },
         {0x80, 0x90, 0xA0, 0xB0, 0xC0, 0xD0, 0xE0, 0xF0}},
    };
    for (auto const& c : cases) {
        for (bool swap : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (swap ? " swapped" : " native"));
            IOBuffer b(static_cast<unsigned>(c.little.size()), swap, IOBuffer::AllocatorHandle());
            ASSERT_EQ(c.write(b), kSuccess);
            Bytes expected = c.little;
            if (swap) std::reverse(expected.begin(), expected.end());
            EXPECT_EQ(bytesOf(b), expected);
            b.seek(0);
            EXPECT_TRUE(c.readBack(b));
            EXPECT_EQ(b.tell(), b.getSizeInBytes());
        }
    }
}

TEST(IOBuffer, OneByteValuesNeverSwapped)
{
    for (bool swap : {false, true}) {
        IOBuffer b(2, swap, IOBuffer::AllocatorHandle());
        EXPECT_EQ(b.write(static_cast<signed char>(-1)), kSuccess);
        EXPECT_EQ(b.write(static_cast<unsigned char>(0x7A)), kSuccess);
        EXPECT_EQ(bytesOf(b), (Bytes{0xFF, 0x7A}));
    }
}

TEST(IOBuffer, Vec3SwapsEachComponentAndTransfersPartially)
{
    ZELUNVec3<double> v(1.0, 2.0, -2.0);
    IOBuffer full(24, true, IOBuffer::AllocatorHandle());
    ASSERT_EQ(full.write(v), kSuccess);
    // 1.0 = 3FF0..., 2.0 = 4000..., -2.0 = C000..., each big-endian.
    Bytes expected = {0x3F, 0xF0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(bytesOf(full), expected);

    for (unsigned left : {8u, 16u}) {
        SCOPED_TRACE(left);
        IOBuffer b(left, false, IOBuffer::AllocatorHandle());
        EXPECT_EQ(b.write(v), kErrBufferExhausted);
        EXPECT_EQ(b.tell(), left);
        b.seek(0);
        ZELUNVec3<double> r(9, 9, 9);
        EXPECT_EQ(b.read(r), kErrBufferExhausted);
        EXPECT_EQ(b.tell(), left);
        EXPECT_EQ(r.x, 1.0);
        EXPECT_EQ(r.y, left == 16 ? 2.0 : 9.0);
        EXPECT_EQ(r.z, 9.0);
    }
}

TEST(IOBuffer, RawBlocks)
{
    IOBuffer b(4, true, IOBuffer::AllocatorHandle());
    unsigned char src[] = {1, 2, 3};
    EXPECT_EQ(b.write(src, 3), kSuccess);
    EXPECT_EQ(b.write(src, 3), kErrBufferExhausted);
    EXPECT_EQ(b.tell(), 3u);
    b.seek(0);
    unsigned char dst[4] = {9, 9, 9, 9};
    EXPECT_EQ(b.read(dst, 4), kSuccess);
    EXPECT_EQ(Bytes(dst, dst + 4), (Bytes{1, 2, 3, 0}));
    EXPECT_EQ(b.read(dst, 1), kErrBufferExhausted);
    EXPECT_EQ(b.read(dst, 0), kSuccess);
}

TEST(IOBuffer, FailedReadLeavesTargetAndPosition)
{
    IOBuffer b(3, false, IOBuffer::AllocatorHandle());
    b.seek(1);
    unsigned v = 77;
    EXPECT_EQ(b.read(v), kErrBufferExhausted);
    EXPECT_EQ(v, 77u);
    EXPECT_EQ(b.tell(), 1u);
}

TEST(IOBuffer, SeekBoundaries)
{
    IOBuffer b(6, false, IOBuffer::AllocatorHandle());
    EXPECT_EQ(b.seek(6), kSuccess);
    EXPECT_EQ(b.getCurPtr(), b.getEndPtr());
    unsigned char c;
    EXPECT_EQ(b.read(c), kErrBufferExhausted);
    EXPECT_EQ(b.seek(7), kErrSeekOutOfRange);
    EXPECT_EQ(b.tell(), 6u);
    EXPECT_EQ(b.seek(0xFFFFFFFFu), kErrSeekOutOfRange);
    EXPECT_TRUE(b.isSpaceAvailable(0));
    b.seek(2);
    EXPECT_TRUE(b.isSpaceAvailable(4));
    EXPECT_FALSE(b.isSpaceAvailable(5));
    EXPECT_FALSE(b.isSpaceAvailable(0xFFFFFFFFu));
}

TEST(IOBuffer, ResizeKeepsOrResetsPosition)
{
    IOBuffer b(8, false, IOBuffer::AllocatorHandle());
    b.write(0x11223344u);
    b.write(0x55667788u);
    b.seek(6);

    EXPECT_EQ(b.resize(12), kSuccess);  // larger: position kept, zeros appended
    EXPECT_EQ(b.tell(), 6u);
    EXPECT_EQ(bytesOf(b), (Bytes{0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55, 0, 0, 0, 0}));

    EXPECT_EQ(b.resize(6), kSuccess);  // exactly the position: kept at the new end
    EXPECT_EQ(b.tell(), 6u);
    EXPECT_EQ(b.getCurPtr(), b.getEndPtr());

    EXPECT_EQ(b.resize(5), kSuccess);  // below the position: back to the start
    EXPECT_EQ(b.tell(), 0u);
    EXPECT_EQ(bytesOf(b), (Bytes{0x44, 0x33, 0x22, 0x11, 0x88}));

    // Growing again within the old capacity must not resurrect old bytes.
    EXPECT_EQ(b.resize(8), kSuccess);
    EXPECT_EQ(bytesOf(b), (Bytes{0x44, 0x33, 0x22, 0x11, 0x88, 0, 0, 0}));
}

TEST(IOBuffer, AllocatorUsedByConstructionNotByCopy)
{
    auto alloc = boost::shared_ptr<CountingAllocator>(new CountingAllocator);
    {
        IOBuffer b(10, true, alloc);
        EXPECT_EQ(alloc->allocations, 1);
        EXPECT_EQ(alloc->lastAllocated, 10u);
        b.write(static_cast<unsigned short>(0xBEEF));

        IOBuffer copy(b);
        EXPECT_EQ(alloc->allocations, 1);  // plain new[] for the copy
        EXPECT_EQ(bytesOf(copy), bytesOf(b));
        EXPECT_EQ(copy.getSwap(), true);
        EXPECT_EQ(copy.tell(), 2u);

        IOBuffer target(4, false, alloc);
        EXPECT_EQ(alloc->allocations, 2);
        target = b;  // lacks room: reallocated from its own allocator
        EXPECT_EQ(alloc->allocations, 3);
        EXPECT_EQ(alloc->deallocations, 1);
        EXPECT_EQ(bytesOf(target), bytesOf(b));
        EXPECT_EQ(target.tell(), 2u);
        EXPECT_TRUE(target.getSwap());

        IOBuffer small(2, false, IOBuffer::AllocatorHandle());
        target = small;  // has room: no new block
        EXPECT_EQ(alloc->allocations, 3);
        EXPECT_EQ(target.getSizeInBytes(), 2u);
        EXPECT_EQ(target.tell(), 0u);

        target.resize(100);
        EXPECT_EQ(alloc->allocations, 4);
        EXPECT_GE(alloc->lastAllocated, 100u);
    }
    EXPECT_EQ(alloc->allocations, alloc->deallocations);
}

TEST(IOBuffer, SelfAssignmentKeepsContents)
{
    IOBuffer b(4, false, IOBuffer::AllocatorHandle());
    b.write(0xDEADBEEFu);
    IOBuffer& alias = b;
    b = alias;
    EXPECT_EQ(bytesOf(b), (Bytes{0xEF, 0xBE, 0xAD, 0xDE}));
    EXPECT_EQ(b.tell(), 4u);
}
