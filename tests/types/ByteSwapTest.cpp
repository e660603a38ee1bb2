// Block byte swaps of vector values, on every SIMD target: swapped raw blocks
// through IOBuffer (copying swap) and swapped zlib streams read back (in-place
// swap after inflating).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "support/SimdTargets.h"
#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/types/IOBuffer.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

using Bytes = std::vector<unsigned char>;
using P1 = ZELUNnPoint<unsigned, 1>;

struct SwapCase {
    DataType::Type type;
    unsigned tuple;
    unsigned width;  // bytes of one component
};

// One per component width, plus a tuple and the 3-vector (three 8-byte
// components per value).
SwapCase const kSwapCases[] = {
    {DataType::kUInt8, 0, 1},   {DataType::kInt16, 0, 2}, {DataType::kFloat32, 0, 4},
    {DataType::kFloat64, 0, 8}, {DataType::kInt16, 3, 2}, {DataType::kVec3, 0, 8},
};

// Element counts around every vector width (16 to 64 bytes) and the four-fold
// unrolled loop, with and without a tail.
unsigned const kCounts[] = {0, 1, 3, 7, 8, 9, 15, 16, 17, 31, 33, 63, 64, 65, 127, 129, 255, 257, 1000, 4099};

boost::shared_ptr<DataVectorND<1>> patterned(SwapCase const& c, unsigned count)
{
    auto v = DataVectorND<1>::create(DataType(c.type, c.tuple), P1(count));
    auto* p = static_cast<unsigned char*>(v->getDataPtr());
    for (unsigned i = 0; i < v->getSizeInBytes(); ++i) p[i] = static_cast<unsigned char>(i * 7 + 3);
    return v;
}

Bytes valueBytes(DataVector const& v)
{
    auto const* p = static_cast<unsigned char const*>(v.getConstDataPtr());
    return p ? Bytes(p, p + v.getSizeInBytes()) : Bytes();
}

// The values with every `width`-byte component reversed.
Bytes swapped(Bytes b, unsigned width)
{
    for (std::size_t i = 0; i + width <= b.size(); i += width)
        for (unsigned j = 0; j < width / 2; ++j) std::swap(b[i + j], b[i + width - 1 - j]);
    return b;
}

}  // namespace

TEST(ByteSwap, SwappedRawBlocksReverseEveryComponentOnEveryTarget)
{
    forEachSimdTarget([] {
        for (SwapCase const& c : kSwapCases) {
            for (unsigned count : kCounts) {
                // Start 0, 1 and 3 bytes into the buffer: no alignment is assumed.
                for (unsigned lead : {0u, 1u, 3u}) {
                    SCOPED_TRACE(::testing::Message() << "type " << c.type << " tuple " << c.tuple << " count "
                                                      << count << " lead " << lead);
                    auto const v = patterned(c, count);
                    unsigned const n = v->getSizeInBytes();
                    IOBuffer buffer(lead + n + 2, true);
                    std::memset(buffer.getStartPtr(), 0xEE, lead + n + 2);
                    buffer.seek(lead);
                    ASSERT_EQ(buffer.write(*v), kSuccess);
                    unsigned char const* out = buffer.getStartPtr();
                    EXPECT_EQ(Bytes(out + lead, out + lead + n), swapped(valueBytes(*v), c.width));
                    EXPECT_EQ(Bytes(out, out + lead), Bytes(lead, 0xEE));
                    EXPECT_EQ(Bytes(out + lead + n, out + lead + n + 2), Bytes(2, 0xEE));

                    auto back = DataVectorND<1>::create(DataType(c.type, c.tuple), P1(count));
                    buffer.seek(lead);
                    ASSERT_EQ(buffer.read(*back), kSuccess);
                    EXPECT_EQ(valueBytes(*back), valueBytes(*v));
                }
            }
        }
    });
}

TEST(ByteSwap, SwappedZlibFormRoundTripsOnEveryTarget)
{
    forEachSimdTarget([] {
        for (SwapCase const& c : kSwapCases) {
            for (unsigned count : {0u, 9u, 65u, 4099u}) {
                SCOPED_TRACE(::testing::Message() << "type " << c.type << " count " << count);
                auto const v = patterned(c, count);
                v->setCompressionMethod(kCompressionZlib);
                // Room for an incompressible stream: values + 1 % + 64.
                IOBuffer buffer(v->getHeaderSizeInBytes() + v->getSizeInBytes() * 101 / 100 + 64, true);
                ASSERT_EQ(v->writeToBinary(buffer), kSuccess);

                buffer.seek(0);
                long status = -1;
                auto const created = DataVector::create(buffer, status);
                ASSERT_EQ(status, kSuccess);
                ASSERT_TRUE(created);
                EXPECT_EQ(valueBytes(*created), valueBytes(*v));

                auto into = DataVectorND<1>::create(DataType(c.type, c.tuple), P1(count));
                buffer.seek(0);
                ASSERT_EQ(into->readFromBinary(buffer), kSuccess);
                EXPECT_EQ(valueBytes(*into), valueBytes(*v));
            }
        }
    });
}

// Blocks of 8 MiB and more take the streamed copy where the destination can be
// aligned after whole components, and the ordinary one elsewhere; both give
// the same bytes, with the head and the tail around the aligned middle.
TEST(ByteSwap, LargeSwappedRawBlocksReverseEveryComponentOnEveryTarget)
{
    std::size_t const kBytes = (std::size_t(8) << 20) + 40;
    SwapCase const kLarge[] = {{DataType::kInt16, 0, 2}, {DataType::kFloat32, 0, 4}, {DataType::kFloat64, 0, 8}};
    forEachSimdTarget([&] {
        for (SwapCase const& c : kLarge) {
            auto const v = patterned(c, static_cast<unsigned>(kBytes / c.width));
            Bytes const expected = swapped(valueBytes(*v), c.width);
            unsigned const n = v->getSizeInBytes();
            // 28 is where the values of a stored vector start.
            for (unsigned lead : {0u, 1u, 4u, 28u}) {
                SCOPED_TRACE(::testing::Message() << "width " << c.width << " lead " << lead);
                IOBuffer buffer(lead + n + 2, true);
                std::memset(buffer.getStartPtr(), 0xEE, lead + n + 2);
                buffer.seek(lead);
                ASSERT_EQ(buffer.write(*v), kSuccess);
                unsigned char const* out = buffer.getStartPtr();
                EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out + lead));
                EXPECT_EQ(Bytes(out, out + lead), Bytes(lead, 0xEE));
                EXPECT_EQ(Bytes(out + lead + n, out + lead + n + 2), Bytes(2, 0xEE));
            }
        }
    });
}
