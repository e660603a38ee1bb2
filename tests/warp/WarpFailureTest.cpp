// What reprojection and shading report when their arguments or their
// resources fail: covers and systems checked before anything is built, a
// shortage of memory told from points without a source position, and the
// stack the entry points take.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "support/FailingAllocation.h"
#include "support/ForkedTrial.h"
#include "support/ShortageModes.h"
#include "surface/SmallStack.h"
#include "support/ThreadCount.h"
#include "warp/WarpTestSupport.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/warp/WarpUtils.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace ZORV_3_13_0_::DataSet::WarpUtils;
using namespace zorvtest;
using CS = ZELUNCoordSystem;

namespace {

using F32 = TDataType<0>;
using U8x = TTupleDataType<TDataType<3>>;
using F32x = TTupleDataType<TDataType<0>>;

double const kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<unsigned char> bytesOf(DataVector const& v)
{
    auto const* p = static_cast<unsigned char const*>(v.getConstDataPtr());
    return std::vector<unsigned char>(p, p + std::size_t(v.size()) * v.getDataType().getTypeSize());
}

std::uint8_t const kImageNoData[4] = {1, 2, 3, 4};
float const kZeroNormal[3] = {0, 0, 0};
float const kLight[3] = {0.3f, 0.4f, 0.866f};

ConstTupleProxy<U8x> imageNoData()
{
    return ConstTupleProxy<U8x>(kImageNoData, 4);
}
ConstTupleProxy<F32x> view(float const* v)
{
    return ConstTupleProxy<F32x>(v, 3);
}

// A w x h grid of floats, value i of the storage at i (a distinct value per
// pixel, so any misplaced sample shows).
boost::shared_ptr<TDataVector2D<F32>> rampOf(unsigned w, unsigned h, float offset = 0)
{
    auto g = makeGrid(F32(), w, h);
    auto* b = static_cast<float*>(g->getDataPtr());
    for (std::size_t i = 0; i < std::size_t(w) * h; ++i) b[i] = offset + static_cast<float>(i);
    return g;
}

// An RGBA image whose pixels all differ, alpha 255.
boost::shared_ptr<TDataVector2D<U8x>> imageOf(unsigned w, unsigned h)
{
    auto g = makeGrid(U8x(4), w, h);
    auto* b = static_cast<std::uint8_t*>(g->getDataPtr());
    for (std::size_t i = 0; i < std::size_t(w) * h; ++i) {
        b[4 * i] = static_cast<std::uint8_t>(100 + i % 97);
        b[4 * i + 1] = static_cast<std::uint8_t>(50 + i % 89);
        b[4 * i + 2] = static_cast<std::uint8_t>(200 + i % 53);
        b[4 * i + 3] = 255;
    }
    return g;
}

// Unit normals that tilt with the column and the row.
boost::shared_ptr<TDataVector2D<F32x>> normalsOf(unsigned w, unsigned h)
{
    auto g = makeGrid(F32x(3), w, h);
    auto* b = static_cast<float*>(g->getDataPtr());
    for (unsigned r = 0; r < h; ++r) {
        for (unsigned c = 0; c < w; ++c) {
            float const nx = 0.5f * std::sin(0.1f * static_cast<float>(c));
            float const ny = 0.5f * std::cos(0.13f * static_cast<float>(r));
            float const nz = std::sqrt(1.0f - nx * nx - ny * ny);
            float* n = b + 3 * (std::size_t(r) * w + c);
            n[0] = nx, n[1] = ny, n[2] = nz;
        }
    }
    return g;
}

char const* const kBertin = "+proj=bertin1953 +type=crs";

}  // namespace

