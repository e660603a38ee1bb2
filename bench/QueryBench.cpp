// Query shapes and position filters, each beside a baseline or a peer in the
// same run; the ratios compare time per point.
#define GEOS_USE_ONLY_R_API
#include <geos_c.h>
#include <proj.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <boost/make_shared.hpp>

#include "zorvsupport/datavector/TDataVector1D.h"
#include "zorvsupport/platform/ZELUNAreaGeometry.h"
#include "zorvsupport/platform/ZELUNCoordSequence.h"
#include "zorvsupport/platform/ZELUNGMOrientableSurface.h"
#include "zorvsupport/query/AxisBox.h"
#include "zorvsupport/query/CoverFilter.h"
#include "zorvsupport/query/ExtrudedPoly.h"
#include "zorvsupport/query/GeomFilter.h"
#include "zorvsupport/query/HPGeomQueryObject.h"
#include "zorvsupport/query/PlanarPoly.h"

using namespace ZORV_3_13_0_::DataSet;
using P2 = ZELUNnPoint<double, 2>;
using P3 = ZELUNnPoint<double, 3>;
using V = ZELUNVec3<double>;

namespace {

// --- A smooth 1,000-vertex area and 10 M positions, half inside -------------

constexpr int kVertices = 1000;
constexpr std::size_t kPositions = 10000000;
constexpr std::size_t kBaselinePositions = 1000000;
constexpr double kCx = 500000, kCy = 0, kR = 50000;

std::vector<double> const& areaXY()
{
    static std::vector<double> const xy = [] {
        std::vector<double> v;
        for (int i = 0; i < kVertices; ++i) {
            double const a = 2 * M_PI * i / kVertices;
            double const r = kR * (1 + 0.2 * std::sin(3 * a));
            v.push_back(kCx + r * std::cos(a));
            v.push_back(kCy + r * std::sin(a));
        }
        return v;
    }();
    return xy;
}

std::vector<P2> const& positions()
{
    static std::vector<P2> const p = [] {
        std::mt19937_64 random(1);
        std::uniform_real_distribution<double> angle(0, 2 * M_PI), in(0, 0.75), out(1.25, 2);
        std::vector<P2> v(kPositions);
        for (std::size_t i = 0; i < kPositions; ++i) {
            double const a = angle(random);
            double const r = kR * (1 + 0.2 * std::sin(3 * a)) * (i % 2 ? in(random) : out(random));
            v[i] = P2(kCx + r * std::cos(a), kCy + r * std::sin(a));
        }
        return v;
    }();
    return p;
}

void setPoints(benchmark::State& state, std::size_t points)
{
    state.counters["points"] = static_cast<double>(points);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * points));
}

// checkPoint of a filter over every position, as the timed loop.
void runCheckPoint(benchmark::State& state, PositionFilter const& filter, std::vector<P2> const& p)
{
    std::size_t inside = 0;
    for (auto _ : state) {
        inside = 0;
        for (P2 const& q : p) inside += filter.checkPoint(q);
        benchmark::DoNotOptimize(inside);
    }
    state.counters["inside"] = static_cast<double>(inside) / static_cast<double>(p.size());
    setPoints(state, p.size());
}

void CheckPointOurs(benchmark::State& state)
{
    std::vector<double> const& xy = areaXY();
    ZELUNArray<ZELUNArray<double>> ring(kVertices);
    for (int i = 0; i < kVertices; ++i) {
        ring[i].resize(2);
        ring[i][0] = xy[2 * i];
        ring[i][1] = xy[2 * i + 1];
    }
    GeomFilter const filter(ZELUNAreaGeometry(ZELUNCoordSystem("EPSG:32633"), ring, kVertices,
                                              ZELUN::kRotateAsGiven, false, false, false, false, false));
    runCheckPoint(state, filter, positions());
}

// The crossing-number loop of the textbook.
void CheckPointBaseline(benchmark::State& state)
{
    std::vector<double> const& xy = areaXY();
    std::vector<P2> const& p = positions();
    for (auto _ : state) {
        std::size_t inside = 0;
        for (std::size_t k = 0; k < kBaselinePositions; ++k) {
            double const x = p[k][0], y = p[k][1];
            bool c = false;
            for (int i = 0, j = kVertices - 1; i < kVertices; j = i++) {
                double const xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
                if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) c = !c;
            }
            inside += c;
        }
        benchmark::DoNotOptimize(inside);
    }
    setPoints(state, kBaselinePositions);
}

