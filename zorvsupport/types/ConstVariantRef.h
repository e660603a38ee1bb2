#pragma once

#include <boost/operators.hpp>

#include "zorvsupport/Export.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/types/DataType.h"
#include "zorvsupport/types/Tuple.h"

class ZELUNUString;

namespace ZORV_3_13_0_ {
namespace DataSet {

class BandType;

// Read-only view {DataType, pointer} of one value; it owns nothing and is
// valid only while the viewed memory lives. For a tuple the pointer addresses
// the first of getLength() contiguous elements.
//
// A view whose DataType names an element type but whose pointer is null is
// treated like an undefined value: it is never dereferenced, converts to 0,
// is not convertible (getAs, convertValue), and is neither copied nor
// ordered.
//
// Comparisons: operator== and operator< below; boost::totally_ordered gives
// >, <=, >= and != from them. Values of different DataTypes are unordered.
class ZORV_EXPORT ConstVariantRef : public boost::totally_ordered<ConstVariantRef> {
public:
    ConstVariantRef() : m_ptr(nullptr) {}
    ConstVariantRef(DataType type, void const* ptr) : m_type(type), m_ptr(ptr) {}
    template <int k>
    ConstVariantRef(TTupleDataType<TDataType<k>> type, ConstTupleProxy<TTupleDataType<TDataType<k>>> tuple)
        : m_type(type.getDataType()), m_ptr(tuple.data())
    {
    }
    ConstVariantRef(ConstVariantRef const&) = default;
    ConstVariantRef& operator=(ConstVariantRef const&) = default;
    virtual ~ConstVariantRef();

    DataType const& getDataType() const { return m_type; }
    void const* getPtr() const { return m_ptr; }
    bool valid() const { return m_ptr != nullptr; }

    // The pointer as the element type of a scalar tag, when the DataType is
    // exactly DataType(k, 0); null otherwise.
    template <class Tag>
    typename Tag::element_type const* getTypedPtr() const
    {
        static_assert(!Tag::kIsTuple, "a tuple tag carries its length: pass it as an argument");
        return getTypedPtr(Tag());
    }
    // The same for any tag (a tuple tag compares its length too).
    template <class Tag>
    typename Tag::element_type const* getTypedPtr(Tag const& tag) const
    {
        if (!(m_type == tag.getDataType())) return nullptr;
        return static_cast<typename Tag::element_type const*>(m_ptr);
    }
    // The viewed tuple for a tuple tag: {typed pointer or null, tag length}.
    template <int k>
    ConstTupleProxy<TTupleDataType<TDataType<k>>> getTupleProxy(TTupleDataType<TDataType<k>> const& tag) const
    {
        return ConstTupleProxy<TTupleDataType<TDataType<k>>>(getTypedPtr(tag), tag.getLength());
    }

    // A scalar of code 0 to 9 converted to T by a plain cast: floating
    // values truncate toward zero into a signed 64-bit integer (outside its
    // range, or NaN: 0x8000000000000000) and integers keep their low bits.
    // Every other value gives 0. T is one of the ten numeric element types.
    template <class T>
    T valueAs() const;
    // valueAs() into `out`; kErrNotConvertible (out untouched) for a tuple,
    // an undefined value or a null pointer of an element type. A 3-vector or
    // code-10 scalar gives 0 with status 0.
    template <class T>
    long getAs(T& out) const;

    bool operator==(ConstVariantRef const& other) const;
    bool operator<(ConstVariantRef const& other) const;

    // The value as display text for a band type.
    long getAsString(BandType const& bandType, ZELUNUString& text) const;

protected:
    void reset(DataType type, void* ptr)
    {
        m_type = type;
        m_ptr = ptr;
    }

private:
    DataType m_type;
    void const* m_ptr;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
