// Surface normals and hill-shading beside GDAL's hillshade (GDALDEMProcessing,
// Horn, azimuth 315, altitude 45, into a MEM dataset), in this process on one
// buffer each, over two height grids:
//   - a synthetic fractal elevation model of side x side float32 with 30 m
//     pixels in EPSG:32633 and a few -9999 holes;
//   - the EGM96 geoid of proj-data (/usr/share/proj/egm96_15.gtx, 1440 x
//     721 cells of 15' in EPSG:4326), read through GDAL (skipped when the
//     file is missing).
//
// Cases per grid (median of 5 runs after a warm-up):
//   normals_1thread        computeNormals against the peer, both on one thread
//                          (GDAL_NUM_THREADS=1);
//   normals_scalar         the literal cell-by-cell loop, for reference;
//   normals_shade_1thread  computeNormals + shadeBuffer of an RGBA image on
//                          the grid's own cover through the mesh, on one
//                          thread, against the peer on one thread;
//   normals_shade_8threads the same on 8 threads, against the peer on one
//                          thread (the CPU time over the wall time of the
//                          median run is printed as "threads").
// The formulas differ (4 neighbours against Horn's 3 x 3), so only the times
// are compared; the north-west 2048 x 2048 of both pictures of the synthetic
// model is written to shade-ours.png and shade-peer.png for a look.
//
// ZORV_SHADE_BENCH_SIDE sets the side (default 8192).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <cpl_conv.h>
#include <cpl_string.h>
#include <gdal.h>
#include <gdal_utils.h>
#include <ogr_srs_api.h>

#include "RatioReporter.h"
#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/platform/ZELUNCover.h"
#include "zorvsupport/warp/SurfaceNormals.h"
#include "zorvsupport/warp/WarpUtils.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace ZORV_3_13_0_::DataSet::WarpUtils;

namespace {

using Heights = TDataVector2D<TDataType<0>>;
using Normals = TDataVector2D<TTupleDataType<TDataType<0>>>;
using Image = TDataVector2D<TTupleDataType<TDataType<3>>>;

constexpr float kNoData = -9999.0f;
constexpr double kPixel = 30.0;
float const kUp[3] = {0.0f, 0.0f, 1.0f};
float const kLight[3] = {-0.5f, 0.5f, 0.7071f};

unsigned sideOf()
{
    char const* s = std::getenv("ZORV_SHADE_BENCH_SIDE");
    unsigned v = s ? static_cast<unsigned>(std::atoi(s)) : 0u;
    return v >= 64 ? v : 8192u;
}

float hash01(std::uint32_t x, std::uint32_t y, std::uint32_t seed)
{
    std::uint32_t v = x * 374761393u + y * 668265263u + seed * 2246822519u;
    v = (v ^ (v >> 13)) * 1274126177u;
    return static_cast<float>((v ^ (v >> 16)) & 0xFFFF) / 65535.0f;
}

// Octaves of value noise, the first ones folded into ridges, and round
// holes of -9999.
boost::shared_ptr<Heights> makeModel(unsigned side)
{
    auto grid = Heights::create(TDataType<0>(), Heights::Index(side, side));
    float* z = static_cast<float*>(grid->getDataPtr());
    for (unsigned r = 0; r < side; ++r)
        for (unsigned c = 0; c < side; ++c) {
            float h = 0.0f, amplitude = 900.0f;
            for (unsigned o = 0, step = 1024; o < 6; ++o, step /= 2, amplitude *= 0.45f) {
                float const fx = float(c % step) / float(step), fy = float(r % step) / float(step);
                std::uint32_t const x = c / step, y = r / step;
                float const a = hash01(x, y, o), b = hash01(x + 1, y, o);
                float const d = hash01(x, y + 1, o), e = hash01(x + 1, y + 1, o);
                float const n = (a + (b - a) * fx) + ((d + (e - d) * fx) - (a + (b - a) * fx)) * fy;
                h += amplitude * (o < 3 ? 1.0f - std::fabs(2.0f * n - 1.0f) : n);
            }
            z[c + std::size_t(r) * side] = 200.0f + h;
        }
    for (unsigned k = 0; k < 6; ++k) {
        long const cx = long(hash01(k, 1, 99) * side), cy = long(hash01(k, 2, 99) * side), radius = side / 50;
        for (long r = std::max(0L, cy - radius); r < std::min(long(side), cy + radius); ++r)
            for (long c = std::max(0L, cx - radius); c < std::min(long(side), cx + radius); ++c)
                if ((c - cx) * (c - cx) + (r - cy) * (r - cy) <= radius * radius) z[c + std::size_t(r) * side] = kNoData;
    }
    return grid;
}

// The EGM96 geoid as a height grid whose row 0 is the south edge, or an
// empty grid when the file cannot be read.
constexpr char const* kGeoidPath = "/usr/share/proj/egm96_15.gtx";

boost::shared_ptr<Heights> readGeoid(double& minX, double& minY, double& pixel)
{
    GDALDatasetH ds = GDALOpen(kGeoidPath, GA_ReadOnly);
    if (!ds) return {};
    unsigned const w = static_cast<unsigned>(GDALGetRasterXSize(ds)), h = static_cast<unsigned>(GDALGetRasterYSize(ds));
    double gt[6] = {};
    GDALGetGeoTransform(ds, gt);
    auto grid = Heights::create(TDataType<0>(), Heights::Index(w, h));
    std::vector<float> north(std::size_t(w) * h);
    bool const ok = GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Read, 0, 0, w, h, north.data(), w, h, GDT_Float32, 0,
                                 0) == CE_None;
    GDALClose(ds);
    if (!ok) return {};
    float* z = static_cast<float*>(grid->getDataPtr());
    for (unsigned r = 0; r < h; ++r) std::copy_n(&north[std::size_t(h - 1 - r) * w], w, z + std::size_t(r) * w);
    minX = gt[0];
    pixel = gt[1];
    minY = gt[3] + gt[5] * h;
    return grid;
}

