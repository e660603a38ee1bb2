#pragma once

#include <iosfwd>

#include "zorvsupport/Export.h"

// Root of the platform's polymorphic objects.
class ZORV_EXPORT ZELUNObject {
public:
    ZELUNObject() = default;
    ZELUNObject(ZELUNObject const&) = default;
    ZELUNObject& operator=(ZELUNObject const&) = default;
    virtual ~ZELUNObject();

    // Writes nothing: the library keeps standard output to its own messages.
    virtual void print(std::ostream& os) const;
};
