#pragma once

// Library-internal: the hold, bilinear and bilinear-hold-no-data samplers of
// the 22 element types, written once over a table of kind traits.

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <memory>
#include <type_traits>

#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/types/NumericConversion.h"
#include "zorvsupport/warp/Sampler.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {
namespace SamplerDetail {

// Element kind T seen as runs of components: a 3-vector is three doubles,
// a tuple L elements. P is the precision class of the bilinear arithmetic.
template <class T>
struct Kind {
    using E = typename T::element_type;
    static constexpr bool kVec3 = std::is_same_v<E, ::HPGEOM_3_13_0::ZELUNVec3<double>>;
    using C = std::conditional_t<kVec3, double, E>;
    static constexpr unsigned kPerElement = kVec3 ? 3u : 1u;
    static constexpr bool kTuple = T::kIsTuple;
    using P = std::conditional_t<std::is_same_v<C, float> || (std::is_integral_v<C> && sizeof(C) <= 2), float,
                                 double>;
    // Scalars divide once; tuples and 3-vectors multiply by the reciprocal.
    static constexpr bool kReciprocal = kTuple || kVec3;
    static constexpr P kMinWeightSum = static_cast<P>(0.00001);

    // A weighted mean converted to the component type.
    static C store(P r)
    {
        if constexpr (std::is_same_v<C, float>)
            return clamp<float>(r, -FLT_MAX, FLT_MAX);
        else if constexpr (std::is_same_v<C, double>)
            return clamp<double>(r, -DBL_MAX, DBL_MAX);
        else
            return roundAndSaturate<C>(r);
    }
};

// The source grid and the no-data value as components. The grid's storage
// is read directly; the source stays alive and unchanged while sampled.
template <class T>
class Source {
public:
    using K = Kind<T>;
    using C = typename K::C;
    using E = typename K::E;

    Source(TDataVector2D<T> const* grid, C const* noData, unsigned noDataElements, bool cyclicColumns = false)
        : m_grid(grid),
          m_data(static_cast<C const*>(grid->getConstDataPtr())),
          m_width(grid->getDimension(0)),
          m_height(grid->getDimension(1)),
          m_comps(grid->getTupleLength() * K::kPerElement),
          m_cyclic(cyclicColumns),
          m_noData(noDataElements * K::kPerElement)
    {
        for (unsigned i = 0; i < m_noData.count; ++i) m_noData.data()[i] = noData[i];
    }

    unsigned comps() const { return m_comps; }
    // The element at (column, row); both inside the grid.
    C const* at(std::size_t column, std::size_t row) const
    {
        std::size_t const stride = K::kTuple ? m_comps : K::kPerElement;
        return m_data + (column + row * m_width) * stride;
    }
    // The no-data value of a scalar kind of one component.
    C noDataScalar() const { return m_noData.local[0]; }
    // The no-data components and their count.
    C const* noData() const { return m_noData.data(); }
    unsigned noDataCount() const { return m_noData.count; }

    // Columns that wrap around (a grid one turn of longitude wide): a
    // position x in [width, width + 1) is read as x - width, and the
    // bilinear neighbours of columns -1 and width are the last and the first
    // column.
    bool cyclic() const { return m_cyclic; }
    double wrapColumn(double x) const
    {
        double const w = static_cast<double>(m_width);
        return x >= w && x < w + 1.0 ? x - w : x;
    }

    // Cell test: truncated indices inside the grid, NaN outside. No
    // conversion sees a position outside (-1, count).
    bool cell(double x, double y, std::size_t& column, std::size_t& row) const
    {
        if (m_cyclic) x = wrapColumn(x);
        if (!(x > -1.0 && x < static_cast<double>(m_width) && y > -1.0 && y < static_cast<double>(m_height)))
            return false;
        column = static_cast<std::size_t>(x);
        row = static_cast<std::size_t>(y);
        return true;
    }

    // Exact element equality with the no-data value; lengths must match.
    bool isNoData(C const* e) const
    {
        if (m_noData.count != m_comps) return false;
        C const* nd = m_noData.data();
        for (unsigned i = 0; i < m_comps; ++i)
            if (!(e[i] == nd[i])) return false;
        return true;
    }

