// How the warp layer reads the coordinate layer's statuses: one reading for
// both transforms, their status forms and their row forms.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <new>
#include <thread>

#include <gtest/gtest.h>

#include "support/FailingAllocation.h"
#include "support/ForkedTrial.h"
#include "warp/WarpTestSupport.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/warp/CoordOutcome.h"
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

// Every status the coordinate layer gives, and one it does not name: only a
// shortage reads as one, only kErrCoordTransformFailed as a point without
// image, and every other non-zero status is the pair's.
TEST(CoordOutcome, EveryStatusHasOneReading)
{
    struct Row {
        long status;
        CoordOutcome outcome;
        int answer;  // transform(): 1 true, 0 false, -1 std::bad_alloc
        long batch;  // of a batch flagged point by point
    } const rows[] = {
        {kSuccess, CoordOutcome::kConverted, 1, kSuccess},
        {kErrCoordTransformFailed, CoordOutcome::kNoImage, 0, kSuccess},
        {kErrOutOfMemory, CoordOutcome::kShortage, -1, kErrOutOfMemory},
        {kErrCoordSystemInvalid, CoordOutcome::kRefused, 0, kErrCoordSystemInvalid},
        {kErrCoordTransformUnavailable, CoordOutcome::kRefused, 0, kErrCoordTransformUnavailable},
        {kErrBadCoordPoint, CoordOutcome::kRefused, 0, kErrBadCoordPoint},
        {kErrCoverInvalid, CoordOutcome::kRefused, 0, kErrCoverInvalid},
    };
    for (Row const& r : rows) {
        EXPECT_EQ(coordOutcome(r.status), r.outcome) << r.status;
        EXPECT_EQ(batchStatus(r.status), r.batch) << r.status;
        int answer = -2;
        try {
            answer = transformAnswer(r.status) ? 1 : 0;
        } catch (std::bad_alloc const&) {
            answer = -1;
        }
        EXPECT_EQ(answer, r.answer) << r.status;
    }
}

// ---- Both transforms, on a thread whose memory is gone ----

ZELUNnBox<double, 2> box(double w, double h)
{
    return ZELUNnBox<double, 2>(ZELUNnPoint<double, 2>(0, 0), ZELUNnPoint<double, 2>(w, h));
}

// Gives the calling thread its coordinate engine, with memory: a pair of
// other systems converts one point.
void makeThreadEngine()
{
    ZELUNCover const a(ZELUNCoordSystem("EPSG:32633"), 0, 0, 1, 1), b(ZELUNCoordSystem("EPSG:32632"), 0, 0, 1, 1);
    ZELUNnBox<double, 2> const pixel = box(1, 1);  // kept by pointer: it outlives the transform
    PointReprojectionTransform const t(pixel, a, pixel, b);
    double x, y;
    (void)t.transformPoint(0.5, 0.5, x, y);
}

// What one call answers: transform()'s result (or std::bad_alloc) and the
// status form's status, on a thread of its own that has its coordinate
// engine but meets the pair while every allocation fails.
struct Answer {
    int transform = -2;  // 1 true, 0 false, -1 std::bad_alloc
    long status = -1;
    double x = -7, y = -7;
};

template <class T>
Answer onThreadWithoutMemory(T const& t, double x, double y)
{
    Answer a;
    std::thread([&] {
        makeThreadEngine();
        FailingAllocation noMemory(1, FailingAllocation::kThatAndLater);
        a.status = t.transformPoint(x, y, a.x, a.y);
        double tx = -7, ty = -7;
        try {
            a.transform = t.transform(x, y, tx, ty) ? 1 : 0;
        } catch (std::bad_alloc const&) {
            a.transform = -1;
        }
    }).join();
    return a;
}

