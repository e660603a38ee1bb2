#pragma once

#include <algorithm>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "zorvsupport/datavector/TDataVector.h"
#include "zorvsupport/platform/ZELUNnPoint.h"

namespace zorvtest {

// A leaf vector of element kind Tag and N dimensions made by the leaf
// creator, its storage filled from `values` in storage order (the rest
// zero): the buffers a host puts into a node iterator.
template <class Tag, int N>
boost::shared_ptr<ZORV_3_13_0_::DataSet::TDataVectorLeaf<Tag, N>> makeBuffer(
    Tag tag, ZELUNnPoint<unsigned, N> dims, std::vector<typename Tag::element_type> const& values = {})
{
    using Leaf = ZORV_3_13_0_::DataSet::TDataVectorLeaf<Tag, N>;
    boost::shared_ptr<Leaf> buffer = Leaf::create(tag, dims);
    auto* data = static_cast<typename Tag::element_type*>(buffer->getDataPtr());
    std::size_t const stored = std::size_t(buffer->size()) * tag.getLength();
    std::copy_n(values.begin(), std::min(values.size(), stored), data);
    return buffer;
}

// One-dimensional shorthand.
template <class Tag>
boost::shared_ptr<ZORV_3_13_0_::DataSet::TDataVector1D<Tag>> makeBuffer(
    Tag tag, std::vector<typename Tag::element_type> const& values)
{
    unsigned const length = tag.getLength();
    return makeBuffer<Tag, 1>(tag, ZELUNnPoint<unsigned, 1>(static_cast<unsigned>(values.size() / length)), values);
}

}  // namespace zorvtest