// A prepared polygon in a GEOS context of its own, from an open ring of
// x, y pairs; the peer makes a point for each query.
class GeosArea {
public:
    explicit GeosArea(std::vector<double> xy) : m_ctx(GEOS_init_r())
    {
        xy.push_back(xy[0]);
        xy.push_back(xy[1]);
        GEOSCoordSequence* seq = GEOSCoordSeq_copyFromBuffer_r(m_ctx, xy.data(), static_cast<unsigned>(xy.size() / 2), 0, 0);
        m_area = GEOSGeom_createPolygon_r(m_ctx, GEOSGeom_createLinearRing_r(m_ctx, seq), nullptr, 0);
        m_prepared = GEOSPrepare_r(m_ctx, m_area);
    }
    GeosArea(GeosArea const&) = delete;
    GeosArea& operator=(GeosArea const&) = delete;
    ~GeosArea()
    {
        GEOSPreparedGeom_destroy_r(m_ctx, m_prepared);
        GEOSGeom_destroy_r(m_ctx, m_area);
        GEOS_finish_r(m_ctx);
    }
    GEOSContextHandle_t context() const { return m_ctx; }
    bool covers(GEOSGeometry const* g) const { return GEOSPreparedCovers_r(m_ctx, m_prepared, g) == 1; }
    bool covers(double x, double y) const
    {
        GEOSGeometry* point = GEOSGeom_createPointFromXY_r(m_ctx, x, y);
        bool const in = covers(point);
        GEOSGeom_destroy_r(m_ctx, point);
        return in;
    }

private:
    GEOSContextHandle_t m_ctx;
    GEOSGeometry* m_area;
    GEOSPreparedGeometry const* m_prepared;
};

void CheckPointGeos(benchmark::State& state)
{
    GeosArea const area(areaXY());
    std::vector<P2> const& p = positions();
    for (auto _ : state) {
        std::size_t inside = 0;
        for (std::size_t k = 0; k < kBaselinePositions; ++k) inside += area.covers(p[k][0], p[k][1]);
        benchmark::DoNotOptimize(inside);
    }
    setPoints(state, kBaselinePositions);
}

// --- Axis box over 10 M 3-vectors, all inside -------------------------------

constexpr std::size_t kVectors = 10000000;

boost::shared_ptr<TDataVector1D<TDataType<11>>> insideVectors(std::size_t n)
{
    auto v = TDataVector1D<TDataType<11>>::create(TDataType<11>(), ZELUNnPoint<unsigned, 1>(static_cast<unsigned>(n)));
    auto* values = static_cast<V*>(v->getDataPtr());
    std::mt19937_64 random(2);
    std::uniform_real_distribution<double> u(0, 1);
    for (std::size_t i = 0; i < n; ++i) values[i] = V(u(random), u(random), u(random));
    return v;
}

void BoxVectorsOurs(benchmark::State& state)
{
    auto v = insideVectors(kVectors);
    AxisBox const box(P3(0, 0, 0), P3(1, 1, 1));
    for (auto _ : state) benchmark::DoNotOptimize(box.contains(*v));
    setPoints(state, kVectors);
}

void BoxVectorsBaseline(benchmark::State& state)
{
    auto v = insideVectors(kVectors);
    V const* values = static_cast<V const*>(v->getConstDataPtr());
    double const lo[3] = {0, 0, 0}, hi[3] = {1, 1, 1};
    benchmark::DoNotOptimize(lo);
    benchmark::DoNotOptimize(hi);
    for (auto _ : state) {
        bool all = true;
        for (std::size_t i = 0; i < kVectors && all; ++i) {
            V const& e = values[i];
            all = lo[0] <= e.x && e.x <= hi[0] && lo[1] <= e.y && e.y <= hi[1] && lo[2] <= e.z && e.z <= hi[2];
        }
        benchmark::DoNotOptimize(all);
    }
    setPoints(state, kVectors);
}

// --- 1 M geographic points converted to UTM and translated ------------------

constexpr std::size_t kListPoints = 1000000;
constexpr double kShift = 1000;

