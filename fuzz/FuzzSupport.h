#pragma once

// Helpers shared by the fuzz targets: the input as an IOBuffer, libxml2
// documents, and the check that turns a failed round trip into a crash.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include "zorvsupport/types/IOBuffer.h"

namespace zorvfuzz {

using ZORV_3_13_0_::DataSet::IOBuffer;

// A broken round trip is a finding: stop here so that libFuzzer keeps the input.
#define ZORV_FUZZ_CHECK(cond)         \
    do {                              \
        if (!(cond)) __builtin_trap(); \
    } while (0)

// Byte-swap flag taken from the first input byte; the rest is the payload.
struct SwapAndPayload {
    bool swap = false;
    std::uint8_t const* data = nullptr;
    std::size_t size = 0;
};

inline bool splitSwap(std::uint8_t const* data, std::size_t size, SwapAndPayload& out)
{
    if (size < 1) return false;
    out.swap = (data[0] & 1) != 0;
    out.data = data + 1;
    out.size = size - 1;
    return true;
}

// A buffer holding a copy of the bytes, position 0.
inline IOBuffer bufferOf(std::uint8_t const* data, std::size_t size, bool swap)
{
    IOBuffer buffer(static_cast<unsigned>(size), swap);
    if (size) std::memcpy(buffer.getStartPtr(), data, size);
    return buffer;
}

inline bool sameBytes(void const* a, void const* b, std::size_t n)
{
    return n == 0 || (a && b && std::memcmp(a, b, n) == 0);
}

// libxml2 set up once, its error messages silenced (the inputs are mostly
// malformed; printing every complaint would only slow the run down).
inline void ignoreXmlMessage(void*, char const*, ...) {}
inline void ignoreXmlError(void*, xmlError*) {}

inline void quietXml()
{
    xmlInitParser();
    xmlSetGenericErrorFunc(nullptr, ignoreXmlMessage);
    xmlSetStructuredErrorFunc(nullptr, ignoreXmlError);
}

// An owned document: parsed from bytes (no network access) or new with an
// empty element "root".
class XmlDoc {
public:
    XmlDoc() : m_doc(xmlNewDoc(BAD_CAST "1.0"))
    {
        m_root = xmlNewNode(nullptr, BAD_CAST "root");
        xmlDocSetRootElement(m_doc, m_root);
    }
    XmlDoc(std::uint8_t const* data, std::size_t size)
        : m_doc(xmlReadMemory(reinterpret_cast<char const*>(data), static_cast<int>(size), "input.xml", nullptr,
                              XML_PARSE_NONET))
    {
        m_root = m_doc ? xmlDocGetRootElement(m_doc) : nullptr;
    }
    ~XmlDoc() { xmlFreeDoc(m_doc); }
    XmlDoc(XmlDoc const&) = delete;
    XmlDoc& operator=(XmlDoc const&) = delete;

    bool ok() const { return m_root != nullptr; }
    xmlNode& root() { return *m_root; }

    // The whole document as text.
    std::string str() const
    {
        xmlChar* text = nullptr;
        int length = 0;
        xmlDocDumpMemory(m_doc, &text, &length);
        std::string s(text ? reinterpret_cast<char const*>(text) : "", text ? static_cast<std::size_t>(length) : 0);
        xmlFree(text);
        return s;
    }

private:
    xmlDoc* m_doc;
    xmlNode* m_root;
};

}  // namespace zorvfuzz