// A height grid on its cover, its normals and an RGBA image of the same
// size on the same cover, and the peer's view of the same heights.
struct Scene {
    unsigned width = 0, height = 0;
    ZELUNCover cover;
    float factor;            // our factorX and factorY: the pixel size in metres
    char const* peerScale;   // the peer's -s: metres per unit of the cover
    boost::shared_ptr<Heights> heights;
    boost::shared_ptr<Normals> normals;
    boost::shared_ptr<Image> image;
    GDALDatasetH source = nullptr;
    GDALDatasetH peerOut = nullptr;  // the last picture of the peer

    Scene(boost::shared_ptr<Heights> grid, char const* crs, double minX, double minY, double pixel, float f,
          char const* scale)
        : factor(f), peerScale(scale), heights(std::move(grid))
    {
        if (!heights) return;
        width = heights->getDimension(0);
        height = heights->getDimension(1);
        cover = ZELUNCover(ZELUNCoordSystem(crs), minX, minY, minX + pixel * width, minY + pixel * height);
        normals = Normals::create(TTupleDataType<TDataType<0>>(3), Normals::Index(width, height));
        image = Image::create(TTupleDataType<TDataType<3>>(4), Image::Index(width, height));
        // Both outputs touched before the loop.
        std::fill_n(static_cast<float*>(normals->getDataPtr()), std::size_t(3) * width * height, 0.0f);
        resetImage();
        // The peer reads the same bytes through a MEM dataset; row 0 is
        // minY, so the pixel height is positive.
        char path[256];
        std::snprintf(path, sizeof path, "MEM:::DATAPOINTER=%p,PIXELS=%u,LINES=%u,BANDS=1,DATATYPE=Float32",
                      heights->getDataPtr(), width, height);
        source = GDALOpen(path, GA_Update);
        double gt[6] = {minX, pixel, 0, minY, 0, pixel};
        GDALSetGeoTransform(source, gt);
        OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
        OSRSetFromUserInput(srs, crs);
        GDALSetSpatialRef(source, srs);
        OSRDestroySpatialReference(srs);
        GDALSetRasterNoDataValue(GDALGetRasterBand(source, 1), kNoData);
    }
    ~Scene()
    {
        if (peerOut) GDALClose(peerOut);
        if (source) GDALClose(source);
    }

