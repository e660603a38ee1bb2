#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "zorvsupport/Export.h"
#include "zorvsupport/datavector/StorageAllocator.h"
#include "zorvsupport/datavector/TupleIterator.h"
#include "zorvsupport/types/DataType.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace DataVectorImp {

// Saturating 64-bit product, for value counts that must never wrap.
inline std::uint64_t saturatingMultiply(std::uint64_t a, std::uint64_t b)
{
    std::uint64_t r;
    return __builtin_mul_overflow(a, b, &r) ? UINT64_MAX : r;
}

// Sets n values to the zero of their kind.
template <class E>
inline void zeroValues(E* p, std::size_t n)
{
    if (n == 0) return;
    if constexpr (std::is_arithmetic_v<E>)
        std::memset(static_cast<void*>(p), 0, n * sizeof(E));
    else
        for (std::size_t i = 0; i < n; ++i) p[i] = E();
}

// Value storage of one element type, shared by the four dimension counts:
// one contiguous block of values (tuple components side by side) and the
// element type object (the tuple length for tuple types). B is 0 for scalar
// and 1 for tuple element types.
template <class T, int B = IsTupleTag<T>::value ? 1 : 0>
class ZORV_EXPORT TDataVector {
public:
    using element_type = typename T::element_type;
    using storage_type = std::vector<element_type, StorageAllocator<element_type>>;

    // Most values one storage can hold: whole values within 2^32 - 1 bytes.
    static constexpr std::uint64_t kMaxValues = 0xFFFFFFFFull / sizeof(element_type);

    // First stored value; null when nothing is stored.
    element_type* getDataPtr() { return m_values.empty() ? nullptr : m_values.data(); }
    element_type const* getDataPtr() const { return m_values.empty() ? nullptr : m_values.data(); }

    T const& getElementType() const { return m_type; }
    // Values per element: the tuple length, 1 for scalars.
    unsigned valuesPerElement() const
    {
        if constexpr (B == 1)
            return m_type.getLength();
        else
            return 1u;
    }
    unsigned valueCount() const { return static_cast<unsigned>(m_values.size()); }
    unsigned valueCapacity() const { return static_cast<unsigned>(m_values.capacity()); }

    // Tuple iteration over the whole storage (tuple types only).
    template <int BB = B, class = std::enable_if_t<BB == 1>>
    ConstTupleIterator<T> begin() const
    {
        return ConstTupleIterator<T>(m_type.getLength(), getDataPtr());
    }
    template <int BB = B, class = std::enable_if_t<BB == 1>>
    ConstTupleIterator<T> end() const
    {
        element_type const* p = getDataPtr();
        return ConstTupleIterator<T>(m_type.getLength(), p ? p + m_values.size() : nullptr);
    }
    template <int BB = B, class = std::enable_if_t<BB == 1>>
    TupleIterator<T> begin()
    {
        return TupleIterator<T>(m_type.getLength(), getDataPtr());
    }
    template <int BB = B, class = std::enable_if_t<BB == 1>>
    TupleIterator<T> end()
    {
        element_type* p = getDataPtr();
        return TupleIterator<T>(m_type.getLength(), p ? p + m_values.size() : nullptr);
    }

    // Scalar storage is walked with plain value iterators.
    template <int BB = B, class = std::enable_if_t<BB == 0>>
    element_type const* begin() const
    {
        return m_values.data();
    }
    template <int BB = B, class = std::enable_if_t<BB == 0>>
    element_type const* end() const
    {
        return m_values.data() + m_values.size();
    }

    // A tuple storage of `tuples` zero tuples (tuples x L values), allocated
    // as one block of exactly that many values. Throws std::length_error
    // beyond the kind's limit and std::bad_alloc when memory is short.
    template <int BB = B, class = std::enable_if_t<BB == 1>>
    TDataVector(T type, unsigned tuples)
        : m_values(checkedCount(std::uint64_t(tuples) * type.getLength())), m_type(type)
    {
    }

protected:
    // An empty storage; the vector classes size it once their shape is known.
    explicit TDataVector(T type) : m_type(type) {}
    // Exactly the stored values, no spare capacity.
    TDataVector(TDataVector const& other) : m_values(other.m_values), m_type(other.m_type) {}
    ~TDataVector() = default;
    TDataVector& operator=(TDataVector const&) = delete;

    storage_type& values() { return m_values; }
    storage_type const& values() const { return m_values; }

    // Throws std::length_error when `values` exceeds what the kind can hold.
    static std::size_t checkedCount(std::uint64_t values)
    {
        if (values > kMaxValues) throw std::length_error("vector<T> too long");
        return static_cast<std::size_t>(values);
    }

    // Grows the block to exactly `values` values (never shrinks it).
    void reserveValues(std::uint64_t values) { m_values.reserve(checkedCount(values)); }

    // Resizes the stored values to `count`, keeping the first ones and
    // appending zeros. Growth beyond the capacity doubles it (up to the
    // kind's limit); an allocation failure leaves the storage unchanged.
    void resizeValues(std::uint64_t count)
    {
        std::size_t c = checkedCount(count);
        std::size_t old = m_values.size();
        std::size_t cap = m_values.capacity();
        if (c > cap) {
            std::uint64_t grown = static_cast<std::uint64_t>(cap) * 2;
            if (grown > kMaxValues) grown = kMaxValues;
            m_values.reserve(grown > c ? static_cast<std::size_t>(grown) : c);
            m_values.resize(c);  // fresh block: already zero
        } else {
            m_values.resize(c);
            if (c > old) zeroValues(m_values.data() + old, c - old);  // reused capacity
        }
    }

    // Puts a fresh block of `count` zero values in place of the old one.
    void replaceValues(std::uint64_t count)
    {
        storage_type fresh(checkedCount(count));
        m_values.swap(fresh);
    }

    // Exchanges blocks (and tuple lengths) in constant time.
    void swapStorage(TDataVector& other) noexcept
    {
        m_values.swap(other.m_values);
        T tmp = m_type;
        m_type = other.m_type;
        other.m_type = tmp;
    }

private:
    storage_type m_values;
    T m_type;
};

}  // namespace DataVectorImp
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
