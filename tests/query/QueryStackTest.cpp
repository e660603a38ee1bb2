// The stack each query takes: a host may ask on threads of small stacks. A
// query runs on a thread of our own stack; the bytes below the caller's
// frame are filled with a pattern just before it, and the lowest byte it
// changed gives its depth. Each query runs once before (per-thread set-up
// of the engines is not what is measured).
//
// The bounds: a single position at most 1 KiB, a list or a box at most
// 8 KiB (the batch of converted positions lives on the heap). No engine frames count:
// the conversion, where set, is between two names of one system, so the
// whole chain of the library runs but the projection engine is not called.
// The sanitizers pad every frame, so under them the depths are printed and
// the answers checked, but the byte limits are not asserted (release builds
// assert them).
#include <gtest/gtest.h>

#include <pthread.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/HPGeom.h"
#include "support/Points.h"
#include "zorvsupport/query/AxisBox.h"
#include "zorvsupport/query/ExtrudedPoly.h"
#include "zorvsupport/query/HPGeomQueryObject.h"
#include "zorvsupport/query/PlanarPoly.h"
#include "zorvsupport/query/XYAxisBox.h"

using namespace ZORV_3_13_0_::DataSet;
using namespace testsupport;

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kByteLimits = false;
#else
constexpr bool kByteLimits = true;
#endif

constexpr std::size_t kStackBytes = 1 << 20;
constexpr std::size_t kGap = 128;  // left unfilled under the filler's frame
constexpr unsigned char kPattern = 0xA5;

struct Probe {
    unsigned char* base;
    std::function<bool()> const* query;
    bool answer;
    std::size_t depth;
};

// Fills [base, own frame - kGap) with the pattern and returns where the
// caller's frame ends (as near as this frame tells).
__attribute__((noinline, no_sanitize_address)) unsigned char* fillBelow(unsigned char* base)
{
    auto* const top = static_cast<unsigned char*>(__builtin_frame_address(0));
    for (volatile unsigned char* p = base; p < top - kGap; ++p) *p = kPattern;
    return top;
}

__attribute__((noinline, no_sanitize_address)) unsigned char* lowestChanged(unsigned char* base, unsigned char* top)
{
    volatile unsigned char* p = base;
    while (p < top && *p == kPattern) ++p;
    return const_cast<unsigned char*>(p);
}

void* measure(void* arg)
{
    Probe& probe = *static_cast<Probe*>(arg);
    (*probe.query)();
    unsigned char* const top = fillBelow(probe.base);
    probe.answer = (*probe.query)();
    probe.depth = static_cast<std::size_t>(top - lowestChanged(probe.base, top));
    return nullptr;
}

// The answer of `query` and the bytes of stack it took, on a thread of its own.
std::pair<bool, std::size_t> stackOf(std::function<bool()> const& query)
{
    struct Free {
        void operator()(void* p) const { std::free(p); }
    };
    std::unique_ptr<void, Free> stack(std::aligned_alloc(4096, kStackBytes));
    Probe probe{static_cast<unsigned char*>(stack.get()) + 4096, &query, false, 0};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstack(&attr, stack.get(), kStackBytes);
    pthread_t thread;
    int const started = pthread_create(&thread, &attr, measure, &probe);
    pthread_attr_destroy(&attr);
    EXPECT_EQ(started, 0);
    if (started == 0) pthread_join(thread, nullptr);
    return {probe.answer, probe.depth};
}

// A host subclass that overrides nothing: its queries take the path of
// subclasses.
template <class Shape>
class Sub : public Shape {
public:
    using Shape::Shape;
    ZELUNType<Polyhedron> newCopy() const override { return ZELUNType<Polyhedron>(new Sub(*this)); }
};

std::vector<ZELUNCompGeom::ZELUNPlane> unitCube()
{
    return {{1, 0, 0, 0}, {-1, 0, 0, -1}, {0, 1, 0, 0}, {0, -1, 0, -1}, {0, 0, 1, 0}, {0, 0, -1, -1}};
}

// Shapes that all hold the point (0.5, 0.5, 0.5) (shifted by 2 in x and y
// for the surface, whose square has a hole in the middle).
struct Made {
    std::string name;
    std::unique_ptr<Polyhedron> shape;
    double shift;
    bool projects;  // takes the matrix as the projection of positions
};