    Scene(Scene const&) = delete;
    Scene& operator=(Scene const&) = delete;

    explicit operator bool() const { return source != nullptr; }

    void resetImage()
    {
        std::fill_n(static_cast<std::uint8_t*>(image->getDataPtr()), std::size_t(4) * width * height,
                    std::uint8_t(200));
    }
    void computeOurNormals()
    {
        computeNormals(*normals, ConstTupleProxy<TTupleDataType<TDataType<0>>>(kUp, 3), *heights, kNoData, factor,
                       factor, 1.0f);
    }
    void computeScalarNormals()
    {
        computeNormalsScalar(static_cast<float const*>(heights->getConstDataPtr()),
                             static_cast<float*>(normals->getDataPtr()), width, height, kNoData, factor, factor, kUp);
    }
    void shade()
    {
        std::uint8_t const noData[4] = {0, 0, 0, 0};
        shadeBuffer(*image, cover, ConstTupleProxy<TTupleDataType<TDataType<3>>>(noData, 4), *normals, cover,
                    ConstTupleProxy<TTupleDataType<TDataType<0>>>(kUp, 3),
                    ConstTupleProxy<TTupleDataType<TDataType<0>>>(kLight, 3), kMeshReprojection);
    }
    void peer()
    {
        if (peerOut) GDALClose(peerOut);
        char const* args[] = {"-of", "MEM", "-alg", "Horn", "-az", "315", "-alt", "45", "-s", peerScale, nullptr};
        GDALDEMProcessingOptions* options = GDALDEMProcessingOptionsNew(const_cast<char**>(args), nullptr);
        int usageError = 0;
        peerOut = GDALDEMProcessing("", source, "hillshade", nullptr, options, &usageError);
        GDALDEMProcessingOptionsFree(options);
        if (!peerOut) std::fprintf(stderr, "peer hillshade failed\n");
    }
};

Scene& scene()
{
    unsigned const side = sideOf();
    static Scene s(makeModel(side), "EPSG:32633", 470000, 5060000, kPixel, float(kPixel), "1");
    return s;
}

Scene& geoid()
{
    static Scene s = [] {
        double minX = 0, minY = 0, pixel = 1;
        auto grid = readGeoid(minX, minY, pixel);
        // 15' cells are about 27.8 km; the peer's -s turns degrees into metres.
        return Scene(grid, "EPSG:4326", minX, minY, pixel, float(pixel * 111120.0), "111120");
    }();
    return s;
}

struct Times {
    double wall, cpu;
};

template <class F>
Times timed(F&& f)
{
    timespec c0, c1;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c0);
    auto const t0 = std::chrono::steady_clock::now();
    f();
    double const wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c1);
    return {wall, double(c1.tv_sec - c0.tv_sec) + 1e-9 * double(c1.tv_nsec - c0.tv_nsec)};
}

// A warm-up, then the median of five runs as the benchmark's time; the
// median run's CPU time over its wall time is reported as "threads".
template <class F>
void medianOfFive(benchmark::State& state, F&& f)
{
    for (auto _ : state) {
        f();
        std::vector<Times> t;
        for (int i = 0; i < 5; ++i) t.push_back(timed(f));
        std::sort(t.begin(), t.end(), [](Times const& a, Times const& b) { return a.wall < b.wall; });
        state.SetIterationTime(t[2].wall);
        state.counters["threads"] = t[2].cpu / t[2].wall;
    }
}

