#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNDoubleFormat.h"
#include "zorvsupport/types/ConstVariantRef.h"

class ZELUNUString;

namespace ZORV_3_13_0_ {
namespace DataSet {

// Display text of one value of any element type. Real numbers go through the
// held double format, integers become plain decimal text, and the elements of
// tuples and the components of 3-vectors are joined by ", ". The two number
// conversions are virtual, so a derived formatter changes how numbers look
// while keeping the walk over element types.
class ZORV_EXPORT Formatter {
public:
    Formatter();
    virtual ~Formatter();

    ZELUNDoubleFormat const& getDoubleFormat() const { return m_doubleFormat; }
    void setDoubleFormat(ZELUNDoubleFormat const& format) { m_doubleFormat = format; }

    // The text of the viewed value; 0 or the first non-zero status met.
    // uint64 values above 2^63 - 1, and any exception out of formatInt but
    // std::bad_alloc, give kErrFormatOverflow. A shortage of memory throws
    // std::bad_alloc. A scalar replaces `text` (emptied on failure); a
    // tuple or 3-vector clears it and appends element by element, so on a
    // failure it keeps the elements before the failing one. A value without
    // element type returns 0 and leaves `text` as it was.
    virtual long toString(ConstVariantRef value, ZELUNUString& text) const;

protected:
    // The double format's text of the value.
    virtual long formatDouble(double value, ZELUNUString& text) const;
    // Plain decimal text: '-' for negative values, no grouping.
    virtual long formatInt(long long value, ZELUNUString& text) const;

private:
    friend struct FormatterAccess;
    ZELUNDoubleFormat m_doubleFormat;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
