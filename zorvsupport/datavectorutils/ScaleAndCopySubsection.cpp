// Scaled block copy: hold (the element under the truncated source
// position) and bilinear (a weighted mean of four neighbours that leaves out
// the no-data value), both driven by per-column tables built once per call.
// The row loops run on the best SIMD target, dispatched at run time: a run
// of destination columns whose source columns fit in one vector takes them
// from one contiguous load and a lane permutation.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "zorvsupport/datavectorutils/ScaleAndCopySubsection.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/cache_control.h>
#include <hwy/highway.h>

#include "zorvsupport/simd/Simd.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "zorvsupport/types/DataType.h"
#include "zorvsupport/types/NumericConversion.h"

#ifndef ZORV_SCALE_AND_COPY_SHARED_
#define ZORV_SCALE_AND_COPY_SHARED_
namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {

// The two blocks of one call, in elements: the first element, the distance
// between rows and the extents.
struct ScaleBlocks {
    void* dst;
    std::size_t dstStride, dstW, dstH;
    void const* src;
    std::size_t srcStride, srcW, srcH;
};

// The per-call tables of bilinear resampling in arithmetic type F. Column
// j blends source columns left[j] and right[j] with weights gx[j] = 1 −
// colFrac[j] and colFrac[j]; row i blends rows rowIdx[i] and the next one,
// both clamped, with rowFrac[i]. Source column c is read by the destination
// columns firstUser[c] to endUser[c] − 1 (none when they are equal).
template <class F>
struct BilinearTables {
    std::vector<std::size_t> left, right, rowIdx;
    std::vector<F> colFrac, gx, rowFrac;
    std::vector<std::uint32_t> firstUser, endUser;
    std::size_t stepY;
};

}  // namespace simd
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
#endif  // ZORV_SCALE_AND_COPY_SHARED_

HWY_BEFORE_NAMESPACE();
namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// For each run of Lanes(d) destination columns: the first source column
// of the run and each column's source columns relative to it, when the run's
// source columns lie inside one vector from there and that vector lies
// inside the source row; kNone marks a run done column by column.
template <class D>
struct ColumnPlan {
    using TI = hwy::MakeSigned<hn::TFromD<D>>;
    static constexpr std::size_t kNone = ~std::size_t(0);
    std::size_t lanes, runs;
    std::vector<std::size_t> base;
    std::vector<TI> first, second;

    ColumnPlan(D d, std::size_t const* a, std::size_t const* b, std::size_t count, std::size_t srcW)
        : lanes(hn::Lanes(d)), runs(count / lanes), base(runs), first(runs * lanes), second(b ? runs * lanes : 0)
    {
        for (std::size_t k = 0; k < runs; ++k) {
            std::size_t const j0 = k * lanes, lo = a[j0], hi = (b ? b : a)[j0 + lanes - 1];
            if (hi - lo >= lanes || lo + lanes > srcW) {
                base[k] = kNone;
                continue;
            }
            base[k] = lo;
            for (std::size_t l = 0; l < lanes; ++l) {
                first[j0 + l] = TI(a[j0 + l] - lo);
                if (b) second[j0 + l] = TI(b[j0 + l] - lo);
            }
        }
    }
};

