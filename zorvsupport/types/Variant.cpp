#include "zorvsupport/types/Variant.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/platform/ZELUNXMLDocument.h"
#include "zorvsupport/types/IOBuffer.h"
#include "zorvsupport/types/TextForms.h"
#include "zorvsupport/types/ValueElements.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

namespace {

// Bytes of one value of `type`, computed without wrapping.
std::uint64_t valueBytes(DataType const& type)
{
    return std::uint64_t(elementSizeOf(type.getType())) * type.getLength();
}

// Number of elements of a value of tag type Tag.
template <class Tag>
unsigned elementCount(Tag const& tag)
{
    return Tag::kIsTuple ? tag.getLength() : 1u;
}

struct WriteBinaryVisitor {
    IOBuffer& buffer;
    void const* ptr;

    template <class Tag>
    long accept(Tag tag) const
    {
        auto const* e = static_cast<typename Tag::element_type const*>(ptr);
        unsigned const n = elementCount(tag);
        for (unsigned i = 0; i < n; ++i)
            if (long st = buffer.write(e[i])) return st;
        return kSuccess;
    }
};

struct ReadBinaryVisitor {
    IOBuffer const& buffer;
    void* ptr;

    template <class Tag>
    long accept(Tag tag) const
    {
        auto* e = static_cast<typename Tag::element_type*>(ptr);
        unsigned const n = elementCount(tag);
        for (unsigned i = 0; i < n; ++i)
            if (long st = buffer.read(e[i])) return st;
        return kSuccess;
    }
};

using detail::valueElementName;
using detail::countValueChildren;

struct WriteXmlVisitor {
    _xmlNode& node;
    void const* ptr;

    template <int k>
    long accept(TDataType<k>) const
    {
        using E = typename TDataType<k>::element_type;
        return setXMLAttribute<E>(node, valueElementName(), *static_cast<E const*>(ptr));
    }
    template <class Tag>
    long accept(TTupleDataType<Tag> tag) const
    {
        using E = typename Tag::element_type;
        auto const* e = static_cast<E const*>(ptr);
        for (unsigned i = 0; i < tag.getLength(); ++i) {
            _xmlNode* child = ZELUNXMLDocument::addChild(node, valueElementName(), nullptr, true);
            if (!child) return kErrVariantXmlWriteFailed;
            if (long st = setXMLAttribute<E>(*child, valueElementName(), e[i])) return st;
        }
        return kSuccess;
    }
};

struct ReadXmlVisitor {
    _xmlNode const& node;
    void* ptr;

    template <int k>
    long accept(TDataType<k>) const
    {
        using E = typename TDataType<k>::element_type;
        return getXMLAttribute<E>(node, valueElementName(), *static_cast<E*>(ptr));
    }
    template <class Tag>
    long accept(TTupleDataType<Tag> tag) const
    {
        using E = typename Tag::element_type;
        auto* e = static_cast<E*>(ptr);
        unsigned const n = tag.getLength();
        unsigned i = 0;
        for (_xmlNode* child = ZELUNXMLDocument::getFirstChild(node, valueElementName()); child;
             child = ZELUNXMLDocument::getNextSibling(*child, valueElementName())) {
            if (i == n) return kErrVariantValueCountMismatch;
            if (long st = getXMLAttribute<E>(*child, valueElementName(), e[i])) return st;
            ++i;
        }
        return i == n ? kSuccess : kErrVariantValueCountMismatch;
    }
};

}  // namespace

Variant::Variant(DataType type)
{
    set(type, nullptr);
}

Variant::Variant(Variant const& other) : VariantRef(), Readable(other), Writeable(other)
{
    set(other.getDataType(), other.getPtr());
}

Variant::~Variant()
{
    delete[] static_cast<unsigned char*>(getPtr());
}

Variant& Variant::operator=(Variant const& other)
{
    set(other.getDataType(), other.getPtr());
    return *this;
}