// The north-west 2048 x 2048 (at most) of a byte picture whose row 0 is the
// south edge, north up, as a PNG through GDAL.
void writePicture(char const* path, std::uint8_t const* pixels, unsigned side, unsigned bands)
{
    GDALDriverH png = GDALGetDriverByName("PNG");
    if (!png || !pixels) return;
    unsigned const crop = std::min(2048u, side);
    std::vector<std::uint8_t> north(std::size_t(bands) * crop * crop);
    for (unsigned r = 0; r < crop; ++r)
        std::copy_n(pixels + std::size_t(side - 1 - r) * side * bands, std::size_t(crop) * bands,
                    north.data() + std::size_t(r) * crop * bands);
    char memPath[256];
    std::snprintf(memPath, sizeof memPath,
                  "MEM:::DATAPOINTER=%p,PIXELS=%u,LINES=%u,BANDS=%u,DATATYPE=Byte,PIXELOFFSET=%u,LINEOFFSET=%u,"
                  "BANDOFFSET=1",
                  static_cast<void*>(north.data()), crop, crop, bands, bands, crop * bands);
    GDALDatasetH ds = GDALOpen(memPath, GA_ReadOnly);
    GDALDatasetH out = ds ? GDALCreateCopy(png, path, ds, FALSE, nullptr, nullptr, nullptr) : nullptr;
    if (out) GDALClose(out);
    if (ds) GDALClose(ds);
    std::printf("wrote %s (%u x %u, north-west corner)\n", path, crop, crop);
}

void writePictures()
{
    Scene& s = scene();
    // The timed runs shaded the image over and over: one fresh run.
    s.resetImage();
    s.computeOurNormals();
    s.shade();
    writePicture("shade-ours.png", static_cast<std::uint8_t const*>(s.image->getConstDataPtr()), s.width, 4);
    if (!s.peerOut) return;
    std::vector<std::uint8_t> peer(std::size_t(s.width) * s.height);
    if (GDALRasterIO(GDALGetRasterBand(s.peerOut, 1), GF_Read, 0, 0, s.width, s.height, peer.data(), s.width,
                     s.height, GDT_Byte, 0, 0) == CE_None)
        writePicture("shade-peer.png", peer.data(), s.width, 1);
}

// The peer on one thread.
void peerOneThread(benchmark::State& st, Scene& s)
{
    CPLSetConfigOption("GDAL_NUM_THREADS", "1");
    medianOfFive(st, [&s] { s.peer(); });
    CPLSetConfigOption("GDAL_NUM_THREADS", nullptr);
}

void registerCases(std::string const& label, Scene& (*get)())
{
    auto add = [](std::string const& name, auto&& f) {
        benchmark::RegisterBenchmark(name.c_str(), f)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
    };
    add("normals_" + label + "_1thread/ours", [get](benchmark::State& st) {
        setNumThreads(1);
        medianOfFive(st, [get] { get().computeOurNormals(); });
        setNumThreads(0);
    });
    add("normals_" + label + "_1thread/baseline", [get](benchmark::State& st) { peerOneThread(st, get()); });
    add("normals_scalar_" + label + "_1thread/ours", [get](benchmark::State& st) {
        medianOfFive(st, [get] { get().computeScalarNormals(); });
    });
    add("normals_scalar_" + label + "_1thread/baseline", [get](benchmark::State& st) { peerOneThread(st, get()); });
    for (unsigned threads : {1u, 8u}) {
        std::string const name = "normals_shade_" + label + "_" + std::to_string(threads) + "thread" +
                                 (threads > 1 ? "s" : "");
        add(name + "/ours", [get, threads](benchmark::State& st) {
            setNumThreads(threads);
            medianOfFive(st, [get] {
                get().computeOurNormals();
                get().shade();
            });
            setNumThreads(0);
        });
        add(name + "/baseline", [get](benchmark::State& st) { peerOneThread(st, get()); });
    }
}

}  // namespace

int main(int argc, char** argv)
{
    GDALAllRegister();
    CPLSetConfigOption("GDAL_MEM_ENABLE_OPEN", "YES");
    benchmark::Initialize(&argc, argv);
    auto const t0 = std::chrono::steady_clock::now();
    scene();
    bool const withGeoid = bool(geoid());
    std::printf("model %u^2 made in %.1f s; geoid %s\n", sideOf(),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(),
                withGeoid ? "read" : "missing, its cases skipped");
    registerCases(std::to_string(sideOf()), &scene);
    if (withGeoid) registerCases("geoid", &geoid);
    zorvbench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("\n");
    writePictures();
    return 0;
}