// Hold for elements of one 4- or 8-byte word: destination row i takes
// source row rowOf[i] at the columns col[]; a row whose source row is that
// of the row before is a copy of the row before. The elements (float, double
// or integers of that width) move as bytes: through memcpy one by one, or as
// lanes of U loaded and stored through Highway, never through U lvalues.
template <class U>
void holdRows(ScaleBlocks const& blocks, std::size_t const* col, std::size_t const* rowOf)
{
    hn::ScalableTag<U> const d;
    ColumnPlan<decltype(d)> const plan(d, col, nullptr, blocks.dstW, blocks.srcW);
    constexpr std::size_t kW = sizeof(U);
    std::size_t const w = blocks.dstW, n = plan.lanes, outStride = blocks.dstStride * kW;
    auto* out = static_cast<unsigned char*>(blocks.dst);
    auto const* const src = static_cast<unsigned char const*>(blocks.src);
    std::size_t previous = ColumnPlan<decltype(d)>::kNone;
    for (std::size_t i = 0; i < blocks.dstH; ++i, out += outStride) {
        std::size_t const r = rowOf[i];
        if (r == previous) {
            std::memcpy(out, out - outStride, w * kW);
            continue;
        }
        previous = r;
        unsigned char const* const in = src + r * blocks.srcStride * kW;
        auto take = [&](std::size_t j0, std::size_t j1) {
            for (std::size_t j = j0; j < j1; ++j) std::memcpy(out + j * kW, in + col[j] * kW, kW);
        };
        for (std::size_t k = 0; k < plan.runs; ++k) {
            std::size_t const j0 = k * n;
            if (plan.base[k] == plan.kNone) {
                take(j0, j0 + n);
                continue;
            }
            auto const v = hn::LoadU(d, reinterpret_cast<U const*>(in + plan.base[k] * kW));
            hn::StoreU(hn::TableLookupLanes(v, hn::SetTableIndices(d, plan.first.data() + j0)), d,
                       reinterpret_cast<U*>(out + j0 * kW));
        }
        take(plan.runs * n, w);
    }
}

void holdRows4(ScaleBlocks const& blocks, std::size_t const* col, std::size_t const* rowOf)
{
    holdRows<std::uint32_t>(blocks, col, rowOf);
}

void holdRows8(ScaleBlocks const& blocks, std::size_t const* col, std::size_t const* rowOf)
{
    holdRows<std::uint64_t>(blocks, col, rowOf);
}

// Destinations larger than this bypass the cache.
constexpr std::size_t kStreamBytes = std::size_t(8) << 20;

// Copies the n elements at from to `to` with non-temporal stores on the
// aligned whole vectors.
template <class D, class E = hn::TFromD<D>>
void streamRow(D d, E* to, E const* from, std::size_t n)
{
    std::size_t const lanes = hn::Lanes(d), bytes = lanes * sizeof(E);
    std::size_t const misalign = reinterpret_cast<std::uintptr_t>(to) % bytes;
    if (misalign % sizeof(E) != 0) return (void)std::memcpy(to, from, n * sizeof(E));
    std::size_t const head = std::min(n, misalign ? (bytes - misalign) / sizeof(E) : 0);
    std::memcpy(to, from, head * sizeof(E));
    std::size_t j = head;
    for (; j + lanes <= n; j += lanes) hn::Stream(hn::LoadU(d, from + j), d, to + j);
    std::memcpy(to + j, from + j, (n - j) * sizeof(E));
}

// The weighted sum of one source row's two neighbours for every
// destination column (wR × right + wL × left, the row term of the bilinear
// sum, with weights fx and 1 − fx, 0 for a neighbour holding the no-data
// value), and the destination columns, ascending, where either neighbour
// holds it; at those columns `flagged` is 1 and `weight` holds wL + wR.
template <class F>
struct RowTerms {
    std::size_t row;
    std::vector<F> sum, weight;
    std::vector<std::uint8_t> flagged;
    std::vector<std::uint32_t> missing;
};

