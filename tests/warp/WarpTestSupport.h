#pragma once

// Grids, covers and element access shared by the reprojection tests.

#include <cstring>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/platform/ZELUNCover.h"
#include "zorvsupport/types/Variant.h"

namespace zorvtest {

using namespace ZORV_3_13_0_::DataSet;

// One projected system; covers of one system take the identity shortcut,
// so power-of-two boxes and covers give exact affine pixel maps.
inline ZELUNCoordSystem const& planeSystem()
{
    static ZELUNCoordSystem const s("EPSG:32633");
    return s;
}

inline ZELUNCover planeCover(double minX, double minY, double maxX, double maxY)
{
    return ZELUNCover(planeSystem(), minX, minY, maxX, maxY);
}

// Components of an element kind: a 3-vector is three doubles.
template <class T>
struct Comps {
    using E = typename T::element_type;
    static constexpr bool kVec3 = std::is_same_v<E, ZELUNVec3<double>>;
    using C = std::conditional_t<kVec3, double, E>;
    static constexpr unsigned kPerElement = kVec3 ? 3u : 1u;
};

// The tag of T with a tuple length: 4 for uint8 tuples, 3 otherwise.
template <class T>
T tagOf(unsigned length = 0)
{
    if constexpr (T::kIsTuple)
        return T(length ? length : (T::kType == DataType::kUInt8 ? 4u : 3u));
    else
        return T();
}

template <class T>
unsigned compsOf(T tag)
{
    return tag.getLength() * Comps<T>::kPerElement;
}

template <class T>
boost::shared_ptr<TDataVector2D<T>> makeGrid(T tag, unsigned w, unsigned h)
{
    return TDataVector2D<T>::create(tag, typename TDataVector2D<T>::Index(w, h));
}

template <class T>
typename Comps<T>::C* compsAt(TDataVector2D<T>& g, unsigned c, unsigned r)
{
    auto* base = static_cast<typename Comps<T>::C*>(g.getDataPtr());
    return base + (std::size_t(c) + std::size_t(r) * g.getDimension(0)) * compsOf(g.getElementType());
}

// Element (c, r) set to base + k in component k.
template <class T>
void setElement(TDataVector2D<T>& g, unsigned c, unsigned r, double base)
{
    auto* p = compsAt(g, c, r);
    for (unsigned k = 0; k < compsOf(g.getElementType()); ++k)
        p[k] = static_cast<typename Comps<T>::C>(base + k);
}

template <class T>
std::vector<double> elementOf(TDataVector2D<T>& g, unsigned c, unsigned r)
{
    auto* p = compsAt(g, c, r);
    return std::vector<double>(p, p + compsOf(g.getElementType()));
}

// The value base + k in component k, as a Variant of T.
template <class T>
Variant valueOf(T tag, double base)
{
    using C = typename Comps<T>::C;
    std::vector<C> comps(compsOf(tag));
    for (unsigned k = 0; k < comps.size(); ++k) comps[k] = static_cast<C>(base + k);
    Variant v(tag.getDataType());
    std::memcpy(static_cast<void*>(v.getTypedPtr(tag)), comps.data(), comps.size() * sizeof(C));
    return v;
}

template <class T>
std::vector<double> expectedOf(T tag, double base)
{
    std::vector<double> out(compsOf(tag));
    for (unsigned k = 0; k < out.size(); ++k) out[k] = static_cast<double>(static_cast<typename Comps<T>::C>(base + k));
    return out;
}

}  // namespace zorvtest
