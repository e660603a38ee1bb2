#include "zorvsupport/datavectorutils/DataVectorUtils.h"
#include "zorvsupport/datavectorutils/OperationFrame.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace DataVectorUtils {

void copyOverlapBytes(unsigned char* dst, unsigned const dd[4], unsigned char const* src, unsigned const sd[4],
                      std::size_t elementBytes)
{
    std::size_t m[4];
    for (int i = 0; i < 4; ++i) {
        m[i] = dd[i] < sd[i] ? dd[i] : sd[i];
        if (m[i] == 0) return;
    }
    std::size_t const row = m[0] * elementBytes;
    // Strides in bytes of dimensions 1, 2 and 3 of each vector.
    std::size_t const ds1 = dd[0] * elementBytes, ds2 = ds1 * dd[1], ds3 = ds2 * dd[2];
    std::size_t const ss1 = sd[0] * elementBytes, ss2 = ss1 * sd[1], ss3 = ss2 * sd[2];
    for (std::size_t l = 0; l < m[3]; ++l)
        for (std::size_t k = 0; k < m[2]; ++k)
            for (std::size_t j = 0; j < m[1]; ++j)
                std::memcpy(dst + l * ds3 + k * ds2 + j * ds1, src + l * ss3 + k * ss2 + j * ss1, row);
}

namespace {

template <int N>
struct CopyIntersectionVisitor {
    DataVector* dst;
    DataVector const* src;

    template <class T>
    long accept(T const&) const
    {
        try {
            auto& d = dynamic_cast<TDataVector<T, N>&>(*dst);
            auto const& s = dynamic_cast<TDataVector<T, N> const&>(*src);
            if (static_cast<void const*>(&d) == static_cast<void const*>(&s)) return kSuccess;  // copies onto itself
            unsigned sd[4] = {1, 1, 1, 1}, dd[4] = {1, 1, 1, 1};
            for (int i = 0; i < N; ++i) {
                sd[i] = s.getDimension(i);
                dd[i] = d.getDimension(i);
            }
            // Equal data types, so equal tuple lengths: whole elements are copied.
            std::size_t elementBytes = sizeof(typename T::element_type) * std::size_t(d.getTupleLength());
            copyOverlapBytes(static_cast<unsigned char*>(d.getDataPtr()), dd,
                             static_cast<unsigned char const*>(s.getConstDataPtr()), sd, elementBytes);
            return kSuccess;
        } catch (...) {
            return kErrVectorClassMismatch;
        }
    }
};

}  // namespace

long copyIntersection(DataVector& dst, DataVector const& src)
{
    if (dst.getNumDimensions() != src.getNumDimensions()) return kErrDimensionCountsDiffer;
    DataType srcType = src.getDataType();
    DataType dstType = dst.getDataType();
    if (srcType != dstType) return kErrDataTypesDiffer;
    switch (dst.getNumDimensions()) {
    case 1: return dstType.applyVisitor(CopyIntersectionVisitor<1>{&dst, &src});
    case 2: return dstType.applyVisitor(CopyIntersectionVisitor<2>{&dst, &src});
    case 3: return dstType.applyVisitor(CopyIntersectionVisitor<3>{&dst, &src});
    case 4: return dstType.applyVisitor(CopyIntersectionVisitor<4>{&dst, &src});
    default: return kErrUnsupportedDimensionCount;
    }
}

}  // namespace DataVectorUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
