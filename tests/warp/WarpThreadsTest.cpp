#include <atomic>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/ThreadCount.h"
#include "warp/MeshTestSupport.h"
#include "warp/WarpTestSupport.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNSystem.h"
#include "zorvsupport/warp/MeshRefinement.h"
#include "zorvsupport/warp/Samplers.h"
#include "zorvsupport/warp/ShadingSampler.h"
#include "zorvsupport/warp/TransformSupport.h"
#include "zorvsupport/warp/WarpRows.h"
#include "zorvsupport/warp/WarpUtils.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace ZORV_3_13_0_::DataSet::WarpUtils;
using namespace zorvtest;

namespace {

using I32 = TDataType<6>;

std::vector<unsigned char> bytesOf(DataVector const& v)
{
    auto const* p = static_cast<unsigned char const*>(v.getConstDataPtr());
    return std::vector<unsigned char>(p, p + std::size_t(v.size()) * v.getDataType().getTypeSize());
}

// A mesh-derived transform without cells that maps every point to itself:
// the driver may spread it over threads, the worker calls it per pixel.
class IdentityMesh final : public MeshReprojectionTransform {
public:
    IdentityMesh() : MeshReprojectionTransform(box(), planeCover(0, 0, 1, 1), box(), planeCover(0, 0, 1, 1), kMeshCellSize, m_status) {}
    bool transform(double x, double y, double& outX, double& outY) const override
    {
        outX = x;
        outY = y;
        return y < 1e9;
    }

private:
    static ZELUNnBox<double, 2> box() { return ZELUNnBox<double, 2>(); }
    long m_status = 0;
};

// Writes a value made of the position, so every pixel shows which rows ran.
class PositionSampler final : public Sampler<I32> {
public:
    void sample(double x, double y, int& out) const override { out = static_cast<int>(y) * 100000 + static_cast<int>(x); }
};

// Counts thread starts and throws at start number `failAt` (1-based; 0
// never).
struct CountingStart {
    std::atomic<int>* started;
    int failAt = 0;
    void operator()(boost::thread& slot, boost::function0<void> const& task) const
    {
        if (failAt && started->load() + 1 == failAt) throw std::runtime_error("no thread");
        slot = boost::thread(task);
        ++*started;
    }
};

// Runs the driver over every row of a w x h grid; returns the starts.
int drive(TDataVector2D<I32>& out, WarpTransform const& t, unsigned n, int failAt = 0)
{
    ThreadCountScope const threads(n);
    std::atomic<int> started{0};
    EXPECT_EQ((warpRowsThreaded<I32, PositionSampler>(out, t, PositionSampler(), 0, out.getDimension(1), -1,
                                                      CountingStart{&started, failAt})),
              kSuccess);
    return started.load();
}

std::vector<int> expectedPositions(unsigned w, unsigned h)
{
    std::vector<int> v;
    for (unsigned r = 0; r < h; ++r)
        for (unsigned c = 0; c < w; ++c) v.push_back(static_cast<int>(r) * 100000 + static_cast<int>(c));
    return v;
}

std::vector<int> valuesOf(TDataVector2D<I32> const& g)
{
    auto const* p = static_cast<int const*>(g.getConstDataPtr());
    return p ? std::vector<int>(p, p + g.size()) : std::vector<int>();
}

TEST(WarpThreads, SplitRows)
{
    struct Case {
        unsigned first, end, n;
        std::vector<std::pair<unsigned, unsigned>> bands;
    } const cases[] = {
        {0, 3, 4, {{0, 0}, {0, 0}, {0, 0}, {0, 3}}},
        {0, 10, 4, {{0, 2}, {2, 4}, {4, 6}, {6, 10}}},
        {5, 13, 2, {{5, 9}, {9, 13}}},
        {0, 7, 1, {{0, 7}}},
    };
    for (Case const& c : cases)
        for (unsigned k = 0; k < c.n; ++k) EXPECT_EQ(splitRows(c.first, c.end, c.n, k), c.bands[k]) << c.end << " " << k;
}

TEST(WarpThreads, WhenTheDriverStartsThreads)
{
    IdentityMesh const mesh;
    struct Case {
        unsigned w, h, n;
        int starts;
    } const cases[] = {
        {37, 27, 4, 0},     // 999 elements: the caller's thread
        {40, 25, 4, 4},     // 1000 elements: n threads
        {400, 3, 4, 4},     // fewer rows than threads: still n threads
        {40, 25, 1, 0},     // one thread
        {1000, 1, 8, 8},    // one row
    };
    for (Case const& c : cases) {
        auto out = makeGrid(I32(), c.w, c.h);
        EXPECT_EQ(drive(*out, mesh, c.n), c.starts) << c.w << " x " << c.h << ", n " << c.n;
        EXPECT_EQ(valuesOf(*out), expectedPositions(c.w, c.h));
    }
    // The point transform never starts threads.
    ZELUNCover const cover = planeCover(0, 0, 64, 64);
    ZELUNnBox<double, 2> const b(ZELUNnPoint<double, 2>(0.0, 0.0), ZELUNnPoint<double, 2>(64.0, 64.0));
    PointReprojectionTransform const point(b, cover, b, cover);
    auto out = makeGrid(I32(), 64, 64);
    EXPECT_EQ(drive(*out, point, 8), 0);
    EXPECT_EQ(valuesOf(*out), expectedPositions(64, 64));
}

TEST(WarpThreads, ThreadCountIsAskedAgainAfterZero)
{
    ThreadCountScope const threads(5);
    EXPECT_EQ(acquireThreadCount(), 5u);
    threads.set(0);
    EXPECT_EQ(acquireThreadCount(), ZELUNSystem::processorCount());
}

// A host setting 0 while another call takes its count: the call never gets
// 0 threads (a mesh built on none has no matrices, and its rows would all be
// no-data with status 0).
TEST(WarpThreads, ThreadCountIsNeverZeroWhileAnotherHostSetsIt)
{
    ThreadCountScope const restore(0);
    std::atomic<bool> stop{false};
    std::thread setter([&] {
        for (unsigned i = 0; !stop.load(); ++i) setNumThreads(i % 2 ? 3 : 0);
    });
    std::size_t zeros = 0;
    for (int i = 0; i < 2000000; ++i) zeros += acquireThreadCount() == 0;
    stop = true;
    setter.join();
    EXPECT_EQ(zeros, 0u);
}

// A thread that cannot be started leaves its band and the later ones to
// the caller's thread; the output is complete and the same.
TEST(WarpThreads, StartFailureFinishesOnTheCallersThread)
{
    IdentityMesh const mesh;
    for (int failAt : {1, 3, 8}) {
        auto out = makeGrid(I32(), 50, 41);
        std::fill_n(static_cast<int*>(out->getDataPtr()), out->size(), -7);
        EXPECT_EQ(drive(*out, mesh, 8, failAt), failAt - 1);
        EXPECT_EQ(valuesOf(*out), expectedPositions(50, 41)) << failAt;
    }
}

// The reprojection of a geographic grid into UTM, with a given thread count.
template <class T>
std::vector<unsigned char> reprojected(T tag, unsigned size, unsigned threads, DataVectorND<2> const& in)
{
    ZELUNCover const inCover(ZELUNCoordSystem("EPSG:4326"), 12, 45, 15, 48);
    long status = 0;
    ZELUNCover const outCover = inCover.transformTo(ZELUNCoordSystem("EPSG:32633"), status);
    EXPECT_EQ(status, 0);
    auto out = makeGrid(tag, size, size);
    ThreadCountScope const count(threads);
    EXPECT_EQ(reprojectBuffer(*out, outCover, in, inCover, valueOf(tag, 0), kMeshReprojection, kBilinear, false), 0);
    auto const* p = static_cast<unsigned char const*>(out->getConstDataPtr());
    return std::vector<unsigned char>(p, p + std::size_t(out->size()) * tag.getDataType().getTypeSize());
}

template <class T>
boost::shared_ptr<TDataVector2D<T>> fieldGrid(T tag, unsigned size)
{
    auto in = makeGrid(tag, size, size);
    for (unsigned r = 0; r < size; ++r)
        for (unsigned c = 0; c < size; ++c) setElement(*in, c, r, 1 + (c * 7 + r * 13) % 200);
    return in;
}

TEST(WarpThreads, OneAndEightThreadsGiveTheSameBytes)
{
    auto u8 = fieldGrid(TDataType<3>(), 1024);
    EXPECT_EQ(reprojected(TDataType<3>(), 1024, 1, *u8), reprojected(TDataType<3>(), 1024, 8, *u8));
    auto f3 = fieldGrid(TTupleDataType<TDataType<0>>(3), 1024);
    EXPECT_EQ(reprojected(TTupleDataType<TDataType<0>>(3), 1024, 1, *f3),
              reprojected(TTupleDataType<TDataType<0>>(3), 1024, 8, *f3));
    // 1000 elements, and 3 rows over 8 threads.
    IdentityMesh const mesh;
    for (auto [w, h] : {std::pair<unsigned, unsigned>{40, 25}, {500, 3}}) {
        auto a = makeGrid(I32(), w, h), b = makeGrid(I32(), w, h);
        drive(*a, mesh, 1);
        drive(*b, mesh, 8);
        EXPECT_EQ(valuesOf(*a), valuesOf(*b));
    }
}

// A mesh built cell by cell (cells of a fractional size: no corner
// lattice), refined around the pole of a polar input under a whole-world
// output, built and run on one thread and on eight: the same construction
// and the same bytes, for reprojection (hold and bilinear) and shading.
TEST(WarpThreads, CellByCellMeshGivesTheSameBytesOnOneAndEightThreads)
{
    using F32 = TDataType<0>;
    using U8x = TTupleDataType<TDataType<3>>;
    using F32x = TTupleDataType<TDataType<0>>;
    ZELUNCover const inCover(ZELUNCoordSystem("EPSG:3031"), -4500e3, -4500e3, 4500e3, 4500e3);
    ZELUNCover const outCover(ZELUNCoordSystem("EPSG:4326"), -180, -90, 180, 90);
    unsigned const w = 1440, h = 720;
    ZELUNnBox<double, 2> const outBox = pixelBoxOf(w, h), inBox = pixelBoxOf(900, 900);
    ZELUNnPoint<double, 2> const cells(37.3, 45.7);
    auto in = makeGrid(F32(), 900, 900);
    auto normals = makeGrid(F32x(3), 900, 900);
    for (unsigned r = 0; r < 900; ++r)
        for (unsigned c = 0; c < 900; ++c) {
            in->element(c, r) = static_cast<float>(1 + (c * 7 + r * 13) % 1000);
            setElement(*normals, c, r, std::sin(0.1 * c) * std::cos(0.07 * r));
        }
    float const zero[3] = {0, 0, 0}, light[3] = {-0.5f, 0.5f, 0.7071f};
    std::uint8_t const fill[4] = {1, 2, 3, 4};
    HoldSampler<F32> const hold(in.get(), -1.0f);
    BilinearSampler<F32> const bilinear(in.get(), -1.0f);
    ShadingSampler const shading(BilinearSampler<F32x>(3, normals.get(), ConstTupleProxy<F32x>(zero, 3)),
                                 ConstTupleProxy<F32x>(light, 3), kAmbient, kDiffuse);
    struct Run {
        MeshBuild built;
        std::vector<unsigned char> hold, bilinear, shaded;
    };
    auto const run = [&](unsigned threads) {
        ThreadCountScope const count(threads);
        Run r;
        long status = -1;
        r.built = buildMesh(outBox, outCover, inBox, inCover, cells, status);
        EXPECT_EQ(status, 0) << threads;
        MeshReprojectionTransform const mesh(outBox, outCover, inBox, inCover, cells, status);
        EXPECT_EQ(status, 0) << threads;
        auto out = makeGrid(F32(), w, h);
        EXPECT_EQ((warpRowsThreaded<F32, HoldSampler<F32>>(*out, mesh, hold, 0, h, -1.0f)), kSuccess);
        r.hold = bytesOf(*out);
        EXPECT_EQ((warpRowsThreaded<F32, BilinearSampler<F32>>(*out, mesh, bilinear, 0, h, -1.0f)), kSuccess);
        r.bilinear = bytesOf(*out);
        auto image = makeGrid(U8x(4), w, h);
        for (unsigned y = 0; y < h; ++y)
            for (unsigned x = 0; x < w; ++x) setElement(*image, x, y, (x + 3 * y) % 250 + 1);
        EXPECT_EQ((warpRowsThreaded<U8x, ShadingSampler>(*image, mesh, shading, 0, h, ConstTupleProxy<U8x>(fill, 4))),
                  kSuccess);
        r.shaded = bytesOf(*image);
        return r;
    };
    Run const one = run(1), eight = run(8);
    ASSERT_TRUE(one.built.internals);
    EXPECT_GT(one.built.internals->trees.size(), 0u) << "cells split";
    EXPECT_TRUE(sameBuild(one.built, eight.built));
    EXPECT_EQ(one.hold, eight.hold);
    EXPECT_EQ(one.bilinear, eight.bilinear);
    EXPECT_EQ(one.shaded, eight.shaded);
}

// Host threads reproject at once while another changes the thread count.
TEST(WarpThreads, ConcurrentHostCalls)
{
    auto in = fieldGrid(TDataType<3>(), 256);
    std::vector<unsigned char> const reference = reprojected(TDataType<3>(), 200, 1, *in);
    ThreadCountScope const restore(0);
    std::atomic<bool> stop{false};
    std::thread setter([&] {
        for (unsigned i = 0; !stop.load(); ++i) setNumThreads(i % 9);
    });
    std::vector<std::thread> hosts;
    std::atomic<int> mismatches{0};
    ZELUNCover const inCover(ZELUNCoordSystem("EPSG:4326"), 12, 45, 15, 48);
    for (int t = 0; t < 4; ++t)
        hosts.emplace_back([&] {
            long status = 0;
            ZELUNCover const outCover = inCover.transformTo(ZELUNCoordSystem("EPSG:32633"), status);
            for (int i = 0; i < 5; ++i) {
                auto out = makeGrid(TDataType<3>(), 200, 200);
                Variant const nd = valueOf(TDataType<3>(), 0);
                if (reprojectBuffer(*out, outCover, *in, inCover, nd, kMeshReprojection, kBilinear, false) != 0 ||
                    std::vector<unsigned char>(static_cast<unsigned char*>(out->getDataPtr()),
                                               static_cast<unsigned char*>(out->getDataPtr()) + out->size()) !=
                        reference)
                    ++mismatches;
            }
        });
    for (std::thread& h : hosts) h.join();
    stop = true;
    setter.join();
    EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
