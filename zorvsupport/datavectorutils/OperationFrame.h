#pragma once

// Library-internal: shared machinery of the data-vector operations, the
// tuple kernels and the helpers every operation's visitor uses. Every entry
// point checks its arguments, dispatches once with visitByDimension and
// DataType::applyVisitor, and the visitor's accept<Tag> down-casts the
// vectors, takes typed value pointers and runs a kernel over raw storage.

#include <cstring>
#include <type_traits>

#include "zorvsupport/datavector/TDataVector.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace DataVectorUtils {

using DataVectorImp::zeroValues;

// Tuple assignment: the first min(dl, sl) values of the source, then zeros
// up to the destination's length. Never reads or writes past either length.
template <class E>
inline void assignTuple(E* dst, unsigned dl, E const* src, unsigned sl)
{
    unsigned m = dl < sl ? dl : sl;
    if (m) std::memmove(static_cast<void*>(dst), static_cast<void const*>(src), m * sizeof(E));
    zeroValues(dst + m, dl - m);
}

// Tuple range copy: `count` tuples from a source of stride sl into a
// destination of stride dl; returns the destination position after the run.
// Ranges must not overlap.
template <class E>
inline E* copyTupleRow(E* dst, unsigned dl, E const* src, unsigned sl, std::size_t count)
{
    if (count == 0) return dst;
    if (dl == sl) {
        std::memcpy(static_cast<void*>(dst), static_cast<void const*>(src), count * dl * sizeof(E));
        return dst + count * dl;
    }
    for (std::size_t i = 0; i < count; ++i, dst += dl, src += sl) assignTuple(dst, dl, src, sl);
    return dst;
}

// Tuple fill: one tuple value assigned to `count` consecutive slots.
template <class E>
inline void fillTuples(E* dst, unsigned dl, E const* value, unsigned vl, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i, dst += dl) assignTuple(dst, dl, value, vl);
}

// Element equality: IEEE for reals (NaN equals nothing), exact otherwise.
template <class E>
inline bool elementEqual(E const& a, E const& b)
{
    return a == b;
}

// Tuple equality: equal lengths and every value equal.
template <class E>
inline bool tuplesEqual(E const* a, unsigned al, E const* b, unsigned bl)
{
    if (al != bl) return false;
    for (unsigned i = 0; i < al; ++i)
        if (!elementEqual(a[i], b[i])) return false;
    return true;
}

}  // namespace DataVectorUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