// Bilinear in arithmetic type F over elements E. Where no neighbour is
// missing the result is fy × lowerTerm + (1 − fy) × upperTerm, so the row
// terms of a source row are formed once and shared by the destination rows
// that read it; the elements with a missing neighbour are then formed one
// by one with their weights. A neighbour equal to the no-data value gets
// weight 0; when its value is infinite it also counts as +0.0 in the sum, so
// that 0 × inf does not turn the mean of the valid neighbours into NaN.
// Float and double elements (E = F) form terms and rows in SIMD lanes with
// the scalar rule's operations in its order, so the bits are the same.
template <class E, class F>
void bilinearRows(ScaleBlocks const& blocks, BilinearTables<F> const& t, E const nd)
{
    constexpr bool kLanes = std::is_same_v<E, F>;
    hn::ScalableTag<F> const d;
    ColumnPlan<decltype(d)> const plan(d, t.left.data(), t.right.data(), kLanes ? blocks.dstW : 0, blocks.srcW);
    std::size_t const w = blocks.dstW, n = plan.lanes, lastY = blocks.srcH - 1;
    E const* const src = static_cast<E const*>(blocks.src);
    std::size_t const* const left = t.left.data();
    std::size_t const* const right = t.right.data();
    F const* const colFrac = t.colFrac.data();
    F const* const gxs = t.gx.data();
    bool ndInfinite = false, ndMatches = true;
    if constexpr (std::is_floating_point_v<E>) ndInfinite = std::isinf(nd), ndMatches = nd == nd;
    F const threshold = F(0.0001);

    // Appends the destination columns that read source column c, ascending
    // and each once, so never beyond the w columns reserved below.
    auto noteMissing = [&](std::vector<std::uint32_t>& missing, std::size_t c) {
        std::uint32_t j = t.firstUser[c];
        if (!missing.empty()) j = std::max(j, std::uint32_t(missing.back() + 1));
        for (; j < t.endUser[c]; ++j) missing.push_back(j);
    };
    auto formTerms = [&](RowTerms<F>& terms, std::size_t r) {
        E const* const in = src + r * blocks.srcStride;
        F* HWY_RESTRICT const sum = terms.sum.data();
        auto scalarTerms = [&](std::size_t j0, std::size_t j1) {
            for (std::size_t j = j0; j < j1; ++j) sum[j] = colFrac[j] * F(in[right[j]]) + gxs[j] * F(in[left[j]]);
        };
        // Local copies, so that the stores to sum cannot make the loop reload them.
        std::size_t const runs = plan.runs, none = plan.kNone;
        std::size_t const* const base = plan.base.data();
        auto const* const ia = plan.first.data();
        auto const* const ib = plan.second.data();
        F const* const fxs = colFrac;
        F const* const gs = gxs;
        for (std::size_t k = 0, j0 = 0; k < runs; ++k, j0 += n) {
            if (base[k] == none) {
                scalarTerms(j0, j0 + n);
                continue;
            }
            if constexpr (kLanes) {
                auto const v = hn::LoadU(d, in + base[k]);
                auto const a = hn::TableLookupLanes(v, hn::SetTableIndices(d, ia + j0));
                auto const b = hn::TableLookupLanes(v, hn::SetTableIndices(d, ib + j0));
                auto const fx = hn::LoadU(d, fxs + j0), gx = hn::LoadU(d, gs + j0);
                hn::StoreU(hn::Add(hn::Mul(fx, b), hn::Mul(gx, a)), d, sum + j0);
            }
        }
        scalarTerms(plan.runs * n, w);
        // The next source row is usually the next one formed.
        if (r + 1 < blocks.srcH)
            for (std::size_t c = 0; c < blocks.srcW; c += 64 / sizeof(E)) hwy::Prefetch(in + blocks.srcStride + c);

        for (std::uint32_t j : terms.missing) terms.flagged[j] = 0;
        terms.missing.clear();
        if (ndMatches) {
            using L = LaneOf<E>;
            hn::ScalableTag<L> const dl;
            L ndLane;
            std::memcpy(&ndLane, &nd, sizeof ndLane);
            auto const vnd = hn::Set(dl, ndLane);
            L const* lanes = reinterpret_cast<L const*>(in);
            auto scalarScan = [&](std::size_t c0, std::size_t count) {
                for (std::size_t c = c0; c < c0 + count; ++c)
                    if (in[c] == nd) noteMissing(terms.missing, c);
            };
            std::size_t const nl = hn::Lanes(dl);
            std::size_t c = 0;
            for (; c + nl <= blocks.srcW; c += nl) {
                auto const eq = hn::Eq(hn::LoadU(dl, lanes + c), vnd);
                if (hn::AllFalse(dl, eq)) continue;
                // The lanes that matched, lowest first.
                std::uint8_t bits[HWY_MAX_BYTES / 8 > 0 ? HWY_MAX_BYTES / 8 : 1] = {};
                std::size_t const bytes = hn::StoreMaskBits(dl, eq, bits);
                for (std::size_t b = 0; b < bytes; ++b)
                    for (unsigned m = bits[b]; m != 0; m &= m - 1)
                        noteMissing(terms.missing, c + b * 8 + unsigned(__builtin_ctz(m)));
            }
            scalarScan(c, blocks.srcW - c);
        }
        // The terms of the columns with a missing neighbour, with its weight 0.
        for (std::uint32_t jm : terms.missing) {
            E const vl = in[left[jm]], vr = in[right[jm]];
            bool const ml = vl == nd, mr = vr == nd;
            F const wl = ml ? F(0) : gxs[jm], wr = mr ? F(0) : colFrac[jm];
            F const xl = ml && ndInfinite ? F(0) : F(vl), xr = mr && ndInfinite ? F(0) : F(vr);
            sum[jm] = wr * xr + wl * xl;
            terms.weight[jm] = wl + wr;
            terms.flagged[jm] = 1;
        }
        terms.row = r;
    };
    std::size_t const noRow = ~std::size_t(0);
    RowTerms<F> terms[2] = {{noRow, std::vector<F>(w), std::vector<F>(w), std::vector<std::uint8_t>(w), {}},
                            {noRow, std::vector<F>(w), std::vector<F>(w), std::vector<std::uint8_t>(w), {}}};
    // A row's missing columns are distinct destination columns: room for all
    // of them now, so that nothing is allocated once the first row is written.
    for (RowTerms<F>& s : terms) s.missing.reserve(w);
    // The terms of source row r, formed into the slot not holding `keep`.
    auto termsOf = [&](std::size_t r, std::size_t keep) -> RowTerms<F> const& {
        for (RowTerms<F>& s : terms)
            if (s.row == r) return s;
        RowTerms<F>& s = terms[0].row == keep ? terms[1] : terms[0];
        formTerms(s, r);
        return s;
    };
    auto store = [](F v) {
        if constexpr (std::is_floating_point_v<E>)
            return E(v);
        else
            return roundAndSaturate<E>(double(v));
    };

    // A large destination is written with non-temporal stores, each row
    // formed first in a cache-resident row.
    bool const streamRows = kLanes && blocks.dstW * blocks.dstH * sizeof(E) >= kStreamBytes;
    std::vector<E> scratch(streamRows ? w : 0);
    for (std::size_t i = 0; i < blocks.dstH; ++i) {
        std::size_t const r = t.rowIdx[i];
        std::size_t const ru = std::min(r, lastY), rl = std::min(r + t.stepY, lastY);
        RowTerms<F> const& upper = termsOf(ru, rl);
        RowTerms<F> const& lower = termsOf(rl, ru);
        F const fy = t.rowFrac[i], gy = F(1) - fy;
        E* const target = static_cast<E*>(blocks.dst) + i * blocks.dstStride;
        E* const out = streamRows ? scratch.data() : target;
        F const* su = upper.sum.data();
        F const* sl = lower.sum.data();
        std::size_t j = 0;
        if constexpr (kLanes) {
            auto const vfy = hn::Set(d, fy), vgy = hn::Set(d, gy);
            for (; j + n <= w; j += n)
                hn::StoreU(hn::Add(hn::Mul(vfy, hn::LoadU(d, sl + j)), hn::Mul(vgy, hn::LoadU(d, su + j))), d, out + j);
        }
        for (; j < w; ++j) out[j] = store(fy * sl[j] + gy * su[j]);

        // Where a neighbour is missing, S (formed above from the weighted row
        // terms) is divided by the weights kept: M = fy × (wLL + wLR) + (1 −
        // fy) × (wUL + wUR), a row's weight sum being 1 − fx + fx where
        // neither of its neighbours is missing.
        auto redo = [&](std::size_t jm) {
            F const mu = upper.flagged[jm] ? upper.weight[jm] : gxs[jm] + colFrac[jm];
            F const ml = lower.flagged[jm] ? lower.weight[jm] : gxs[jm] + colFrac[jm];
            F const sum = fy * sl[jm] + gy * su[jm];
            F const m = fy * ml + gy * mu;
            out[jm] = m > threshold ? store(sum / m) : nd;
        };
        // The union of the two rows' missing columns, each once.
        auto pu = upper.missing.begin(), eu = upper.missing.end();
        auto pl = lower.missing.begin(), el = lower.missing.end();
        while (pu != eu || pl != el) {
            std::uint32_t jm;
            if (pl == el || (pu != eu && *pu < *pl))
                jm = *pu++;
            else if (pu == eu || *pl < *pu)
                jm = *pl++;
            else
                jm = *pu++, ++pl;
            redo(jm);
        }
        if constexpr (kLanes)
            if (streamRows) streamRow(d, target, out, w);
    }
    if (streamRows) hwy::FlushStream();
}

