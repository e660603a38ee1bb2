// The operations that leave their vectors unchanged on failure, run with
// each of their allocations failing in turn (that one alone, and that one
// with every later one), and with their value storage failing: each run
// either succeeds with the bytes of a run that never failed, or fails
// (kErrOutOfMemory, or std::bad_alloc where the operation lets it through)
// with the destination exactly as it was before the call.
#include <functional>
#include <string>

#include "datavectorutils/GridValues.h"
#include "support/FailingAllocation.h"
#include "zorvsupport/datavector/StorageTestHooks.h"

using namespace gridvalues;
using zorvtest::FailingAllocation;

namespace {

// The vectors of one call: the destination (written) and the source (only
// read; null, or the destination itself, where the operation has one vector).
struct Vectors {
    boost::shared_ptr<DataVector> dst, src;
};

// What a caller can see of a vector: type, dimensions and bytes.
struct Snapshot {
    DataType type;
    std::vector<unsigned> dims;
    Bytes bytes;

    explicit Snapshot(DataVector const& v) : type(v.getDataType()), bytes(bytesOf(v))
    {
        for (unsigned d = 0; d < v.getNumDimensions(); ++d) dims.push_back(v.getDimension(d));
    }
    bool operator==(Snapshot const& o) const { return type == o.type && dims == o.dims && bytes == o.bytes; }
};

// Elements (of w bytes) that differ between two snapshots of one shape.
std::size_t changedElements(Snapshot const& a, Snapshot const& b, std::size_t w)
{
    if (a.bytes.size() != b.bytes.size()) return std::size_t(-1);
    std::size_t n = 0;
    for (std::size_t e = 0; e * w < a.bytes.size(); ++e)
        n += std::memcmp(a.bytes.data() + e * w, b.bytes.data() + e * w, w) != 0;
    return n;
}

struct Row {
    std::string name;
    std::function<Vectors()> setup;
    std::function<long(Vectors&)> call;
    // Whether std::bad_alloc may leave the call (before anything is written).
    bool mayThrow;
};

// A d0 × d1 vector of type t whose bytes all differ from their neighbours'.
boost::shared_ptr<DataVector> marked(DataType t, unsigned d0, unsigned d1, unsigned seed)
{
    return marked2D(t, d0, d1, seed);
}

// A float32 or float64 grid of smooth values with the whole row `noDataRow`
// and, when `scattered`, every 37th element equal to noData.
template <class E>
boost::shared_ptr<DataVector> raster(unsigned d0, unsigned d1, E noData, unsigned noDataRow, bool scattered = true)
{
    std::vector<E> values(std::size_t(d0) * d1);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = (scattered && i % 37 == 5) || i / d0 == noDataRow ? noData : E(double(i % 1013) * 0.25);
    return grid<E>(d0, d1, values);
}

DataVectorND<2>& two(boost::shared_ptr<DataVector> const& v)
{
    return dynamic_cast<DataVectorND<2>&>(*v);
}

long scaleCall(Vectors& v, Box const& dstBox, Box const& srcBox, Variant const& noData, InterpolationMethod m)
{
    return DataVectorUtils::scaleAndCopySubsection(two(v.dst), dstBox, two(v.src), srcBox, noData, m, false);
}

Row scaleRow(std::string name, DataType t, Box srcBox, P2 dstSize, Box dstBox, InterpolationMethod m,
             std::function<boost::shared_ptr<DataVector>()> source, Variant noData)
{
    return {std::move(name),
            [=] { return Vectors{marked(t, dstSize[0], dstSize[1], 3), source()}; },
            [=](Vectors& v) { return scaleCall(v, dstBox, srcBox, noData, m); }, true};
}

Row transposeRow(DataType t, unsigned d0, unsigned d1)
{
    return {"transpose " + nameOf(t) + " " + std::to_string(d0) + " x " + std::to_string(d1),
            [=] { return Vectors{marked(t, d0, d1, 5), nullptr}; },
            [](Vectors& v) { return DataVectorUtils::transpose(two(v.dst)); }, false};
}

std::vector<Row> rows()
{
    DataType const f32(DataType::kFloat32), f64(DataType::kFloat64), i16(DataType::kInt16);
    DataType const rgb(DataType::kUInt8, 3);
    std::vector<Row> r;
    // Bilinear enlargements with no-data rows and scattered no-data: float32
    // written around the cache (9 MB), float64 in SIMD lanes and around the
    // cache, int16 element by element.
    r.push_back(scaleRow("bilinear float32 700 x 400 to 2100 x 1100", f32, box(0, 0, 700, 400),
                         P2(2100, 1100), box(0, 0, 2100, 1100), kBilinear,
                         [] { return raster<float>(700, 400, -9999.0f, 300, false); }, Variant(-9999.0f)));
    r.push_back(scaleRow("bilinear float64 inner boxes", f64, box(3, 2, 303, 118), P2(1110, 1010),
                         box(5, 4, 1105, 1004), kBilinear, [] { return raster<double>(310, 120, -1.0, 40); },
                         Variant(-1.0)));
    r.push_back(scaleRow("bilinear int16 shrinking", i16, box(0, 0, 500, 300), P2(230, 170),
                         box(0, 0, 230, 170), kBilinear,
                         [] {
                             auto v = marked2D(DataType(DataType::kInt16), 500, 300, 9);
                             DataVectorUtils::fill(*v, 1000, 1500, Variant(short(-32768)));
                             return boost::shared_ptr<DataVector>(v);
                         },
                         Variant(short(-32768))));
    // Hold through the 4- and 8-byte lane kernels and element by element.
    r.push_back(scaleRow("hold float32 700 x 400 to 2100 x 1100", f32, box(0, 0, 700, 400),
                         P2(2100, 1100), box(0, 0, 2100, 1100), kHold,
                         [] { return raster<float>(700, 400, -9999.0f, 200); }, Variant(-9999.0f)));
    r.push_back(scaleRow("hold float64", f64, box(0, 0, 300, 200), P2(650, 420), box(0, 0, 650, 420),
                         kHold, [] { return raster<double>(300, 200, -1.0, 10); }, Variant(-1.0)));
    r.push_back(scaleRow("hold uint8 x 3", rgb, box(0, 0, 90, 70), P2(200, 150), box(0, 0, 200, 150),
                         kHold, [] { return marked2D(DataType(DataType::kUInt8, 3), 90, 70, 11); },
                         Variant(rgb)));
    // Overlapping boxes of one vector resample a copy of the source block.
    r.push_back({"bilinear within one vector",
                 [] {
                     auto v = raster<float>(400, 300, -9999.0f, 100);
                     return Vectors{v, v};
                 },
                 [nd = Variant(-9999.0f)](Vectors& v) {
                     return scaleCall(v, box(0, 0, 400, 300), box(50, 50, 250, 200), nd, kBilinear);
                 },
                 true});

    // Square (tile pairs), near-square wide and tall (in place with a
    // strip), far from square (a new block), elements wider than a tile.
    r.push_back(transposeRow(f32, 300, 300));
    r.push_back(transposeRow(DataType(DataType::kVec3), 70, 70));
    r.push_back(transposeRow(f32, 300, 241));
    r.push_back(transposeRow(DataType(DataType::kUInt8), 241, 300));
    r.push_back(transposeRow(f64, 300, 7));
    r.push_back(transposeRow(DataType(DataType::kFloat64, 3000), 3, 2));

    // The others allocate at most a value copy, before anything is written.
    r.push_back({"fill tuples", [=] { return Vectors{marked(rgb, 300, 200, 1), nullptr}; },
                 [value = valueOf(rgb, 8)](Vectors& v) { return DataVectorUtils::fill(*v.dst, 7, 50000, value); },
                 true});
    r.push_back({"fillSubsection float64", [=] { return Vectors{marked(f64, 300, 200, 1), nullptr}; },
                 [value = Variant(2.5)](Vectors& v) {
                     return DataVectorUtils::fillSubsection(two(v.dst), P2(3, 4), P2(290, 190), value);
                 },
                 true});
    r.push_back({"copySubsection", [=] { return Vectors{marked(f32, 300, 200, 1), marked(f32, 200, 300, 2)}; },
                 [](Vectors& v) {
                     return DataVectorUtils::copySubsection(two(v.dst), P2(1, 2), two(v.src), P2(3, 4), P2(190, 190));
                 },
                 false});
    r.push_back({"copyIntersection", [=] { return Vectors{marked(f32, 300, 200, 1), marked(f32, 200, 300, 2)}; },
                 [](Vectors& v) { return DataVectorUtils::copyIntersection(*v.dst, *v.src); }, false});
    r.push_back({"replaceValue float32",
                 [] { return Vectors{raster<float>(300, 200, -9999.0f, 5), nullptr}; },
                 [from = Variant(-9999.0f), to = Variant(0.5f)](Vectors& v) {
                     return DataVectorUtils::replaceValue(*v.dst, from, to);
                 },
                 false});
    // Conversion into a destination of other dimensions (a new block) and
    // in place.
    r.push_back({"convertVector float64 into int16",
                 [=] { return Vectors{marked(i16, 10, 10, 1), raster<double>(300, 200, -1.0, 3)}; },
                 [to = Variant(short(-1)), from = Variant(-1.0)](Vectors& v) {
                     return DataVectorUtils::convertVector(*v.dst, to, *v.src, from);
                 },
                 false});
    r.push_back({"convertVector in place",
                 [] {
                     auto v = raster<float>(300, 200, -9999.0f, 3);
                     return Vectors{v, v};
                 },
                 [to = Variant(-1.0f), from = Variant(-9999.0f)](Vectors& v) {
                     return DataVectorUtils::convertVector(*v.dst, to, *v.src, from);
                 },
                 false});
    return r;
}

struct Attempt {
    Vectors vectors;
    Snapshot before;
    long status = kSuccess;
};

}  // namespace

