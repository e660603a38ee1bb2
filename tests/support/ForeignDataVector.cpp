#include "support/ForeignDataVector.h"

#include "zorvsupport/StatusCodes.h"

namespace zorvtest {

using namespace ZORV_3_13_0_::DataSet;

ForeignDataVector::ForeignDataVector(DataType type, std::vector<unsigned> dims)
    : m_type(type), m_dims(std::move(dims))
{
    fitBlock();
}

ForeignDataVector::~ForeignDataVector() = default;

void ForeignDataVector::setDataType(DataType type)
{
    m_type = type;
    fitBlock();
}

void ForeignDataVector::setDimensions(std::vector<unsigned> dims)
{
    m_dims = std::move(dims);
    fitBlock();
}

void ForeignDataVector::setDataPtr(void* p)
{
    m_pointerSet = true;
    m_pointer = p;
}

void ForeignDataVector::fitBlock()
{
    m_block.assign(std::size_t(size()) * m_type.getTypeSize(), 0);
}

boost::shared_ptr<DataVector> ForeignDataVector::clone() const
{
    return boost::shared_ptr<DataVector>(new ForeignDataVector(*this));
}

void* ForeignDataVector::getDataPtr()
{
    if (m_pointerSet) return m_pointer;
    return m_block.empty() ? nullptr : m_block.data();
}

void const* ForeignDataVector::getConstDataPtr() const
{
    return const_cast<ForeignDataVector*>(this)->getDataPtr();
}

unsigned ForeignDataVector::size() const
{
    if (m_dims.empty()) return 0;
    unsigned n = 1;
    for (unsigned d : m_dims) n *= d;
    return n;
}

unsigned ForeignDataVector::getDimension(int i) const
{
    return i >= 0 && i < int(m_dims.size()) ? m_dims[std::size_t(i)] : 0u;
}

long ForeignDataVector::swap(DataVector&)
{
    return kErrSwapTypeMismatch;
}

long ForeignDataVector::resizeLastDimension(unsigned n)
{
    m_resizeCalls.push_back(n);
    if (m_resizeStatus) return m_resizeStatus;
    if (!m_dims.empty()) m_dims.back() = n;
    m_block.resize(std::size_t(size()) * m_type.getTypeSize());
    return kSuccess;
}

}  // namespace zorvtest