    // Copies the first min(n, count) components of `from`, zeros the rest.
    static void put(C* out, unsigned n, C const* from, unsigned count)
    {
        unsigned const m = n < count ? n : count;
        for (unsigned i = 0; i < m; ++i) out[i] = from[i];
        for (unsigned i = m; i < n; ++i) out[i] = C();
    }
    void putNoData(C* out, unsigned n) const { put(out, n, m_noData.data(), m_noData.count); }

    double width() const { return static_cast<double>(m_width); }
    double height() const { return static_cast<double>(m_height); }
    std::size_t columns() const { return m_width; }
    std::size_t rows() const { return m_height; }

private:
    // No-data components: inline for scalars, on the heap for tuples.
    struct NoData {
        explicit NoData(unsigned n) : count(n)
        {
            if (n > kInline) heap.reset(new C[n]);
        }
        NoData(NoData const& o) : NoData(o.count)
        {
            for (unsigned i = 0; i < count; ++i) data()[i] = o.data()[i];
        }
        C* data() { return heap ? heap.get() : local; }
        C const* data() const { return heap ? heap.get() : local; }
        static constexpr unsigned kInline = 3;
        unsigned count;
        C local[kInline] = {};
        std::unique_ptr<C[]> heap;
    };

    TDataVector2D<T> const* m_grid;
    C const* m_data;
    std::size_t m_width;
    std::size_t m_height;
    unsigned m_comps;
    bool m_cyclic;
    NoData m_noData;
};

// Output components of a sample target.
template <class T>
inline typename Kind<T>::C* targetComps(SampleTargetOf<T> out, unsigned& n)
{
    using C = typename Kind<T>::C;
    if constexpr (Kind<T>::kTuple) {
        n = out.length() * Kind<T>::kPerElement;
        return reinterpret_cast<C*>(out.data());
    } else {
        n = Kind<T>::kPerElement;
        return reinterpret_cast<C*>(&out);
    }
}

// The no-data argument of a sampler: the value for scalars, a tuple view
// for tuple types.
template <class T>
struct NoDataArg {
    using type = typename T::element_type const&;
    static typename Kind<T>::C const* comps(type v) { return reinterpret_cast<typename Kind<T>::C const*>(&v); }
    static unsigned elements(type) { return 1; }
};
template <class K>
struct NoDataArg<TTupleDataType<K>> {
    using T = TTupleDataType<K>;
    using type = ConstTupleProxy<T>;
    static typename Kind<T>::C const* comps(type v) { return reinterpret_cast<typename Kind<T>::C const*>(v.data()); }
    static unsigned elements(type v) { return v.length(); }
};
template <class T>
using NoDataOf = typename NoDataArg<T>::type;

// One axis of the bilinear footprint: the lower index, its validity and
// that of the upper one, and the two weights. Indices are tested against
// the count in double before any conversion.
template <class P>
struct Axis {
    std::size_t lower = 0;
    bool lowerValid = false;
    bool upperValid = false;
    P lowerWeight = P(1);
    P upperWeight = P(0);

    Axis(double c, std::size_t count)
    {
        double const n = static_cast<double>(count);
        if (c >= 0.5) {
            double const t = c - 0.5;
            double const i = std::trunc(t);
            P const f = static_cast<P>(t - i);
            lowerValid = i < n;
            upperValid = i + 1.0 < n;
            if (lowerValid) lower = static_cast<std::size_t>(i);
            lowerWeight = P(1) - f;
            upperWeight = f;
        } else if (c >= -0.5) {
            lowerValid = count >= 1;
        }
    }
};

// The column axis of a grid whose columns wrap around (c already taken
// from [count, count + 1) to c - count): below the first column centre the
// lower neighbour is the last column, beyond the last centre the upper one
// is the first; weights as on a plain axis.
template <class P>
struct CyclicAxis {
    std::size_t lower = 0;
    std::size_t upper = 0;
    bool valid = false;
    P lowerWeight = P(1);
    P upperWeight = P(0);

    CyclicAxis(double c, std::size_t count)
    {
        double const n = static_cast<double>(count);
        if (!(c >= -0.5) || count == 0) return;
        double const t = c - 0.5;
        double const i = std::floor(t);  // -1 for c in [-0.5, 0.5)
        if (!(i < n)) return;
        P const f = static_cast<P>(t - i);
        lower = i < 0.0 ? count - 1 : static_cast<std::size_t>(i);
        upper = i + 1.0 < n ? static_cast<std::size_t>(i + 1.0) : 0;
        valid = true;
        lowerWeight = P(1) - f;
        upperWeight = f;
    }
};

}  // namespace SamplerDetail

