#pragma once

#include "zorvsupport/Export.h"

class ZELUNUString;

namespace ZORV_3_13_0_ {
namespace DataSet {

// A table of texts indexed by unsigned 16-bit numbers, implemented by the
// host. String-table bands store such indexes; their display text is the
// table's entry.
class ZORV_EXPORT StringTable {
public:
    // The index that stands for no entry (0xFFFF); also the default no-data
    // value of string-table bands.
    static unsigned short const kInvalidIndex;
    // Longest text that implementations are asked to hold; the library itself
    // checks no length against it.
    static unsigned int const kMaxStringLength;

    // The index of the text; kInvalidIndex when the table does not hold it.
    virtual unsigned short lookup(ZELUNUString const& text) = 0;
    // Puts the text stored at `index` into `text`; returns a status.
    virtual long getString(unsigned short index, ZELUNUString& text) = 0;
    // Number of entries.
    virtual unsigned int getCount() const = 0;
    // Replaces the text stored at `index`; returns a status.
    virtual long setString(unsigned short index, ZELUNUString const& text) = 0;
    // Adds the text and returns its new index; `status` receives the status.
    virtual unsigned short append(ZELUNUString const& text, long& status) = 0;
    // The index of the text, appending it first when the table does not hold
    // it. `status` is what append() left, and untouched when the text was
    // already there.
    virtual unsigned short lookupOrAppend(ZELUNUString const& text, long& status);
    // Removes the entry at `index`; returns a status.
    virtual long remove(unsigned short index) = 0;
    // Removes every entry; returns a status.
    virtual long clear() = 0;

protected:
    StringTable() = default;
    StringTable(StringTable const&) = default;
    StringTable& operator=(StringTable const&) = default;
    virtual ~StringTable();
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
