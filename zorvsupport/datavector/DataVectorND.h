#pragma once

#include <boost/shared_ptr.hpp>

#include "zorvsupport/Export.h"
#include "zorvsupport/datavector/DataVector.h"
#include "zorvsupport/platform/ZELUNnPoint.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

class Variant;
class VariantRef;
class ConstVariantRef;

// Dimension-count layer: N dimensions, dimension 0 varying fastest.
template <int N>
class ZORV_EXPORT DataVectorND : public DataVector {
    static_assert(N >= 1 && N <= 4, "one to four dimensions");

public:
    using Index = ZELUNnPoint<unsigned, N>;

    unsigned size() const override { return totalElements(m_dims); }
    unsigned getNumDimensions() const override { return N; }
    unsigned getDimension(int i) const override { return i < 0 || i >= N ? 0u : m_dims[i]; }
    long swap(DataVector& other) override = 0;

    // Checked copy of one element into `value`.
    virtual long getValue(Index index, Variant& value) const = 0;
    // Checked store of one element; the value's type must equal the element type.
    virtual long setValue(Index index, ConstVariantRef const& value) = 0;
    // Unchecked views of one element.
    virtual VariantRef getRef(Index index) = 0;
    virtual ConstVariantRef get(Index index) const = 0;
    // Sets all dimensions, keeping the overlapping contents or not.
    virtual long resizeDimensions(Index dims, bool preserve) = 0;

    Index getDimensions() const { return m_dims; }
    using DataVector::resize;
    // Changes all dimensions; kErrNotResizeable when the flag is clear.
    long resize(Index dims, bool preserve);

    DataVectorND& operator=(DataVectorND const& other);

    // A zero-filled vector of the concrete class for `type`; empty handle
    // when the type has no class. Throws std::bad_alloc when the object or
    // its values cannot be allocated (also for a value count beyond what a
    // storage can hold), never a vector of other dimensions.
    static boost::shared_ptr<DataVectorND> create(DataType const& type, Index dims);

protected:
    explicit DataVectorND(Index dims = Index()) : m_dims(dims) {}
    DataVectorND(DataVectorND const& other) = default;
    ~DataVectorND() override = default;

    static unsigned totalElements(Index dims)
    {
        unsigned n = dims[0];
        for (int i = 1; i < N; ++i) n *= dims[i];
        return n;
    }
    void setDimensions(Index dims) { m_dims = dims; }
    void setDimension(int i, unsigned d) { m_dims[i] = d; }

private:
    Index m_dims;
};

// Body of the dimension-count part of swap: refuses another dimension
// count, exchanges flags, compression methods and dimensions.
template <int N>
long DataVectorND<N>::swap(DataVector& other)
{
    auto* o = dynamic_cast<DataVectorND*>(&other);
    if (!o) return kErrSwapTypeMismatch;
    if (long st = DataVector::swap(other)) return st;
    Index tmp = m_dims;
    m_dims = o->m_dims;
    o->m_dims = tmp;
    return kSuccess;
}

extern template class DataVectorND<1>;
extern template class DataVectorND<2>;
extern template class DataVectorND<3>;
extern template class DataVectorND<4>;

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
