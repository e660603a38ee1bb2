#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/types/ConstVariantRef.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// Writable view {DataType, pointer} of one value. Assigning to it writes the
// viewed value (never the view): a value of the same DataType is copied,
// one of another DataType is ignored.
class ZORV_EXPORT VariantRef : public ConstVariantRef {
public:
    VariantRef() = default;
    VariantRef(DataType type, void const* ptr) : ConstVariantRef(type, ptr) {}
    // A view of one stored tuple: DataType(k, tag length) and the tuple's
    // first element.
    template <int k>
    VariantRef(TTupleDataType<TDataType<k>> type, TupleProxy<TTupleDataType<TDataType<k>>> tuple)
        : ConstVariantRef(type.getDataType(), tuple.data())
    {
    }
    VariantRef(VariantRef const&) = default;
    ~VariantRef() override;

    // Goes through the virtual operator=(ConstVariantRef), so a Variant
    // target applies its own rule.
    virtual VariantRef& operator=(VariantRef other);
    // Copies the value when both DataTypes are equal; otherwise nothing.
    virtual VariantRef& operator=(ConstVariantRef other);

    using ConstVariantRef::getPtr;
    using ConstVariantRef::getTypedPtr;
    using ConstVariantRef::getTupleProxy;

    void* getPtr() { return const_cast<void*>(ConstVariantRef::getPtr()); }

    template <class Tag>
    typename Tag::element_type* getTypedPtr()
    {
        return const_cast<typename Tag::element_type*>(static_cast<ConstVariantRef const&>(*this).getTypedPtr<Tag>());
    }
    template <class Tag>
    typename Tag::element_type* getTypedPtr(Tag const& tag)
    {
        return const_cast<typename Tag::element_type*>(static_cast<ConstVariantRef const&>(*this).getTypedPtr(tag));
    }
    template <int k>
    TupleProxy<TTupleDataType<TDataType<k>>> getTupleProxy(TTupleDataType<TDataType<k>> const& tag)
    {
        return TupleProxy<TTupleDataType<TDataType<k>>>(getTypedPtr(tag), tag.getLength());
    }

    // Writes `source` converted to this view's scalar numeric type (the
    // plain casts of valueAs). kErrNotConvertible, nothing written, for a
    // tuple, undefined or 3-vector target and for a tuple or undefined
    // source; a code-10 target returns 0 and writes nothing.
    long convertValue(ConstVariantRef const& source);
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