// Covers and systems that cannot work are reported before anything is
// built, the same for both methods, every interpolation and shading: the
// cover's own status (the output's first), and for a pair without a
// transformation the status the mesh's construction gives, with the output
// byte for byte as it was.
TEST(WarpEntryChecks, BadCoversAndSystemsLeaveTheOutputUntouched)
{
    CS const wgs84("EPSG:4326");
    ZELUNCover const good(wgs84, 10, 40, 12, 42);
    ZELUNCover const goodIn(wgs84, 9, 39, 13, 43);
    ZELUNCover const unknownCode(CS("EPSG:999999"), 10, 40, 12, 42);
    ZELUNCover const notACrs(CS("not a crs"), 10, 40, 12, 42);
    ZELUNCover const xInverted(wgs84, 12, 40, 10, 42);
    ZELUNCover const yInverted(wgs84, 10, 42, 12, 40);
    ZELUNCover const nanBound(wgs84, 10, kNaN, 12, 42);
    ZELUNCover const bertin(CS(kBertin), -1e6, -1e6, 1e6, 1e6);
    struct Row {
        char const* label;
        ZELUNCover const* out;
        ZELUNCover const* in;
        long status;
    } const rows[] = {
        {"valid covers", &good, &goodIn, 0},
        {"output: unknown code", &unknownCode, &goodIn, kErrCoordSystemInvalid},
        {"output: not a crs", &notACrs, &goodIn, kErrCoordSystemInvalid},
        {"output: min > max in x", &xInverted, &goodIn, kErrCoverInvalid},
        {"output: min > max in y", &yInverted, &goodIn, kErrCoverInvalid},
        {"output: NaN bound", &nanBound, &goodIn, kErrCoverInvalid},
        {"input: unknown code", &good, &unknownCode, kErrCoordSystemInvalid},
        {"input: not a crs", &good, &notACrs, kErrCoordSystemInvalid},
        {"input: min > max in x", &good, &xInverted, kErrCoverInvalid},
        {"input: min > max in y", &good, &yInverted, kErrCoverInvalid},
        {"input: NaN bound", &good, &nanBound, kErrCoverInvalid},
        {"both bad: the output's status", &nanBound, &unknownCode, kErrCoverInvalid},
        {"output system without an inverse", &bertin, &goodIn, kErrCoordTransformUnavailable},
        {"that system as input converts", &good, &bertin, 0},
    };
    ASSERT_TRUE(CS(kBertin).isValid());
    for (Row const& r : rows) {
        for (ReprojectMethod const method : {kPointReprojection, kMeshReprojection}) {
            std::string const which = std::string(r.label) + (method == kPointReprojection ? ", point" : ", mesh");
            for (InterpolationMethod const interpolation : {kHold, kBilinear}) {
                auto out = rampOf(16, 16, 1000);
                auto const in = rampOf(8, 8);
                std::vector<unsigned char> const canary = bytesOf(*out);
                EXPECT_EQ(reprojectBuffer(*out, *r.out, *in, *r.in, Variant(F32(), -1.0f), method, interpolation,
                                          false),
                          r.status)
                    << which << (interpolation == kHold ? ", hold" : ", bilinear");
                if (r.status)
                    EXPECT_EQ(bytesOf(*out), canary) << which;
                else
                    EXPECT_NE(bytesOf(*out), canary) << which;
            }
            // A status of the covers or the pair comes before the
            // interpolation's.
            auto out = rampOf(16, 16, 1000);
            auto const in = rampOf(8, 8);
            EXPECT_EQ(reprojectBuffer(*out, *r.out, *in, *r.in, Variant(F32(), -1.0f), method,
                                      static_cast<InterpolationMethod>(3), false),
                      r.status ? r.status : kErrUnknownWarpInterpolation)
                << which << ", interpolation 3";

            auto image = imageOf(16, 16);
            auto const normals = normalsOf(8, 8);
            std::vector<unsigned char> const canary = bytesOf(*image);
            EXPECT_EQ(shadeBuffer(*image, *r.out, imageNoData(), *normals, *r.in, view(kZeroNormal), view(kLight),
                                  method),
                      r.status)
                << which << ", shading";
            if (r.status)
                EXPECT_EQ(bytesOf(*image), canary) << which << ", shading";
            else
                EXPECT_NE(bytesOf(*image), canary) << which << ", shading";
        }
    }
}

