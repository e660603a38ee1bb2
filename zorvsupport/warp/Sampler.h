#pragma once

#include "zorvsupport/types/DataType.h"
#include "zorvsupport/types/Tuple.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace WarpUtils {

// What a sampler of element type T writes into: a reference to the element
// for scalar types, a writable view of its components for tuple types.
template <class T>
struct SampleTarget {
    using type = typename T::element_type&;
};
template <class K>
struct SampleTarget<TTupleDataType<K>> {
    using type = TupleProxy<TTupleDataType<K>>;
};
template <class T>
using SampleTargetOf = typename SampleTarget<T>::type;

// Reads a source grid of element type T at a fractional source pixel
// position (x selects the column, y the row) and writes one element. A
// sampler holds no mutable state: one object may serve many threads at once.
// Built on the stack of the operation that uses it and never deleted
// through this interface.
template <class T>
class Sampler {
public:
    virtual void sample(double x, double y, SampleTargetOf<T> out) const = 0;

protected:
    Sampler() = default;
    Sampler(Sampler const&) = default;
    Sampler& operator=(Sampler const&) = default;
    ~Sampler() = default;
};

}  // namespace WarpUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
