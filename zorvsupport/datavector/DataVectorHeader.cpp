#include "zorvsupport/datavector/DataVectorHeader.h"

#include "zorvsupport/datavector/DataVectorImp.h"
#include "zorvsupport/datavector/DataVectorND.h"
#include "zorvsupport/datavector/DimensionDispatch.h"
#include "zorvsupport/datavector/VectorReading.h"
#include "zorvsupport/platform/ZELUNXMLDocument.h"
#include "zorvsupport/types/IOBuffer.h"
#include "zorvsupport/types/TextForms.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

DataVectorHeader::DataVectorHeader(DataVector const& vector)
    : m_type(vector.getDataType()),
      m_numDimensions(static_cast<unsigned short>(vector.getNumDimensions())),
      m_compression(static_cast<unsigned char>(vector.getCompressionMethod() & 0xFF))
{
    for (int i = 0; i < 4; ++i) m_dims[i] = vector.getDimension(i);
}

long DataVectorHeader::writeToBinary(IOBuffer& buffer) const
{
    if (long st = m_type.writeToBinary(buffer)) return st;
    if (long st = buffer.write(m_numDimensions)) return st;
    if (long st = buffer.write(m_compression)) return st;
    if (long st = buffer.write(m_reserved)) return st;
    for (unsigned d : m_dims)
        if (long st = buffer.write(d)) return st;
    return kSuccess;
}

long DataVectorHeader::readFromBinary(IOBuffer const& buffer)
{
    if (long st = m_type.readFromBinary(buffer)) return st;
    if (long st = buffer.read(m_numDimensions)) return st;
    if (long st = buffer.read(m_compression)) return st;
    if (long st = buffer.read(m_reserved)) return st;
    for (unsigned& d : m_dims)
        if (long st = buffer.read(d)) return st;
    if (m_compression != kCompressionNone && m_compression != kCompressionZlib) return kErrUnknownCompression;
    return kSuccess;
}

namespace {
char const* const kDimensionNames[4] = {"dimension_x", "dimension_y", "dimension_z", "dimension_w"};
}

long DataVectorHeader::writeToXML(_xmlNode& node) const
{
    if (long st = m_type.writeToXML(node)) return st;
    if (long st = setXMLAttribute<unsigned short>(node, "num_dimensions", m_numDimensions)) return st;
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && m_numDimensions <= i) break;
        if (long st = setXMLAttribute<unsigned int>(node, kDimensionNames[i], m_dims[i])) return st;
    }
    return kSuccess;
}

long DataVectorHeader::readFromXML(_xmlNode const& node)
{
    if (long st = m_type.readFromXML(node)) return st;
    if (long st = getXMLAttribute<unsigned short>(node, "num_dimensions", m_numDimensions)) return st;
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && m_numDimensions <= i) break;
        if (long st = getXMLAttribute<unsigned int>(node, kDimensionNames[i], m_dims[i])) return st;
    }
    return kSuccess;
}

unsigned long long DataVectorHeader::declaredValueCount() const
{
    unsigned long long n = 1;
    int count = m_numDimensions >= 1 && m_numDimensions <= 4 ? m_numDimensions : 0;
    for (int i = 0; i < count; ++i) n = DataVectorImp::saturatingMultiply(n, m_dims[i]);
    return DataVectorImp::saturatingMultiply(n, m_type.getLength());
}

unsigned long long DataVectorHeader::declaredValueBytes() const
{
    return DataVectorImp::saturatingMultiply(declaredValueCount(), elementSizeOf(m_type.getType()));
}

bool DataVectorHeader::isCreatable() const
{
    // With at least one byte per value, elements <= values <= bytes, so the
    // byte limit also keeps the element count within 32 bits.
    return m_numDimensions >= 1 && m_numDimensions <= 4 && elementSizeOf(m_type.getType()) != 0 &&
           declaredValueBytes() <= 0xFFFFFFFFull;
}

bool DataVectorHeader::hasShapeOf(DataVector const& vector) const
{
    for (int i = 0; i < 4; ++i)
        if (vector.getDimension(i) != (i < m_numDimensions ? m_dims[i] : 0u)) return false;
    return true;
}

namespace {

// The zero-filled vector of a header's type and first N dimensions.
struct CreateByDimension {
    DataVectorHeader const* header;

    template <int N>
    boost::shared_ptr<DataVector> operator()() const
    {
        ZELUNnPoint<unsigned, N> dims;
        for (int i = 0; i < N; ++i) dims[i] = header->m_dims[i];
        return detail::createSized<N>(header->m_type, dims);
    }
};

}  // namespace

boost::shared_ptr<DataVector> DataVectorHeader::createDataVector() const
{
    boost::shared_ptr<DataVector> v = visitByDimension(m_numDimensions, CreateByDimension{this});
    if (v) v->setCompressionMethod(static_cast<CompressionMethod>(m_compression));
    return v;
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
