#include <optional>

#include "zorvsupport/datavector/DimensionDispatch.h"
#include "zorvsupport/datavector/OverlapCopy.h"
#include "zorvsupport/datavectorutils/DataVectorUtils.h"
#include "zorvsupport/datavectorutils/OperationFrame.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace DataVectorUtils {

namespace {

template <int N>
struct CopyIntersectionVisitor {
    DataVector* dst;
    DataVector const* src;

    template <class T>
    long accept(T const&) const
    {
        auto* d = dynamic_cast<TDataVector<T, N>*>(dst);
        auto const* s = dynamic_cast<TDataVector<T, N> const*>(src);
        if (!d || !s) return kErrVectorClassMismatch;
        if (static_cast<void const*>(d) == static_cast<void const*>(s)) return kSuccess;  // copies onto itself
        unsigned sd[4] = {1, 1, 1, 1}, dd[4] = {1, 1, 1, 1};
        typename TDataVector<T, N>::Index const sdims = s->getDimensions(), ddims = d->getDimensions();
        for (int i = 0; i < N; ++i) {
            sd[i] = sdims[i];
            dd[i] = ddims[i];
        }
        // Equal data types, so equal tuple lengths: whole elements are copied.
        std::size_t elementBytes = sizeof(typename T::element_type) * std::size_t(d->getTupleLength());
        detail::copyOverlapBytes(static_cast<unsigned char*>(d->getDataPtr()), dd,
                                 static_cast<unsigned char const*>(s->getConstDataPtr()), sd, elementBytes);
        return kSuccess;
    }
};

// Dispatches on the element type for a dimension count known at compile time.
struct CopyIntersectionByDimension {
    DataVector* dst;
    DataVector const* src;

    template <int N>
    std::optional<long> operator()() const
    {
        try {
            return dst->getDataType().applyVisitor(CopyIntersectionVisitor<N>{dst, src});
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
    return visitByDimension(dst.getNumDimensions(), CopyIntersectionByDimension{&dst, &src})
        .value_or(kErrUnsupportedDimensionCount);
}

}  // namespace DataVectorUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
