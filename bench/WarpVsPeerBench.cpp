// Raster reprojection beside GDAL's warper, both in this process on the same
// in-memory buffers: a geographic grid (lon 12-15, lat 45-48) into UTM 33N
// over the input cover's transformed bounds, bilinear, with source and
// destination no-data. Cases: uint8 on the mesh at 8 threads and at 1
// thread, float32 on the mesh at 8 threads, and the point method at a
// quarter of the size on 1 thread (the peer then without its approximating
// transformer). The peer uses a 0.125-pixel approximating transformer,
// INIT_DEST=NO_DATA, a warp memory that holds the whole output and as many
// threads as we do. Each case reports the median of 5 runs after a warm-up.
//
// Printed apart, untimed: our mesh-build time, the share of interior pixels
// (1-pixel border excluded, both valid) within 1 DN of a peer run without
// the approximating transformer, and the largest mesh-versus-point position
// error in input pixels.
//
// ZORV_WARP_BENCH_SIDE sets the output and input side (default 8192; the
// point cases use a quarter of it); ZORV_WARP_BENCH_WIDE=1 runs the two
// grids where many cells split (below) alone.
//
// The geoid cases read PROJ's EGM96 15-minute grid (egm96_15.gtx, from
// proj-data: 1440 x 721 float32 cells, a cover one turn wide) into the
// world in EPSG:3857 within +-80 degrees, the south polar EPSG:3031 and a
// wide EPSG:32633 area: our mesh, bilinear, at 8 threads beside the peer's
// 0.125-pixel approximating transformer, and our point method on 1 thread
// beside the peer's exact warp. Printed apart: our mesh-build time, the
// share of pixels within 1 cm of the peer's exact warp and the largest
// position error of our mesh against the exact path.
//
// Two grids where many cells split, timed apart (each variant once per
// round, five rounds, so that load changes hit all of them alike; medians
// with the range over the rounds):
// - polar into world: an EPSG:3031 input of 900 x 900 cells of 10 km into a
//   whole-world EPSG:4326 output of 1440 x 720, bilinear. Our mesh on one
//   thread and on all cores, our point method, the peer's 0.125-pixel
//   approximating warp on one thread and on all cores.
// - fine into coarse: a 90000 x 45000 EPSG:4326 box (0.004 degrees) into
//   EPSG:3857 within +-80 degrees, 2048 x 1588. Only the positions are
//   timed (the input would take 4 GB or more): our mesh construction on one
//   thread and on all cores, PROJ alone on every output pixel centre in
//   batches of 2048, and the peer's 0.125-pixel approximating transformer
//   on every centre, row by row as its warper asks for them.
// Each prints the construction time, the refinement's node count and the
// share of pixels computed exactly.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <cpl_conv.h>
#include <cpl_string.h>
#include <gdal.h>
#include <gdal_alg.h>
#include <gdalwarper.h>
#include <ogr_srs_api.h>
#include <proj.h>

#include "RatioReporter.h"
#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/platform/ZELUNCover.h"
#include "zorvsupport/warp/WarpUtils.h"
#include "zorvsupport/warp/MeshRefinement.h"
#include "zorvsupport/warp/TransformSupport.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace ZORV_3_13_0_::DataSet::WarpUtils;

