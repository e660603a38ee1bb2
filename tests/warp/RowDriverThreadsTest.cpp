// The row driver's threads when something fails: every thread that a call
// starts has finished when the call returns, no exception leaves a worker,
// and the output is untouched or complete (kErrOutOfMemory alone may leave
// it partly written).
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/Bytes.h"
#include "support/FailingAllocation.h"
#include "support/ForkedTrial.h"
#include "support/Threads.h"
#include "support/ThreadCount.h"
#include "warp/WarpTestSupport.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/warp/Samplers.h"
#include "zorvsupport/warp/ShadingSampler.h"
#include "zorvsupport/warp/WarpRows.h"
#include "zorvsupport/warp/WarpUtils.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace ZORV_3_13_0_::DataSet::WarpUtils;
using namespace zorvtest;
using testsupport::baselineTaskCount;
using testsupport::settledTaskCount;

namespace {

using I32 = TDataType<6>;
using U8x = TTupleDataType<TDataType<3>>;
using F32x = TTupleDataType<TDataType<0>>;

template <class T>
Bytes bytesOf(TDataVector2D<T> const& g)
{
    auto const* p = static_cast<unsigned char const*>(g.getConstDataPtr());
    std::size_t const n = std::size_t(g.size()) * g.getDataType().getTypeSize();
    return n ? Bytes(p, p + n) : Bytes();
}

// ---- The driver with hooks ----

// A mesh-derived transform without cells that maps every point to itself,
// and throws `error` on row `throwRow` (none when negative).
class IdentityMesh final : public MeshReprojectionTransform {
public:
    enum Error { kNone, kBadAlloc, kRuntime };
    explicit IdentityMesh(int throwRow = -1, Error error = kNone)
        : MeshReprojectionTransform(ZELUNnBox<double, 2>(), planeCover(0, 0, 1, 1), ZELUNnBox<double, 2>(),
                                    planeCover(0, 0, 1, 1), kMeshCellSize, m_status),
          m_throwRow(throwRow),
          m_error(error)
    {
    }
    bool transform(double x, double y, double& outX, double& outY) const override
    {
        if (static_cast<int>(y) == m_throwRow) {
            if (m_error == kBadAlloc) throw std::bad_alloc();
            throw std::runtime_error("transform");
        }
        outX = x;
        outY = y;
        return true;
    }

private:
    long m_status = 0;
    int m_throwRow;
    Error m_error;
};

// Writes a value made of the position and counts the pixels it wrote.
class PositionSampler final : public Sampler<I32> {
public:
    explicit PositionSampler(std::atomic<long>* written) : m_written(written) {}
    void sample(double x, double y, int& out) const override
    {
        out = static_cast<int>(y) * 100000 + static_cast<int>(x);
        m_written->fetch_add(1, std::memory_order_relaxed);
    }

private:
    std::atomic<long>* m_written;
};

int positionOf(unsigned c, unsigned r)
{
    return static_cast<int>(r) * 100000 + static_cast<int>(c);
}

// Starts threads into the driver's slots; start number `failAt` (1-based)
// starts its thread and then throws.
struct StartThenThrow {
    std::atomic<int>* started;
    int failAt;
    void operator()(boost::thread& slot, boost::function0<void> const& task) const
    {
        slot = boost::thread(task);
        if (++*started == failAt) throw std::runtime_error("started, then failed");
    }
};

// Starts threads on which every allocation fails.
struct StartWithoutMemory {
    void operator()(boost::thread& slot, boost::function0<void> const& task) const
    {
        slot = boost::thread([task] {
            FailingAllocation failing(1, FailingAllocation::kThatAndLater);
            task();
        });
    }
};

// A thread that started before its start failed keeps its band: every
// pixel is written once, the rest on the caller's thread, and the thread is
// joined before the driver returns.
TEST(RowDriverThreads, StartThatThrowsAfterStartingKeepsItsBand)
{
    int const baseline = baselineTaskCount();
    for (int failAt : {1, 4, 8}) {
        auto out = makeGrid(I32(), 60, 43);
        std::atomic<long> written{0};
        std::atomic<int> started{0};
        ThreadCountScope const threads(8);
        EXPECT_EQ((warpRowsThreaded<I32, PositionSampler>(*out, IdentityMesh(), PositionSampler(&written), 0, 43, -1,
                                                          StartThenThrow{&started, failAt})),
                  kSuccess);
        EXPECT_EQ(settledTaskCount(baseline), baseline) << failAt;
        EXPECT_EQ(started.load(), failAt);
        EXPECT_EQ(written.load(), 60 * 43) << failAt;
        auto const* p = static_cast<int const*>(out->getConstDataPtr());
        for (unsigned r = 0; r < 43; ++r)
            for (unsigned c = 0; c < 60; ++c) ASSERT_EQ(p[c + r * 60], positionOf(c, r)) << failAt;
    }
}

// The workers allocate nothing: on threads where every allocation fails,
// the library's mesh transform and samplers still write every pixel.
TEST(RowDriverThreads, WorkersAllocateNothing)
{
    ZELUNCoordSystem const utm("EPSG:32633"), geographic("EPSG:4326");
    ZELUNCover const inCover(utm, 500000, 5094000, 509000, 5103000);
    long status = 0;
    ZELUNCover const outCover = inCover.transformTo(geographic, status);
    ASSERT_EQ(status, 0);
    ZELUNnBox<double, 2> const outBox(ZELUNnPoint<double, 2>(0.0, 0.0), ZELUNnPoint<double, 2>(200.0, 160.0));
    ZELUNnBox<double, 2> const inBox(ZELUNnPoint<double, 2>(0.0, 0.0), ZELUNnPoint<double, 2>(300.0, 300.0));
    MeshReprojectionTransform const mesh(outBox, outCover, inBox, inCover, kMeshCellSize, status);
    ASSERT_EQ(status, 0);
    auto normals = makeGrid(F32x(3), 300, 300);
    for (unsigned r = 0; r < 300; ++r)
        for (unsigned c = 0; c < 300; ++c) setElement(*normals, c, r, std::sin(0.1 * c) * std::cos(0.07 * r));
    float const zero[3] = {0, 0, 0}, light[3] = {-0.5f, 0.5f, 0.7071f};
    std::uint8_t const fill[4] = {1, 2, 3, 4};
    ShadingSampler const shading(BilinearSampler<F32x>(3, normals.get(), ConstTupleProxy<F32x>(zero, 3)),
                                 ConstTupleProxy<F32x>(light, 3), kAmbient, kDiffuse);
    BilinearHoldNoDataSampler<F32x> const bilinear(3, normals.get(), ConstTupleProxy<F32x>(zero, 3));

    auto image = [] {
        auto g = makeGrid(U8x(4), 200, 160);
        for (unsigned r = 0; r < 160; ++r)
            for (unsigned c = 0; c < 200; ++c) setElement(*g, c, r, (c + 3 * r) % 250 + 1);
        return g;
    };
    int const baseline = baselineTaskCount();
    ThreadCountScope const threads(8);
    auto shaded = image(), reference = image();
    warpRowsThreaded<U8x, ShadingSampler>(*reference, mesh, shading, 0, 160, ConstTupleProxy<U8x>(fill, 4));
    warpRowsThreaded<U8x, ShadingSampler>(*shaded, mesh, shading, 0, 160, ConstTupleProxy<U8x>(fill, 4),
                                          StartWithoutMemory());
    EXPECT_EQ(bytesOf(*shaded), bytesOf(*reference));

    auto sampled = makeGrid(F32x(3), 200, 160), expected = makeGrid(F32x(3), 200, 160);
    warpRowsThreaded<F32x, BilinearHoldNoDataSampler<F32x>>(*expected, mesh, bilinear, 0, 160,
                                                            ConstTupleProxy<F32x>(zero, 3));
    warpRowsThreaded<F32x, BilinearHoldNoDataSampler<F32x>>(*sampled, mesh, bilinear, 0, 160,
                                                            ConstTupleProxy<F32x>(zero, 3), StartWithoutMemory());
    EXPECT_EQ(bytesOf(*sampled), bytesOf(*expected));
    EXPECT_EQ(settledTaskCount(baseline), baseline);
}

// An exception inside a band, on a worker or on the caller's thread, stops
// that band only; the driver joins every thread and then lets it out. The
// other threads' bands are written.
TEST(RowDriverThreads, ExceptionInABandComesOutAfterEveryThreadIsJoined)
{
    struct Case {
        int throwRow;
        IdentityMesh::Error error;
        int failStartAt;  // 0: all eight start
    } const cases[] = {
        {0, IdentityMesh::kBadAlloc, 0},   // band 0, a worker
        {79, IdentityMesh::kRuntime, 0},   // the last band, a worker
        {35, IdentityMesh::kBadAlloc, 3},  // band 3: the caller's, its start having failed
        {75, IdentityMesh::kRuntime, 3},   // the caller's last band
    };
    int const baseline = baselineTaskCount();
    for (Case const& c : cases) {
        auto out = makeGrid(I32(), 20, 80);  // bands of 10 rows
        std::fill_n(static_cast<int*>(out->getDataPtr()), out->size(), -7);
        std::atomic<long> written{0};
        int started = 0;
        auto start = [&](boost::thread& slot, boost::function0<void> const& task) {
            if (++started == c.failStartAt) throw std::runtime_error("no thread");
            slot = boost::thread(task);
        };
        ThreadCountScope const count(8);
        bool badAlloc = false, runtime = false;
        try {
            warpRowsThreaded<I32, PositionSampler>(*out, IdentityMesh(c.throwRow, c.error), PositionSampler(&written),
                                                   0, 80, -1, start);
        } catch (std::bad_alloc const&) {
            badAlloc = true;
        } catch (std::runtime_error const&) {
            runtime = true;
        }
        EXPECT_EQ(settledTaskCount(baseline), baseline) << c.throwRow;
        EXPECT_EQ(badAlloc, c.error == IdentityMesh::kBadAlloc) << c.throwRow;
        EXPECT_EQ(runtime, c.error == IdentityMesh::kRuntime) << c.throwRow;
        int const threads = c.failStartAt ? c.failStartAt - 1 : 8;
        auto const* p = static_cast<int const*>(out->getConstDataPtr());
        for (unsigned r = 0; r < 80; ++r) {
            int const band = static_cast<int>(r / 10);
            if (band >= threads || band == c.throwRow / 10) continue;
            for (unsigned col = 0; col < 20; ++col) ASSERT_EQ(p[col + r * 20], positionOf(col, r)) << c.throwRow;
        }
        // The throwing band stops at its row.
        EXPECT_EQ(p[20 * c.throwRow], -7) << c.throwRow;
    }
}

// ---- Whole calls under failing allocations ----

// A call on an output made fresh for each attempt: `make` gives the
// untouched output, `run` the call's status. Each failure point runs in a
// child process (the engine may end the process when an allocation of its
// own fails: ForkedTrial.h), where the call gives 0 with the complete
// output, kErrOutOfMemory with the output untouched or partly written, or
// any other status with it untouched; every thread it started is gone.
template <class Grid, class Make, class Run>
void everyAllocationFails(char const* what, Make make, Run run)
{
    ThreadCountScope const threads(8);
    auto warm = make();
    Bytes const untouched = bytesOf(*warm);
    ASSERT_EQ(run(*warm), kSuccess) << what;
    Bytes const complete = bytesOf(*warm);
    ASSERT_NE(complete, untouched) << what;
    struct Mode {
        FailingAllocation::Extent extent;
        FailingAllocation::Threads threads;
        char const* name;
    } const modes[] = {
        {FailingAllocation::kOnlyThat, FailingAllocation::kThisThread, "one failure on the caller's thread"},
        {FailingAllocation::kThatAndLater, FailingAllocation::kThisThread, "memory gone on the caller's thread"},
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
        // A sanitizer's runtime cannot start a thread while the allocations
        // of other threads fail (AddressSanitizer's check of the new thread's
        // attributes, ThreadSanitizer's state not yet made for it).
        {FailingAllocation::kThatAndLater, FailingAllocation::kAnyThread, "memory gone on every thread"},
#endif
    };
    // The trials' exits beside 0: the call failed, leaving the output as allowed.
    constexpr int kFailedCall = 4, kPartlyWritten = 5;
    for (Mode const& mode : modes) {
        unsigned failed = 0, partly = 0;
        unsigned const points = sweepForkedTrials(
            1, [](unsigned long n) { return n + 1; },
            [&](unsigned long n) {
                int const baseline = baselineTaskCount();
                auto out = make();
                long status = -1;
                bool reached = false;
                {
                    FailingAllocation failing(n, mode.extent, mode.threads);
                    status = run(*out);
                    reached = failing.reached();
                }
                Bytes const now = bytesOf(*out);
                std::string why;
                if (settledTaskCount(baseline) != baseline) why = "a thread left running";
                if (status == kSuccess && now != complete) why = "0 with other bytes";
                if (status != kSuccess && status != kErrOutOfMemory && now != untouched) why = "written, status " + std::to_string(status);
                if (!why.empty()) {
                    std::printf("%s, %s, point %lu: %s\n", what, mode.name, n, why.c_str());
                    return 1;
                }
                if (!reached) return kTrialBeyondTheLast;
                if (status == kSuccess) return 0;
                return now != untouched && now != complete ? kPartlyWritten : kFailedCall;
            },
            [&](unsigned long n, TrialEnd const& end) {
                bool const allowed = end.kind == TrialEnd::kFailed &&
                                     (end.exitCode == kFailedCall || end.exitCode == kPartlyWritten);
                failed += allowed;
                partly += allowed && end.exitCode == kPartlyWritten;
                EXPECT_TRUE(end.acceptable() || allowed) << what << ", " << mode.name << ", point " << n << ":\n"
                                                         << end.report;
            });
        EXPECT_GT(points, 8u) << what << ", " << mode.name;
        std::printf("%s, %s: %u failure points, %u failed calls, %u partly written\n", what, mode.name, points - 1,
                    failed, partly);
    }
}

TEST(RowDriverThreads, ReprojectionUnderFailingAllocations)
{
    ZELUNCover const inCover(ZELUNCoordSystem("EPSG:4326"), 12, 45, 15, 48);
    long status = 0;
    ZELUNCover const outCover = inCover.transformTo(ZELUNCoordSystem("EPSG:32633"), status);
    ASSERT_EQ(status, 0);
    F32x const tag(3);
    auto in = makeGrid(tag, 200, 200);
    for (unsigned r = 0; r < 200; ++r)
        for (unsigned c = 0; c < 200; ++c) setElement(*in, c, r, 1 + (c * 7 + r * 13) % 200);
    Variant const noData = valueOf(tag, -1);
    everyAllocationFails<TDataVector2D<F32x>>(
        "reprojectBuffer",
        [&] {
            auto out = makeGrid(tag, 240, 200);
            std::fill_n(static_cast<float*>(out->getDataPtr()), std::size_t(out->size()) * 3, -77.0f);
            return out;
        },
        [&](TDataVector2D<F32x>& out) {
            return reprojectBuffer(out, outCover, *in, inCover, noData, kMeshReprojection, kBilinearHoldNoData,
                                   false);
        });
}

TEST(RowDriverThreads, ShadingUnderFailingAllocations)
{
    ZELUNCoordSystem const utm("EPSG:32633"), geographic("EPSG:4326");
    ZELUNCover const normalCover(utm, 500000, 5094000, 509000, 5103000);
    long status = 0;
    ZELUNCover const imageCover = normalCover.transformTo(geographic, status);
    ASSERT_EQ(status, 0);
    auto normals = makeGrid(F32x(3), 300, 300);
    for (unsigned r = 0; r < 300; ++r)
        for (unsigned c = 0; c < 300; ++c) setElement(*normals, c, r, std::sin(0.1 * c) * std::cos(0.07 * r));
    float const zero[3] = {0, 0, 0}, light[3] = {-0.5f, 0.5f, 0.7071f};
    std::uint8_t const fill[4] = {1, 2, 3, 4};
    everyAllocationFails<TDataVector2D<U8x>>(
        "shadeBuffer",
        [] {
            auto g = makeGrid(U8x(4), 240, 200);
            for (unsigned r = 0; r < 200; ++r)
                for (unsigned c = 0; c < 240; ++c) setElement(*g, c, r, (c + 3 * r) % 250 + 1);
            return g;
        },
        [&](TDataVector2D<U8x>& image) {
            return shadeBuffer(image, imageCover, ConstTupleProxy<U8x>(fill, 4), *normals, normalCover,
                               ConstTupleProxy<F32x>(zero, 3), ConstTupleProxy<F32x>(light, 3), kMeshReprojection);
        });
}

}  // namespace
