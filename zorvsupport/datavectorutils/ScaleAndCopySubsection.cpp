// Scaled block copy: hold (the element under the truncated source
// position) and bilinear (a weighted mean of four neighbours that leaves out
// the no-data value), both driven by per-column tables built once per call.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <type_traits>
#include <vector>

#include "zorvsupport/datavectorutils/DataVectorUtils.h"
#include "zorvsupport/datavectorutils/OperationFrame.h"
#include "zorvsupport/types/NumericConversion.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
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
    std::vector<std::size_t> col(dst.w);
    for (std::size_t j = 0; j < dst.w; ++j) col[j] = std::min(std::size_t(double(j) * ratioX), src.w - 1) * L;
    std::size_t previous = src.h;
    for (std::size_t i = 0; i < dst.h; ++i) {
        E* out = dst.origin + i * dst.stride;
        std::size_t const r = std::min(std::size_t(double(i) * ratioY), src.h - 1);
        if (r == previous) {
            std::copy_n(out - dst.stride, dst.w * L, out);
            continue;
        }
        previous = r;
        E const* in = src.origin + r * src.stride;
        if (L == 1) {
            for (std::size_t j = 0; j < dst.w; ++j) out[j] = in[col[j]];
        } else {
            for (std::size_t j = 0; j < dst.w; ++j) std::copy_n(in + col[j], L, out + j * L);
        }
    }
}

// The weighted sum of one source row's two neighbours for every
// destination column (fx × right + (1 − fx) × left, the row term of the
// bilinear sum), and whether either neighbour holds the no-data value.
template <class F>
struct RowTerms {
    std::size_t row;
    std::vector<F> sum;
    std::vector<unsigned char> missing;
};

// Bilinear in arithmetic type F (float for float32, double otherwise).
// The index and the fraction of a position both come from its product in F,
// so they always name the same pair of neighbours. The second neighbour is
// the next column or row clamped to the source block, also for the last
// destination column and row: rounding can leave their position just below
// the block's last column or row, which must still be blended in. A
// position that rounding carries onto or past the last column or row reads
// that column or row. A neighbour equal to the no-data value gets weight 0; when its value
// is infinite it also counts as +0.0 in the sum, so that 0 × inf does not
// turn the mean of the valid neighbours into NaN.
//
// Where no neighbour is missing the sum is fy × lowerTerm + (1 − fy) ×
// upperTerm, so the row terms of a source row are formed once and shared by
// the destination rows that read it; elements with a missing neighbour are
// then formed one by one with their weights.
template <class E, class F>
void scaleBilinear(Block<E> dst, Block<E const> src, E const nd)
{
    F const ratioY = dst.h > 1 ? F(src.h - 1) / F(dst.h - 1) : F(0);
    F const ratioX = dst.w > 1 ? F(src.w - 1) / F(dst.w - 1) : F(0);
    std::size_t const lastX = src.w - 1, lastY = src.h - 1;
    // A destination extent of 1 takes the first column or row alone.
    std::size_t const stepX = dst.w > 1 ? 1 : 0, stepY = dst.h > 1 ? 1 : 0;
    std::vector<std::size_t> left(dst.w), right(dst.w);
    std::vector<F> colFrac(dst.w), rowFrac(dst.h);
    for (std::size_t j = 0; j < dst.w; ++j) {
        F const cx = F(j) * ratioX;
        std::size_t const c = std::size_t(cx);
        colFrac[j] = cx - F(c);
        left[j] = std::min(c, lastX);
        right[j] = std::min(c + stepX, lastX);
    }
    std::vector<std::size_t> rowIdx(dst.h);
    for (std::size_t i = 0; i < dst.h; ++i) {
        F const cy = F(i) * ratioY;
        rowIdx[i] = std::size_t(cy);
        rowFrac[i] = cy - F(rowIdx[i]);
    }
    std::size_t const noRow = ~std::size_t(0);
    RowTerms<F> terms[2] = {{noRow, std::vector<F>(dst.w), std::vector<unsigned char>(dst.w)},
                            {noRow, std::vector<F>(dst.w), std::vector<unsigned char>(dst.w)}};
    bool ndInfinite = false;
    if constexpr (std::is_floating_point_v<E>) ndInfinite = std::isinf(nd);
    F const threshold = F(0.0001);

    auto formTerms = [&](RowTerms<F>& t, std::size_t r) {
        E const* in = src.origin + r * src.stride;
        for (std::size_t j = 0; j < dst.w; ++j) {
            E const a = in[left[j]], b = in[right[j]];
            F const fx = colFrac[j];
            t.sum[j] = fx * F(b) + (F(1) - fx) * F(a);
            t.missing[j] = (a == nd) | (b == nd);
        }
        t.row = r;
    };
    // The terms of source row r, formed into the slot not holding `keep`.
    auto termsOf = [&](std::size_t r, std::size_t keep) -> RowTerms<F> const& {
        for (RowTerms<F>& t : terms)
            if (t.row == r) return t;
        RowTerms<F>& t = terms[0].row == keep ? terms[1] : terms[0];
        formTerms(t, r);
        return t;
    };
    auto store = [](F v) {
        if constexpr (std::is_floating_point_v<E>)
            return E(v);
        else
            return roundAndSaturate<E>(double(v));
    };

    for (std::size_t i = 0; i < dst.h; ++i) {
        std::size_t const r = rowIdx[i];
        std::size_t const ru = std::min(r, lastY), rl = std::min(r + stepY, lastY);
        RowTerms<F> const& upper = termsOf(ru, rl);
        RowTerms<F> const& lower = termsOf(rl, ru);
        F const fy = rowFrac[i], gy = F(1) - fy;
        E* out = dst.origin + i * dst.stride;
        F const* su = upper.sum.data();
        F const* sl = lower.sum.data();
        for (std::size_t j = 0; j < dst.w; ++j) out[j] = store(fy * sl[j] + gy * su[j]);

        E const* up = src.origin + ru * src.stride;
        E const* lo = src.origin + rl * src.stride;
        for (std::size_t j = 0; j < dst.w; ++j) {
            if (!(upper.missing[j] | lower.missing[j])) continue;
            std::size_t const a = left[j], b = right[j];
            E const ul = up[a], ur = up[b], ll = lo[a], lr = lo[b];
            bool const mUL = ul == nd, mUR = ur == nd, mLL = ll == nd, mLR = lr == nd;
            F const fx = colFrac[j], gx = F(1) - fx;
            F const wUL = mUL ? F(0) : gx, wLL = mLL ? F(0) : gx;
            F const wUR = mUR ? F(0) : fx, wLR = mLR ? F(0) : fx;
            F const vUL = mUL && ndInfinite ? F(0) : F(ul), vUR = mUR && ndInfinite ? F(0) : F(ur);
            F const vLL = mLL && ndInfinite ? F(0) : F(ll), vLR = mLR && ndInfinite ? F(0) : F(lr);
            F const sum = fy * (wLR * vLR + wLL * vLL) + gy * (wUR * vUR + wUL * vUL);
            F const m = fy * (wLL + wLR) + gy * (wUL + wUR);
            out[j] = m > threshold ? store(sum / m) : nd;
        }
    }
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