ZELUNArray<ZELUNArray<double>> geographicList()
{
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> lon(14, 16), lat(-1, 1), z(0, 1);
    ZELUNArray<ZELUNArray<double>> list(kListPoints);
    for (ZELUNArray<double>& p : list) {
        p.resize(3);
        p[0] = lon(random);
        p[1] = lat(random);
        p[2] = z(random);
    }
    return list;
}

std::vector<double> translation()
{
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, kShift, 0, 0, 1};
}

// The UTM box, shifted by the translation, that holds all the points.
P3 const kListLo(380000, -120000, 0), kListHi(620000 + kShift, 120000, 1);

void PointListOurs(benchmark::State& state)
{
    ZELUNArray<ZELUNArray<double>> const list = geographicList();
    AxisBox box(kListLo, kListHi);
    box.setCoordSystem(ZELUNCoordSystem("EPSG:4326"));
    box.setPointsCoordSystem(ZELUNCoordSystem("EPSG:32633"));
    box.setMatrix(translation());
    bool all = box.contains(list);
    for (auto _ : state) {
        all = box.contains(list);
        benchmark::DoNotOptimize(all);
    }
    state.counters["all"] = all;
    setPoints(state, kListPoints);
}

PJ* geographicToUtm(PJ_CONTEXT* ctx)
{
    PJ* raw = proj_create_crs_to_crs(ctx, "EPSG:4326", "EPSG:32633", nullptr);
    PJ* op = proj_normalize_for_visualization(ctx, raw);
    proj_destroy(raw);
    return op;
}

void PointListBaseline(benchmark::State& state)
{
    ZELUNArray<ZELUNArray<double>> const list = geographicList();
    PJ_CONTEXT* ctx = proj_context_create();
    PJ* op = geographicToUtm(ctx);
    std::vector<double> x(kListPoints), y(kListPoints), z(kListPoints);
    std::vector<double> const m = translation();
    bool all = false;
    for (auto _ : state) {
        for (std::size_t i = 0; i < kListPoints; ++i) {
            x[i] = list[i][0];
            y[i] = list[i][1];
            z[i] = list[i][2];
        }
        proj_trans_generic(op, PJ_FWD, x.data(), sizeof(double), kListPoints, y.data(), sizeof(double), kListPoints,
                           nullptr, 0, 0, nullptr, 0, 0);
        all = true;
        for (std::size_t i = 0; i < kListPoints && all; ++i) {
            double const px = x[i], py = y[i], pz = z[i];
            double const r = 1.0 / (m[3] * px + m[7] * py + m[11] * pz + m[15]);
            double const tx = (m[0] * px + m[4] * py + m[8] * pz + m[12]) * r;
            double const ty = (m[1] * px + m[5] * py + m[9] * pz + m[13]) * r;
            double const tz = (m[2] * px + m[6] * py + m[10] * pz + m[14]) * r;
            all = kListLo[0] <= tx && tx <= kListHi[0] && kListLo[1] <= ty && ty <= kListHi[1] && kListLo[2] <= tz &&
                  tz <= kListHi[2];
        }
        benchmark::DoNotOptimize(all);
    }
    state.counters["all"] = all;
    proj_destroy(op);
    proj_context_destroy(ctx);
    setPoints(state, kListPoints);
}

// --- Cover filter on 1 M geographic positions -------------------------------

ZELUNCover const& utmCover()
{
    static ZELUNCover const c(ZELUNCoordSystem("EPSG:32633"), 300000, -300000, 700000, 300000);
    return c;
}

std::vector<P2> coverPositions(ZELUNCover const& geographicExtent)
{
    std::mt19937_64 random(4);
    std::uniform_real_distribution<double> lon(geographicExtent.getMinX(), geographicExtent.getMaxX()),
        lat(geographicExtent.getMinY(), geographicExtent.getMaxY());
    std::vector<P2> p(kListPoints);
    for (P2& q : p) q = P2(lon(random), lat(random));
    return p;
}

void CoverPointOurs(benchmark::State& state)
{
    CoverFilter const filter(utmCover());
    ZELUNCoordSystem const geographic("EPSG:4326");
    filter.setInputCoordSystem(geographic);
    long status = 0;
    runCheckPoint(state, filter, coverPositions(utmCover().transformTo(geographic, status)));
}