namespace {

// ---- Calls under failing allocations ----

// One call of an entry point on covers of systems made fresh for it (so
// that the calling thread and the row driver's threads meet the pair for
// the first time, and the engine searches for its operation under the
// failures), into an output that starts as a canary.
class Call {
public:
    virtual ~Call() = default;
    virtual long run() = 0;
    virtual DataVector& output() = 0;
    // The bytes of one output row.
    virtual std::size_t rowBytes() = 0;
};

void putBytes(DataVector& v, std::vector<unsigned char> const& bytes)
{
    std::memcpy(v.getDataPtr(), bytes.data(), bytes.size());
}

// The point method: 300 x 60 pixels of 20 km in EPSG:3031 from EPSG:4326
// south of 50 S. The mesh method: a whole-world EPSG:4326 output of
// 720 x 360 from an EPSG:3031 input of 900 x 900 pixels of 10 km, whose
// cells refine around the pole (the construction's own threads then carry
// points too).
struct Geometry {
    explicit Geometry(ReprojectMethod method)
        : method(method),
          outCover(method == kPointReprojection ? ZELUNCover(CS("EPSG:3031"), -3e6, 3e6 - 2e4 * 60, 3e6, 3e6)
                                                : ZELUNCover(CS("EPSG:4326"), -180, -90, 180, 90)),
          inCover(method == kPointReprojection ? ZELUNCover(CS("EPSG:4326"), -180, -90, 180, -50)
                                               : ZELUNCover(CS("EPSG:3031"), -4500e3, -4500e3, 4500e3, 4500e3))
    {
    }
    unsigned outWidth() const { return method == kPointReprojection ? 300 : 720; }
    unsigned outHeight() const { return method == kPointReprojection ? 60 : 360; }
    unsigned inWidth() const { return method == kPointReprojection ? 360 : 900; }
    unsigned inHeight() const { return method == kPointReprojection ? 40 : 900; }

    ReprojectMethod method;
    ZELUNCover outCover;
    ZELUNCover inCover;
};

class Reprojection final : public Call {
public:
    explicit Reprojection(ReprojectMethod method)
        : m_g(method), m_out(rampOf(m_g.outWidth(), m_g.outHeight(), 1e6f)), m_in(rampOf(m_g.inWidth(), m_g.inHeight()))
    {
    }
    long run() override
    {
        return reprojectBuffer(*m_out, m_g.outCover, *m_in, m_g.inCover, m_noData, m_g.method, kBilinear, false);
    }
    DataVector& output() override { return *m_out; }
    std::size_t rowBytes() override { return std::size_t(m_g.outWidth()) * sizeof(float); }

private:
    Geometry m_g;
    boost::shared_ptr<TDataVector2D<F32>> m_out, m_in;
    Variant m_noData{F32(), -1.0f};
};

class Shading final : public Call {
public:
    explicit Shading(ReprojectMethod method)
        : m_g(method), m_image(imageOf(m_g.outWidth(), m_g.outHeight())), m_normals(normalsOf(m_g.inWidth(), m_g.inHeight()))
    {
    }
    long run() override
    {
        return shadeBuffer(*m_image, m_g.outCover, imageNoData(), *m_normals, m_g.inCover, view(kZeroNormal),
                           view(kLight), m_g.method);
    }
    DataVector& output() override { return *m_image; }
    std::size_t rowBytes() override { return std::size_t(m_g.outWidth()) * 4; }

private:
    Geometry m_g;
    boost::shared_ptr<TDataVector2D<U8x>> m_image;
    boost::shared_ptr<TDataVector2D<F32x>> m_normals;
};

struct CallKind {
    char const* name;
    bool shade;
    ReprojectMethod method;

