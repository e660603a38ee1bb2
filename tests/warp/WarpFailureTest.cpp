// What reprojection and shading report when their arguments or their
// resources fail: covers and systems checked before anything is built, a
// shortage of memory told from points without a source position, and the
// stack the entry points take.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <execinfo.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "support/FailingAllocation.h"
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

// A run in a child process, for failure points at which the engine may end
// the process: PROJ 9.1 fails an assertion, calls std::terminate or uses a
// null object at some of the allocations it cannot make when memory stays
// gone. How the child ended: its body passed or failed, the process ended
// inside the engine (the innermost frame of the library's or the engine's
// code, below the runtime's and the allocator's, lies in the engine), or it
// ended anywhere else.
enum class ChildEnd { kPassed, kFailed, kEngineEnded, kEnded };

constexpr int kExitFailed = 1;
constexpr int kExitEngine = 3;
constexpr int kExitElsewhere = 4;

[[noreturn]] void judgeTheEnd()
{
    void* frames[64];
    int const n = backtrace(frames, 64);
    Dl_info self;
    dladdr(reinterpret_cast<void*>(&judgeTheEnd), &self);
    for (int i = 0; i < n; ++i) {
        Dl_info info;
        if (!dladdr(frames[i], &info) || !info.dli_fname) continue;
        char const* const file = info.dli_fname;
        if (info.dli_fbase == self.dli_fbase) continue;  // this program: the handler, the test's allocator
        bool const runtime = std::strstr(file, "libc.so") || std::strstr(file, "libstdc++") ||
                             std::strstr(file, "libgcc_s") || std::strstr(file, "libasan") ||
                             std::strstr(file, "libubsan") || std::strstr(file, "ld-linux");
        if (runtime) continue;
        _exit(std::strstr(file, "libproj") ? kExitEngine : kExitElsewhere);
    }
    _exit(kExitElsewhere);
}

void onSignal(int)
{
    judgeTheEnd();
}

ChildEnd inChild(std::function<bool()> const& body)
{
    std::fflush(nullptr);
    pid_t const pid = fork();
    if (pid == 0) {
        void* warm[1];
        backtrace(warm, 1);  // loads the unwinder before memory is taken away
        for (int sig : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE}) signal(sig, onSignal);
        std::set_terminate(judgeTheEnd);
        bool const passed = body();
        std::fflush(nullptr);
        _exit(passed ? 0 : kExitFailed);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return ChildEnd::kEnded;
    if (!WIFEXITED(status)) return ChildEnd::kEnded;
    switch (WEXITSTATUS(status)) {
    case 0: return ChildEnd::kPassed;
    case kExitFailed: return ChildEnd::kFailed;
    case kExitEngine: return ChildEnd::kEngineEnded;
    default: return ChildEnd::kEnded;
    }
}

// One call of an entry point on a pair of systems the thread has not seen
// (covers of fresh systems) into a fresh canary: the top `rows` rows of a
// 300 x 300 grid of 20 km pixels in EPSG:3031 from EPSG:4326 south of 50 S.
// restore() puts the canary back.
struct PointCallBase {
    explicit PointCallBase(unsigned rows)
        : outCover(CS("EPSG:3031"), -3e6, 3e6 - 2e4 * rows, 3e6, 3e6), inCover(CS("EPSG:4326"), -180, -90, 180, -50)
    {
    }
    ZELUNCover outCover;
    ZELUNCover inCover;
    std::vector<unsigned char> canary;
    long status = -1;
};

void restoreBytes(DataVector& v, std::vector<unsigned char> const& bytes)
{
    std::memcpy(v.getDataPtr(), bytes.data(), bytes.size());
}

struct PointReprojection : PointCallBase {
    explicit PointReprojection(unsigned rows = 300) : PointCallBase(rows), out(rampOf(300, rows, 1e6f)) {}
    boost::shared_ptr<TDataVector2D<F32>> out;
    boost::shared_ptr<TDataVector2D<F32>> in = rampOf(360, 40);
    Variant noData{F32(), -1.0f};

    long run() { return reprojectBuffer(*out, outCover, *in, inCover, noData, kPointReprojection, kBilinear, false); }
    DataVector const& output() const { return *out; }
    void restore(std::vector<unsigned char> const& bytes) { restoreBytes(*out, bytes); }
};

struct PointShading : PointCallBase {
    explicit PointShading(unsigned rows = 300) : PointCallBase(rows), image(imageOf(300, rows)) {}
    boost::shared_ptr<TDataVector2D<U8x>> image;
    boost::shared_ptr<TDataVector2D<F32x>> normals = normalsOf(360, 40);