void CoverPointBaseline(benchmark::State& state)
{
    ZELUNCover const& c = utmCover();
    long status = 0;
    std::vector<P2> const p = coverPositions(c.transformTo(ZELUNCoordSystem("EPSG:4326"), status));
    PJ_CONTEXT* ctx = proj_context_create();
    PJ* op = geographicToUtm(ctx);
    for (auto _ : state) {
        std::size_t inside = 0;
        for (P2 const& q : p) {
            PJ_COORD const r = proj_trans(op, PJ_FWD, proj_coord(q[0], q[1], 0, 0));
            inside += c.getMinX() <= r.xy.x && r.xy.x <= c.getMaxX() && c.getMinY() <= r.xy.y && r.xy.y <= c.getMaxY();
        }
        benchmark::DoNotOptimize(inside);
    }
    proj_destroy(op);
    proj_context_destroy(ctx);
    setPoints(state, kListPoints);
}

// --- Extruded polygon and plane-bounded region over 10 M 3-vectors -----------
// Every vector lies inside, so the whole list is tested. The baselines and
// the peer take the first 1 M of the same vectors.

using VectorList = TDataVector1D<TDataType<11>>;

// A star ring of 1,000 vertices around the origin, vertex i at radii[i].
struct StarRing {
    std::vector<double> radii;
    std::vector<double> xy;  // x, y of each vertex

    explicit StarRing(std::vector<double> r) : radii(std::move(r))
    {
        for (std::size_t i = 0; i < radii.size(); ++i) {
            double const a = 2 * M_PI * static_cast<double>(i) / static_cast<double>(radii.size());
            xy.push_back(radii[i] * std::cos(a));
            xy.push_back(radii[i] * std::sin(a));
        }
    }
    ZELUNArray<ZELUNArray<double>> points() const
    {
        ZELUNArray<ZELUNArray<double>> ring(radii.size());
        for (std::size_t i = 0; i < radii.size(); ++i) {
            ring[i].resize(2);
            ring[i][0] = xy[2 * i];
            ring[i][1] = xy[2 * i + 1];
        }
        return ring;
    }
    // n vectors inside the ring with z in [0, 1]: each within the triangle
    // of the origin and one edge, short of the edge. The first m of n are
    // the same for every n.
    boost::shared_ptr<VectorList> inside(std::size_t n) const
    {
        auto list = VectorList::create(TDataType<11>(), ZELUNnPoint<unsigned, 1>(static_cast<unsigned>(n)));
        auto* v = static_cast<V*>(list->getDataPtr());
        std::size_t const count = radii.size();
        double const step = 2 * M_PI / static_cast<double>(count);
        std::mt19937_64 random(5);
        std::uniform_int_distribution<std::size_t> edge(0, count - 1);
        std::uniform_real_distribution<double> u(0, 1);
        for (std::size_t k = 0; k < n; ++k) {
            std::size_t const i = edge(random);
            double const a = (static_cast<double>(i) + u(random)) * step;
            double const reach = std::min(radii[i], radii[(i + 1) % count]) * std::cos(step / 2) * 0.999;
            double const r = reach * std::sqrt(u(random));
            v[k] = V(r * std::cos(a), r * std::sin(a), u(random));
        }
        return list;
    }
};

StarRing smoothRing()
{
    std::vector<double> r(kVertices);
    for (int i = 0; i < kVertices; ++i) r[i] = 70 * (1 + 0.2 * std::sin(3 * 2 * M_PI * i / kVertices));
    return StarRing(std::move(r));
}

StarRing spikyRing()
{
    std::mt19937_64 random(6);
    std::uniform_real_distribution<double> radius(50, 90);
    std::vector<double> r(kVertices);
    for (double& e : r) e = radius(random);
    return StarRing(std::move(r));
}

// contains of a whole 3-vector list, as the timed loop.
void runContains(benchmark::State& state, Polyhedron const& shape, VectorList const& v)
{
    bool all = false;
    for (auto _ : state) {
        all = shape.contains(v);
        benchmark::DoNotOptimize(all);
    }
    state.counters["all"] = all;
    setPoints(state, v.size());
}

