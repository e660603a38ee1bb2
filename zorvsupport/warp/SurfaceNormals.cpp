// Surface normals of a float32 height grid: the interior in SIMD vectors,
// dispatched at run time, the border cell by cell.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "zorvsupport/warp/SurfaceNormals.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "zorvsupport/simd/Simd.h"
#include "zorvsupport/warp/SurfaceNormals.h"

HWY_BEFORE_NAMESPACE();
namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The normals of rows [1, height - 1): the interior cells (all four
// neighbours in the grid) whole vectors of columns at a time, the first and
// last column cell by cell. The no-data
// tests are masks and the pairs are blends, so a difference with a
// neighbour without data is selected away, never used. A vector in which a
// cell's sum is not finite (a valid infinite or NaN height, an overflow) is
// redone cell by cell: the scalar rule then decides every bit, NaN signs
// included. Columns left over at the row end go cell by cell too.
void normalsInnerRows(float const* heights, float* out, std::size_t width, std::size_t height, float noData,
                     float sx, float sy, float const* defaultNormal)
{
    using namespace WarpUtils;
    if (width < 3 || height < 3) return;
#if HWY_TARGET == HWY_SCALAR
    for (std::size_t i = 1; i + 1 < height; ++i)
        for (std::size_t j = 0; j < width; ++j)
            cellNormal(heights, out, width, height, j, i, sx, sy, noData, defaultNormal);
#else
    std::size_t const endColumn = width - 1;
    hn::ScalableTag<float> const d;
    using V = hn::Vec<decltype(d)>;
    using M = hn::Mask<decltype(d)>;
    std::size_t const n = hn::Lanes(d);
    bool const nanNoData = !(noData == noData);
    V const nd = hn::Set(d, noData);
    V const zero = hn::Zero(d);
    V const one = hn::Set(d, 1.0f);
    V const two = hn::Set(d, 2.0f);
    V const vsx = hn::Set(d, sx);
    V const vsy = hn::Set(d, sy);
    V const defX = hn::Set(d, defaultNormal[0]);
    V const defY = hn::Set(d, defaultNormal[1]);
    V const defZ = hn::Set(d, defaultNormal[2]);
    hn::RebindToSigned<decltype(d)> const di;
    auto const magic = hn::Set(di, 0x5F3759DF);
    V const half = hn::Set(d, 0.5f);
    V const threeHalves = hn::Set(d, 1.5f);
    // Not(Eq): a NaN height differs from a finite noData, as in the scalar
    // rule (Ne is an ordered comparison on some targets).
    auto valid = [&](V v) -> M { return nanNoData ? hn::Eq(v, v) : hn::Not(hn::Eq(v, nd)); };
    auto counted = [&](M m) { return hn::IfThenElseZero(m, one); };

    for (std::size_t i = 1; i + 1 < height; ++i) {
        float const* const row = heights + i * width;
        float* const outRow = out + 3 * i * width;
        cellNormal(heights, out, width, height, 0, i, sx, sy, noData, defaultNormal);
        std::size_t j = 1;
        for (; j + n <= endColumn; j += n) {
            V const c = hn::LoadU(d, row + j);
            V const right = hn::LoadU(d, row + j + 1);
            V const down = hn::LoadU(d, row + width + j);
            V const left = hn::LoadU(d, row + j - 1);
            V const up = hn::LoadU(d, row - width + j);
            M const vr = valid(right), vd = valid(down), vl = valid(left), vu = valid(up);
            V const count = hn::Add(hn::Add(hn::Add(counted(vr), counted(vd)), counted(vl)), counted(vu));
            M const computed = hn::And(valid(c), hn::Ge(count, two));

            V const r = hn::Sub(right, c), dd = hn::Sub(down, c), l = hn::Sub(left, c), u = hn::Sub(up, c);
            V const nr = hn::Neg(r), ndd = hn::Neg(dd);
            V nx = zero, ny = zero, nz = zero;
            auto pair = [&](M p, V x, V y) {
                nx = hn::IfThenElse(p, hn::Add(nx, x), nx);
                ny = hn::IfThenElse(p, hn::Add(ny, y), ny);
                nz = hn::IfThenElse(p, hn::Add(nz, one), nz);
            };
            pair(hn::And(vr, vd), nr, ndd);
            pair(hn::And(vr, vu), nr, u);
            pair(hn::And(vl, vd), l, ndd);
            pair(hn::And(vl, vu), l, u);
            nx = hn::Mul(vsx, nx);
            ny = hn::Mul(vsy, ny);
            nz = hn::Mul(hn::Mul(vsx, nz), vsy);
            V const g = hn::Add(hn::Add(hn::Mul(nz, nz), hn::Mul(ny, ny)), hn::Mul(nx, nx));
            V const y0 = hn::BitCast(d, hn::Sub(magic, hn::ShiftRight<1>(hn::BitCast(di, g))));
            V const y = hn::Mul(y0, hn::Sub(threeHalves, hn::Mul(hn::Mul(hn::Mul(half, g), y0), y0)));
            nx = hn::IfThenElse(computed, hn::Mul(nx, y), defX);
            ny = hn::IfThenElse(computed, hn::Mul(ny, y), defY);
            nz = hn::IfThenElse(computed, hn::Mul(nz, y), defZ);
            hn::StoreInterleaved3(nx, ny, nz, d, outRow + 3 * j);
            if (!hn::AllFalse(d, hn::AndNot(hn::IsFinite(g), computed)))
                for (std::size_t k = j; k < j + n; ++k)
                    cellNormal(heights, out, width, height, k, i, sx, sy, noData, defaultNormal);
        }
        for (; j < width; ++j) cellNormal(heights, out, width, height, j, i, sx, sy, noData, defaultNormal);
    }
#endif
}

}  // namespace HWY_NAMESPACE
}  // namespace simd
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/warp/WarpUtils.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace simd {
HWY_EXPORT(normalsInnerRows);
}  // namespace simd