template <template <class> class Wrap>
std::vector<Made> shapes(char const* kind)
{
    using P2 = ZELUNnPoint<double, 2>;
    using P3 = ZELUNnPoint<double, 3>;
    std::string const k = *kind ? std::string(" ") + kind : std::string();
    std::vector<Made> v;
    v.push_back({"AxisBox" + k, std::make_unique<Wrap<AxisBox>>(P3(1, 1, 1), P3(0, 0, 0)), 0, true});
    v.push_back({"XYAxisBox" + k, std::make_unique<Wrap<XYAxisBox>>(P2(1, 1), P2(0, 0), 0.0), 0, true});
    v.push_back({"PlanarPoly" + k, std::make_unique<Wrap<PlanarPoly>>(unitCube()), 0, false});
    v.push_back({"ExtrudedPoly" + k,
                 std::make_unique<Wrap<ExtrudedPoly>>(pointList({{0, 0}, {1, 0}, {1, 1}, {0, 1}}),
                                                      std::vector<double>(), false),
                 0, true});
    v.push_back({"HPGeomQueryObject" + k, std::make_unique<Wrap<HPGeomQueryObject>>(squareWithHole(*hpFactory())), 2,
                 false});
    return v;
}

template <class T>
using Own = T;

}  // namespace

TEST(QueryStack, PointAndListQueriesOfEveryShape)
{
    std::vector<Made> all = shapes<Own>("");
    for (Made& m : shapes<Sub>("subclass")) all.push_back(std::move(m));

    enum Frame { kAsGiven, kMatrix, kConversion };
    char const* const frameNames[] = {"as given", "matrix", "conversion"};
    for (Made const& m : all) {
        for (Frame frame : {kAsGiven, kMatrix, kConversion}) {
            Polyhedron& shape = *m.shape;
            if (frame == kMatrix) {
                if (!m.projects) continue;
                // Not the identity, so the list driver converts in batches.
                std::vector<double> matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1e-300, 0, 0, 1};
                ASSERT_EQ(shape.setMatrix(matrix), 0);
            }
            if (frame == kConversion) {
                shape.setMatrix({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
                shape.setCoordSystem(ZELUNCoordSystem(ZELUNUString("EPSG:32633"), ZELUNUString("given")));
                shape.setPointsCoordSystem(ZELUNCoordSystem(ZELUNUString("EPSG:32633"), ZELUNUString("frame")));
            }
            double const c = 0.5 + m.shift;
            ZELUNVec3<double> const vector(c, c, 0.5);
            auto const inside = [&](std::size_t n) {
                ZELUNArray<ZELUNArray<double>> points(n);
                for (std::size_t i = 0; i < n; ++i) points[i] = point({c, c, 0.5});
                return points;
            };
            auto const outside = [&](std::size_t n) {
                ZELUNArray<ZELUNArray<double>> points(n);
                for (std::size_t i = 0; i < n; ++i) points[i] = point({-5, -5, 0.5});
                return points;
            };
            auto const vectors = [&](std::size_t n, double at) {
                auto v = vectorList(n);
                for (std::size_t i = 0; i < n; ++i) valuesOf(*v)[i] = ZELUNVec3<double>(at, at, 0.5);
                return v;
            };
            // Lists shorter than a batch, and longer than the largest.
            ZELUNArray<ZELUNArray<double>> const in10 = inside(10), in3000 = inside(3000), out3000 = outside(3000);
            auto const vin3000 = vectors(3000, c), vout3000 = vectors(3000, -5);
            ZELUNnBox<double, 3> const box(ZELUNnPoint<double, 3>(c - 0.1, c - 0.1, 0.4),
                                           ZELUNnPoint<double, 3>(c + 0.1, c + 0.1, 0.6));

            struct Query {
                char const* what;
                bool list;
                std::function<bool()> run;
                bool expected;
            } const queries[] = {
                {"contains(vector)", false, [&] { return shape.contains(vector); }, true},
                {"contains(10 points)", true, [&] { return shape.contains(in10); }, true},
                {"contains(3000 points)", true, [&] { return shape.contains(in3000); }, true},
                {"interacts(3000 points outside)", true, [&] { return shape.interacts(out3000); }, false},
                {"contains(3000 vectors)", true, [&] { return shape.contains(*vin3000); }, true},
                {"interacts(3000 vectors outside)", true, [&] { return shape.interacts(*vout3000); }, false},
                // A box is tested by its eight corners: the bound of lists.
                {"contains(box)", true, [&] { return shape.contains(box); }, true},
                {"interacts(box)", true, [&] { return shape.interacts(box); }, true},
            };
            for (Query const& q : queries) {
                auto const [answer, depth] = stackOf(q.run);
                std::string const label = m.name + ", " + frameNames[frame] + ": " + q.what;
                EXPECT_EQ(answer, q.expected) << label;
                if (!kByteLimits) {
                    std::printf("%-70s %6zu bytes\n", label.c_str(), depth);
                    continue;
                }
                EXPECT_LE(depth, q.list ? 8192u : 1024u) << label;
            }
        }
    }
}