// A shortage on the exact path gives std::bad_alloc from transform() of
// both classes and kErrOutOfMemory from their status forms, outputs
// untouched; a point without image is false and kErrCoordTransformFailed.
// The mesh's stored positions and matrices need no engine: they answer on
// that thread too. The mesh is a polar input under a whole-world output,
// whose cells around the pole carry their pixel centres one by one.
TEST(WarpTransforms, BothClassesTellAShortageAlike)
{
    ZELUNCover const inCover(ZELUNCoordSystem("EPSG:3031"), -4500e3, -4500e3, 4500e3, 4500e3);
    ZELUNCover const outCover(ZELUNCoordSystem("EPSG:4326"), -180, -90, 180, 90);
    ZELUNnBox<double, 2> const outBox = box(720, 360), inBox = box(900, 900);
    long status = 0;
    MeshReprojectionTransform const mesh(outBox, outCover, inBox, inCover, kMeshCellSize, status);
    ASSERT_EQ(status, 0);
    MeshBuild const built = buildMesh(outBox, outCover, inBox, inCover, kMeshCellSize, status);
    ASSERT_TRUE(built.internals);
    MeshInternals const& in = *built.internals;
    // A pixel centre of an exact leaf, and a point of that leaf between
    // centres.
    double cx = -1, cy = -1;
    for (std::int64_t i = 0; i < in.geometry.cells[1] && cx < 0; ++i)
        for (std::int64_t j = 0; j < built.cellsPerRow && cx < 0; ++j) {
            MeshCellTree const* tree = in.treeOf(static_cast<std::size_t>(i * built.cellsPerRow + j));
            if (!tree) continue;
            for (std::int64_t r = in.rowsOf(i).lo; r < in.rowsOf(i).hi && cx < 0; ++r)
                for (std::int64_t c = in.columnsOf(j).lo; c < in.columnsOf(j).hi && cx < 0; ++c) {
                    MeshLeaf const leaf =
                        meshLeafOf(*tree, c + 0.5, r + 0.5, in.geometry.cellBox(i, j), in.columnsOf(j), in.rowsOf(i));
                    double x, y;
                    if (MeshCellTree::isExact(leaf.value) && mesh.transformPoint(c + 0.5, r + 0.5, x, y) == 0)
                        cx = c + 0.5, cy = r + 0.5;
                }
        }
    ASSERT_GE(cx, 0) << "a pixel centre carried one by one";
    double ex, ey;
    ASSERT_EQ(mesh.transformPoint(cx, cy, ex, ey), 0);
    ASSERT_EQ(mesh.transformPoint(cx + 0.25, cy, ex, ey), 0) << "the exact path with memory";

    PointReprojectionTransform const point(outBox, outCover, inBox, inCover);
    // In a child: the engine may end the process while it makes the pair
    // without memory (judged as ForkedTrial.h says).
    TrialEnd const end = runForkedTrial([&] {
        struct Case {
            char const* what;
            Answer answer;
            int transform;
            long status;
        } const cases[] = {
            {"point", onThreadWithoutMemory(point, cx, cy), -1, kErrOutOfMemory},
            {"mesh, exact path", onThreadWithoutMemory(mesh, cx + 0.25, cy), -1, kErrOutOfMemory},
            {"mesh, stored centre", onThreadWithoutMemory(mesh, cx, cy), 1, kSuccess},
            {"mesh, matrix", onThreadWithoutMemory(mesh, 100.5, 300.5), 1, kSuccess},
            {"mesh, outside the box", onThreadWithoutMemory(mesh, -0.5, 20.5), 0, kErrCoordTransformFailed},
        };
        int wrong = 0;
        for (Case const& k : cases) {
            if (k.answer.transform == k.transform && k.answer.status == k.status && (!k.status || k.answer.x == -7))
                continue;
            std::printf("%s: transform %d, status %ld, x %g\n", k.what, k.answer.transform, k.answer.status,
                        k.answer.x);
            ++wrong;
        }
        // The row form, on a row of centres and between them: the stored
        // positions need nothing, the exact path meets the shortage and
        // flags the whole row.
        std::size_t const first = static_cast<std::size_t>(cx - 0.5);
        long rowStatus[2] = {-1, -1};
        unsigned char flags[2][8];
        std::thread([&] {
            makeThreadEngine();
            FailingAllocation noMemory(1, FailingAllocation::kThatAndLater);
            double xy[16];
            rowStatus[0] = mesh.transformRow(cy, first, 1, xy, flags[0]);
            rowStatus[1] = mesh.transformRow(cy + 0.25, first, 8, xy, flags[1]);
        }).join();
        bool const allFlagged = std::all_of(flags[1], flags[1] + 8, [](unsigned char f) { return f == 1; });
        if (rowStatus[0] != kSuccess || flags[0][0] != 0 || rowStatus[1] != kErrOutOfMemory || !allFlagged) {
            std::printf("row form: %ld, %d; between centres: %ld\n", rowStatus[0], flags[0][0], rowStatus[1]);
            ++wrong;
        }
        return wrong;
    });
    EXPECT_TRUE(end.kind == TrialEnd::kPassed) << end.report;
}