void runExtruded(benchmark::State& state, StarRing const& ring)
{
    ExtrudedPoly const prism(ring.points(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, false);
    runContains(state, prism, *ring.inside(kVectors));
}

// The first 1 M inside positions of the ring asked one at a time of
// `covers` (x, y) with the z test, stopping at the first outside.
template <class Covers>
void runAllInside(benchmark::State& state, StarRing const& ring, Covers covers)
{
    auto const list = ring.inside(kBaselinePositions);
    V const* v = static_cast<V const*>(list->getConstDataPtr());
    bool all = false;
    for (auto _ : state) {
        all = true;
        for (std::size_t k = 0; k < kBaselinePositions && all; ++k)
            all = covers(v[k].x, v[k].y) && 0 <= v[k].z && v[k].z <= 1;
        benchmark::DoNotOptimize(all);
    }
    state.counters["all"] = all;
    setPoints(state, kBaselinePositions);
}

// The textbook crossing-number loop.
void runCrossing(benchmark::State& state, StarRing const& ring)
{
    std::vector<double> const& xy = ring.xy;
    int const n = static_cast<int>(ring.radii.size());
    runAllInside(state, ring, [&xy, n](double x, double y) {
        bool c = false;
        for (int i = 0, j = n - 1; i < n; j = i++) {
            double const xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) c = !c;
        }
        return c;
    });
}

void ExtrudedOurs(benchmark::State& state)
{
    runExtruded(state, smoothRing());
}

void ExtrudedCrossing(benchmark::State& state)
{
    runCrossing(state, smoothRing());
}

// The peer: a prepared polygon, a point made for each query.
void ExtrudedGeos(benchmark::State& state)
{
    StarRing const ring = smoothRing();
    GeosArea const area(ring.xy);
    runAllInside(state, ring, [&area](double x, double y) { return area.covers(x, y); });
}

void ExtrudedSpikyOurs(benchmark::State& state)
{
    runExtruded(state, spikyRing());
}

void ExtrudedSpikyCrossing(benchmark::State& state)
{
    runCrossing(state, spikyRing());
}

// The six planes of the unit cube, as (a, b, c, d).
std::vector<double> cubePlanes()
{
    return {1, 0, 0, 0, -1, 0, 0, -1, 0, 1, 0, 0, 0, -1, 0, -1, 0, 0, 1, 0, 0, 0, -1, -1};
}

void PlanarOurs(benchmark::State& state)
{
    std::vector<double> const q = cubePlanes();
    std::vector<ZELUNCompGeom::ZELUNPlane> planes;
    for (std::size_t i = 0; i < q.size(); i += 4) planes.emplace_back(q[i], q[i + 1], q[i + 2], q[i + 3]);
    runContains(state, PlanarPoly(planes), *insideVectors(kVectors));
}

// Six dot products per vector, the planes read from memory as ours are.
void PlanarBaseline(benchmark::State& state)
{
    auto v = insideVectors(kVectors);
    V const* values = static_cast<V const*>(v->getConstDataPtr());
    std::vector<double> const q = cubePlanes();
    double const* p = q.data();
    benchmark::DoNotOptimize(p);
    bool all = false;
    for (auto _ : state) {
        all = true;
        for (std::size_t i = 0; i < kVectors && all; ++i) {
            V const& e = values[i];
            for (int k = 0; k < 24 && all; k += 4) all = ((p[k] * e.x + p[k + 1] * e.y) + p[k + 2] * e.z) - p[k + 3] >= 0;
        }
        benchmark::DoNotOptimize(all);
    }
    state.counters["all"] = all;
    setPoints(state, kVectors);
}

BENCHMARK(ExtrudedOurs)->Name("extruded/ours")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ExtrudedCrossing)->Name("extruded/crossing")->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(ExtrudedGeos)->Name("extruded/geosPrepared")->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(ExtrudedSpikyOurs)->Name("extrudedSpiky/ours")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ExtrudedSpikyCrossing)->Name("extrudedSpiky/crossing")->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(PlanarOurs)->Name("planar/ours")->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(PlanarBaseline)->Name("planar/baseline")->Unit(benchmark::kMillisecond)->Iterations(10);

// --- High-precision geometry query: 1 M points in one list ------------------
// The shape makes one factory point per position, then one multi-point, and
// asks the surface's prepared engine form; the peer asks the same prepared
// form of a multi-point built beforehand.

constexpr std::size_t kHPPoints = 1000000;

// The first 1 M inside positions (every second one lies inside).
std::vector<P2> hpPositions()
{
    std::vector<P2> p;
    p.reserve(kHPPoints);
    for (std::size_t i = 1; p.size() < kHPPoints; i += 2) p.push_back(positions()[i]);
    return p;
}