    std::unique_ptr<Call> make() const
    {
        if (shade) return std::make_unique<Shading>(method);
        return std::make_unique<Reprojection>(method);
    }
};

using Mode = ShortageMode;

// Why the outcome of a call under failures is not one the headers allow,
// or empty: 0 with the bytes of a call that never failed; kErrOutOfMemory
// with the output untouched or written up to some rows (each row the
// canary's or the never-failed one's); and the very next call, with memory
// back and from the canary, gives the never-failed bytes.
std::string judgeCall(Call& call, long status, std::vector<unsigned char> const& canary,
                      std::vector<unsigned char> const& reference)
{
    std::vector<unsigned char> const after = bytesOf(call.output());
    if (status == kErrOutOfMemory) {
        std::size_t const row = call.rowBytes();
        for (std::size_t at = 0; at < after.size(); at += row) {
            bool const untouched = std::memcmp(&after[at], &canary[at], row) == 0;
            bool const written = std::memcmp(&after[at], &reference[at], row) == 0;
            if (!untouched && !written) return "kErrOutOfMemory with row " + std::to_string(at / row) + " changed";
        }
    } else if (status != kSuccess) {
        return "status " + std::to_string(status);
    } else if (after != reference) {
        return "0 with other bytes";
    }
    putBytes(call.output(), canary);
    long const again = call.run();
    if (again != kSuccess || bytesOf(call.output()) != reference)
        return "the next call gave " + std::to_string(again) + (again ? "" : " with other bytes");
    return "";
}

// One trial's body, in a child: the call with its allocations failing as
// `mode` says from the n-th on (or at random from seed n), then the next one.
int trial(CallKind const& kind, Mode const& mode, unsigned long n, std::vector<unsigned char> const& reference)
{
    ThreadCountScope const threads(4);
    std::unique_ptr<Call> call = kind.make();
    std::vector<unsigned char> const canary = bytesOf(call->output());
    long status = -1;
    bool reached;
    {
#if defined(__SANITIZE_ADDRESS__)
        __lsan::ScopedDisabler engineLeaks;  // the engine's failure paths lose objects
#endif
        ArmedShortage const failing(mode, n);
        status = call->run();
        reached = failing.reached();
    }
    std::string const why = judgeCall(*call, status, canary, reference);
    if (!why.empty()) {
        std::printf("%s, %s, %lu: %s\n", kind.name, mode.name, n, why.c_str());
        return 1;
    }
    return reached ? 0 : kTrialBeyondTheLast;
}

// Sweeps one call under one mode, each trial in a child process (the engine
// may end the process when its allocations fail, see ForkedTrial.h): the
// first 16 failure points, then every sixteenth part further on (n grows by
// a factor of 17/16) until the call allocates no more, or kShortageSeeds seeds of one
// failure in a thousand at random. Every trial passes, or ends in one of the
// engine's known faults.
void sweep(CallKind const& kind, Mode const& mode)
{
    std::vector<unsigned char> reference;
    {
        ThreadCountScope const threads(4);
        std::unique_ptr<Call> const call = kind.make();
        ASSERT_EQ(call->run(), kSuccess) << kind.name;
        reference = bytesOf(call->output());
    }
    unsigned engineFaults = 0;
    auto const judge = [&](unsigned long n, TrialEnd const& end) {
        engineFaults += end.kind != TrialEnd::kPassed && end.knownFault;
        EXPECT_TRUE(end.acceptable()) << kind.name << ", " << mode.name << ", " << n << ":\n" << end.report;
    };
    auto const body = [&](unsigned long n) { return trial(kind, mode, n, reference); };
    unsigned const trials = sweepShortage(mode, body, judge);
    std::printf("%s, %s: %u trials, %u ended in a known fault of the engine\n", kind.name, mode.name, trials,
                engineFaults);
}

CallKind const kPointReprojectionCall{"reprojectBuffer, point", false, kPointReprojection};
CallKind const kPointShadingCall{"shadeBuffer, point", true, kPointReprojection};
CallKind const kMeshReprojectionCall{"reprojectBuffer, mesh", false, kMeshReprojection};
CallKind const kMeshShadingCall{"shadeBuffer, mesh", true, kMeshReprojection};

// The mesh's modes: also memory gone on the threads the call starts, but
// under AddressSanitizer, whose runtime cannot start a thread without memory
// (its own check of pthread_getattr_np ends the process).
std::vector<Mode> meshModes()
{
    std::vector<Mode> modes{kOneFailure, kMemoryGone, kLargeBlocksGone, kOneInAThousand};
#if !defined(__SANITIZE_ADDRESS__)
    modes.push_back(kOtherThreadsGone);
#endif
    return modes;
}

}  // namespace

// A shortage anywhere (the library's, the engine's, glibc's) is never read
// as points without a source position: each call gives the bytes of a call
// that never failed, or kErrOutOfMemory with the output untouched or written
// up to some rows; the next call with memory back gives the never-failed
// bytes (a shortage that counted against the pair would refuse it).
TEST(WarpShortage, PointReprojection)
{
    for (Mode const& mode : {kOneFailure, kMemoryGone, kLargeBlocksGone, kOneInAThousand})
        sweep(kPointReprojectionCall, mode);
}

