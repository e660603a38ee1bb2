#pragma once

#include <boost/shared_ptr.hpp>

#include "zorvsupport/Export.h"
#include "zorvsupport/types/DataType.h"

struct _xmlNode;

namespace ZORV_3_13_0_ {
namespace DataSet {

class DataVector;
class IOBuffer;

// The stored description of a vector: element type, dimension count,
// compression method, a reserved byte and four dimensions (0 beyond the
// count). 28 bytes in the binary form; attributes in the XML form, which has
// no compression method.
class ZORV_EXPORT DataVectorHeader {
public:
    DataVectorHeader() = default;
    explicit DataVectorHeader(DataVector const& vector);

    long writeToBinary(IOBuffer& buffer) const;
    // kErrUnknownCompression after all 28 bytes when the method is not 0 or 1.
    long readFromBinary(IOBuffer const& buffer);
    long writeToXML(_xmlNode& node) const;
    long readFromXML(_xmlNode const& node);
    unsigned getSerializedSize() const { return m_type.getSerializedSize() + 20; }

    // The empty (zero-filled) vector this header describes; an empty handle
    // when the dimension count is not 1..4 or the type has no vector class.
    boost::shared_ptr<DataVector> createDataVector() const;

    // True when a vector of this header can exist: 1..4 dimensions, a type
    // with a vector class, and values within the 32-bit byte limit.
    bool isCreatable() const;
    // True when the vector has the header's dimensions within its count (a
    // created vector whose values could not be allocated has none).
    bool hasShapeOf(DataVector const& vector) const;

    // Values the header declares, in 64 bits (saturating).
    unsigned long long declaredValueCount() const;
    // Bytes the declared values occupy, in 64 bits (saturating).
    unsigned long long declaredValueBytes() const;

    DataType m_type;
    unsigned short m_numDimensions = 0;
    unsigned char m_compression = 0;
    unsigned char m_reserved = 0;
    unsigned m_dims[4] = {0, 0, 0, 0};
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
