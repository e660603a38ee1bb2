// Value storage of 4 MiB and more comes from huge-page mappings: the blocks
// are zero, 2 MiB-aligned, keep values across resizes that cross the 4 MiB
// line both ways, and a mapping that cannot be had is an ordinary
// out-of-memory.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "support/AllocationLimit.h"
#include "zorvsupport/datavector/StorageTestHooks.h"
#include "zorvsupport/datavector/TDataVector.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

using P2 = ZELUNnPoint<unsigned, 2>;
constexpr unsigned kMiB = 1u << 20;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

boost::shared_ptr<DataVectorND<2>> bytesGrid(P2 dims)
{
    return DataVectorND<2>::create(DataType(DataType::kUInt8, 0), dims);
}

bool allZero(unsigned char const* p, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (p[i]) return false;
    return true;
}

unsigned char at(DataVectorND<2> const& v, unsigned x, unsigned y)
{
    return static_cast<unsigned char const*>(v.getConstDataPtr())[std::size_t(y) * v.getDimensions()[0] + x];
}

}  // namespace

TEST(LargeBlocks, FreshBlocksAroundTheMappingLineAreZeroAndWritable)
{
    // Byte counts just below, at and above 4 MiB, and a large one.
    unsigned const rows[] = {4 * 1024 - 1, 4 * 1024, 4 * 1024 + 1, 16 * 1024};
    for (unsigned r : rows) {
        SCOPED_TRACE(r);
        auto v = bytesGrid(P2(1024, r));
        ASSERT_EQ(v->getSizeInBytes(), 1024u * r);
        auto* p = static_cast<unsigned char*>(v->getDataPtr());
        EXPECT_TRUE(allZero(p, v->getSizeInBytes()));
        if (!kSanitized && v->getSizeInBytes() >= 4 * kMiB) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % (2 * kMiB), 0u);
        }
        std::memset(p, 0x5A, v->getSizeInBytes());
        auto copy = v->clone();
        EXPECT_EQ(std::memcmp(copy->getConstDataPtr(), p, v->getSizeInBytes()), 0);
    }
}

TEST(LargeBlocks, PreservingResizesAcrossTheMappingLineKeepValues)
{
    // 2 MiB -> 6 MiB -> 1 MiB: a calloc block replaced by a mapping and back.
    auto v = bytesGrid(P2(1024, 2048));
    auto* p = static_cast<unsigned char*>(v->getDataPtr());
    for (std::size_t i = 0; i < v->getSizeInBytes(); ++i) p[i] = static_cast<unsigned char>(i % 251 + 1);

    ASSERT_EQ(v->resize(P2(1536, 4096), true), kSuccess);
    EXPECT_EQ(at(*v, 0, 0), 1);
    EXPECT_EQ(at(*v, 1023, 2047), static_cast<unsigned char>((2048u * 1024 - 1) % 251 + 1));
    EXPECT_EQ(at(*v, 1024, 0), 0);     // new column
    EXPECT_EQ(at(*v, 1535, 4095), 0);  // new row

    ASSERT_EQ(v->resize(P2(512, 2048), true), kSuccess);
    EXPECT_EQ(at(*v, 511, 2047), static_cast<unsigned char>((2047u * 1024 + 511) % 251 + 1));

    // Growing the last dimension of a mapped block zero-fills the new rows.
    auto w = bytesGrid(P2(1024, 8192));
    std::memset(w->getDataPtr(), 7, w->getSizeInBytes());
    ASSERT_EQ(w->resizeLastDimension(4096), kSuccess);
    ASSERT_EQ(w->resizeLastDimension(9000), kSuccess);
    auto const* q = static_cast<unsigned char const*>(w->getConstDataPtr());
    EXPECT_EQ(q[4096u * 1024 - 1], 7);
    EXPECT_TRUE(allZero(q + 4096u * 1024, (9000u - 4096u) * 1024));
}

TEST(LargeBlocks, MappingThatCannotBeHadIsOutOfMemory)
{
    auto v = bytesGrid(P2(1024, 8));
    std::memset(v->getDataPtr(), 3, v->getSizeInBytes());
    void* const data = v->getDataPtr();

    // The test hook fails large blocks like small ones.
    DataVectorImp::failNextStorageAllocations(1);
    EXPECT_EQ(v->resize(P2(1024, 8192), true), kErrOutOfMemory);
    DataVectorImp::failNextStorageAllocations(0);
    EXPECT_EQ(v->getDimensions(), P2(1024, 8));
    EXPECT_EQ(v->getDataPtr(), data);

    zorvtest::AllocationLimit limit(64ull * kMiB);
    if (!limit.active()) GTEST_SKIP() << "address space cannot be capped here";
    // A 1 GiB mapping: resizes report it, reserve lets std::bad_alloc out, and
    // the vector keeps its dimensions, block and values.
    EXPECT_EQ(v->resize(P2(1024, 1024 * 1024), true), kErrOutOfMemory);
    EXPECT_EQ(v->resize(P2(1024, 1024 * 1024), false), kErrOutOfMemory);
    EXPECT_EQ(v->resizeLastDimension(1024 * 1024), kErrOutOfMemory);
    EXPECT_THROW(v->reserve(1024u * 1024 * 1024), std::bad_alloc);
    EXPECT_EQ(v->getDimensions(), P2(1024, 8));
    EXPECT_EQ(v->getDataPtr(), data);
    auto const* p = static_cast<unsigned char const*>(v->getConstDataPtr());
    EXPECT_EQ(p[0], 3);
    EXPECT_EQ(p[1024 * 8 - 1], 3);
}