TEST(WarpShortage, PointShading)
{
    for (Mode const& mode : {kOneFailure, kMemoryGone, kLargeBlocksGone, kOneInAThousand}) sweep(kPointShadingCall, mode);
}

// The mesh also loses memory on the threads the call starts alone: the
// construction's and the row driver's.
TEST(WarpShortage, MeshReprojection)
{
    for (Mode const& mode : meshModes()) sweep(kMeshReprojectionCall, mode);
}

TEST(WarpShortage, MeshShading)
{
    for (Mode const& mode : meshModes()) sweep(kMeshShadingCall, mode);
}

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kStackBounds = false;  // the sanitizers pad every frame
#else
constexpr bool kStackBounds = true;
#endif

// The library's own frames of each entry point, both methods: a first call
// on a fresh thread whose covers lie in one system, so that the engine is
// asked for no operation (it only makes the thread's context).
constexpr std::size_t kOwnStackBound = 16 * 1024;

struct StackCase {
    char const* label;
    ReprojectMethod method;
    bool shade;
    char const* outSystem;
    char const* inSystem;
};

std::size_t stackOf(StackCase const& k, std::size_t stackBytes, long& status)
{
    ZELUNCover const outCover(CS(k.outSystem), -3e6, -3e6, 3e6, 3e6);
    ZELUNCover const inCover = std::strcmp(k.inSystem, "EPSG:4326") == 0
                                   ? ZELUNCover(CS(k.inSystem), -180, -90, 180, -50)
                                   : ZELUNCover(CS(k.inSystem), -4e6, -4e6, 4e6, 4e6);
    auto out = rampOf(300, 300, 1e6f);
    auto const in = rampOf(360, 40);
    auto image = imageOf(300, 300);
    auto const normals = normalsOf(360, 40);
    Variant const noData(F32(), -1.0f);
    ThreadCountScope const threads(1);  // the caller's thread: the one measured
    return runOnSmallStack(stackBytes, [&] {
        status = k.shade ? shadeBuffer(*image, outCover, imageNoData(), *normals, inCover, view(kZeroNormal),
                                       view(kLight), k.method)
                         : reprojectBuffer(*out, outCover, *in, inCover, noData, k.method, kBilinear, false);
    });
}

}  // namespace

// The stack each entry point takes on a host's thread, as the headers state:
// its own frames at most 16 KiB (asserted in release builds, printed under
// the sanitizers); the engine's search for an operation on a thread's first
// call between two systems, printed.
TEST(WarpStack, EntryPointsOnASmallStack)
{
    StackCase const own[] = {
        {"reprojectBuffer, point", kPointReprojection, false, "EPSG:3031", "EPSG:3031"},
        {"reprojectBuffer, mesh", kMeshReprojection, false, "EPSG:3031", "EPSG:3031"},
        {"shadeBuffer, point", kPointReprojection, true, "EPSG:3031", "EPSG:3031"},
        {"shadeBuffer, mesh", kMeshReprojection, true, "EPSG:3031", "EPSG:3031"},
    };
    for (StackCase const& k : own) {
        long status = -1;
        std::size_t const used = stackOf(k, kSmallStack, status);
        EXPECT_EQ(status, 0) << k.label;
        EXPECT_GT(used, 0u) << k.label;
        std::printf("%s: %zu bytes of stack\n", k.label, used);
        if (kStackBounds) {
            EXPECT_LE(used, kOwnStackBound) << k.label;
        }
    }
    StackCase const first[] = {
        {"reprojectBuffer, point, first EPSG:3031 -> EPSG:4326 on the thread", kPointReprojection, false,
         "EPSG:3031", "EPSG:4326"},
        {"reprojectBuffer, mesh, first EPSG:3031 -> EPSG:4326 on the thread", kMeshReprojection, false,
         "EPSG:3031", "EPSG:4326"},
        {"shadeBuffer, point, first EPSG:3031 -> EPSG:4326 on the thread", kPointReprojection, true, "EPSG:3031",
         "EPSG:4326"},
    };
    for (StackCase const& k : first) {
        long status = -1;
        std::size_t const used = stackOf(k, 1 << 20, status);
        EXPECT_EQ(status, 0) << k.label;
        std::printf("%s: %zu bytes of stack\n", k.label, used);
    }

    // The point transform called by a host: a first call on a fresh thread,
    // in one system and between two.
    ZELUNnBox<double, 2> const box(ZELUNnPoint<double, 2>(0, 0), ZELUNnPoint<double, 2>(300, 300));
    ZELUNCover const polar(CS("EPSG:3031"), -3e6, -3e6, 3e6, 3e6);
    ZELUNCover const geographic(CS("EPSG:4326"), -180, -90, 180, -50);
    for (ZELUNCover const* in : {&polar, &geographic}) {
        PointReprojectionTransform const t(box, polar, box, *in);
        long status = -1;
        std::size_t const used = runOnSmallStack(in == &polar ? kSmallStack : std::size_t(1) << 20, [&] {
            double x, y;
            status = t.transformPoint(150.5, 20.5, x, y);
        });
        EXPECT_EQ(status, 0);
        std::printf("PointReprojectionTransform::transformPoint, %s: %zu bytes of stack\n",
                    in == &polar ? "one system" : "first EPSG:3031 -> EPSG:4326 on the thread", used);
        if (kStackBounds && in == &polar) {
            EXPECT_LE(used, kOwnStackBound);
        }
    }
}

