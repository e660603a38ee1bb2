#include "zorvsupport/platform/ZELUNXMLDocument.h"

#include <cstring>
#include <new>

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

// Takes a node that libxml2 left half made for want of memory out of its
// tree and frees it.
[[noreturn]] void discardAndThrow(xmlNode* node)
{
    xmlUnlinkNode(node);
    xmlFreeNode(node);
    throw std::bad_alloc();
}

// The text of an attribute's value nodes into `value`.
void readValue(xmlAttr const& attr, ZELUNUString& value)
{
    xmlNode const* first = attr.children;
    if (!first) {
        value = ZELUNUString();
        return;
    }
    // The common case, one text node, is read in place.
    if (!first->next && (first->type == XML_TEXT_NODE || first->type == XML_CDATA_SECTION_NODE) && first->content) {
        auto const* text = reinterpret_cast<char const*>(first->content);
        value = ZELUNUString::fromUtf8(text, std::strlen(text));
        return;
    }
    // Entity references and the like: libxml2 joins them. Null is the
    // empty text of references to empty entities, or no memory when a text
    // node was to be copied.
    xmlChar* joined = xmlNodeListGetString(attr.doc, const_cast<xmlNode*>(first), 1);
    if (!joined) {
        for (xmlNode const* n = first; n; n = n->next)
            if ((n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) && n->content) throw std::bad_alloc();
        value = ZELUNUString();
        return;
    }
    try {
        auto const* text = reinterpret_cast<char const*>(joined);
        value = ZELUNUString::fromUtf8(text, std::strlen(text));
    } catch (...) {
        xmlFree(joined);
        throw;
    }
    xmlFree(joined);
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
    // The only parents libxml2 takes children under; for these a null
    // result can only mean that it found no memory.
    if (parent.type != XML_ELEMENT_NODE && parent.type != XML_DOCUMENT_NODE && parent.type != XML_HTML_DOCUMENT_NODE)
        return nullptr;
    xmlNode* child = xmlNewTextChild(&parent, nullptr, xc(n), content ? xc(c) : nullptr);
    if (!child) throw std::bad_alloc();
    // libxml2 2.9 links a node in even when its name or text could not be
    // copied.
    if (!child->name || (content && (!child->children || !child->children->content))) discardAndThrow(child);
    return child;
}

bool ZELUNXMLDocument::getProperty(_xmlNode const& node, ZELUNUString const& name, ZELUNUString& value)
{
    std::string n = name.toUtf8();
    xmlAttr* attr = xmlHasProp(const_cast<xmlNode*>(&node), xc(n));
    if (!attr) return false;
    if (attr->type == XML_ATTRIBUTE_NODE) {
        readValue(*attr, value);
    } else {
        // A default declared in the document type.
        auto const* decl = reinterpret_cast<xmlAttribute const*>(attr);
        auto const* text = reinterpret_cast<char const*>(decl->defaultValue ? decl->defaultValue : BAD_CAST "");
        value = ZELUNUString::fromUtf8(text, std::strlen(text));
    }
    return true;
}

_xmlAttr* ZELUNXMLDocument::setProperty(_xmlNode& node, ZELUNUString const& name, ZELUNUString const* value)
{
    std::string n = name.toUtf8();
    std::string v = value ? value->toUtf8() : std::string();
    if (node.type != XML_ELEMENT_NODE) return nullptr;
    // The value's text node is made before anything changes, so that a
    // shortage never leaves an attribute without its value.
    xmlNode* text = xmlNewDocText(node.doc, xc(v));
    if (!text) throw std::bad_alloc();
    if (!text->content) {
        xmlFreeNode(text);
        throw std::bad_alloc();
    }
    // With no value libxml2 only empties an attribute that is there, or
    // makes a new one; on an element, a null result means no memory.
    xmlAttr* attr = xmlSetProp(&node, xc(n), nullptr);
    if (!attr || !attr->name) {
        if (attr) xmlRemoveProp(attr);
        xmlFreeNode(text);
        throw std::bad_alloc();
    }
    text->parent = reinterpret_cast<xmlNode*>(attr);
    attr->children = text;
    attr->last = text;
    return attr;
}
