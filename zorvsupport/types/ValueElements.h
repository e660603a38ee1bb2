#pragma once

// Library-internal: the "value" child elements that the XML forms of
// values and vectors are made of.

#include <cstdint>

#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/platform/ZELUNXMLDocument.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace detail {

// Name of the child elements that hold one value each.
inline ZELUNUString const& valueElementName()
{
    static ZELUNUString const name("value");
    return name;
}

// Number of "value" children of `node` (0 for no node), counted up to
// `limit` + 1 at most, so that a count is never longer than the caller needs.
inline std::uint64_t countValueChildren(_xmlNode const* node, std::uint64_t limit)
{
    std::uint64_t count = 0;
    if (!node) return 0;
    for (_xmlNode* child = ZELUNXMLDocument::getFirstChild(*node, valueElementName()); child && count <= limit;
         child = ZELUNXMLDocument::getNextSibling(*child, valueElementName()))
        ++count;
    return count;
}

}  // namespace detail
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