// A host's own calls of the point transform tell a shortage (or a pair
// without a transformation) from a point without a source position; the
// boolean form answers false for a point without image and a refused pair,
// and lets a shortage out as std::bad_alloc.
TEST(WarpShortage, PointTransformTellsAShortageFromNoImage)
{
    ZELUNnBox<double, 2> const box(ZELUNnPoint<double, 2>(0, 0), ZELUNnPoint<double, 2>(100, 100));
    char const* const sphere = "+proj=longlat +R=6370997";
    char const* const ortho = "+proj=ortho +lat_0=0 +lon_0=0 +R=6370997";
    // Output pixels of an orthographic view 2.5 radii wide: the corners lie
    // off the globe.
    ZELUNCover const disk(CS(ortho), -8e6, -8e6, 8e6, 8e6);
    ZELUNCover const globe(CS(sphere), -180, -90, 180, 90);
    PointReprojectionTransform const t(box, disk, box, globe);
    double x = -1, y = -1;
    EXPECT_EQ(t.transformPoint(0.5, 0.5, x, y), kErrCoordTransformFailed);
    EXPECT_FALSE(t.transform(0.5, 0.5, x, y));
    EXPECT_EQ(x, -1);
    ASSERT_EQ(t.transformPoint(50.5, 50.5, x, y), 0);
    double tx, ty;
    ASSERT_TRUE(t.transform(50.5, 50.5, tx, ty));
    EXPECT_EQ(x, tx);
    EXPECT_EQ(y, ty);

    // A pair this thread has not seen, first asked while memory is gone.
    ZELUNCover const freshView(CS(ortho), -8e6, -8e6, 8e6, 8e6);
    ZELUNCover const freshGlobe(CS(sphere), -180, -90, 180, 90);
    PointReprojectionTransform const fresh(box, freshView, box, freshGlobe);
    double fx = -1, fy = -1;
    {
        FailingAllocation noMemory(1, FailingAllocation::kThatAndLater);
        EXPECT_EQ(fresh.transformPoint(50.5, 50.5, fx, fy), kErrOutOfMemory);
        EXPECT_THROW(fresh.transform(50.5, 50.5, fx, fy), std::bad_alloc);
    }
    EXPECT_EQ(fx, -1);
    ASSERT_EQ(fresh.transformPoint(50.5, 50.5, fx, fy), 0);
    EXPECT_EQ(fx, x);
    EXPECT_EQ(fy, y);

    // No transformation between the systems.
    ZELUNCover const noInverse(CS(kBertin), -1e6, -1e6, 1e6, 1e6);  // kept by pointer: it outlives the transform
    PointReprojectionTransform const refused(box, noInverse, box, globe);
    EXPECT_EQ(refused.transformPoint(50.5, 50.5, fx, fy), kErrCoordTransformUnavailable);
}
