#include "zorvsupport/datavector/DataVectorND.h"

#include <new>

#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/datavector/VectorReading.h"

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
    boost::shared_ptr<DataVectorND<N>> v = detail::createSized<N>(type, dims);
    if (v && v->getDimensions() != dims) throw std::bad_alloc();
    return v;
}

namespace detail {

template <int N>
boost::shared_ptr<DataVectorND<N>> createSized(DataType const& type, ZELUNnPoint<unsigned, N> dims)
{
    boost::shared_ptr<DataVectorND<N>> v = type.applyVisitor(CreateVisitor<N>());
    if (v) v->resize(dims, true);
    return v;
}

template boost::shared_ptr<DataVectorND<1>> createSized<1>(DataType const&, ZELUNnPoint<unsigned, 1>);
template boost::shared_ptr<DataVectorND<2>> createSized<2>(DataType const&, ZELUNnPoint<unsigned, 2>);
template boost::shared_ptr<DataVectorND<3>> createSized<3>(DataType const&, ZELUNnPoint<unsigned, 3>);
template boost::shared_ptr<DataVectorND<4>> createSized<4>(DataType const&, ZELUNnPoint<unsigned, 4>);

}  // namespace detail

template class DataVectorND<1>;
template class DataVectorND<2>;
template class DataVectorND<3>;
template class DataVectorND<4>;

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