// A pair without a transformation (an output system without an inverse):
// the point transform answers false, never an exception, its status form the
// pair's status; the mesh's construction leaves that status and no cells.
TEST(WarpTransforms, ARefusedPairIsFalseAndItsStatus)
{
    ZELUNCover const noInverse(ZELUNCoordSystem("+proj=bertin1953 +type=crs"), -1e6, -1e6, 1e6, 1e6);
    ZELUNCover const geographic(ZELUNCoordSystem("EPSG:4326"), -10, -10, 10, 10);
    ZELUNnBox<double, 2> const pixels = box(64, 64);  // kept by pointer: it outlives the transform
    PointReprojectionTransform const point(pixels, noInverse, pixels, geographic);
    double x = -7, y = -7;
    EXPECT_EQ(point.transformPoint(10.5, 10.5, x, y), kErrCoordTransformUnavailable);
    EXPECT_NO_THROW(EXPECT_FALSE(point.transform(10.5, 10.5, x, y)));
    EXPECT_EQ(x, -7);
    double xy[8];
    unsigned char failed[4] = {0, 0, 0, 0};
    EXPECT_EQ(point.transformRow(10.5, 0, 4, xy, failed), kErrCoordTransformUnavailable);
    for (unsigned char f : failed) EXPECT_EQ(f, 1);

    long status = 0;
    MeshReprojectionTransform const mesh(box(128, 128), noInverse, box(64, 64), geographic, kMeshCellSize, status);
    EXPECT_EQ(status, kErrCoordTransformUnavailable);
    EXPECT_TRUE(mesh.matrices().empty());
    EXPECT_EQ(mesh.transformPoint(10.5, 10.5, x, y), kErrCoordTransformFailed);
    EXPECT_NO_THROW(EXPECT_FALSE(mesh.transform(10.5, 10.5, x, y)));
}


// ---- The rows ----

// A pair refused while the rows run (the coordinate layer may refuse a pair
// on a later call, after the engine's objects were dropped; here a pair
// that the row driver is given without the entry points' check) ends the
// rows with the pair's status and the output untouched, for reprojection
// and for shading: never no-data with 0, never a shortage.
TEST(WarpRows, APairRefusedInTheRowsEndsThemWithItsStatus)
{
    using F32 = TDataType<0>;
    using U8x = TTupleDataType<TDataType<3>>;
    using F32x = TTupleDataType<TDataType<0>>;
    ZELUNCover const noInverse(ZELUNCoordSystem("+proj=bertin1953 +type=crs"), -1e6, -1e6, 1e6, 1e6);
    ZELUNCover const geographic(ZELUNCoordSystem("EPSG:4326"), -10, -10, 10, 10);
    ZELUNnBox<double, 2> const outBox = box(40, 30), inBox = box(20, 20);
    PointReprojectionTransform const point(outBox, noInverse, inBox, geographic);

    auto in = makeGrid(F32(), 20, 20);
    auto out = makeGrid(F32(), 40, 30);
    std::fill_n(static_cast<float*>(out->getDataPtr()), out->size(), 5.0f);
    BilinearSampler<F32> const bilinear(in.get(), -1.0f);
    EXPECT_EQ((warpRowsThreaded<F32, BilinearSampler<F32>>(*out, point, bilinear, 0, 30, -1.0f)),
              kErrCoordTransformUnavailable);
    for (std::size_t i = 0; i < out->size(); ++i)
        ASSERT_EQ(static_cast<float const*>(out->getConstDataPtr())[i], 5.0f) << i;

    auto normals = makeGrid(F32x(3), 20, 20);
    auto image = makeGrid(U8x(4), 40, 30);
    std::fill_n(static_cast<std::uint8_t*>(image->getDataPtr()), std::size_t(image->size()) * 4, std::uint8_t(200));
    float const zero[3] = {0, 0, 0}, light[3] = {0, 0, 1};
    std::uint8_t const fill[4] = {1, 2, 3, 4};
    ShadingSampler const shading(BilinearSampler<F32x>(3, normals.get(), ConstTupleProxy<F32x>(zero, 3)),
                                 ConstTupleProxy<F32x>(light, 3), kAmbient, kDiffuse);
    EXPECT_EQ((warpRowsThreaded<U8x, ShadingSampler>(*image, point, shading, 0, 30, ConstTupleProxy<U8x>(fill, 4))),
              kErrCoordTransformUnavailable);
    for (std::size_t i = 0; i < std::size_t(image->size()) * 4; ++i)
        ASSERT_EQ(static_cast<std::uint8_t const*>(image->getConstDataPtr())[i], 200) << i;
}

}  // namespace
