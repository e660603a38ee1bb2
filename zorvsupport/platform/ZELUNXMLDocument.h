#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNUString.h"

struct _xmlNode;
struct _xmlAttr;

// Static helpers over libxml2 nodes. Names and values travel as UTF-8. Each
// throws std::bad_alloc when it (or libxml2) runs out of memory; the document
// then holds nothing half made by the failed call.
class ZORV_EXPORT ZELUNXMLDocument {
public:
    // First child element of `node` whose name equals `name` exactly; null if none.
    static _xmlNode* getFirstChild(_xmlNode const& node, ZELUNUString const& name);
    // Next sibling element of `node` whose name equals `name` exactly; null if none.
    static _xmlNode* getNextSibling(_xmlNode const& node, ZELUNUString const& name);
    // Appends a child element, with text content when `content` is not null.
    // Null when `parent` is neither an element nor a document.
    // `flag` is accepted for interface compatibility and has no effect here.
    static _xmlNode* addChild(_xmlNode& parent, ZELUNUString const& name, ZELUNUString const* content, bool flag);
    // The attribute's text into `value`; false (and `value` untouched) when absent.
    static bool getProperty(_xmlNode const& node, ZELUNUString const& name, ZELUNUString& value);
    // Sets (or replaces) an attribute; null when `node` is not an element.
    static _xmlAttr* setProperty(_xmlNode& node, ZELUNUString const& name, ZELUNUString const* value);
};