// The element under the position, or no-data outside the grid.
template <class T>
class HoldSampler final : public Sampler<T> {
public:
    using K = SamplerDetail::Kind<T>;
    using NoData = SamplerDetail::NoDataArg<T>;

    HoldSampler(TDataVector2D<T> const* source, typename NoData::type noData, bool cyclicColumns = false)
        : m_source(source, NoData::comps(noData), NoData::elements(noData), cyclicColumns)
    {
    }

    void sample(double x, double y, SampleTargetOf<T> out) const override
    {
        unsigned n;
        typename K::C* o = SamplerDetail::targetComps<T>(out, n);
        std::size_t column, row;
        if (m_source.cell(x, y, column, row))
            m_source.put(o, n, m_source.at(column, row), m_source.comps());
        else
            m_source.putNoData(o, n);
    }

private:
    SamplerDetail::Source<T> m_source;
};

// The weighted mean of the up to four neighbours that hold data.
template <class T>
class BilinearSampler final : public Sampler<T> {
public:
    using K = SamplerDetail::Kind<T>;
    using C = typename K::C;
    using P = typename K::P;
    using NoData = SamplerDetail::NoDataArg<T>;

    template <class U = T, std::enable_if_t<!U::kIsTuple, int> = 0>
    BilinearSampler(TDataVector2D<T> const* source, typename NoData::type noData, bool cyclicColumns = false)
        : m_length(1), m_source(source, NoData::comps(noData), NoData::elements(noData), cyclicColumns)
    {
    }
    template <class U = T, std::enable_if_t<U::kIsTuple, int> = 0>
    BilinearSampler(unsigned tupleLength, TDataVector2D<T> const* source, typename NoData::type noData,
                    bool cyclicColumns = false)
        : m_length(tupleLength), m_source(source, NoData::comps(noData), NoData::elements(noData), cyclicColumns)
    {
    }

    void sample(double x, double y, SampleTargetOf<T> out) const override
    {
        unsigned n;
        C* o = SamplerDetail::targetComps<T>(out, n);
        sampleInto(x, y, o, n);
    }

    void sampleInto(double x, double y, C* out, unsigned n) const
    {
        SamplerDetail::Axis<P> const ay(y, m_source.rows());
        if (m_source.cyclic()) {
            SamplerDetail::CyclicAxis<P> const ax(m_source.wrapColumn(x), m_source.columns());
            if (!ax.valid || !ay.lowerValid) {
                m_source.putNoData(out, n);
                return;
            }
            // The column neighbours taken cyclically: both always exist.
            Neighbour const nb[4] = {
                {true, ax.lower, ay.lower, ax.lowerWeight * ay.lowerWeight},
                {true, ax.upper, ay.lower, ax.upperWeight * ay.lowerWeight},
                {ay.upperValid, ax.lower, ay.lower + 1, ax.lowerWeight * ay.upperWeight},
                {ay.upperValid, ax.upper, ay.lower + 1, ax.upperWeight * ay.upperWeight},
            };
            blend(nb, out, n);
            return;
        }
        SamplerDetail::Axis<P> const ax(x, m_source.columns());
        if (!ax.lowerValid || !ay.lowerValid) {
            m_source.putNoData(out, n);
            return;
        }
        Neighbour const nb[4] = {
            {true, ax.lower, ay.lower, ax.lowerWeight * ay.lowerWeight},
            {ax.upperValid, ax.lower + 1, ay.lower, ax.upperWeight * ay.lowerWeight},
            {ay.upperValid, ax.lower, ay.lower + 1, ax.lowerWeight * ay.upperWeight},
            {ax.upperValid && ay.upperValid, ax.lower + 1, ay.lower + 1, ax.upperWeight * ay.upperWeight},
        };
        blend(nb, out, n);
    }

    SamplerDetail::Source<T> const& source() const { return m_source; }
    // The component count of the sums and of the result.
    unsigned tupleLength() const { return m_length; }

private:
    struct Neighbour {
        bool visit;
        std::size_t column, row;
        P weight;
    };