namespace WarpUtils {

void computeNormalsScalar(float const* heights, float* out, std::size_t width, std::size_t height, float noData,
                          float sx, float sy, float const defaultNormal[3])
{
    for (std::size_t i = 0; i < height; ++i)
        for (std::size_t j = 0; j < width; ++j)
            cellNormal(heights, out, width, height, j, i, sx, sy, noData, defaultNormal);
}

void computeNormalsFast(float const* heights, float* out, std::size_t width, std::size_t height, float noData,
                        float sx, float sy, float const defaultNormal[3])
{
    if (width < 3 || height < 3) {
        computeNormalsScalar(heights, out, width, height, noData, sx, sy, defaultNormal);
        return;
    }
    auto border = [&](std::size_t j, std::size_t i) {
        cellNormal(heights, out, width, height, j, i, sx, sy, noData, defaultNormal);
    };
    for (std::size_t j = 0; j < width; ++j) border(j, 0);
    HWY_DYNAMIC_DISPATCH(simd::normalsInnerRows)(heights, out, width, height, noData, sx, sy, defaultNormal);
    for (std::size_t j = 0; j < width; ++j) border(j, height - 1);
}

long computeNormals(TDataVector2D<TTupleDataType<TDataType<0>>>& out,
                    ConstTupleProxy<TTupleDataType<TDataType<0>>> defaultNormal,
                    TDataVector2D<TDataType<0>> const& heights, float noData, float factorX, float factorY,
                    float divisor)
{
    if (out.getDataType() != DataType(DataType::kFloat32, 3) || defaultNormal.length() != 3 || !defaultNormal.data())
        return kErrBadNormalBuffer;
    // Copied first: the caller's view may point into `out`, which the resize
    // may reallocate.
    float const defaults[3] = {defaultNormal[0], defaultNormal[1], defaultNormal[2]};
    if (long const status = out.resize(heights.getDimensions(), false)) return status;
    computeNormalsFast(static_cast<float const*>(heights.getConstDataPtr()), static_cast<float*>(out.getDataPtr()),
                       heights.getDimension(0), heights.getDimension(1), noData, scaleX(factorX, divisor),
                       scaleY(factorY, divisor), defaults);
    return kSuccess;
}

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
#endif
