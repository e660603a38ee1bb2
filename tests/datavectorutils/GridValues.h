#pragma once

// Shared by the tests of the searches, replacement, block comparison and
// scaled copy: two-dimensional vectors made from value lists, their values
// read back, and tuple values.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "datavectorutils/VectorOpsSupport.h"

namespace gridvalues {

using namespace vectorops;
using Box = ZELUNnBox<unsigned, 2>;
using Vec3 = ZELUNVec3<double>;

inline constexpr unsigned kNotFound = 0xFFFFFFFFu;
inline constexpr long kErrSentinel = -12345;

inline Box box(unsigned lx, unsigned ly, unsigned hx, unsigned hy)
{
    return Box(P2(lx, ly), P2(hx, hy));
}

// A d0 × d1 vector of type t holding `values` (L values per element) in
// storage order.
template <class E>
boost::shared_ptr<DataVectorND<2>> grid(DataType t, unsigned d0, unsigned d1, std::vector<E> const& values)
{
    auto v = DataVectorND<2>::create(t, P2(d0, d1));
    EXPECT_EQ(values.size(), std::size_t(d0) * d1 * t.getLength());
    if (!values.empty()) std::memcpy(v->getDataPtr(), values.data(), values.size() * sizeof(E));
    return v;
}

// A scalar vector of E, with E's own data type.
template <class E>
boost::shared_ptr<DataVectorND<2>> grid(unsigned d0, unsigned d1, std::vector<E> const& values)
{
    return grid(Variant(E()).getDataType(), d0, d1, values);
}

template <class E>
std::vector<E> valuesOf(DataVector const& v)
{
    auto const* p = static_cast<E const*>(v.getConstDataPtr());
    return p ? std::vector<E>(p, p + std::size_t(v.size()) * v.getDataType().getLength()) : std::vector<E>();
}

// A tuple value of type code k holding `values`.
template <class E>
Variant tupleValue(DataType::Type k, std::vector<E> const& values)
{
    Variant v(DataType(k, unsigned(values.size())));
    std::memcpy(const_cast<void*>(v.getPtr()), values.data(), values.size() * sizeof(E));
    return v;
}

inline float nanf() { return std::numeric_limits<float>::quiet_NaN(); }
inline double nan() { return std::numeric_limits<double>::quiet_NaN(); }

}  // namespace gridvalues
