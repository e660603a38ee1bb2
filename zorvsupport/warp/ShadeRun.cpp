// Shading of pixel runs: the bilinear footprint, the four weighted normal
// reads, the renormalisation and the Lambert factor in SIMD vectors of
// pixels, dispatched at run time.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "zorvsupport/warp/ShadeRun.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cfloat>
#include <cstring>
#include <limits>

#include "zorvsupport/simd/Simd.h"
#include "zorvsupport/warp/ShadeRun.h"

HWY_BEFORE_NAMESPACE();
namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Every lane follows the per-pixel rule step by step: the same operations
// in the same order on the same types; what the rule skips (a neighbour
// outside the grid, of weight 0 or without data; a transparent pixel) is
// selected away, never used. Positions are read as pairs of double vectors
// and narrowed into one float vector, so a turn covers Lanes(float) pixels.
// Neighbours come from one interleaved load where their lanes are
// consecutive cells of the grid (an image on the normals' own cover), else
// from gathers.
// With `sampled` given, the bilinear normals (three floats per position) are
// written there instead, and the pixels are not touched.
bool shadeRunKernel(WarpUtils::ShadeRunGrid const& grid, double const* px, double const* py, std::size_t n,
                    std::uint8_t* pixels, float* sampled)
{
#if HWY_TARGET == HWY_SCALAR || !defined(__BYTE_ORDER__) || __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
    (void)grid, (void)px, (void)py, (void)n, (void)pixels, (void)sampled;
    return false;
#else
    hn::ScalableTag<double> const dd;
    hn::Repartition<float, decltype(dd)> const df;
    hn::Half<decltype(df)> const dfh;
    hn::RebindToSigned<decltype(df)> const di;
    hn::Half<decltype(di)> const dih;
    hn::RebindToUnsigned<decltype(df)> const du;
    using VD = hn::Vec<decltype(dd)>;
    using VF = hn::Vec<decltype(df)>;
    using VI = hn::Vec<decltype(di)>;
    using MF = hn::Mask<decltype(df)>;
    std::size_t const nd = hn::Lanes(dd);
    std::size_t const nf = hn::Lanes(df);

    float const* const data = grid.normals;
    VD const half = hn::Set(dd, 0.5), minusHalf = hn::Set(dd, -0.5), oneD = hn::Set(dd, 1.0);
    VD const minusOne = hn::Set(dd, -1.0), zeroD = hn::Zero(dd);
    VD const columns = hn::Set(dd, static_cast<double>(grid.width));
    VD const rows = hn::Set(dd, static_cast<double>(grid.height));
    VD const widthD = hn::Set(dd, static_cast<double>(grid.width));
    VD const threeD = hn::Set(dd, 3.0);
    // The lower index of -0.5 <= c < 0.5: 0 when the axis has an element.
    VD const firstColumn = grid.width >= 1 ? zeroD : minusOne;
    VD const firstRow = grid.height >= 1 ? zeroD : minusOne;

    VF const zero = hn::Zero(df), one = hn::Set(df, 1.0f);
    VF const minWeightSum = hn::Set(df, static_cast<float>(0.00001));
    VF const lowest = hn::Set(df, -FLT_MAX), highest = hn::Set(df, FLT_MAX);
    VF const nd0 = hn::Set(df, grid.noData[0]), nd1 = hn::Set(df, grid.noData[1]), nd2 = hn::Set(df, grid.noData[2]);
    VF const l0 = hn::Set(df, grid.light[0]), l1 = hn::Set(df, grid.light[1]), l2 = hn::Set(df, grid.light[2]);
    VF const ambient = hn::Set(df, grid.ambient), diffuse = hn::Set(df, grid.diffuse);
    VF const halfF = hn::Set(df, 0.5f), threeHalves = hn::Set(df, 1.5f), top = hn::Set(df, 255.0f);
    VI const magic = hn::Set(di, 0x5F3759DF), minusOneI = hn::Set(di, -1);
    VI const iota = hn::Iota(di, 0);
    VI const iota3 = hn::Add(hn::Add(iota, iota), iota);
    auto const byteMask = hn::Set(du, 0xFFu);
    auto const alphaMask = hn::Set(du, 0xFF000000u);

    // One axis of the footprint for nd lanes: the lower and upper indices
    // (-1 where not valid) and the fraction (0 below 0.5), in double.
    struct AxisD {
        VD lower, upper, frac;
    };
    auto axis = [&](VD c, VD count, VD first) {
        auto const above = hn::Ge(c, half);
        VD const t = hn::Sub(c, half);
        VD const i = hn::Trunc(t);
        VD const i1 = hn::Add(i, oneD);
        AxisD a;
        a.lower = hn::IfThenElse(above, hn::IfThenElse(hn::Lt(i, count), i, minusOne),
                                 hn::IfThenElse(hn::Ge(c, minusHalf), first, minusOne));
        a.upper = hn::IfThenElse(hn::And(above, hn::Lt(i1, count)), i1, minusOne);
        a.frac = hn::IfThenElseZero(above, hn::Sub(t, i));
        return a;
    };
    auto narrowF = [&](VD lo, VD hi) { return hn::Combine(df, hn::DemoteTo(dfh, hi), hn::DemoteTo(dfh, lo)); };
    auto narrowI = [&](VD lo, VD hi) { return hn::Combine(di, hn::DemoteTo(dih, hi), hn::DemoteTo(dih, lo)); };
    // Component offset of cell (column, row), both clamped to 0 where -1.
    auto offset = [&](VD column, VD row) {
        return hn::Mul(hn::Add(hn::Max(column, zeroD), hn::Mul(hn::Max(row, zeroD), widthD)), threeD);
    };

    // The three components of the neighbours at `off`; lanes outside the
    // grid read cell 0 (which exists once any lane is inside).
    auto fetch = [&](MF inside, VI off, VF& ex, VF& ey, VF& ez) {
        if (hn::AllTrue(df, inside)) {
            std::int32_t const first = hn::GetLane(off);
            if (hn::AllTrue(di, hn::Eq(off, hn::Add(hn::Set(di, first), iota3)))) {
                hn::LoadInterleaved3(df, data + first, ex, ey, ez);
                return;
            }
        }
        VI const safe = hn::IfThenElseZero(hn::RebindMask(di, inside), off);
        ex = hn::GatherIndex(df, data, safe);
        ey = hn::GatherIndex(df, data + 1, safe);
        ez = hn::GatherIndex(df, data + 2, safe);
    };

    // The last turn of a run that is not a whole number of vectors runs on
    // padded copies: positions that are not numbers and transparent pixels
    // fill it, and only the run's own pixels are copied back.
    constexpr std::size_t kMaxLanes = HWY_MAX_BYTES / sizeof(float);
    HWY_ALIGN double tailX[kMaxLanes];
    HWY_ALIGN double tailY[kMaxLanes];
    HWY_ALIGN std::uint8_t tailPixels[4 * kMaxLanes];
    HWY_ALIGN float tailNormals[3 * kMaxLanes];
    for (std::size_t i = 0; i < n; i += nf) {
        std::size_t const rest = n - i < nf ? n - i : 0;
        double const* x = px + i;
        double const* y = py + i;
        std::uint8_t* p = sampled ? nullptr : pixels + 4 * i;
        float* normals = sampled ? sampled + 3 * i : nullptr;
        if (rest) {
            for (std::size_t k = 0; k < nf; ++k) {
                tailX[k] = k < rest ? x[k] : std::numeric_limits<double>::quiet_NaN();
                tailY[k] = k < rest ? y[k] : std::numeric_limits<double>::quiet_NaN();
            }
            x = tailX;
            y = tailY;
            if (p) {
                std::memset(tailPixels, 0, sizeof tailPixels);
                std::memcpy(tailPixels, p, 4 * rest);
                p = tailPixels;
            } else {
                normals = tailNormals;
            }
        }
        AxisD const xl = axis(hn::LoadU(dd, x), columns, firstColumn);
        AxisD const xh = axis(hn::LoadU(dd, x + nd), columns, firstColumn);
        AxisD const yl = axis(hn::LoadU(dd, y), rows, firstRow);
        AxisD const yh = axis(hn::LoadU(dd, y + nd), rows, firstRow);
        MF const lowerX = hn::RebindMask(df, hn::Gt(narrowI(xl.lower, xh.lower), minusOneI));
        MF const upperX = hn::RebindMask(df, hn::Gt(narrowI(xl.upper, xh.upper), minusOneI));
        MF const lowerY = hn::RebindMask(df, hn::Gt(narrowI(yl.lower, yh.lower), minusOneI));
        MF const upperY = hn::RebindMask(df, hn::Gt(narrowI(yl.upper, yh.upper), minusOneI));
        VF const fx = narrowF(xl.frac, xh.frac), fy = narrowF(yl.frac, yh.frac);
        VF const lwx = hn::Sub(one, fx), lwy = hn::Sub(one, fy);
        MF const footprint = hn::And(lowerX, lowerY);

        VF sx = zero, sy = zero, sz = zero, total = zero;
        auto neighbour = [&](MF inside, VF weight, VD colLo, VD colHi, VD rowLo, VD rowHi) {
            MF const visit = hn::AndNot(hn::Eq(weight, zero), inside);
            if (hn::AllFalse(df, visit)) return;
            VF ex, ey, ez;
            fetch(inside, narrowI(offset(colLo, rowLo), offset(colHi, rowHi)), ex, ey, ez);
            MF const noData = hn::And(hn::And(hn::Eq(ex, nd0), hn::Eq(ey, nd1)), hn::Eq(ez, nd2));
            MF const add = hn::AndNot(noData, visit);
            sx = hn::IfThenElse(add, hn::Add(sx, hn::Mul(weight, ex)), sx);
            sy = hn::IfThenElse(add, hn::Add(sy, hn::Mul(weight, ey)), sy);
            sz = hn::IfThenElse(add, hn::Add(sz, hn::Mul(weight, ez)), sz);
            total = hn::IfThenElse(add, hn::Add(total, weight), total);
        };
        neighbour(footprint, hn::Mul(lwx, lwy), xl.lower, xh.lower, yl.lower, yh.lower);
        neighbour(hn::And(footprint, upperX), hn::Mul(fx, lwy), xl.upper, xh.upper, yl.lower, yh.lower);
        neighbour(hn::And(footprint, upperY), hn::Mul(lwx, fy), xl.lower, xh.lower, yl.upper, yh.upper);
        neighbour(hn::And(hn::And(footprint, upperX), upperY), hn::Mul(fx, fy), xl.upper, xh.upper, yl.upper,
                  yh.upper);

        // The weighted mean, clamped to the float range; no-data where the
        // footprint is empty or too light.
        MF const mean = hn::AndNot(hn::Lt(total, minWeightSum), footprint);
        VF const inv = hn::Div(one, total);
        auto store = [&](VF s, VF noDataComponent) {
            VF const r = hn::Mul(s, inv);
            VF const clamped = hn::IfThenElse(hn::Lt(r, lowest), lowest, hn::IfThenElse(hn::Gt(r, highest), highest, r));
            return hn::IfThenElse(mean, clamped, noDataComponent);
        };
        VF n0 = store(sx, nd0), n1 = store(sy, nd1), n2 = store(sz, nd2);
        if (normals) {
            hn::StoreInterleaved3(n0, n1, n2, df, normals);
        } else {

            // Renormalised by the inverse square root approximation, then the
            // Lambert factor.
            VF const g = hn::Add(hn::Add(hn::Mul(n2, n2), hn::Mul(n1, n1)), hn::Mul(n0, n0));
            VF const y0 = hn::BitCast(df, hn::Sub(magic, hn::ShiftRight<1>(hn::BitCast(di, g))));
            VF const s = hn::Mul(y0, hn::Sub(threeHalves, hn::Mul(hn::Mul(hn::Mul(halfF, g), y0), y0)));
            n0 = hn::Mul(n0, s);
            n1 = hn::Mul(n1, s);
            n2 = hn::Mul(n2, s);
            VF dot = hn::Add(hn::Add(hn::Mul(n2, l2), hn::Mul(n1, l1)), hn::Mul(n0, l0));
            dot = hn::IfThenElseZero(hn::Gt(dot, zero), dot);
            VF const k = hn::Add(hn::Mul(dot, diffuse), ambient);

            // Red, green and blue scaled by k, NaN and negatives to 0, above 255
            // to 255, truncated; alpha kept; transparent pixels as they were.
            auto const before = hn::LoadU(du, reinterpret_cast<std::uint32_t const*>(p));
            auto channel = [&](auto shifted) {
                VF const v = hn::Mul(hn::ConvertTo(df, hn::BitCast(di, hn::And(shifted, byteMask))), k);
                VF const bounded = hn::Min(hn::IfThenElseZero(hn::Ge(v, zero), v), top);
                return hn::BitCast(du, hn::ConvertTo(di, bounded));
            };
            auto const red = channel(before);
            auto const green = channel(hn::ShiftRight<8>(before));
            auto const blue = channel(hn::ShiftRight<16>(before));
            auto const alpha = hn::And(before, alphaMask);
            auto const shaded = hn::Or(hn::Or(red, hn::ShiftLeft<8>(green)), hn::Or(hn::ShiftLeft<16>(blue), alpha));
            auto const transparent = hn::Eq(alpha, hn::Zero(du));
            hn::StoreU(hn::IfThenElse(transparent, before, shaded), du, reinterpret_cast<std::uint32_t*>(p));
        }
        if (rest) {
            if (sampled)
                std::memcpy(sampled + 3 * i, tailNormals, 3 * rest * sizeof(float));
            else
                std::memcpy(pixels + 4 * i, tailPixels, 4 * rest);
        }
    }
    return true;
#endif
}

}  // namespace HWY_NAMESPACE
}  // namespace simd
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {
HWY_EXPORT(shadeRunKernel);
}  // namespace simd

namespace WarpUtils {

bool shadeRun(ShadeRunGrid const& grid, double const* px, double const* py, std::size_t n, std::uint8_t* pixels)
{
    return HWY_DYNAMIC_DISPATCH(simd::shadeRunKernel)(grid, px, py, n, pixels, nullptr);
}

bool sampleNormalsRun(ShadeRunGrid const& grid, double const* px, double const* py, std::size_t n, float* normals)
{
    return HWY_DYNAMIC_DISPATCH(simd::shadeRunKernel)(grid, px, py, n, nullptr, normals);
}

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
#endif