void bilinearScale(int code, ScaleBlocks const& blocks, void const* tables, void const* noData)
{
    switch (code) {
#define ZORV_CASE(k, T, name)                                                                              \
    case k: {                                                                                              \
        using F = std::conditional_t<std::is_same_v<T, float>, float, double>;                             \
        T nd;                                                                                              \
        std::memcpy(&nd, noData, sizeof nd);                                                               \
        return bilinearRows<T, F>(blocks, *static_cast<BilinearTables<F> const*>(tables), nd);             \
    }
        ZORV_FOR_EACH_NUMERIC_KIND(ZORV_CASE)
#undef ZORV_CASE
    default: break;
    }
}

}  // namespace HWY_NAMESPACE
}  // namespace simd
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

#include "zorvsupport/datavectorutils/DataVectorUtils.h"
#include "zorvsupport/datavectorutils/ElementScan.h"
#include "zorvsupport/datavectorutils/OperationFrame.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {
HWY_EXPORT(holdRows4);
HWY_EXPORT(holdRows8);
HWY_EXPORT(bilinearScale);
}  // namespace simd

namespace DataVectorUtils {
namespace {

using Box = ZELUNnBox<unsigned, 2>;

// A block of a vector's storage: its first value, the distance between rows
// in values, and its extents in elements of L values.
template <class E>
struct Block {
    E* origin;
    std::size_t stride;
    std::size_t w, h;
};

template <class E>
void fillBlock(Block<E> dst, std::size_t L, E const* value)
{
    for (std::size_t i = 0; i < dst.h; ++i) {
        E* out = dst.origin + i * dst.stride;
        for (std::size_t j = 0; j < dst.w; ++j) std::copy_n(value, L, out + j * L);
    }
}

// Hold: element (j, i) takes the source element (j × srcW / dstW, i × srcH /
// dstH), both products in double and truncated. A destination row whose
// source row is that of the row before is a copy of the row before.
template <class E>
void scaleNearest(Block<E> dst, Block<E const> src, std::size_t L)
{
    double const ratioX = double(src.w) / double(dst.w), ratioY = double(src.h) / double(dst.h);
    // j × ratioX < srcW; the bound only guards the last rounding.
    std::vector<std::size_t> col(dst.w), rowOf(dst.h);
    for (std::size_t j = 0; j < dst.w; ++j) col[j] = std::min(std::size_t(double(j) * ratioX), src.w - 1);
    for (std::size_t i = 0; i < dst.h; ++i) rowOf[i] = std::min(std::size_t(double(i) * ratioY), src.h - 1);
    if (L == 1 && (sizeof(E) == 4 || sizeof(E) == 8)) {
        simd::ScaleBlocks const blocks{dst.origin, dst.stride, dst.w, dst.h, src.origin, src.stride, src.w, src.h};
        if (sizeof(E) == 4) return HWY_DYNAMIC_DISPATCH(simd::holdRows4)(blocks, col.data(), rowOf.data());
        return HWY_DYNAMIC_DISPATCH(simd::holdRows8)(blocks, col.data(), rowOf.data());
    }
    std::size_t previous = src.h;
    for (std::size_t i = 0; i < dst.h; ++i) {
        E* out = dst.origin + i * dst.stride;
        std::size_t const r = rowOf[i];
        if (r == previous) {
            std::copy_n(out - dst.stride, dst.w * L, out);
            continue;
        }
        previous = r;
        E const* in = src.origin + r * src.stride;
        if (L == 1) {
            for (std::size_t j = 0; j < dst.w; ++j) out[j] = in[col[j]];
        } else {
            for (std::size_t j = 0; j < dst.w; ++j) std::copy_n(in + col[j] * L, L, out + j * L);
        }
    }
}

// Bilinear in arithmetic type F (float for float32, double otherwise).
// The index and the fraction of a position both come from its product in F,
// so they always name the same pair of neighbours. The second neighbour is
// the next column or row clamped to the source block, also for the last
// destination column and row: rounding can leave their position just below
// the block's last column or row, which must still be blended in. A
// position that rounding carries onto or past the last column or row reads
// that column or row.
template <class E, class F>
void scaleBilinear(Block<E> dst, Block<E const> src, E const nd)
{
    F const ratioY = dst.h > 1 ? F(src.h - 1) / F(dst.h - 1) : F(0);
    F const ratioX = dst.w > 1 ? F(src.w - 1) / F(dst.w - 1) : F(0);
    std::size_t const lastX = src.w - 1;
    // A destination extent of 1 takes the first column or row alone.
    std::size_t const stepX = dst.w > 1 ? 1 : 0;
    simd::BilinearTables<F> t;
    t.stepY = dst.h > 1 ? 1 : 0;
    t.left.resize(dst.w);
    t.right.resize(dst.w);
    t.colFrac.resize(dst.w);
    t.gx.resize(dst.w);
    t.firstUser.assign(src.w, std::uint32_t(dst.w));
    t.endUser.assign(src.w, 0);
    for (std::size_t j = 0; j < dst.w; ++j) {
        F const cx = F(j) * ratioX;
        std::size_t const c = std::size_t(cx);
        t.colFrac[j] = cx - F(c);
        t.gx[j] = F(1) - t.colFrac[j];
        t.left[j] = std::min(c, lastX);
        t.right[j] = std::min(c + stepX, lastX);
        for (std::size_t used : {t.left[j], t.right[j]}) {
            t.firstUser[used] = std::min(t.firstUser[used], std::uint32_t(j));
            t.endUser[used] = std::uint32_t(j + 1);
        }
    }
    t.rowIdx.resize(dst.h);
    t.rowFrac.resize(dst.h);
    for (std::size_t i = 0; i < dst.h; ++i) {
        F const cy = F(i) * ratioY;
        t.rowIdx[i] = std::size_t(cy);
        t.rowFrac[i] = cy - F(t.rowIdx[i]);
    }
    simd::ScaleBlocks const blocks{dst.origin, dst.stride, dst.w, dst.h, src.origin, src.stride, src.w, src.h};
    HWY_DYNAMIC_DISPATCH(simd::bilinearScale)(kindCodeOf<E>(), blocks, &t, &nd);
}

// Whether two boxes share an element.
bool overlap(Box const& a, Box const& b)
{
    for (int axis = 0; axis < 2; ++axis)
        if (a.high[axis] <= b.low[axis] || b.high[axis] <= a.low[axis]) return false;
    return true;
}

struct ScaleAndCopySubsectionVisitor {
    DataVectorND<2>* dst;
    Box dstBox;
    DataVectorND<2> const* src;
    Box srcBox;
    Variant const* noData;
    InterpolationMethod method;