    long run()
    {
        return shadeBuffer(*image, outCover, imageNoData(), *normals, inCover, view(kZeroNormal), view(kLight),
                           kPointReprojection);
    }
    DataVector const& output() const { return *image; }
    void restore(std::vector<unsigned char> const& bytes) { restoreBytes(*image, bytes); }
};

// Sweeps the failing allocations of a first call on a fresh pair: each
// failure point gives 0 with the bytes of a call that never failed, or
// kErrOutOfMemory with the output untouched (nothing is written before the
// pair and the scratch are had); the next call with memory back, from the
// same canary, gives the bytes of a call that never failed. Every failure
// point with one failure alone, on a band of the grid's top rows (the
// failure points lie in the making of the pair and of the scratch, which do
// not depend on the rows); with memory gone from the failing allocation on,
// a sample of the points on the whole grid, each in a child process (see
// inChild), where a shortage that counted against the pair would refuse the
// next call's later rows.
template <class Call>
void sweepShortage(char const* what)
{
    auto const judge = [&](Call& call, long status, std::vector<unsigned char> const& expected, std::string* why) {
        std::vector<unsigned char> const after = bytesOf(call.output());
        if (status == kErrOutOfMemory) {
            if (after != call.canary) *why = "kErrOutOfMemory with the output changed";
        } else if (status != 0) {
            *why = "status " + std::to_string(status);
        } else if (after != expected) {
            *why = "0 with other bytes";
        }
        if (!why->empty()) return false;
        call.restore(call.canary);
        long const again = call.run();
        if (again != 0 || bytesOf(call.output()) != expected) {
            *why = "the next call gave " + std::to_string(again) + (again ? "" : " with other bytes");
            return false;
        }
        return true;
    };
    auto const referenceOf = [&](unsigned rows) {
        Call reference(rows);
        EXPECT_EQ(reference.run(), 0) << what;
        return bytesOf(reference.output());
    };

    constexpr unsigned kBand = 12;
    std::vector<unsigned char> const band = referenceOf(kBand);
    unsigned shortages = 0;
    unsigned const points = forEachAllocationFailure(
        [] {
            Call call(kBand);
            call.canary = bytesOf(call.output());
            return call;
        },
        [&](Call& call) {
#if defined(__SANITIZE_ADDRESS__)
            __lsan::ScopedDisabler engineLeaks;  // the engine's failure paths lose objects
#endif
            call.status = call.run();
        },
        [&](Call& call, bool threw) {
            EXPECT_FALSE(threw) << what;
            if (call.status == kErrOutOfMemory) ++shortages;
            std::string why;
            EXPECT_TRUE(judge(call, call.status, band, &why)) << what << ": " << why;
        });
    EXPECT_GT(points, 0u) << what;
    EXPECT_GT(shortages, 0u) << what;

    std::vector<unsigned char> const whole = referenceOf(300);
    unsigned const step = points > 40 ? points / 40 : 1;
    unsigned engineEnded = 0;
    for (unsigned n = 1; n <= points; n += step) {
        ChildEnd const end = inChild([&] {
            Call call;
            call.canary = bytesOf(call.output());
            long status;
            {
#if defined(__SANITIZE_ADDRESS__)
                __lsan::ScopedDisabler engineLeaks;
#endif
                FailingAllocation failing(n, FailingAllocation::kThatAndLater);
                status = call.run();
            }
            std::string why;
            bool const passed = judge(call, status, whole, &why);
            if (!passed) std::printf("%s, memory gone from allocation %u: %s\n", what, n, why.c_str());
            return passed;
        });
        if (end == ChildEnd::kEngineEnded) ++engineEnded;
        EXPECT_TRUE(end == ChildEnd::kPassed || end == ChildEnd::kEngineEnded)
            << what << ", memory gone from allocation " << n << ": " << (end == ChildEnd::kFailed ? "failed" : "ended");
    }
    std::printf("%s: %u failure points; with memory gone, %u sampled, %u ended inside the engine\n", what, points,
                (points + step - 1) / step, engineEnded);
}

}  // namespace

TEST(WarpShortage, PointReprojectionNeverReadsAShortageAsNoData)
{
    sweepShortage<PointReprojection>("reprojectBuffer, point method");
}

TEST(WarpShortage, PointShadingNeverReadsAShortageAsNoData)
{
    sweepShortage<PointShading>("shadeBuffer, point method");
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
