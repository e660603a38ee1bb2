#include "zorvsupport/platform/ZELUNXMLDocument.h"

#include <cstring>

#include <libxml/tree.h>

namespace {

xmlChar const* xc(std::string const& s) { return reinterpret_cast<xmlChar const*>(s.c_str()); }

_xmlNode* firstElementNamed(xmlNode* n, std::string const& name)
{
    for (; n; n = n->next)
        if (n->type == XML_ELEMENT_NODE && n->name && std::strcmp(reinterpret_cast<char const*>(n->name), name.c_str()) == 0)
            return n;
    return nullptr;
}

}  // namespace

_xmlNode* ZELUNXMLDocument::getFirstChild(_xmlNode const& node, ZELUNUString const& name)
{
    return firstElementNamed(node.children, name.toUtf8());
}

_xmlNode* ZELUNXMLDocument::getNextSibling(_xmlNode const& node, ZELUNUString const& name)
{
    return firstElementNamed(node.next, name.toUtf8());
}

_xmlNode* ZELUNXMLDocument::addChild(_xmlNode& parent, ZELUNUString const& name, ZELUNUString const* content, bool)
{
    std::string n = name.toUtf8();
    std::string c = content ? content->toUtf8() : std::string();
    return xmlNewTextChild(&parent, nullptr, xc(n), content ? xc(c) : nullptr);
}

bool ZELUNXMLDocument::getProperty(_xmlNode const& node, ZELUNUString const& name, ZELUNUString& value)
{
    std::string n = name.toUtf8();
    xmlAttr* attr = xmlHasProp(const_cast<xmlNode*>(&node), xc(n));
    if (!attr) return false;
    xmlChar* text = xmlNodeGetContent(reinterpret_cast<xmlNode*>(attr));
    if (!text) {
        value = ZELUNUString();
        return true;
    }
    value = ZELUNUString::fromUtf8(reinterpret_cast<char const*>(text), std::strlen(reinterpret_cast<char const*>(text)));
    xmlFree(text);
    return true;
}

_xmlAttr* ZELUNXMLDocument::setProperty(_xmlNode& node, ZELUNUString const& name, ZELUNUString const* value)
{
    std::string n = name.toUtf8();
    std::string v = value ? value->toUtf8() : std::string();
    return xmlSetProp(&node, xc(n), xc(v));
}
