#pragma once

// Library-internal: the steps that the binary and the XML readers of a
// vector share, around the checks and value reads of their own form.

#include <boost/shared_ptr.hpp>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/datavector/DataVector.h"
#include "zorvsupport/datavector/DataVectorHeader.h"
#include "zorvsupport/datavector/DataVectorND.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace detail {

// DataVectorND<N>::create without its check: a vector whose values could not
// be allocated comes back with all dimensions 0 (the readers report that as
// kErrOutOfMemory); std::bad_alloc for the object itself.
template <int N>
boost::shared_ptr<DataVectorND<N>> createSized(DataType const& type, ZELUNnPoint<unsigned, N> dims);

// Stored dimension `i` of a header (0 beyond the four fields).
inline unsigned storedDimension(DataVectorHeader const& header, int i)
{
    return i >= 0 && i < 4 ? header.m_dims[i] : 0u;
}

// True when the vector has every stored dimension field but the last one
// within its count (0 beyond its count on both sides).
inline bool matchesAllButLastDimension(DataVector const& vector, DataVectorHeader const& header)
{
    int const last = int(header.m_numDimensions) - 1;
    for (int i = 0; i < 4; ++i)
        if (i != last && vector.getDimension(i) != header.m_dims[i]) return false;
    return true;
}

// Reading into an existing vector, up to its values: the stored element type
// and dimension count must be the vector's, its resizeable flag set, every
// stored dimension but the last its own, and the record must pass its own
// form's check (`recordCheck()`, a status). All of this is decided before
// anything is allocated, so a refused read leaves the vector unchanged.
template <class RecordCheck>
long checkHeader(DataVector const& vector, DataVectorHeader const& header, RecordCheck&& recordCheck)
{
    if (header.m_type != vector.getDataType()) return kErrVectorHeaderMismatch;
    if (header.m_numDimensions != vector.getNumDimensions()) return kErrVectorHeaderMismatch;
    if (!vector.isResizeable()) return kErrNotResizeable;
    if (!matchesAllButLastDimension(vector, header)) return kErrVectorHeaderMismatch;
    return recordCheck();
}

// checkHeader, then the vector adopts the stored last dimension.
template <class RecordCheck>
long adoptHeader(DataVector& vector, DataVectorHeader const& header, RecordCheck&& recordCheck)
{
    if (long st = checkHeader(vector, header, recordCheck)) return st;
    return vector.resizeLastDimension(storedDimension(header, int(header.m_numDimensions) - 1));
}

// Reading a new vector, up to its values: a header that can name a vector,
// the record's own check (a status) before anything is allocated, then the
// zero-filled vector of the stored kind, shape and compression method. An
// empty handle and the status on failure.
template <class RecordCheck>
boost::shared_ptr<DataVector> createFromHeader(DataVectorHeader const& header, long& status, RecordCheck&& recordCheck)
{
    boost::shared_ptr<DataVector> none;
    if (!header.isCreatable()) {
        status = kErrCannotCreateVector;
        return none;
    }
    if ((status = recordCheck())) return none;
    boost::shared_ptr<DataVector> v = header.createDataVector();
    if (!v) {
        status = kErrCannotCreateVector;
        return none;
    }
    if (!header.hasShapeOf(*v)) {  // the values could not be allocated
        status = kErrOutOfMemory;
        return none;
    }
    status = kSuccess;
    return v;
}

}  // namespace detail
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
