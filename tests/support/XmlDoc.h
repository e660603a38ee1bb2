#pragma once

#include <string>

#include <libxml/parser.h>
#include <libxml/tree.h>

namespace zorvtest {

// An owned libxml2 document with a root element, for the XML-form tests.
class XmlDoc {
public:
    XmlDoc() : m_doc(xmlNewDoc(BAD_CAST "1.0"))
    {
        m_root = xmlNewNode(nullptr, BAD_CAST "root");
        xmlDocSetRootElement(m_doc, m_root);
    }
    // Parses `text`; root() is the document element.
    explicit XmlDoc(std::string const& text)
        : m_doc(xmlReadMemory(text.data(), static_cast<int>(text.size()), "test.xml", nullptr, XML_PARSE_NONET))
    {
        m_root = m_doc ? xmlDocGetRootElement(m_doc) : nullptr;
    }
    ~XmlDoc() { xmlFreeDoc(m_doc); }
    XmlDoc(XmlDoc const&) = delete;
    XmlDoc& operator=(XmlDoc const&) = delete;

    xmlNode& root() { return *m_root; }
    bool ok() const { return m_root != nullptr; }

    // The serialised root element, without the XML declaration.
    std::string str() const
    {
        xmlBufferPtr buf = xmlBufferCreate();
        xmlNodeDump(buf, m_doc, m_root, 0, 0);
        std::string s(reinterpret_cast<char const*>(xmlBufferContent(buf)), static_cast<std::size_t>(xmlBufferLength(buf)));
        xmlBufferFree(buf);
        return s;
    }

private:
    xmlDoc* m_doc;
    xmlNode* m_root;
};

}  // namespace zorvtest