    // The weighted mean of the neighbours in the order (i, j), (i+1, j),
    // (i, j+1), (i+1, j+1); one that is not visited, weighs 0 or holds
    // no-data is left out, and too little weight left gives no-data.
    void blend(Neighbour const (&nb)[4], C* out, unsigned n) const
    {
        if constexpr (!K::kTuple && K::kPerElement == 1) {
            // One component: the same sums without the component loops.
            C const nd = m_source.noDataScalar();
            P sum = P(0), total = P(0);
            for (Neighbour const& b : nb) {
                if (!b.visit || b.weight == P(0)) continue;
                C const v = *m_source.at(b.column, b.row);
                if (v == nd) continue;
                sum += b.weight * static_cast<P>(v);
                total += b.weight;
            }
            out[0] = total < K::kMinWeightSum ? nd : K::store(sum / total);
            (void)n;  // a scalar target has one component
            return;
        }
        unsigned const comps = K::kTuple ? m_length * K::kPerElement : K::kPerElement;
        unsigned const read = comps < m_source.comps() ? comps : m_source.comps();
        P local[16];
        std::unique_ptr<P[]> heap;
        P* sum = local;
        if (comps > 16) {
            heap.reset(new P[comps]);
            sum = heap.get();
        }
        for (unsigned k = 0; k < comps; ++k) sum[k] = P(0);
        P total = P(0);
        for (Neighbour const& b : nb) {
            if (!b.visit || b.weight == P(0)) continue;
            C const* e = m_source.at(b.column, b.row);
            if (m_source.isNoData(e)) continue;
            for (unsigned k = 0; k < read; ++k) sum[k] += b.weight * static_cast<P>(e[k]);
            total += b.weight;
        }
        if (total < K::kMinWeightSum) {
            m_source.putNoData(out, n);
            return;
        }
        unsigned const m = n < comps ? n : comps;
        if constexpr (K::kReciprocal) {
            P const inv = P(1) / total;
            for (unsigned k = 0; k < m; ++k) out[k] = K::store(sum[k] * inv);
        } else {
            for (unsigned k = 0; k < m; ++k) out[k] = K::store(sum[k] / total);
        }
        for (unsigned k = m; k < n; ++k) out[k] = C();
    }

    unsigned m_length;
    SamplerDetail::Source<T> m_source;
};

// Bilinear where the element under the position holds data, else no-data.
template <class T>
class BilinearHoldNoDataSampler final : public Sampler<T> {
public:
    using K = SamplerDetail::Kind<T>;
    using NoData = SamplerDetail::NoDataArg<T>;

    template <class U = T, std::enable_if_t<!U::kIsTuple, int> = 0>
    BilinearHoldNoDataSampler(TDataVector2D<T> const* source, typename NoData::type noData,
                              bool cyclicColumns = false)
        : m_source(source, NoData::comps(noData), NoData::elements(noData), cyclicColumns),
          m_bilinear(source, noData, cyclicColumns)
    {
    }
    template <class U = T, std::enable_if_t<U::kIsTuple, int> = 0>
    BilinearHoldNoDataSampler(unsigned tupleLength, TDataVector2D<T> const* source, typename NoData::type noData,
                              bool cyclicColumns = false)
        : m_source(source, NoData::comps(noData), NoData::elements(noData), cyclicColumns),
          m_bilinear(tupleLength, source, noData, cyclicColumns)
    {
    }

    void sample(double x, double y, SampleTargetOf<T> out) const override
    {
        unsigned n;
        typename K::C* o = SamplerDetail::targetComps<T>(out, n);
        std::size_t column, row;
        if (m_source.cell(x, y, column, row) && !m_source.isNoData(m_source.at(column, row)))
            m_bilinear.sampleInto(x, y, o, n);
        else
            m_source.putNoData(o, n);
    }

private:
    SamplerDetail::Source<T> m_source;
    BilinearSampler<T> m_bilinear;
};

// Where the samplers above may read a grid of `columns` x `rows` elements:
// only at source positions with lo[0] < x < hi[0] and lo[1] < y < hi[1];
// every sampler writes the no-data value at any other position. The cell
// test reads the truncated position, inside (-1, count); bilinear reads from
// -0.5 (the first element at full weight) to below count + 0.5 (the last
// element's weight 1 - f); columns that wrap around also read positions in
// [count, count + 1), as those less count. Callers that skip work beyond
// every sampler's reach ask here.
struct SampleReach {
    double lo[2];
    double hi[2];
};

inline SampleReach sampleReach(double columns, double rows, bool cyclicColumns)
{
    return SampleReach{{-1.0, -1.0}, {columns + (cyclicColumns ? 1.0 : 0.5), rows + 0.5}};
}

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
