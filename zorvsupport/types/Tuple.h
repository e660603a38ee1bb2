#pragma once

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "zorvsupport/Export.h"
#include "zorvsupport/types/DataType.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// Tuple values and views. In every template here T is a tuple tag
// TTupleDataType<TDataType<k>>; "element" is the element type of code k.

template <class T>
class TupleProxy;

// Read-only view {first element, length} of one stored tuple.
template <class T>
class ConstTupleProxy {
public:
    using tag_type = T;
    using element_type = typename T::element_type;

    ConstTupleProxy(element_type const* data, unsigned length) : m_data(data), m_length(length) {}
    // Every writable view (and so every Tuple) reads as a const view.
    ConstTupleProxy(TupleProxy<T> const& other);

    element_type const* data() const { return m_data; }
    unsigned length() const { return m_length; }
    // Element i, not checked against the length.
    element_type const& operator[](unsigned i) const { return m_data[i]; }
    element_type const* begin() const { return m_data; }
    element_type const* end() const { return m_data + m_length; }

private:
    element_type const* m_data;
    unsigned m_length;
};

// Writable view {first element, length} of one stored tuple. Assigning to it
// writes the viewed elements: the shorter length is copied and the rest of
// the target is zeroed; the target keeps its own length and storage.
template <class T>
class TupleProxy {
public:
    using tag_type = T;
    using element_type = typename T::element_type;

    TupleProxy(element_type* data, unsigned length) : m_data(data), m_length(length) {}
    TupleProxy(TupleProxy const&) = default;

    TupleProxy& operator=(ConstTupleProxy<T> const& source)
    {
        assignFrom(source.data(), source.length());
        return *this;
    }
    TupleProxy& operator=(TupleProxy const& source)
    {
        assignFrom(source.data(), source.length());
        return *this;
    }

    element_type* data() const { return m_data; }
    unsigned length() const { return m_length; }
    // Element i, not checked against the length.
    element_type& operator[](unsigned i) const { return m_data[i]; }
    element_type* begin() const { return m_data; }
    element_type* end() const { return m_data + m_length; }

protected:
    void assignFrom(element_type const* source, unsigned sourceLength)
    {
        static_assert(std::is_trivially_copyable_v<element_type>, "elements are copied as bytes");
        unsigned const m = std::min(m_length, sourceLength);
        // The source may overlap the target (two views into one storage).
        if (m != 0 && source != m_data) std::memmove(m_data, source, m * sizeof(element_type));
        std::fill(m_data + m, m_data + m_length, element_type{});
    }

    element_type* m_data;
    unsigned m_length;
};

template <class T>
ConstTupleProxy<T>::ConstTupleProxy(TupleProxy<T> const& other) : m_data(other.data()), m_length(other.length())
{
}

// An owning tuple value. Its first two fields are the view of its own
// elements, so a Tuple is passed wherever a view is expected. Assigning to a
// tuple follows the view rule (its length does not change); set() changes
// the length.
template <class T>
class ZORV_EXPORT Tuple : public TupleProxy<T> {
public:
    using element_type = typename T::element_type;

    // The tag's tuple length; a null source gives a tuple of zeros.
    Tuple(T type, element_type const* source) : TupleProxy<T>(nullptr, 0) { set(source, type.getLength()); }
    Tuple(Tuple const& other) : TupleProxy<T>(nullptr, 0) { set(other.data(), other.length()); }
    ~Tuple() { delete[] m_buffer; }

    Tuple& operator=(Tuple const& source)
    {
        TupleProxy<T>::operator=(source);
        return *this;
    }
    using TupleProxy<T>::operator=;

    // Makes the tuple n elements long, copied from `source` or zero when it
    // is null. A block of unchanged byte size is reused in place; otherwise
    // the new block is allocated and filled before the old one is released,
    // so `source` may point into this tuple and a failed allocation leaves
    // the tuple as it was.
    void set(element_type const* source, unsigned n);

private:
    element_type* m_buffer = nullptr;
};

// Comparison of tuple views of one element type; either side may be a
// ConstTupleProxy, a TupleProxy or a Tuple.
template <class A>
struct TupleViewTag {};
template <class T>
struct TupleViewTag<ConstTupleProxy<T>> {
    using type = T;
};
template <class T>
struct TupleViewTag<TupleProxy<T>> {
    using type = T;
};
template <class T>
struct TupleViewTag<Tuple<T>> {
    using type = T;
};

template <class A, class B>
using EnableIfTupleViews =
    std::enable_if_t<std::is_same_v<typename TupleViewTag<A>::type, typename TupleViewTag<B>::type>, bool>;

namespace TupleCompare {

// Equal lengths and pairwise equal elements (IEEE equality for floating
// elements, component-wise for 3-vectors).
template <class T>
bool equal(ConstTupleProxy<T> a, ConstTupleProxy<T> b)
{
    if (a.length() != b.length()) return false;
    for (unsigned i = 0; i < a.length(); ++i)
        if (!(a[i] == b[i])) return false;
    return true;
}

// Lexicographic order; a pair that is neither less nor greater (equal, or
// unordered because of a NaN) passes on to the next pair; when all shared
// pairs pass, the shorter tuple is the smaller. 3-vectors use their own
// order (z, then y, then x).
template <class T>
bool less(ConstTupleProxy<T> a, ConstTupleProxy<T> b)
{
    unsigned const m = std::min(a.length(), b.length());
    for (unsigned i = 0; i < m; ++i) {
        if (a[i] < b[i]) return true;
        if (b[i] < a[i]) return false;
    }
    return a.length() < b.length();
}

}  // namespace TupleCompare

template <class A, class B, EnableIfTupleViews<A, B> = true>
bool operator==(A const& a, B const& b)
{
    using T = typename TupleViewTag<A>::type;
    return TupleCompare::equal<T>(ConstTupleProxy<T>(a), ConstTupleProxy<T>(b));
}

template <class A, class B, EnableIfTupleViews<A, B> = true>
bool operator!=(A const& a, B const& b)
{
    return !(a == b);
}

template <class A, class B, EnableIfTupleViews<A, B> = true>
bool operator<(A const& a, B const& b)
{
    using T = typename TupleViewTag<A>::type;
    return TupleCompare::less<T>(ConstTupleProxy<T>(a), ConstTupleProxy<T>(b));
}

template <class A, class B, EnableIfTupleViews<A, B> = true>
bool operator>(A const& a, B const& b)
{
    return b < a;
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
