#include "zorvsupport/types/VariantRef.h"

#include <cstring>
#include <type_traits>

#include "zorvsupport/types/ValueCast.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

VariantRef::~VariantRef() = default;

namespace {

// Copies one value of the common DataType from `source` to `target`.
struct CopyVisitor {
    void* target;
    void const* source;

    template <int k>
    int accept(TDataType<k>) const
    {
        if (target != source) std::memmove(target, source, TDataType<k>::kElementSize);
        return 0;
    }
    template <class Tag>
    int accept(TTupleDataType<Tag> tag) const
    {
        using T = TTupleDataType<Tag>;
        using E = typename T::element_type;
        TupleProxy<T>(static_cast<E*>(target), tag.getLength()) =
            ConstTupleProxy<T>(static_cast<E const*>(source), tag.getLength());
        return 0;
    }
};

// Stores source.valueAs<E>() into a numeric scalar target.
struct ConvertVisitor {
    void* target;
    ConstVariantRef const& source;

    template <int k>
    long accept(TDataType<k>) const
    {
        using E = typename TDataType<k>::element_type;
        if constexpr (std::is_arithmetic_v<E>) {
            DataType const& st = source.getDataType();
            if (st.isTuple() || st.getType() == DataType::kUndefined) return kErrNotConvertible;
            if (!source.getPtr() && elementSizeOf(st.getType()) != 0) return kErrNotConvertible;
            *static_cast<E*>(target) = source.valueAs<E>();
            return kSuccess;
        } else {
            return kErrNotConvertible;
        }
    }
    template <class Tag>
    long accept(TTupleDataType<Tag>) const
    {
        return kErrNotConvertible;
    }
};

}  // namespace

VariantRef& VariantRef::operator=(VariantRef other)
{
    return operator=(ConstVariantRef(other));
}

VariantRef& VariantRef::operator=(ConstVariantRef other)
{
    if (getDataType() != other.getDataType()) return *this;
    if (!getPtr() || !other.getPtr()) return *this;
    getDataType().applyVisitor(CopyVisitor{getPtr(), other.getPtr()});
    return *this;
}

long VariantRef::convertValue(ConstVariantRef const& source)
{
    DataType const& t = getDataType();
    if (t.isTuple() || t.getType() == DataType::kUndefined) return kErrNotConvertible;
    if (elementSizeOf(t.getType()) == 0) return kSuccess;  // code 10 and unknown codes
    if (!getPtr()) return kErrNotConvertible;
    return t.applyVisitor(ConvertVisitor{getPtr(), source});
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