TEST(VectorOpsAllocation, EachFailureLeavesTheDestinationOrGivesTheFullResult)
{
    for (Row const& row : rows()) {
        SCOPED_TRACE(row.name);
        Vectors reference = row.setup();
        ASSERT_EQ(row.call(reference), kSuccess);
        Snapshot const expected(*reference.dst);
        std::size_t const w = widthOf(expected.type);

        unsigned n = 0;
        auto setup = [&] {
            ++n;
            Vectors v = row.setup();
            Snapshot const before(*v.dst);
            return Attempt{v, before};
        };
        auto attempt = [&](Attempt& a) { a.status = row.call(a.vectors); };
        auto check = [&](Attempt& a, bool threw) {
            Snapshot const after(*a.vectors.dst);
            if (!threw && a.status == kSuccess) {
                EXPECT_TRUE(after == expected) << "success with other bytes";
                return;
            }
            if (threw)
                EXPECT_TRUE(row.mayThrow) << "std::bad_alloc left the call";
            else
                EXPECT_EQ(a.status, kErrOutOfMemory);
            EXPECT_TRUE(after == a.before) << changedElements(after, a.before, w) << " of "
                                           << after.bytes.size() / w << " elements changed by a call whose allocation " << n << " failed";
        };
        for (auto extent : {FailingAllocation::kOnlyThat, FailingAllocation::kThatAndLater}) {
            n = 0;
            SCOPED_TRACE(extent == FailingAllocation::kOnlyThat ? "that allocation" : "that and later");
            zorvtest::forEachAllocationFailure(setup, attempt, check, extent);
        }
        // The value storage: its first block, and every block.
        for (unsigned failures : {1u, ~0u}) {
            SCOPED_TRACE("storage failures: " + std::to_string(failures));
            Attempt a = setup();
            bool threw = false;
            DataVectorImp::failNextStorageAllocations(failures);
            try {
                attempt(a);
            } catch (std::bad_alloc const&) {
                threw = true;
            }
            DataVectorImp::failNextStorageAllocations(0);
            check(a, threw);
        }
    }
}