void HPGeomContainsOurs(benchmark::State& state)
{
    namespace hp = HPGEOM_3_13_0;
    auto const factory =
        hp::ZELUNGMFactory::createFactory(boost::make_shared<ZELUNCoordSystem const>("EPSG:32633"), hp::kGeomCoord2D);
    std::vector<double> const& xy = areaXY();
    ZELUNArray<ZELUNArray<double>> ring(kVertices);
    for (int i = 0; i < kVertices; ++i) {
        ring[i].resize(2);
        ring[i][0] = xy[2 * i];
        ring[i][1] = xy[2 * i + 1];
    }
    auto sequence = boost::make_shared<hp::ZELUNCoordSequence>();
    sequence->setCoords(ring, hp::kGeomCoord2D, true);
    long status = 0;
    auto const outer = factory->createRing(sequence, hp::kGeomCurveLinear, status, false, 0);
    auto const boundary = factory->createSurfaceBoundary(outer, nullptr, status, false, 0);
    HPGeomQueryObject const shape(factory->createSurface(boundary, hp::kGeomSurfacePlanar, status, false, 0));

    std::vector<P2> const p = hpPositions();
    ZELUNArray<ZELUNArray<double>> points(p.size());
    for (std::size_t i = 0; i < p.size(); ++i) {
        points[i].resize(3);
        points[i][0] = p[i][0];
        points[i][1] = p[i][1];
        points[i][2] = 0;
    }
    bool inside = false;
    for (auto _ : state) {
        inside = shape.contains(points);
        benchmark::DoNotOptimize(inside);
    }
    state.counters["inside"] = inside;
    setPoints(state, kHPPoints);
}

void HPGeomContainsGeos(benchmark::State& state)
{
    GeosArea const area(areaXY());
    GEOSContextHandle_t ctx = area.context();
    std::vector<P2> const p = hpPositions();
    std::vector<GEOSGeometry*> parts(p.size());
    for (std::size_t i = 0; i < p.size(); ++i) parts[i] = GEOSGeom_createPointFromXY_r(ctx, p[i][0], p[i][1]);
    GEOSGeometry* multi = GEOSGeom_createCollection_r(ctx, GEOS_MULTIPOINT, parts.data(), static_cast<unsigned>(parts.size()));
    bool inside = false;
    for (auto _ : state) {
        inside = area.covers(multi);
        benchmark::DoNotOptimize(inside);
    }
    state.counters["inside"] = inside;
    GEOSGeom_destroy_r(ctx, multi);
    setPoints(state, kHPPoints);
}

BENCHMARK(HPGeomContainsOurs)->Name("hpGeomContains/ours")->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(HPGeomContainsGeos)->Name("hpGeomContains/geosPreparedMultiPoint")->Unit(benchmark::kMillisecond)->Iterations(5);

// Prints, after the run, each case's time per point over its baseline's
// and its peers' ("<case>/ours" against "<case>/<other>"). CPU time: the
// cases are single-threaded and the machine may be shared.
class PerPointReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(std::vector<Run> const& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (Run const& r : runs) {
            auto it = r.counters.find("points");
            if (r.run_type == Run::RT_Iteration && it != r.counters.end())
                m_perPoint[r.run_name.function_name] = r.GetAdjustedCPUTime() / it->second.value;
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nratio of time per point (ours / other, lower is better):\n");
        for (auto const& [name, t] : m_perPoint) {
            auto const slash = name.find('/');
            if (name.compare(slash, std::string::npos, "/ours") == 0) continue;
            auto const ours = m_perPoint.find(name.substr(0, slash) + "/ours");
            if (ours != m_perPoint.end() && t > 0) std::printf("  %-32s %.3f\n", name.c_str(), ours->second / t);
        }
    }

private:
    std::map<std::string, double> m_perPoint;
};

}  // namespace

BENCHMARK(CheckPointOurs)->Name("checkPoint/ours")->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(CheckPointBaseline)->Name("checkPoint/crossing")->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(CheckPointGeos)->Name("checkPoint/geosPrepared")->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BoxVectorsOurs)->Name("boxVectors/ours")->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BoxVectorsBaseline)->Name("boxVectors/baseline")->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(PointListOurs)->Name("pointList/ours")->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(PointListBaseline)->Name("pointList/baseline")->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(CoverPointOurs)->Name("coverPoint/ours")->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(CoverPointBaseline)->Name("coverPoint/baseline")->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    PerPointReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
