#pragma once

// Shared machinery of the data-vector operations: the shared tuple kernels
// and the helpers every operation's visitor uses. Every entry point checks
// its arguments, builds a visitor record on its stack, dispatches once with
// DataType::applyVisitor, and the visitor's accept<Tag> takes typed value
// pointers, down-casts the vectors and runs a kernel over raw storage.

#include <cstring>
#include <type_traits>

#include "zorvsupport/datavector/TDataVector.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace DataVectorUtils {

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

// Copies the overlap box of two vectors of one element size, each addressed
// with its own dimensions (padded with 1 beyond their count). The block of
// one row (m0 elements) is contiguous in both, so each row is one memcpy.
void copyOverlapBytes(unsigned char* dst, unsigned const dstDims[4], unsigned char const* src,
                      unsigned const srcDims[4], std::size_t elementBytes);

}  // namespace DataVectorUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
