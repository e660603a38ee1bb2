#include <cstring>

#include "zorvsupport/datavector/DimensionDispatch.h"
#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/datavectorutils/ConvertElements.h"
#include "zorvsupport/datavectorutils/DataVectorUtils.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace DataVectorUtils {

namespace {

// One conversion call: the vectors and views of the two no-data values.
template <int N>
struct ConversionContext {
    DataVectorND<N>* destination;
    ConstVariantRef destinationNoData;
    ConstVariantRef sourceNoData;
    DataVectorND<N> const* source;
};

template <class Tag>
inline constexpr bool kIsNumericScalar = !Tag::kIsTuple && Tag::kType != DataType::kVec3;

// The typed storage of a vector, whose data pointer has the element type.
template <class T, int N>
typename TDataVector<T, N>::Storage& storageOf(TDataVector<T, N>& v)
{
    return v;
}
template <class T, int N>
typename TDataVector<T, N>::Storage const& storageOf(TDataVector<T, N> const& v)
{
    return v;
}

// The pair converter: down-casts (a foreign class throws std::bad_cast),
// takes the typed no-data values and runs the element loop of the pair over
// the whole storage.
template <class DTag, int N>
struct ConvertSourceVisitor {
    ConversionContext<N> const* context;

    template <class STag>
    long accept(STag const&) const
    {
        if constexpr (kIsNumericScalar<STag>) {
            auto& dst = dynamic_cast<TDataVector<DTag, N>&>(*context->destination);
            auto const& src = dynamic_cast<TDataVector<STag, N> const&>(*context->source);
            auto const* dstNoData = context->destinationNoData.template getTypedPtr<DTag>();
            auto const* srcNoData = context->sourceNoData.template getTypedPtr<STag>();
            auto const* first = storageOf(src).getDataPtr();
            return convertElements(first, first + src.size(), storageOf(dst).getDataPtr(), *srcNoData, *dstNoData);
        } else {
            return kErrNotSupported;
        }
    }
};

template <int N>
struct ConvertTargetVisitor {
    ConversionContext<N> const* context;
    DataType sourceType;

    template <class DTag>
    long accept(DTag const&) const
    {
        if constexpr (kIsNumericScalar<DTag>)
            return sourceType.applyVisitor(ConvertSourceVisitor<DTag, N>{context});
        else
            return kErrNotSupported;
    }
};

template <int N>
long dispatchConversion(ConversionContext<N> const& context, DataType const& destinationType,
                        DataType const& sourceType)
{
    return destinationType.applyVisitor(ConvertTargetVisitor<N>{&context, sourceType});
}

// A value of a numeric kind (at most 8 bytes) copied out of wherever its view
// points, so that it survives a resize that frees the viewed storage.
struct NoDataCopy {
    alignas(8) unsigned char bytes[8] = {};

    explicit NoDataCopy(ConstVariantRef const& view)
    {
        unsigned const size = elementSizeOf(view.getDataType().getType());
        if (size > 0 && size <= sizeof(bytes) && view.getPtr()) std::memcpy(bytes, view.getPtr(), size);
    }
    ConstVariantRef view(DataType const& type) const { return ConstVariantRef(type, bytes); }
};

template <int N>
long convertVectorND(DataVector& dst, ConstVariantRef dstNoData, DataVector const& src, ConstVariantRef srcNoData)
{
    auto const* source = dynamic_cast<DataVectorND<N> const*>(&src);
    auto* destination = dynamic_cast<DataVectorND<N>*>(&dst);
    if (!source || !destination) return kErrVectorClassMismatch;
    // Both values are read before the resize: a view into the destination's
    // own storage would dangle after it.
    NoDataCopy const dstNoDataCopy(dstNoData), srcNoDataCopy(srcNoData);
    if (long status = destination->resize(source->getDimensions(), false)) return status;
    ConversionContext<N> const context{destination, dstNoDataCopy.view(dstNoData.getDataType()),
                                       srcNoDataCopy.view(srcNoData.getDataType()), source};
    DataType const sourceType = src.getDataType();
    DataType const destinationType = dst.getDataType();
    return dispatchConversion<N>(context, destinationType, sourceType);
}

struct ConvertAtDimension {
    DataVector& dst;
    ConstVariantRef dstNoData;
    DataVector const& src;
    ConstVariantRef srcNoData;

    template <int N>
    long operator()() const
    {
        return convertVectorND<N>(dst, dstNoData, src, srcNoData);
    }
};

bool isConvertible(DataType const& type)
{
    return !type.isTuple() && type != DataType(DataType::kVec3, 0);
}

}  // namespace

long convertVector(DataVector& dst, ConstVariantRef dstNoData, DataVector const& src, ConstVariantRef srcNoData)
{
    if (dst.getNumDimensions() != src.getNumDimensions()) return kErrDimensionCountsDiffer;
    DataType const dstType = dst.getDataType();
    DataType const srcType = src.getDataType();
    if (!isConvertible(dstType) || !isConvertible(srcType)) return kErrNotSupported;
    if (dstNoData.getDataType() != dstType || srcNoData.getDataType() != srcType) return kErrValueTypeMismatch;
    unsigned const n = dst.getNumDimensions();
    if (n < 1 || n > 4) return kErrUnsupportedDimensionCount;
    return visitByDimension(n, ConvertAtDimension{dst, dstNoData, src, srcNoData});
}

}  // namespace DataVectorUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
