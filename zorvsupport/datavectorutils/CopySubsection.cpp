// Subsection copy: one block copy per row over raw bytes, or one copy for a
// block of whole rows; within one vector with memmove semantics.

#include <cstdint>

#include "zorvsupport/datavectorutils/DataVectorUtils.h"
#include "zorvsupport/datavectorutils/OperationFrame.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace DataVectorUtils {
namespace {

// Copies h rows of rowBytes from src (rows srcStride bytes apart) to dst
// (dstStride apart). Blocks of one vector (equal strides) may overlap: the
// rows then go in the order that reads every source row before it is
// overwritten, each with memmove, so the result is that of a copy from a
// snapshot of the source block.
void copyBlockBytes(unsigned char* dst, std::size_t dstStride, unsigned char const* src, std::size_t srcStride,
                    std::size_t rowBytes, std::size_t h, bool oneVector)
{
    if (rowBytes == dstStride && rowBytes == srcStride) {
        if (oneVector)
            std::memmove(dst, src, rowBytes * h);
        else
            std::memcpy(dst, src, rowBytes * h);
    } else if (!oneVector) {
        for (std::size_t r = 0; r < h; ++r) std::memcpy(dst + r * dstStride, src + r * srcStride, rowBytes);
    } else if (dst < src) {
        for (std::size_t r = 0; r < h; ++r) std::memmove(dst + r * dstStride, src + r * srcStride, rowBytes);
    } else if (dst > src) {
        for (std::size_t r = h; r-- > 0;) std::memmove(dst + r * dstStride, src + r * srcStride, rowBytes);
    }
}

struct CopySubsectionVisitor {
    DataVectorND<2>* dst;
    unsigned dx, dy;
    DataVectorND<2> const* src;
    unsigned sx, sy, w, h;

    template <class T>
    long accept(T const&) const
    {
        using E = typename T::element_type;
        auto& d = dynamic_cast<TDataVector2D<T>&>(*dst);
        auto const& s = dynamic_cast<TDataVector2D<T> const&>(*src);
        if (w == 0 || h == 0) return kSuccess;
        unsigned const dl = d.getTupleLength(), sl = s.getTupleLength();
        std::size_t const dd0 = d.getDimension(0), sd0 = s.getDimension(0);
        E* out = static_cast<E*>(d.getDataPtr()) + (std::size_t(dy) * dd0 + dx) * dl;
        E const* in = static_cast<E const*>(s.getConstDataPtr()) + (std::size_t(sy) * sd0 + sx) * sl;
        if (dl != sl) {
            // Storages of two tuple lengths: the tuple rule per element.
            for (std::size_t r = 0; r < h; ++r) copyTupleRow(out + r * dd0 * dl, dl, in + r * sd0 * sl, sl, w);
            return kSuccess;
        }
        std::size_t const width = sizeof(E) * dl;
        copyBlockBytes(reinterpret_cast<unsigned char*>(out), dd0 * width, reinterpret_cast<unsigned char const*>(in),
                       sd0 * width, w * width, h, static_cast<void const*>(&d) == static_cast<void const*>(&s));
        return kSuccess;
    }
};

}  // namespace

long copySubsection(DataVectorND<2>& dst, ZELUNnPoint<unsigned, 2> dstOrigin, DataVectorND<2> const& src,
                    ZELUNnPoint<unsigned, 2> srcOrigin, ZELUNnPoint<unsigned, 2> size)
{
    DataType const type = dst.getDataType();
    if (src.getDataType() != type) return kErrDataTypesDiffer;
    // Exact sums: a block that would wrap 32 bits lies beyond the vector.
    if (std::uint64_t(dstOrigin[0]) + size[0] > dst.getDimension(0)) return kErrSubsectionOutOfRange;
    if (std::uint64_t(dstOrigin[1]) + size[1] > dst.getDimension(1)) return kErrSubsectionOutOfRange;
    if (std::uint64_t(srcOrigin[0]) + size[0] > src.getDimension(0)) return kErrSubsectionOutOfRange;
    if (std::uint64_t(srcOrigin[1]) + size[1] > src.getDimension(1)) return kErrSubsectionOutOfRange;
    return type.applyVisitor(
        CopySubsectionVisitor{&dst, dstOrigin[0], dstOrigin[1], &src, srcOrigin[0], srcOrigin[1], size[0], size[1]});
}

}  // namespace DataVectorUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