Variant& Variant::operator=(ConstVariantRef view)
{
    // Built aside first: the view may point into this Variant's block.
    Variant fresh(view.getDataType());
    fresh.VariantRef::operator=(view);
    swapStorage(fresh);
    return *this;
}

void Variant::set(DataType const& type, void const* source)
{
    std::uint64_t const newSize = valueBytes(type);
    if (newSize > UINT32_MAX) throw std::length_error("Variant: value larger than 2^32 - 1 bytes");
    DataType const newType = type;  // `type` may be this Variant's own DataType
    auto* block = static_cast<unsigned char*>(getPtr());
    if (block && source && newSize == valueBytes(getDataType())) {
        if (source != block) std::memmove(block, source, newSize);
        reset(newType, block);
        return;
    }
    unsigned char* fresh = nullptr;
    if (newSize > 0) {
        fresh = new unsigned char[newSize];
        if (source)
            std::memcpy(fresh, source, newSize);
        else
            std::memset(fresh, 0, newSize);
    }
    delete[] block;
    reset(newType, fresh);
}

void Variant::swapStorage(Variant& other)
{
    DataType const type = getDataType();
    void* const ptr = getPtr();
    reset(other.getDataType(), other.getPtr());
    other.reset(type, ptr);
}

void Variant::clear()
{
    delete[] static_cast<unsigned char*>(getPtr());
    reset(DataType(), nullptr);
}

unsigned Variant::getSerializedSize() const
{
    std::uint64_t const size = std::uint64_t(getDataType().getTypeSize()) + getDataType().getSerializedSize();
    return size > UINT_MAX ? UINT_MAX : static_cast<unsigned>(size);
}

long Variant::writeValueToBinary(IOBuffer& buffer) const
{
    return getDataType().applyVisitor(WriteBinaryVisitor{buffer, getPtr()});
}

long Variant::readValueFromBinary(IOBuffer const& buffer)
{
    if (getDataType().getType() == DataType::kUndefined) return kSuccess;
    set(getDataType(), nullptr);
    return getDataType().applyVisitor(ReadBinaryVisitor{buffer, getPtr()});
}

long Variant::writeToBinary(IOBuffer& buffer) const
{
    if (long st = getDataType().writeToBinary(buffer)) return st;
    return writeValueToBinary(buffer);
}

long Variant::readFromBinary(IOBuffer const& buffer)
{
    DataType type = getDataType();
    if (long st = type.readFromBinary(buffer)) {
        // A partly read DataType would disagree with the block.
        if (type != getDataType()) clear();
        return st;
    }
    if (type.getType() == DataType::kUndefined) {
        set(type, nullptr);  // no value bytes; the stored tuple length is kept
        return kSuccess;
    }
    // The tuple length comes from the input: refuse values that the bytes
    // left cannot hold before allocating anything.
    if (valueBytes(type) > buffer.getSizeInBytes() - buffer.tell()) {
        clear();
        return kErrBufferExhausted;
    }
    set(type, nullptr);
    return type.applyVisitor(ReadBinaryVisitor{buffer, getPtr()});
}

long Variant::writeToXML(_xmlNode& node) const
{
    if (long st = getDataType().writeToXML(node)) return st;
    return getDataType().applyVisitor(WriteXmlVisitor{node, getPtr()});
}

long Variant::readFromXML(_xmlNode const& node)
{
    // Read aside and taken over only when the whole value was read: a
    // refused read leaves the type and the value as they were.
    DataType type = getDataType();
    if (long st = type.readFromXML(node)) return st;
    if (type.getType() == DataType::kUndefined) {
        clear();
        return kSuccess;
    }
    // The tuple length comes from the input: the "value" children must be
    // there before a block of that many elements is allocated.
    if (type.isTuple() && elementSizeOf(type.getType()) != 0 &&
        countValueChildren(&node, type.getTupleLength()) != type.getTupleLength())
        return kErrVariantValueCountMismatch;
    Variant fresh(type);
    if (long st = type.applyVisitor(ReadXmlVisitor{node, fresh.getPtr()})) return st;
    swapStorage(fresh);
    return kSuccess;
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
