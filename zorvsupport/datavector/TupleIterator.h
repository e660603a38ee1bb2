#pragma once

#include "zorvsupport/types/Tuple.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// Read-only iterator over the tuples of a tuple storage: {tuple length,
// pointer to component 0 of the current tuple}. Equality compares pointers only.
template <class T>
class ConstTupleIterator {
public:
    using element_type = typename T::element_type;

    ConstTupleIterator(unsigned tupleLength, element_type const* ptr) : m_tupleLength(tupleLength), m_ptr(ptr) {}

    ConstTupleProxy<T> operator*() const { return ConstTupleProxy<T>(m_ptr, m_tupleLength); }
    ConstTupleIterator& operator++()
    {
        m_ptr += m_tupleLength;
        return *this;
    }
    bool operator==(ConstTupleIterator const& o) const { return m_ptr == o.m_ptr; }
    bool operator!=(ConstTupleIterator const& o) const { return m_ptr != o.m_ptr; }
    element_type const* ptr() const { return m_ptr; }
    unsigned tupleLength() const { return m_tupleLength; }

private:
    unsigned m_tupleLength;
    element_type const* m_ptr;
};

// Writable twin of ConstTupleIterator.
template <class T>
class TupleIterator {
public:
    using element_type = typename T::element_type;

    TupleIterator(unsigned tupleLength, element_type* ptr) : m_tupleLength(tupleLength), m_ptr(ptr) {}

    TupleProxy<T> operator*() const { return TupleProxy<T>(m_ptr, m_tupleLength); }
    TupleIterator& operator++()
    {
        m_ptr += m_tupleLength;
        return *this;
    }
    bool operator==(TupleIterator const& o) const { return m_ptr == o.m_ptr; }
    bool operator!=(TupleIterator const& o) const { return m_ptr != o.m_ptr; }
    element_type* ptr() const { return m_ptr; }
    unsigned tupleLength() const { return m_tupleLength; }

private:
    unsigned m_tupleLength;
    element_type* m_ptr;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