    template <class T>
    long accept(T const& tag) const
    {
        using E = typename T::element_type;
        constexpr bool kNumericScalar = !IsTupleTag<T>::value && std::is_arithmetic_v<E>;
        if (method != kHold && method != kBilinear) return kErrUnknownInterpolationMethod;
        if (!kNumericScalar && method == kBilinear) return kErrInterpolationNotSupported;

        auto& d = dynamic_cast<TDataVector2D<T>&>(*dst);
        auto const& s = dynamic_cast<TDataVector2D<T> const&>(*src);
        E const* nd = noData->getTypedPtr(tag);
        std::size_t const L = tag.getLength();
        std::size_t const dStride = std::size_t(d.getDimension(0)) * L, sStride = std::size_t(s.getDimension(0)) * L;
        Block<E> out{nullptr, dStride, dstBox.high[0] - dstBox.low[0], dstBox.high[1] - dstBox.low[1]};
        Block<E const> in{nullptr, sStride, srcBox.high[0] - srcBox.low[0], srcBox.high[1] - srcBox.low[1]};
        if (out.w == 0 || out.h == 0) return kSuccess;
        out.origin = static_cast<E*>(d.getDataPtr()) + dstBox.low[1] * dStride + dstBox.low[0] * L;
        if (in.w == 0 || in.h == 0) {
            // No source element to take: the block receives no-data.
            fillBlock(out, L, nd);
            return kSuccess;
        }
        in.origin = static_cast<E const*>(s.getConstDataPtr()) + srcBox.low[1] * sStride + srcBox.low[0] * L;

        // Overlapping blocks of one vector resample a copy of the source.
        std::vector<E> copy;
        if (static_cast<void const*>(&d) == static_cast<void const*>(&s) && overlap(dstBox, srcBox)) {
            copy.resize(in.w * in.h * L);
            for (std::size_t r = 0; r < in.h; ++r)
                std::copy_n(in.origin + r * in.stride, in.w * L, copy.data() + r * in.w * L);
            in.origin = copy.data();
            in.stride = in.w * L;
        }

        if constexpr (kNumericScalar) {
            if (method == kBilinear) {
                using F = std::conditional_t<std::is_same_v<E, float>, float, double>;
                scaleBilinear<E, F>(out, in, *nd);
                return kSuccess;
            }
        }
        scaleNearest(out, in, L);
        return kSuccess;
    }
};

}  // namespace

long scaleAndCopySubsection(DataVectorND<2>& dst, ZELUNnBox<unsigned, 2> const& dstBox, DataVectorND<2> const& src,
                            ZELUNnBox<unsigned, 2> const& srcBox, Variant const& noData, InterpolationMethod method,
                            bool tupleFallback)
{
    DataType const type = src.getDataType();
    if (dst.getDataType() != type) return kErrDataTypesDiffer;
    if (type != noData.getDataType()) return kErrValueTypeMismatch;

    // Extents as unsigned differences: equal inverted boxes reach the block
    // copy, which refuses them.
    ZELUNnPoint<unsigned, 2> const dstExtent(dstBox.high[0] - dstBox.low[0], dstBox.high[1] - dstBox.low[1]);
    ZELUNnPoint<unsigned, 2> const srcExtent(srcBox.high[0] - srcBox.low[0], srcBox.high[1] - srcBox.low[1]);
    if (dstExtent == srcExtent) return copySubsection(dst, dstBox.low, src, srcBox.low, srcExtent);

    for (int axis = 0; axis < 2; ++axis)
        if (dstBox.low[axis] > dstBox.high[axis] || dstBox.high[axis] > dst.getDimension(axis))
            return kErrSubsectionOutOfRange;
    for (int axis = 0; axis < 2; ++axis)
        if (srcBox.low[axis] > srcBox.high[axis] || srcBox.high[axis] > src.getDimension(axis))
            return kErrSubsectionOutOfRange;

    if (type.getTupleLength() > 0 && method == kBilinear && tupleFallback) method = kHold;
    return type.applyVisitor(ScaleAndCopySubsectionVisitor{&dst, dstBox, &src, srcBox, &noData, method});
}

}  // namespace DataVectorUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_

#endif  // HWY_ONCE
