#include "zorvsupport/datavector/DataVectorND.h"

#include "zorvsupport/datavector/TDataVector.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

template <int N>
long DataVectorND<N>::resize(Index dims, bool preserve)
{
    if (!this->isResizeable()) return kErrNotResizeable;
    if (dims == m_dims) return kSuccess;
    return resizeDimensions(dims, preserve);
}

template <int N>
DataVectorND<N>& DataVectorND<N>::operator=(DataVectorND const& other)
{
    DataVector::operator=(other);
    m_dims = other.m_dims;
    return *this;
}

namespace {

// Makes the leaf class of the visited element type with zero dimensions.
template <int N>
struct CreateVisitor {
    template <class T>
    boost::shared_ptr<DataVectorND<N>> accept(T const& tag) const
    {
        return TDataVectorLeaf<T, N>::create(tag, ZELUNnPoint<unsigned, N>());
    }
};

}  // namespace

template <int N>
boost::shared_ptr<DataVectorND<N>> DataVectorND<N>::create(DataType const& type, Index dims)
{
    boost::shared_ptr<DataVectorND<N>> v = type.applyVisitor(CreateVisitor<N>());
    // A failed allocation leaves the vector with all dimensions 0; callers
    // that must know compare getDimensions() with what they asked for.
    if (v) v->resize(dims, true);
    return v;
}

template class DataVectorND<1>;
template class DataVectorND<2>;
template class DataVectorND<3>;
template class DataVectorND<4>;

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
