#include "zorvsupport/types/DataType.h"

#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/platform/ZELUNXMLDocument.h"
#include "zorvsupport/types/IOBuffer.h"
#include "zorvsupport/types/TextForms.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

constexpr TypeNameEntry kTypeNameTable[kElementKindCount] = {
#define ZORV_ROW(k, T, name) {k, name},
    ZORV_FOR_EACH_ELEMENT_KIND(ZORV_ROW)
#undef ZORV_ROW
};

namespace {

constexpr bool namesEveryKind()
{
    for (std::size_t i = 0; i < kElementKindCount; ++i)
        if (kTypeNameTable[i].code != kElementKindCodes[i] || !kTypeNameTable[i].name) return false;
    return true;
}
static_assert(namesEveryKind(), "one type name per element kind, in list order");

}  // namespace

unsigned DataType::getTypeSize() const
{
    // In 64 bits, saturated: no caller may size a buffer from a wrapped product.
    std::uint64_t const bytes = std::uint64_t(elementSizeOf(m_type)) * getLength();
    return bytes > UINT32_MAX ? UINT32_MAX : static_cast<unsigned>(bytes);
}

long DataType::readFromBinary(IOBuffer const& buffer)
{
    unsigned code = 0;
    if (long st = buffer.read(code)) return st;
    // Codes up to the largest kind's are kept, also those naming no kind (10).
    if (code > unsigned(largestElementKindCode()) && code != 0xFFFFFFFFu) return kErrBadStoredTypeCode;
    m_type = static_cast<Type>(static_cast<std::int32_t>(code));
    return buffer.read(m_tupleLength);
}

long DataType::writeToBinary(IOBuffer& buffer) const
{
    unsigned code = static_cast<unsigned>(static_cast<std::int32_t>(m_type));
    if (long st = buffer.write(code)) return st;
    return buffer.write(m_tupleLength);
}

long DataType::readFromXML(_xmlNode const& node)
{
    _xmlNode* child = ZELUNXMLDocument::getFirstChild(node, "DataType");
    if (!child) return kErrNoDataTypeElement;
    if (long st = getXMLAttribute<Type>(*child, "type", m_type)) return st;
    return getXMLAttribute<unsigned int>(*child, "tupleLength", m_tupleLength);
}

long DataType::writeToXML(_xmlNode& node) const
{
    _xmlNode* child = ZELUNXMLDocument::addChild(node, "DataType", nullptr, true);
    if (!child) return kErrDataTypeXmlWriteFailed;
    if (long st = setXMLAttribute<Type>(*child, "type", m_type)) return st;
    return setXMLAttribute<unsigned int>(*child, "tupleLength", m_tupleLength);
}

unsigned DataType::getSerializedSize() const
{
    return 8;
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
