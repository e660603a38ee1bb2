#pragma once

#include "zorvsupport/Export.h"

struct _xmlNode;

namespace ZORV_3_13_0_ {
namespace DataSet {

class IOBuffer;

// Objects that can be written to a byte buffer and below an XML node.
class ZORV_EXPORT Writeable {
public:
    Writeable() = default;
    Writeable(Writeable const&) = default;
    Writeable& operator=(Writeable const&) = default;

    virtual long writeToBinary(IOBuffer& buffer) const = 0;
    virtual long writeToXML(_xmlNode& node) const = 0;

protected:
    ~Writeable() = default;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
