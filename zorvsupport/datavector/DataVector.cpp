#include "zorvsupport/datavector/DataVector.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

DataVector::DataVector() : m_resizeable(true), m_compression(kCompressionNone) {}

DataVector::DataVector(DataVector const& other)
    : Readable(other), Writeable(other), m_resizeable(other.m_resizeable), m_compression(other.m_compression)
{
}

DataVector::~DataVector() = default;

DataVector& DataVector::operator=(DataVector const& other)
{
    m_resizeable = other.m_resizeable;
    m_compression = other.m_compression;
    return *this;
}

bool DataVector::setResizeable(bool resizeable)
{
    m_resizeable = resizeable;
    return true;
}

long DataVector::swap(DataVector& other)
{
    bool flag = m_resizeable;
    m_resizeable = other.m_resizeable;
    other.m_resizeable = flag;
    CompressionMethod method = m_compression;
    m_compression = other.m_compression;
    other.m_compression = method;
    return kSuccess;
}

long DataVector::resize(unsigned n)
{
    if (!m_resizeable) return kErrNotResizeable;
    return resizeLastDimension(n);
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