namespace {

// Amplitude of the noise on the smooth field, in DN.
constexpr double kNoiseDN = 8.0;
constexpr double kLon0 = 12, kLat0 = 45, kLon1 = 15, kLat1 = 48;

unsigned sideOf()
{
    char const* s = std::getenv("ZORV_WARP_BENCH_SIDE");
    unsigned v = s ? static_cast<unsigned>(std::atoi(s)) : 0u;
    return v >= 64 ? v : 8192u;
}

template <class E>
struct Kind;
template <>
struct Kind<unsigned char> {
    using Tag = TDataType<3>;
    static constexpr GDALDataType kGdal = GDT_Byte;
    static constexpr double kNoData = 0;
    static char const* name() { return "Byte"; }
};
template <>
struct Kind<float> {
    using Tag = TDataType<0>;
    static constexpr GDALDataType kGdal = GDT_Float32;
    static constexpr double kNoData = -9999;
    static char const* name() { return "Float32"; }
};

// A smooth field plus noise of +-kNoiseDN, with about 5 % no-data in discs.
template <class E>
boost::shared_ptr<TDataVector2D<typename Kind<E>::Tag>> makeInput(unsigned side)
{
    using Tag = typename Kind<E>::Tag;
    auto g = TDataVector2D<Tag>::create(Tag(), typename TDataVector2D<Tag>::Index(side, side));
    E* p = static_cast<E*>(g->getDataPtr());
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> noise(-kNoiseDN, kNoiseDN);
    for (unsigned r = 0; r < side; ++r)
        for (unsigned c = 0; c < side; ++c) {
            double const u = double(c) / side, v = double(r) / side;
            double const h = 127.5 + 100.0 * std::sin(6.0 * u) * std::cos(5.0 * v) + noise(rng);
            p[std::size_t(r) * side + c] = static_cast<E>(std::clamp(h, 1.0, 255.0));
        }
    // Discs of radius side / 40 until about 5 % of the grid is no-data.
    double const radius = side / 40.0;
    std::size_t const discs =
        static_cast<std::size_t>(0.05 * double(side) * side / (3.14159265 * radius * radius) * 1.05);
    std::uniform_real_distribution<double> at(0, side);
    for (std::size_t d = 0; d < discs; ++d) {
        double const cx = at(rng), cy = at(rng);
        for (int r = std::max(0, int(cy - radius)); r < std::min(int(side), int(cy + radius) + 1); ++r)
            for (int c = std::max(0, int(cx - radius)); c < std::min(int(side), int(cx + radius) + 1); ++c)
                if ((c - cx) * (c - cx) + (r - cy) * (r - cy) <= radius * radius)
                    p[std::size_t(r) * side + c] = static_cast<E>(Kind<E>::kNoData);
    }
    return g;
}

struct Scene {
    ZELUNCover inCover;
    ZELUNCover outCover;
};

Scene const& scene()
{
    static Scene const s = [] {
        ZELUNCover const in(ZELUNCoordSystem("EPSG:4326"), kLon0, kLat0, kLon1, kLat1);
        long status = 0;
        ZELUNCover const out = in.transformTo(ZELUNCoordSystem("EPSG:32633"), status);
        if (status) std::fprintf(stderr, "transformTo failed: %ld\n", status);
        return Scene{in, out};
    }();
    return s;
}

// A MEM dataset over our buffer; row 0 is minY, so the pixel height is
// positive.
GDALDatasetH wrap(void* data, unsigned w, unsigned h, GDALDataType type, ZELUNCover const& cover, char const* srs,
                  double noData)
{
    char memPath[256];
    std::snprintf(memPath, sizeof memPath, "MEM:::DATAPOINTER=%p,PIXELS=%u,LINES=%u,BANDS=1,DATATYPE=%s", data, w, h,
                  GDALGetDataTypeName(type));
    GDALDatasetH ds = GDALOpen(memPath, GA_Update);
    if (!ds) return nullptr;
    double gt[6] = {cover.getMinX(), cover.getWidth() / w, 0, cover.getMinY(), 0, cover.getHeight() / h};
    GDALSetGeoTransform(ds, gt);
    OGRSpatialReferenceH s = OSRNewSpatialReference(nullptr);
    OSRSetFromUserInput(s, srs);
    OSRSetAxisMappingStrategy(s, OAMS_TRADITIONAL_GIS_ORDER);
    GDALSetSpatialRef(ds, s);
    OSRDestroySpatialReference(s);
    GDALSetRasterNoDataValue(GDALGetRasterBand(ds, 1), noData);
    return ds;
}

// One warp of the peer from `in` (inW x inH on inCover in inSrs) into `out`
// (outW x outH on outCover in outSrs).
void peerWarp(void* in, unsigned inW, unsigned inH, ZELUNCover const& inCover, char const* inSrs, void* out,
              unsigned outW, unsigned outH, ZELUNCover const& outCover, char const* outSrs, GDALDataType type,
              double noData, unsigned threads, bool approximate)
{
    GDALDatasetH src = wrap(in, inW, inH, type, inCover, inSrs, noData);
    GDALDatasetH dst = wrap(out, outW, outH, type, outCover, outSrs, noData);
    GDALWarpOptions* wo = GDALCreateWarpOptions();
    wo->hSrcDS = src;
    wo->hDstDS = dst;
    wo->nBandCount = 1;
    wo->panSrcBands = static_cast<int*>(CPLMalloc(sizeof(int)));
    wo->panDstBands = static_cast<int*>(CPLMalloc(sizeof(int)));
    wo->panSrcBands[0] = wo->panDstBands[0] = 1;
    wo->padfSrcNoDataReal = static_cast<double*>(CPLMalloc(sizeof(double)));
    wo->padfDstNoDataReal = static_cast<double*>(CPLMalloc(sizeof(double)));
    wo->padfSrcNoDataReal[0] = wo->padfDstNoDataReal[0] = noData;
    wo->eResampleAlg = GRA_Bilinear;
    wo->eWorkingDataType = type;
    wo->dfWarpMemoryLimit = 4.0 * outW * outH * GDALGetDataTypeSizeBytes(type) + (1 << 26);
    wo->papszWarpOptions = CSLSetNameValue(wo->papszWarpOptions, "INIT_DEST", "NO_DATA");
    wo->papszWarpOptions = CSLSetNameValue(wo->papszWarpOptions, "NUM_THREADS", std::to_string(threads).c_str());
    void* gen = GDALCreateGenImgProjTransformer2(src, dst, nullptr);
    if (approximate) {
        wo->pTransformerArg = GDALCreateApproxTransformer(GDALGenImgProjTransform, gen, 0.125);
        GDALApproxTransformerOwnsSubtransformer(wo->pTransformerArg, TRUE);
        wo->pfnTransformer = GDALApproxTransform;
    } else {
        wo->pTransformerArg = gen;
        wo->pfnTransformer = GDALGenImgProjTransform;
    }
    GDALWarpOperationH op = GDALCreateWarpOperation(wo);
    if (!op || GDALChunkAndWarpImage(op, 0, 0, outW, outH) != CE_None) std::fprintf(stderr, "peer warp failed\n");
    GDALDestroyWarpOperation(op);
    if (approximate)
        GDALDestroyApproxTransformer(wo->pTransformerArg);
    else
        GDALDestroyGenImgProjTransformer(wo->pTransformerArg);
    wo->pTransformerArg = nullptr;
    GDALDestroyWarpOptions(wo);
    GDALClose(dst);
    GDALClose(src);
}

// The synthetic scene's peer warp, square grids.
void peerWarp(void* in, void* out, unsigned inSide, unsigned outSide, GDALDataType type, double noData,
              unsigned threads, bool approximate)
{
    peerWarp(in, inSide, inSide, scene().inCover, "EPSG:4326", out, outSide, outSide, scene().outCover, "EPSG:32633",
             type, noData, threads, approximate);
}

template <class F>
double seconds(F&& f)
{
    auto const t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// A warm-up, then the median of five runs, as the benchmark's time.
template <class F>
void medianOfFive(benchmark::State& state, F&& f)
{
    for (auto _ : state) {
        f();
        std::vector<double> t;
        for (int i = 0; i < 5; ++i) t.push_back(seconds(f));
        std::sort(t.begin(), t.end());
        state.SetIterationTime(t[2]);
    }
}

template <class E>
struct Buffers {
    unsigned side;
    boost::shared_ptr<TDataVector2D<typename Kind<E>::Tag>> in, ours;
    std::vector<E> peer;
    explicit Buffers(unsigned s) : side(s), in(makeInput<E>(s))
    {
        using Tag = typename Kind<E>::Tag;
        ours = TDataVector2D<Tag>::create(Tag(), typename TDataVector2D<Tag>::Index(s, s));
        peer.assign(std::size_t(s) * s, E(1));  // both outputs touched before the loop
    }
};

template <class E>
Buffers<E>& buffers(unsigned side)
{
    static std::map<unsigned, std::unique_ptr<Buffers<E>>> bySide;
    std::unique_ptr<Buffers<E>>& b = bySide[side];
    if (!b) b = std::make_unique<Buffers<E>>(side);
    return *b;
}

template <class E>
void ours(benchmark::State& state, unsigned side, ReprojectMethod method, unsigned threads)
{
    Buffers<E>& b = buffers<E>(side);
    Variant const nd(typename Kind<E>::Tag(), static_cast<E>(Kind<E>::kNoData));
    medianOfFive(state, [&] {
        setNumThreads(threads);
        reprojectBuffer(*b.ours, scene().outCover, *b.in, scene().inCover, nd, method, kBilinear, false);
    });
}

template <class E>
void peer(benchmark::State& state, unsigned side, bool approximate, unsigned threads)
{
    Buffers<E>& b = buffers<E>(side);
    medianOfFive(state, [&] {
        peerWarp(b.in->getDataPtr(), b.peer.data(), side, side, Kind<E>::kGdal, Kind<E>::kNoData, threads, approximate);
    });
}

// Share of interior output pixels, valid on both sides, within 1 DN of a
// peer run with exact transformations.
template <class E>
void agreement(unsigned side)
{
    Buffers<E>& b = buffers<E>(side);
    std::vector<E> exact(std::size_t(side) * side, E(1));
    peerWarp(b.in->getDataPtr(), exact.data(), side, side, Kind<E>::kGdal, Kind<E>::kNoData, 8, false);
    E const* o = static_cast<E const*>(b.ours->getConstDataPtr());
    std::size_t both = 0, close = 0;
    for (unsigned r = 1; r + 1 < side; ++r)
        for (unsigned c = 1; c + 1 < side; ++c) {
            std::size_t const i = std::size_t(r) * side + c;
            if (o[i] == E(Kind<E>::kNoData) || exact[i] == E(Kind<E>::kNoData)) continue;
            ++both;
            close += std::fabs(double(o[i]) - double(exact[i])) <= 1.0;
        }
    std::printf("%s %u^2: %.4f %% of %zu interior pixels valid on both sides within 1 DN of the exact peer\n",
                Kind<E>::name(), side, both ? 100.0 * close / both : 0.0, both);
}

void meshReport(unsigned side)
{
    ZELUNnBox<double, 2> const outBox(ZELUNnPoint<double, 2>(0.0, 0.0), ZELUNnPoint<double, 2>(double(side), double(side)));
    ZELUNnBox<double, 2> const inBox = outBox;
    long status = 0;
    std::vector<double> t;
    for (int i = 0; i < 5; ++i)
        t.push_back(seconds([&] {
            MeshReprojectionTransform const m(outBox, scene().outCover, inBox, scene().inCover, kMeshCellSize, status);
        }));
    std::sort(t.begin(), t.end());
    MeshReprojectionTransform const mesh(outBox, scene().outCover, inBox, scene().inCover, kMeshCellSize, status);
    PointReprojectionTransform const point(outBox, scene().outCover, inBox, scene().inCover);
    initCache();
    double worst = 0;
    unsigned const step = std::max(1u, side / 1024);
    for (unsigned r = 0; r < side; r += step)
        for (unsigned c = 0; c < side; c += step) {
            double mx, my, px, py;
            if (mesh.transform(c + 0.5, r + 0.5, mx, my) && point.transform(c + 0.5, r + 0.5, px, py))
                worst = std::max(worst, std::hypot(mx - px, my - py));
        }
    std::printf("mesh build %u^2: %.2f ms (median of 5); largest mesh-versus-point error %.3g input pixels\n", side,
                t[2] * 1e3, worst);
}


// ---- The EGM96 geoid ----

constexpr float kGeoidNoData = -9999.0f;

struct Geoid {
    boost::shared_ptr<TDataVector2D<TDataType<0>>> grid;
    ZELUNCover cover;
};

// The GTX grid: a 40-byte big-endian header (lower-left latitude and
// longitude, their steps, rows, columns), then float32 rows south to north.
Geoid const& geoid()
{
    static Geoid const g = [] {
        Geoid out;
        std::FILE* f = std::fopen("/usr/share/proj/egm96_15.gtx", "rb");
        if (!f) {
            std::fprintf(stderr, "/usr/share/proj/egm96_15.gtx missing: install proj-data\n");
            std::exit(1);
        }
        unsigned char h[40];
        auto be64 = [](unsigned char const* p) {
            std::uint64_t u = 0;
            for (int i = 0; i < 8; ++i) u = (u << 8) | p[i];
            double d;
            std::memcpy(&d, &u, 8);
            return d;
        };
        auto be32 = [](unsigned char const* p) {
            return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
        };
        bool ok = std::fread(h, 1, 40, f) == 40;
        unsigned const rows = be32(h + 32), cols = be32(h + 36);
        std::vector<unsigned char> bytes(std::size_t(rows) * cols * 4);
        ok = ok && std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
        std::fclose(f);
        if (!ok) std::exit(1);
        out.grid = TDataVector2D<TDataType<0>>::create(TDataType<0>(), TDataVector2D<TDataType<0>>::Index(cols, rows));
        float* v = static_cast<float*>(out.grid->getDataPtr());
        for (std::size_t i = 0; i < std::size_t(rows) * cols; ++i) {
            std::uint32_t const u = be32(&bytes[4 * i]);
            std::memcpy(&v[i], &u, 4);
        }
        double const lat0 = be64(h), lon0 = be64(h + 8), dLat = be64(h + 16), dLon = be64(h + 24);
        out.cover = ZELUNCover(ZELUNCoordSystem("EPSG:4326"), lon0 - dLon / 2, lat0 - dLat / 2,
                               lon0 - dLon / 2 + cols * dLon, lat0 - dLat / 2 + rows * dLat);
        return out;
    }();
    return g;
}

struct GeoidTarget {
    char const* name;
    char const* srs;
    double minX, minY, maxX, maxY;
    unsigned w, h;
};

double const kMercatorHalf = 3.14159265358979323846 * 6378137.0;
double const kMercator80 = 6378137.0 * std::log(std::tan(3.14159265358979323846 / 4 + 80.0 * 3.14159265358979323846 / 360.0));
GeoidTarget const kGeoidTargets[] = {
    {"3857", "EPSG:3857", -kMercatorHalf, -kMercator80, kMercatorHalf, kMercator80, 3200, 2480},
    {"3031", "EPSG:3031", -4000e3, -4000e3, 4000e3, 4000e3, 1600, 1600},
    {"32633", "EPSG:32633", -1500e3, 0, 2500e3, 9000e3, 800, 1800},
};

ZELUNCover const& geoidOutCover(int k)
{
    static ZELUNCover const covers[] = {
        ZELUNCover(ZELUNCoordSystem(kGeoidTargets[0].srs), kGeoidTargets[0].minX, kGeoidTargets[0].minY,
                   kGeoidTargets[0].maxX, kGeoidTargets[0].maxY),
        ZELUNCover(ZELUNCoordSystem(kGeoidTargets[1].srs), kGeoidTargets[1].minX, kGeoidTargets[1].minY,
                   kGeoidTargets[1].maxX, kGeoidTargets[1].maxY),
        ZELUNCover(ZELUNCoordSystem(kGeoidTargets[2].srs), kGeoidTargets[2].minX, kGeoidTargets[2].minY,
                   kGeoidTargets[2].maxX, kGeoidTargets[2].maxY),
    };
    return covers[k];
}

// Our output and the peer's of target k (the point cases on half the side).
struct GeoidBuffers {
    boost::shared_ptr<TDataVector2D<TDataType<0>>> ours;
    std::vector<float> peer;
};
GeoidBuffers& geoidBuffers(int k, unsigned w, unsigned h)
{
    static std::map<std::pair<int, unsigned>, std::unique_ptr<GeoidBuffers>> all;
    auto& b = all[{k, w}];
    if (!b) {
        b = std::make_unique<GeoidBuffers>();
        b->ours = TDataVector2D<TDataType<0>>::create(TDataType<0>(), TDataVector2D<TDataType<0>>::Index(w, h));
        b->peer.assign(std::size_t(w) * h, 1.0f);
    }
    return *b;
}

void geoidOurs(benchmark::State& state, int k, ReprojectMethod method, unsigned threads, unsigned div)
{
    GeoidTarget const& t = kGeoidTargets[k];
    GeoidBuffers& b = geoidBuffers(k, t.w / div, t.h / div);
    Variant const nd(TDataType<0>(), kGeoidNoData);
    medianOfFive(state, [&] {
        setNumThreads(threads);
        reprojectBuffer(*b.ours, geoidOutCover(k), *geoid().grid, geoid().cover, nd, method, kBilinear, false);
    });
}

void geoidPeerWarp(int k, float* out, unsigned w, unsigned h, unsigned threads, bool approximate)
{
    Geoid const& g = geoid();
    peerWarp(g.grid->getDataPtr(), 1440, 721, g.cover, "EPSG:4326", out, w, h, geoidOutCover(k), kGeoidTargets[k].srs,
             GDT_Float32, kGeoidNoData, threads, approximate);
}

void geoidPeer(benchmark::State& state, int k, bool approximate, unsigned threads, unsigned div)
{
    GeoidTarget const& t = kGeoidTargets[k];
    GeoidBuffers& b = geoidBuffers(k, t.w / div, t.h / div);
    medianOfFive(state, [&] { geoidPeerWarp(k, b.peer.data(), t.w / div, t.h / div, threads, approximate); });
}

// Mesh-build time, our mesh's largest position error against the exact path
// (cyclic in x: the geoid is one turn wide), and the share of pixels where
// our mesh output lies within 1 cm of the peer's exact warp.
void geoidReport(int k)
{
    GeoidTarget const& t = kGeoidTargets[k];
    ZELUNnBox<double, 2> const outBox(ZELUNnPoint<double, 2>(0.0, 0.0), ZELUNnPoint<double, 2>(double(t.w), double(t.h)));
    ZELUNnBox<double, 2> const inBox(ZELUNnPoint<double, 2>(0.0, 0.0), ZELUNnPoint<double, 2>(1440.0, 721.0));
    long status = 0;
    std::vector<double> times;
    for (int i = 0; i < 5; ++i)
        times.push_back(seconds([&] {
            MeshReprojectionTransform const m(outBox, geoidOutCover(k), inBox, geoid().cover, kMeshCellSize, status);
        }));
    std::sort(times.begin(), times.end());
    MeshReprojectionTransform const mesh(outBox, geoidOutCover(k), inBox, geoid().cover, kMeshCellSize, status);
    MeshBuild const built = buildMesh(outBox, geoidOutCover(k), inBox, geoid().cover, kMeshCellSize, status);
    PointReprojectionTransform const point(outBox, geoidOutCover(k), inBox, geoid().cover);
    initCache();
    double worst = 0;
    for (unsigned r = 0; r < t.h; ++r)
        for (unsigned c = 0; c < t.w; ++c) {
            double mx, my, px, py;
            if (mesh.transform(c + 0.5, r + 0.5, mx, my) && point.transform(c + 0.5, r + 0.5, px, py)) {
                double dx = std::fabs(mx - px);
                dx = std::min(dx, std::fabs(dx - 1440.0));
                worst = std::max(worst, std::max(dx, std::fabs(my - py)));
            }
        }
    GeoidBuffers& b = geoidBuffers(k, t.w, t.h);
    setNumThreads(8);
    reprojectBuffer(*b.ours, geoidOutCover(k), *geoid().grid, geoid().cover, Variant(TDataType<0>(), kGeoidNoData),
                    kMeshReprojection, kBilinear, false);
    std::vector<float> exact(std::size_t(t.w) * t.h, 1.0f);
    geoidPeerWarp(k, exact.data(), t.w, t.h, 8, false);
    float const* o = static_cast<float const*>(b.ours->getConstDataPtr());
    std::size_t close = 0, noData = 0;
    for (std::size_t i = 0; i < exact.size(); ++i) {
        close += std::fabs(double(o[i]) - double(exact[i])) <= 0.01;
        noData += o[i] == kGeoidNoData;
    }
    std::printf("geoid %s %ux%u: mesh build %.2f ms (median of 5), %zu cells split; largest mesh position error %.4f "
                "input pixels; %.3f %% of pixels within 1 cm of the peer's exact warp; %zu no-data pixels\n",
                t.name, t.w, t.h, times[2] * 1e3,
                built.internals ? built.internals->trees.size() : std::size_t(0),
                worst, 100.0 * close / exact.size(), noData);
}

// ---- Grids where many cells split ----

// Node count and exactly computed pixels of a mesh's refinement.
struct MeshFigures {
    std::size_t nodes = 0, exact = 0;
};
MeshFigures figuresOf(MeshBuild const& mesh)
{
    MeshFigures f;
    if (MeshInternals const* in = mesh.internals.get())
        for (MeshCellTree const& t : in->trees) {
            f.nodes += t.nodeCount;
            f.exact += t.centreCount;
        }
    return f;
}

struct WideCase {
    char const* name;
    char const* inSrs;
    double inMinX, inMinY, inMaxX, inMaxY;
    unsigned inW, inH;
    char const* outSrs;
    double outMinX, outMinY, outMaxX, outMaxY;
    unsigned outW, outH;
    ZELUNCover inCover() const { return ZELUNCover(ZELUNCoordSystem(inSrs), inMinX, inMinY, inMaxX, inMaxY); }
    ZELUNCover outCover() const { return ZELUNCover(ZELUNCoordSystem(outSrs), outMinX, outMinY, outMaxX, outMaxY); }
};

WideCase const kPolarIntoWorld{"polar into world", "EPSG:3031", -4500e3, -4500e3, 4500e3, 4500e3, 900, 900,
                               "EPSG:4326", -180, -90, 180, 90, 1440, 720};
WideCase const kFineIntoCoarse{"fine into coarse", "EPSG:4326", -180, -90, 180, 90, 90000, 45000,
                               "EPSG:3857", -kMercatorHalf, -kMercator80, kMercatorHalf, kMercator80, 2048, 1588};

// Median and range of a variant's times over the rounds.
struct Times {
    std::vector<double> t;
    double median() const
    {
        std::vector<double> s = t;
        std::sort(s.begin(), s.end());
        return s[s.size() / 2];
    }
    double lo() const { return *std::min_element(t.begin(), t.end()); }
    double hi() const { return *std::max_element(t.begin(), t.end()); }
};

void printTimes(char const* label, Times const& t)
{
    std::printf("  %-44s %8.1f ms  [%.1f, %.1f]\n", label, t.median() * 1e3, t.lo() * 1e3, t.hi() * 1e3);
}

// The ratio a / b of medians, with the range of the per-round ratios.
void printRatio(char const* label, Times const& a, Times const& b)
{
    double lo = 1e300, hi = 0;
    for (std::size_t i = 0; i < a.t.size(); ++i) {
        lo = std::min(lo, a.t[i] / b.t[i]);
        hi = std::max(hi, a.t[i] / b.t[i]);
    }
    std::printf("  %-44s %8.3f    [%.3f, %.3f]\n", label, a.median() / b.median(), lo, hi);
}

void printMesh(WideCase const& c)
{
    ZELUNCover const inCover = c.inCover(), outCover = c.outCover();
    long status = 0;
    MeshBuild const mesh = buildMesh(pixelBoxOf(c.outW, c.outH), outCover, pixelBoxOf(c.inW, c.inH), inCover,
                                     kMeshCellSize, status);
    MeshFigures const f = figuresOf(mesh);

    std::printf("  status %ld, %zu nodes, %zu pixels exact (%.1f %%)\n", status, f.nodes, f.exact,
                100.0 * double(f.exact) / (double(c.outW) * c.outH));
}

double constructionSeconds(WideCase const& c, ZELUNCover const& inCover, ZELUNCover const& outCover, unsigned threads)
{
    setNumThreads(threads);
    long status = 0;
    return seconds([&] {
        MeshReprojectionTransform const m(pixelBoxOf(c.outW, c.outH), outCover, pixelBoxOf(c.inW, c.inH), inCover,
                                          kMeshCellSize, status);
    });
}

void polarIntoWorldReport()
{
    WideCase const& c = kPolarIntoWorld;
    ZELUNCover const inCover = c.inCover(), outCover = c.outCover();
    auto in = TDataVector2D<TDataType<0>>::create(TDataType<0>(), TDataVector2D<TDataType<0>>::Index(c.inW, c.inH));
    float* p = static_cast<float*>(in->getDataPtr());
    for (unsigned r = 0; r < c.inH; ++r)
        for (unsigned k = 0; k < c.inW; ++k) p[std::size_t(r) * c.inW + k] = float(1000.0 * std::sin(k * 0.01) * std::cos(r * 0.013));
    auto out = TDataVector2D<TDataType<0>>::create(TDataType<0>(), TDataVector2D<TDataType<0>>::Index(c.outW, c.outH));
    std::vector<float> peerOut(std::size_t(c.outW) * c.outH, 1.0f);
    Variant const nd(TDataType<0>(), kGeoidNoData);
    unsigned const all = std::max(2u, std::thread::hardware_concurrency());
    auto call = [&](ReprojectMethod method, unsigned threads) {
        setNumThreads(threads);
        return seconds([&] { reprojectBuffer(*out, outCover, *in, inCover, nd, method, kBilinear, false); });
    };
    auto peerCall = [&](unsigned threads) {
        return seconds([&] {
            peerWarp(in->getDataPtr(), c.inW, c.inH, inCover, c.inSrs, peerOut.data(), c.outW, c.outH, outCover,
                     c.outSrs, GDT_Float32, kGeoidNoData, threads, true);
        });
    };
    Times build1, buildAll, mesh1, meshAll, point1, peer1, peerAll;
    call(kMeshReprojection, 1), call(kPointReprojection, 1), peerCall(1);  // warm-up
    for (int round = 0; round < 5; ++round) {
        build1.t.push_back(constructionSeconds(c, inCover, outCover, 1));
        buildAll.t.push_back(constructionSeconds(c, inCover, outCover, all));
        mesh1.t.push_back(call(kMeshReprojection, 1));
        meshAll.t.push_back(call(kMeshReprojection, all));
        point1.t.push_back(call(kPointReprojection, 1));
        peer1.t.push_back(peerCall(1));
        peerAll.t.push_back(peerCall(all));
    }
    setNumThreads(0);
    std::printf("\n%s: EPSG:3031 900 x 900 (10 km) into EPSG:4326 1440 x 720, bilinear (%u cores)\n", c.name, all);
    printMesh(c);
    printTimes("mesh construction, 1 thread", build1);
    printTimes("mesh construction, all cores", buildAll);
    printTimes("mesh call, 1 thread", mesh1);
    printTimes("mesh call, all cores", meshAll);
    printTimes("point call, 1 thread", point1);
    printTimes("peer approximate warp, 1 thread", peer1);
    printTimes("peer approximate warp, all cores", peerAll);
    printRatio("mesh 1 thread / point 1 thread", mesh1, point1);
    printRatio("mesh 1 thread / peer 1 thread", mesh1, peer1);
    printRatio("mesh all cores / peer 1 thread", meshAll, peer1);
    printRatio("mesh all cores / peer all cores", meshAll, peerAll);
}

// PROJ alone: every output pixel centre from output to input world
// coordinates, in batches of 2048.
double projAllCentres(WideCase const& c, std::vector<double>& xy)
{
    PJ_CONTEXT* ctx = proj_context_create();
    PJ* raw = proj_create_crs_to_crs(ctx, c.outSrs, c.inSrs, nullptr);
    PJ* op = proj_normalize_for_visualization(ctx, raw);
    proj_destroy(raw);
    constexpr std::size_t kBatch = 2048;
    xy.resize(2 * kBatch);
    double const dx = (c.outMaxX - c.outMinX) / c.outW, dy = (c.outMaxY - c.outMinY) / c.outH;
    double const t = seconds([&] {
        for (unsigned r = 0; r < c.outH; ++r)
            for (unsigned k0 = 0; k0 < c.outW; k0 += kBatch) {
                std::size_t const n = std::min<std::size_t>(kBatch, c.outW - k0);
                for (std::size_t i = 0; i < n; ++i) {
                    xy[2 * i] = c.outMinX + (double(k0 + i) + 0.5) * dx;
                    xy[2 * i + 1] = c.outMinY + (double(r) + 0.5) * dy;
                }
                proj_trans_generic(op, PJ_FWD, xy.data(), 2 * sizeof(double), n, xy.data() + 1, 2 * sizeof(double), n,
                                   nullptr, 0, 0, nullptr, 0, 0);
            }
    });
    proj_destroy(op);
    proj_context_destroy(ctx);
    return t;
}

// The peer's 0.125-pixel approximating transformer on every output pixel
// centre, one output row per call, as its warper asks for positions.
double peerApproxAllCentres(WideCase const& c)
{
    auto wkt = [](char const* srs) {
        OGRSpatialReferenceH s = OSRNewSpatialReference(nullptr);
        OSRSetFromUserInput(s, srs);
        OSRSetAxisMappingStrategy(s, OAMS_TRADITIONAL_GIS_ORDER);
        char* w = nullptr;
        OSRExportToWkt(s, &w);
        std::string out = w;
        CPLFree(w);
        OSRDestroySpatialReference(s);
        return out;
    };
    std::string const inWkt = wkt(c.inSrs), outWkt = wkt(c.outSrs);
    double const inGt[6] = {c.inMinX, (c.inMaxX - c.inMinX) / c.inW, 0, c.inMinY, 0, (c.inMaxY - c.inMinY) / c.inH};
    double const outGt[6] = {c.outMinX, (c.outMaxX - c.outMinX) / c.outW, 0, c.outMinY, 0, (c.outMaxY - c.outMinY) / c.outH};
    void* gen = GDALCreateGenImgProjTransformer3(inWkt.c_str(), inGt, outWkt.c_str(), outGt);
    void* approx = GDALCreateApproxTransformer(GDALGenImgProjTransform, gen, 0.125);
    GDALApproxTransformerOwnsSubtransformer(approx, TRUE);
    std::vector<double> x(c.outW), y(c.outW), z(c.outW);
    std::vector<int> ok(c.outW);
    double const t = seconds([&] {
        for (unsigned r = 0; r < c.outH; ++r) {
            for (unsigned k = 0; k < c.outW; ++k) {
                x[k] = k + 0.5;
                y[k] = r + 0.5;
                z[k] = 0;
            }
            GDALApproxTransform(approx, TRUE, int(c.outW), x.data(), y.data(), z.data(), ok.data());
        }
    });
    GDALDestroyApproxTransformer(approx);
    return t;
}

void fineIntoCoarseReport()
{
    WideCase const& c = kFineIntoCoarse;
    ZELUNCover const inCover = c.inCover(), outCover = c.outCover();
    unsigned const all = std::max(2u, std::thread::hardware_concurrency());
    std::vector<double> scratch;
    Times build1, buildAll, proj1, peer1;
    constructionSeconds(c, inCover, outCover, 1), projAllCentres(c, scratch), peerApproxAllCentres(c);  // warm-up
    for (int round = 0; round < 5; ++round) {
        build1.t.push_back(constructionSeconds(c, inCover, outCover, 1));
        buildAll.t.push_back(constructionSeconds(c, inCover, outCover, all));
        proj1.t.push_back(projAllCentres(c, scratch));
        peer1.t.push_back(peerApproxAllCentres(c));
    }
    setNumThreads(0);
    std::printf("\n%s: EPSG:4326 90000 x 45000 (0.004 deg) into EPSG:3857 2048 x 1588, positions only (%u cores)\n",
                c.name, all);
    printMesh(c);
    printTimes("mesh construction, 1 thread", build1);
    printTimes("mesh construction, all cores", buildAll);
    printTimes("PROJ alone on every centre, 1 thread", proj1);
    printTimes("peer approximate transformer, 1 thread", peer1);
    printRatio("construction 1 thread / PROJ alone", build1, proj1);
    printRatio("construction all cores / PROJ alone", buildAll, proj1);
    printRatio("construction 1 thread / peer transformer", build1, peer1);
}

void registerCases()
{
    unsigned const side = sideOf(), pointSide = side / 4;
    auto add = [](std::string const& name, auto&& f) {
        benchmark::RegisterBenchmark(name.c_str(), f)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
    };
    std::string const s = std::to_string(side), ps = std::to_string(pointSide);
    add("uint8_" + s + "_mesh_8threads/ours", [=](benchmark::State& st) { ours<unsigned char>(st, side, kMeshReprojection, 8); });
    add("uint8_" + s + "_mesh_8threads/baseline", [=](benchmark::State& st) { peer<unsigned char>(st, side, true, 8); });
    add("uint8_" + s + "_mesh_1thread/ours", [=](benchmark::State& st) { ours<unsigned char>(st, side, kMeshReprojection, 1); });
    add("uint8_" + s + "_mesh_1thread/baseline", [=](benchmark::State& st) { peer<unsigned char>(st, side, true, 1); });
    add("float32_" + s + "_mesh_8threads/ours", [=](benchmark::State& st) { ours<float>(st, side, kMeshReprojection, 8); });
    add("float32_" + s + "_mesh_8threads/baseline", [=](benchmark::State& st) { peer<float>(st, side, true, 8); });
    add("uint8_" + ps + "_point_1thread/ours", [=](benchmark::State& st) { ours<unsigned char>(st, pointSide, kPointReprojection, 1); });
    add("uint8_" + ps + "_point_1thread/baseline", [=](benchmark::State& st) { peer<unsigned char>(st, pointSide, false, 1); });
    for (int k = 0; k < 3; ++k) {
        std::string const g = std::string("geoid_") + kGeoidTargets[k].name;
        add(g + "_mesh_8threads/ours", [=](benchmark::State& st) { geoidOurs(st, k, kMeshReprojection, 8, 1); });
        add(g + "_mesh_8threads/baseline", [=](benchmark::State& st) { geoidPeer(st, k, true, 8, 1); });
        add(g + "_point_1thread/ours", [=](benchmark::State& st) { geoidOurs(st, k, kPointReprojection, 1, 2); });
        add(g + "_point_1thread/baseline", [=](benchmark::State& st) { geoidPeer(st, k, false, 1, 2); });
    }
}

}  // namespace

int main(int argc, char** argv)
{
    GDALAllRegister();
    CPLSetConfigOption("GDAL_MEM_ENABLE_OPEN", "YES");
    // ZORV_WARP_BENCH_WIDE=1: the two grids where many cells split, alone.
    char const* wide = std::getenv("ZORV_WARP_BENCH_WIDE");
    if (wide && std::strcmp(wide, "1") == 0) {
        polarIntoWorldReport();
        fineIntoCoarseReport();
        setNumThreads(0);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    registerCases();
    zorvbench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    unsigned const side = sideOf();
    std::printf("\n");
    meshReport(side);
    // The outputs of the last runs of our side, against the exact peer.
    agreement<unsigned char>(side / 4);
    agreement<float>(side);
    for (int k = 0; k < 3; ++k) geoidReport(k);
    polarIntoWorldReport();
    fineIntoCoarseReport();
    setNumThreads(0);
    return 0;
}
