#pragma once

#include "zorvsupport/Export.h"

struct _xmlNode;

namespace ZORV_3_13_0_ {
namespace DataSet {

class IOBuffer;

// Objects that can be read from a byte buffer and from an XML node.
class ZORV_EXPORT Readable {
public:
    Readable() = default;
    Readable(Readable const&) = default;
    Readable& operator=(Readable const&) = default;

    virtual long readFromBinary(IOBuffer const& buffer) = 0;
    virtual long readFromXML(_xmlNode const& node) = 0;

protected:
    ~Readable() = default;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
