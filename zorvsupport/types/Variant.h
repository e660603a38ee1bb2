#pragma once

#include <type_traits>

#include "zorvsupport/Export.h"
#include "zorvsupport/types/DataType.h"
#include "zorvsupport/types/Readable.h"
#include "zorvsupport/types/Tuple.h"
#include "zorvsupport/types/VariantRef.h"
#include "zorvsupport/types/Writeable.h"

struct _xmlNode;

namespace ZORV_3_13_0_ {
namespace DataSet {

class IOBuffer;

// True for the eleven scalar element value types.
template <class V>
struct IsElementValueType : std::false_type {};
#define ZORV_ELEMENT_VALUE_TYPE(k, T, name) \
    template <>                             \
    struct IsElementValueType<T> : std::true_type {};
ZORV_FOR_EACH_ELEMENT_KIND(ZORV_ELEMENT_VALUE_TYPE)
#undef ZORV_ELEMENT_VALUE_TYPE

// The scalar tag of an element value type.
template <class V>
struct ElementTagOf;
#define ZORV_ELEMENT_TAG_OF(k, T, name) \
    template <>                         \
    struct ElementTagOf<T> {            \
        using type = TDataType<k>;      \
    };
ZORV_FOR_EACH_ELEMENT_KIND(ZORV_ELEMENT_TAG_OF)
#undef ZORV_ELEMENT_TAG_OF

template <class T>
struct NonDeduced {
    using type = T;
};

// The owning value: one value of any element type, scalar or tuple, in a
// heap block of exactly getDataType().getTypeSize() bytes that it owns; no
// block (null pointer) when that size is 0. Copies are deep.
//
// Binary form: the DataType (u32 code, u32 tuple length), then the elements
// in order, each in the buffer's byte order. XML form below a node: the
// "DataType" child, then a scalar as the node's attribute "value", or a tuple
// of n as n "value" children each with its attribute "value".
class ZORV_EXPORT Variant : public VariantRef, public Readable, public Writeable {
public:
    Variant() = default;
    // A zero value of `type`.
    explicit Variant(DataType type);
    Variant(Variant const& other);
    ~Variant() override;

    Variant& operator=(Variant const& other);
    // Becomes a copy of the viewed value: the view's DataType with a block
    // sized for it, then the value (zero when the view has no pointer).
    Variant& operator=(ConstVariantRef view) override;
    using VariantRef::operator=;

    // Typed construction and setters of scalar values: DataType(k, 0).
    template <int k>
    Variant(TDataType<k> type, typename TDataType<k>::element_type const& value)
    {
        set(type, value);
    }
    template <int k>
    void set(TDataType<k>, typename TDataType<k>::element_type const& value)
    {
        using E = typename TDataType<k>::element_type;
        E const copy = value;  // `value` may lie in the block that set() replaces
        set(DataType(TDataType<k>::kType, 0), nullptr);
        *static_cast<E*>(getPtr()) = copy;
    }

    // Typed construction and setters of tuples: DataType(k, type's length),
    // the first min(length, view length) elements copied, the rest zero. A
    // tuple type of length 0 gives the scalar zero of code k.
    template <int k>
    Variant(TTupleDataType<TDataType<k>> type,
            typename NonDeduced<ConstTupleProxy<TTupleDataType<TDataType<k>>>>::type value)
    {
        set(type, value);
    }
    template <int k>
    void set(TTupleDataType<TDataType<k>> type,
             typename NonDeduced<ConstTupleProxy<TTupleDataType<TDataType<k>>>>::type value)
    {
        using T = TTupleDataType<TDataType<k>>;
        using E = typename T::element_type;
        unsigned const n = type.getLength();
        // Fill a new block first: the view may point into the current one.
        Variant fresh(DataType(T::kType, n));
        if (n != 0) TupleProxy<T>(static_cast<E*>(fresh.getPtr()), n) = value;
        swapStorage(fresh);
    }

    // Shorthands for the scalar element value types (exact types only, so
    // that a DataType::Type argument still means a DataType):
    // Variant(2.5f) is a float32, Variant(7u) a uint32, Variant(7LL) an int64.
    template <class V, std::enable_if_t<IsElementValueType<V>::value, bool> = true>
    explicit Variant(V const& value)
    {
        set(typename ElementTagOf<V>::type(), value);
    }
    template <class V, std::enable_if_t<IsElementValueType<V>::value, bool> = true>
    void set(V const& value)
    {
        set(typename ElementTagOf<V>::type(), value);
    }

    // Bytes of the binary form: the value plus the 8 bytes of the DataType
    // (saturated at the largest unsigned value).
    unsigned getSerializedSize() const;

    long readFromBinary(IOBuffer const& buffer) override;
    long readFromXML(_xmlNode const& node) override;
    long writeToBinary(IOBuffer& buffer) const override;
    long writeToXML(_xmlNode& node) const override;

    // The value alone, without the DataType; the reader keeps the Variant's
    // DataType.
    long writeValueToBinary(IOBuffer& buffer) const;
    long readValueFromBinary(IOBuffer const& buffer);

protected:
    // The only operation that changes the DataType and the block: the block
    // becomes type's size, copied from `source` or zero when it is null. A
    // block of unchanged size is reused when `source` is not null (it may be
    // this Variant's own value); otherwise the new block is filled before
    // the old one is released. Throws std::length_error when the value would
    // exceed 2^32 - 1 bytes, and lets std::bad_alloc through, leaving the
    // Variant unchanged in both cases.
    void set(DataType const& type, void const* source);

private:
    void swapStorage(Variant& other);
    // Empty: undefined DataType, no block.
    void clear();
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
