#include "zorvsupport/types/StringTable.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

unsigned short const StringTable::kInvalidIndex = 0xFFFF;
unsigned int const StringTable::kMaxStringLength = 2000;

StringTable::~StringTable() = default;

unsigned short StringTable::lookupOrAppend(ZELUNUString const& text, long& status)
{
    unsigned short const index = lookup(text);
    if (index == kInvalidIndex) return append(text, status);
    return index;
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
