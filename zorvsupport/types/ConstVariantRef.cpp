#include "zorvsupport/types/ConstVariantRef.h"

#include <cmath>
#include <cstdint>
#include <type_traits>

#include "zorvsupport/types/ValueCast.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

ConstVariantRef::~ConstVariantRef() = default;

namespace {

// Reads a numeric scalar and casts it to T; every other value gives 0.
template <class T>
struct ValueAsVisitor {
    void const* ptr;

    template <int k>
    T accept(TDataType<k>) const
    {
        using E = typename TDataType<k>::element_type;
        if constexpr (std::is_arithmetic_v<E>) {
            if (!ptr) return T(0);
            return valueCast<T>(*static_cast<E const*>(ptr));
        } else {
            return T(0);
        }
    }
    template <class Tag>
    T accept(TTupleDataType<Tag>) const
    {
        return T(0);
    }
};

bool namesElementType(DataType const& type)
{
    return elementSizeOf(type.getType()) != 0;
}

struct EqualVisitor {
    void const* a;
    void const* b;

    template <int k>
    bool accept(TDataType<k>) const
    {
        using E = typename TDataType<k>::element_type;
        return *static_cast<E const*>(a) == *static_cast<E const*>(b);
    }
    template <class Tag>
    bool accept(TTupleDataType<Tag> tag) const
    {
        using T = TTupleDataType<Tag>;
        using E = typename T::element_type;
        return ConstTupleProxy<T>(static_cast<E const*>(a), tag.getLength()) ==
               ConstTupleProxy<T>(static_cast<E const*>(b), tag.getLength());
    }
};

struct LessVisitor {
    void const* a;
    void const* b;

    template <int k>
    bool accept(TDataType<k>) const
    {
        using E = typename TDataType<k>::element_type;
        return *static_cast<E const*>(a) < *static_cast<E const*>(b);
    }
    template <class Tag>
    bool accept(TTupleDataType<Tag> tag) const
    {
        using T = TTupleDataType<Tag>;
        using E = typename T::element_type;
        return ConstTupleProxy<T>(static_cast<E const*>(a), tag.getLength()) <
               ConstTupleProxy<T>(static_cast<E const*>(b), tag.getLength());
    }
};

}  // namespace

template <class T>
T ConstVariantRef::valueAs() const
{
    return m_type.applyVisitor(ValueAsVisitor<T>{m_ptr});
}

template <class T>
long ConstVariantRef::getAs(T& out) const
{
    if (m_type.isTuple() || m_type.getType() == DataType::kUndefined) return kErrNotConvertible;
    if (!m_ptr && namesElementType(m_type)) return kErrNotConvertible;
    out = valueAs<T>();
    return kSuccess;
}

bool ConstVariantRef::operator==(ConstVariantRef const& other) const
{
    if (m_type != other.m_type) return false;
    if (!m_ptr || !other.m_ptr) return m_type.getType() == DataType::kUndefined;
    return m_type.applyVisitor(EqualVisitor{m_ptr, other.m_ptr});
}

bool ConstVariantRef::operator<(ConstVariantRef const& other) const
{
    if (m_type != other.m_type) return false;
    if (!m_ptr || !other.m_ptr) return false;
    return m_type.applyVisitor(LessVisitor{m_ptr, other.m_ptr});
}

#define ZORV_VALUE_AS(k, T, name)                                 \
    template ZORV_EXPORT T ConstVariantRef::valueAs<T>() const; \
    template ZORV_EXPORT long ConstVariantRef::getAs<T>(T&) const;
ZORV_FOR_EACH_NUMERIC_KIND(ZORV_VALUE_AS)
#undef ZORV_VALUE_AS

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
