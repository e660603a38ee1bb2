#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "zorvsupport/Export.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNVec3.h"

struct _xmlNode;
class ZELUNUString;

// The element kinds as (code, element type, name), written once here and
// grouped into named sub-lists. Tags, the visitor dispatch, the explicit
// instantiations and the tests are expansions of these lists.
#define ZORV_FOR_EACH_REAL_KIND(X)                 \
    X(0, float, "float32")                         \
    X(1, double, "float64")

// The ten numeric kinds (codes 0..9), in code order.
#define ZORV_FOR_EACH_NUMERIC_KIND(X)              \
    ZORV_FOR_EACH_REAL_KIND(X)                     \
    X(2, signed char, "int8")                      \
    X(3, unsigned char, "uint8")                   \
    X(4, short, "sint16")                          \
    X(5, unsigned short, "uint16")                 \
    X(6, int, "int32")                             \
    X(7, unsigned int, "uint32")                   \
    X(8, long long, "int64")                       \
    X(9, unsigned long long, "uint64")

// Every element kind: the numeric ones and the 3-vector.
#define ZORV_FOR_EACH_ELEMENT_KIND(X)              \
    ZORV_FOR_EACH_NUMERIC_KIND(X)                  \
    X(11, ::HPGEOM_3_13_0::ZELUNVec3<double>, "ZELUNVec3")

namespace ZORV_3_13_0_ {
namespace DataSet {

class IOBuffer;

// Element type of every value and vector: a type code and a tuple length
// (0 for a single element, n > 0 for a tuple of n elements).
class ZORV_EXPORT DataType {
public:
    enum Type : std::int32_t {
        kUndefined = -1,
        kFloat32 = 0,
        kFloat64 = 1,
        kInt8 = 2,
        kUInt8 = 3,
        kInt16 = 4,
        kUInt16 = 5,
        kInt32 = 6,
        kUInt32 = 7,
        kInt64 = 8,
        kUInt64 = 9,
        kVec3 = 11
    };

    DataType(Type type = kUndefined, unsigned tupleLength = 0) : m_type(type), m_tupleLength(tupleLength) {}
    DataType(DataType const&) = default;
    DataType& operator=(DataType const&) = default;

    Type getType() const { return m_type; }
    void setType(Type type) { m_type = type; }
    // Number of elements in one value: the tuple length, or 1 for a scalar.
    unsigned getLength() const { return m_tupleLength == 0 ? 1u : m_tupleLength; }
    void setLength(unsigned tupleLength) { m_tupleLength = tupleLength; }
    // The stored tuple length (0 for a scalar).
    unsigned getTupleLength() const { return m_tupleLength; }
    bool isTuple() const { return m_tupleLength != 0; }

    bool operator==(DataType const& o) const { return m_type == o.m_type && m_tupleLength == o.m_tupleLength; }
    bool operator!=(DataType const& o) const { return !(*this == o); }

    // Bytes of one value; 0 for codes that name no element type, and the
    // largest unsigned value when the true size does not fit.
    unsigned getTypeSize() const;

    virtual long readFromBinary(IOBuffer const& buffer);
    virtual long readFromXML(_xmlNode const& node);
    virtual long writeToBinary(IOBuffer& buffer) const;
    virtual long writeToXML(_xmlNode& node) const;
    virtual unsigned getSerializedSize() const;

    // Calls visitor.accept(tag) with the compile-time element type of this
    // data type; codes without an element type call nothing and yield a
    // value-initialised result.
    template <class Visitor>
    auto applyVisitor(Visitor&& visitor) const;

private:
    Type m_type;
    unsigned m_tupleLength;
};

// The codes of the element kinds, in list order, their number and the
// largest of them.
#define ZORV_KIND_CODE(k, T, name) k,
inline constexpr int kElementKindCodes[] = {ZORV_FOR_EACH_ELEMENT_KIND(ZORV_KIND_CODE)};
#undef ZORV_KIND_CODE
inline constexpr std::size_t kElementKindCount = sizeof(kElementKindCodes) / sizeof(kElementKindCodes[0]);
constexpr int largestElementKindCode()
{
    int largest = kElementKindCodes[0];
    for (int code : kElementKindCodes)
        if (code > largest) largest = code;
    return largest;
}

// Element size in bytes of a type code; 0 for codes without an element type.
constexpr unsigned elementSizeOf(DataType::Type code)
{
    switch (code) {
#define ZORV_CASE(k, T, name) \
    case k: return sizeof(T);
        ZORV_FOR_EACH_ELEMENT_KIND(ZORV_CASE)
#undef ZORV_CASE
    default: return 0;
    }
}

// Width of the components that are byte-swapped one by one in a binary
// form: a 3-vector swaps each double, one-byte kinds and codes without an
// element type swap nothing (width 1).
constexpr unsigned componentSizeOf(DataType::Type code)
{
    return code == DataType::kVec3 ? 8u : elementSizeOf(code) == 0 ? 1u : elementSizeOf(code);
}

// Compile-time element types.
template <int k>
struct ZORV_EXPORT TDataTypeTraits;
#define ZORV_TRAITS(k, T, name)         \
    template <>                         \
    struct ZORV_EXPORT TDataTypeTraits<k> { \
        using element_type = T;         \
    };
ZORV_FOR_EACH_ELEMENT_KIND(ZORV_TRAITS)
#undef ZORV_TRAITS

// Scalar tag of code k.
template <int k>
struct ZORV_EXPORT TDataType {
    using element_type = typename TDataTypeTraits<k>::element_type;
    static constexpr DataType::Type kType = static_cast<DataType::Type>(k);
    static constexpr bool kIsTuple = false;
    static constexpr unsigned kElementSize = sizeof(element_type);

    DataType getDataType() const { return DataType(kType, 0); }
    constexpr unsigned getSizeInBytes() const { return kElementSize; }
    constexpr unsigned getLength() const { return 1; }
};

// Tuple tag over a scalar tag; the tuple length is carried at run time.
template <class T>
struct ZORV_EXPORT TTupleDataType {
    using scalar_type = T;
    using element_type = typename T::element_type;
    static constexpr DataType::Type kType = T::kType;
    static constexpr bool kIsTuple = true;
    static constexpr unsigned kElementSize = T::kElementSize;

    explicit TTupleDataType(unsigned length = 0) : m_length(length) {}

    DataType getDataType() const { return DataType(kType, m_length); }
    unsigned getSizeInBytes() const { return m_length * kElementSize; }
    unsigned getLength() const { return m_length; }

    unsigned m_length;
};

template <class T>
struct IsTupleTag : std::false_type {};
template <class T>
struct IsTupleTag<TTupleDataType<T>> : std::true_type {};

template <class Visitor>
auto DataType::applyVisitor(Visitor&& visitor) const
{
    using Result = decltype(visitor.accept(TDataType<0>()));
    switch (m_type) {
#define ZORV_CASE(k, T, name)                                    \
    case k:                                                      \
        if (m_tupleLength == 0) return visitor.accept(TDataType<k>()); \
        return visitor.accept(TTupleDataType<TDataType<k>>(m_tupleLength));
        ZORV_FOR_EACH_ELEMENT_KIND(ZORV_CASE)
#undef ZORV_CASE
    default: break;
    }
    if constexpr (std::is_void_v<Result>)
        return;
    else
        return Result();
}

// Type-name table, scanned from the first row in both directions.
struct TypeNameEntry {
    std::int32_t code;
    char const* name;
};
ZORV_EXPORT extern TypeNameEntry const kTypeNameTable[kElementKindCount];

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
