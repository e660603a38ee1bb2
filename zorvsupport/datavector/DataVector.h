#pragma once

#include <cstdint>

#include <boost/shared_ptr.hpp>

#include "zorvsupport/Export.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/types/DataType.h"
#include "zorvsupport/types/Readable.h"
#include "zorvsupport/types/Writeable.h"

struct _xmlNode;

namespace ZORV_3_13_0_ {
namespace DataSet {

class IOBuffer;

// How the values of a vector are stored in its binary form.
enum CompressionMethod : std::int32_t {
    kCompressionNone = 0,  // one raw block
    kCompressionZlib = 1   // u32 length, then a zlib stream
};

// Abstract typed array of one element type over one to four dimensions.
// The virtual operations are declared in their fixed slot order.
class ZORV_EXPORT DataVector : public Readable, public Writeable {
public:
    // Reads a stored vector into this one (dimension count and element type
    // must match; the stored last dimension is adopted).
    //
    // Memory, in the binary and XML forms and both create(): a last
    // dimension that cannot be adopted is kErrOutOfMemory; every other
    // shortage (scratch blocks, the compressor's state, the text and XML
    // engines) throws std::bad_alloc, never a format status.
    long readFromBinary(IOBuffer const& buffer) override;
    long readFromXML(_xmlNode const& node) override;
    // Independent deep copy of the same concrete class.
    virtual boost::shared_ptr<DataVector> clone() const = 0;
    virtual DataType getDataType() const = 0;
    // Bytes that n elements occupy.
    virtual unsigned getElementsSizeInBytes(unsigned n) const = 0;
    // First stored value; null when nothing is stored.
    virtual void* getDataPtr() = 0;
    virtual void const* getConstDataPtr() const = 0;
    // Number of elements (tuples count once): the product of the dimensions.
    virtual unsigned size() const = 0;
    virtual long reserve(unsigned n) = 0;
    // Storage capacity in whole elements.
    virtual unsigned capacity() const = 0;
    virtual unsigned getNumDimensions() const = 0;
    // Dimension i; 0 when i is outside 0..N-1.
    virtual unsigned getDimension(int i) const = 0;
    virtual bool setResizeable(bool resizeable);
    // Exchanges the whole contents with a vector of the same concrete kind.
    virtual long swap(DataVector& other) = 0;
    virtual long writeBinaryValues(IOBuffer& buffer) const;
    virtual long readBinaryValues(IOBuffer const& buffer);
    // Sets the last dimension to n and fits the storage; kErrOutOfMemory
    // leaves the vector unchanged.
    virtual long resizeLastDimension(unsigned n) = 0;

protected:
    virtual ~DataVector();

public:
    long writeToBinary(IOBuffer& buffer) const override;
    long writeToXML(_xmlNode& node) const override;

    DataVector& operator=(DataVector const& other);

    bool isResizeable() const { return m_resizeable; }
    void setCompressionMethod(CompressionMethod method) { m_compression = method; }
    CompressionMethod getCompressionMethod() const { return m_compression; }
    unsigned getSizeInBytes() const { return getElementsSizeInBytes(size()); }
    // Changes the last dimension; refused with kErrNotResizeable when the
    // resizeable flag is clear.
    long resize(unsigned n);

    unsigned getHeaderSizeInBytes() const;

    static boost::shared_ptr<DataVector> create(IOBuffer const& buffer, long& status);
    static boost::shared_ptr<DataVector> create(_xmlNode const& node, long& status);

protected:
    DataVector();
    DataVector(DataVector const& other);
    unsigned getMaxCompressionOverhead() const;

private:
    // readBinaryValues for a vector that was just created to hold them: the
    // stream inflates straight into its (zero) storage.
    long readFreshBinaryValues(IOBuffer const& buffer);

    bool m_resizeable;
    CompressionMethod m_compression;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
