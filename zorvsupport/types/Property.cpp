#include "zorvsupport/types/Property.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "zorvsupport/types/IOUtils.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

const char Property::kPathSeparator = '/';

namespace {

constexpr unsigned long long kMaxUnsigned = std::numeric_limits<unsigned>::max();

ZELUNUString separatorText()
{
    ZELUNUString s;
    s.append(static_cast<char16_t>(Property::kPathSeparator));
    return s;
}

}  // namespace

Property::Property() : m_value(0, false, IOBuffer::AllocatorHandle()) {}

Property::Property(Property const& other)
    : m_parent(other.m_parent),
      m_name(other.m_name),
      m_type(other.m_type),
      m_parentPath(other.m_parentPath),
      m_value(other.m_value)
{
    // Room first: the handles move out of `other` only once nothing can fail.
    m_children.reserve(other.m_children.size());
    for (ZELUNType<Property> const& child : other.m_children) m_children.push_back(child);
}

Property::Property(Property* parent, ZELUNUString const& name, ZELUNUString const& type)
    : m_parent(parent),
      m_name(name),
      m_type(type),
      m_value(0, parent ? parent->m_value.getSwap() : false, IOBuffer::AllocatorHandle())
{
    m_parentPath = computeParentPath();
}

Property::Property(ZELUNUString const& parentPath, ZELUNUString const& name, ZELUNUString const& type)
    : m_name(name), m_type(type), m_parentPath(parentPath), m_value(0, false, IOBuffer::AllocatorHandle())
{
}

Property::~Property() = default;

Property& Property::operator=(Property const& other)
{
    if (&other == this) return *this;
    // Everything that can fail comes first and the children move last, so
    // that a failure leaves both nodes as they were. `other` may be one of
    // the old children (or lie below one): those go only when this returns.
    ZELUNUString name(other.m_name);
    ZELUNUString type(other.m_type);
    ZELUNUString parentPath(other.m_parentPath);
    Children children;
    children.reserve(other.m_children.size());
    m_value = other.m_value;  // all or nothing
    for (ZELUNType<Property> const& child : other.m_children) children.push_back(child);  // moves, no allocation
    m_children.swap(children);
    m_parent = other.m_parent;
    m_name = std::move(name);
    m_type = std::move(type);
    m_parentPath = std::move(parentPath);
    return *this;  // the previous children go with `children`
}

ZELUNUString Property::computeParentPath() const
{
    return m_parent ? m_parent->path() : separatorText();
}

ZELUNUString Property::path() const
{
    ZELUNUString p(m_parentPath);
    p.append(m_name);
    p.append(static_cast<char16_t>(kPathSeparator));
    return p;
}

Property const* Property::getChild(ZELUNUString const& name) const
{
    for (ZELUNType<Property> const& child : m_children)
        if (child && child->m_name == name) return child.get();
    return nullptr;
}

Property* Property::getChild(ZELUNUString const& name)
{
    return const_cast<Property*>(static_cast<Property const&>(*this).getChild(name));
}

Property* Property::addChild(ZELUNUString const& name, ZELUNUString const& type)
{
    if (getChild(name)) return nullptr;
    m_children.push_back(ZELUNType<Property>(new Property(this, name, type)));
    return m_children.back().get();
}

unsigned Property::getSerializedValuesSize() const
{
    unsigned long long size = 8ull + IOUtils::getSerializedSize(m_name) + IOUtils::getSerializedSize(m_type) +
                              IOUtils::getSerializedSize(m_parentPath) + m_value.getSizeInBytes();
    return size > kMaxUnsigned ? static_cast<unsigned>(kMaxUnsigned) : static_cast<unsigned>(size);
}

unsigned long long Property::serializedSize() const
{
    unsigned long long size = 4ull + getSerializedValuesSize();
    for (ZELUNType<Property> const& child : m_children)
        if (child) size += child->serializedSize();
    return size;
}

unsigned int Property::getSerializedSize() const
{
    unsigned long long size = serializedSize();
    return size > kMaxUnsigned ? static_cast<unsigned>(kMaxUnsigned) : static_cast<unsigned>(size);
}

long Property::writeToBinary(IOBuffer& buffer) const
{
    if (buffer.getSwap() != m_value.getSwap()) return -1;
    unsigned start = buffer.tell();
    unsigned recordSize = getSerializedValuesSize();
    // A saturated size means the record cannot fit any buffer.
    if (recordSize == kMaxUnsigned) return kErrBufferExhausted;
    unsigned valueLength = m_value.getSizeInBytes();
    if (long st = buffer.write(recordSize)) return st;
    if (long st = IOUtils::writeToBinary(buffer, m_name)) return st;
    if (long st = IOUtils::writeToBinary(buffer, m_type)) return st;
    if (long st = IOUtils::writeToBinary(buffer, m_parentPath)) return st;
    if (long st = buffer.write(valueLength)) return st;
    if (long st = buffer.write(m_value.getStartPtr(), valueLength)) return st;
    unsigned long long end = static_cast<unsigned long long>(start) + recordSize;
    if (end > buffer.getSizeInBytes()) return kErrSeekOutOfRange;
    if (long st = buffer.seek(static_cast<unsigned>(end))) return st;

    unsigned count = 0;
    for (ZELUNType<Property> const& child : m_children)
        if (child) ++count;
    if (long st = buffer.write(count)) return st;
    for (ZELUNType<Property> const& child : m_children)
        if (child)
            if (long st = child->writeToBinary(buffer)) return st;
    return kSuccess;
}

long Property::readFromBinary(IOBuffer const& buffer)
{
    // Texts, values and child places of the tree may take no more than the
    // bytes behind its start, however its records overlap.
    unsigned long long budget = buffer.getSizeInBytes() - buffer.tell();
    return readNode(buffer, 1, budget);
}

// What one node's read has taken so far, held aside from the node: texts,
// value and child list are put in place together, without anything that can
// fail, once the read ends with a status. An exception (no memory) ends it
// with the node as it was.
struct Property::Incoming {
    explicit Incoming(bool swap) : value(0, swap, IOBuffer::AllocatorHandle()) {}

    ZELUNUString texts[3];  // name, type, parentPath
    int textsTaken = 0;
    IOBuffer value;
    bool valueTaken = false;
    Children children;
    bool childrenTaken = false;
    std::size_t placesFilled = 0;  // places that hold a node of this read
};

long Property::readNode(IOBuffer const& buffer, unsigned depth, unsigned long long& budget)
{
    if (buffer.getSwap() != m_value.getSwap()) return kErrByteOrderMismatch;
    if (depth > kMaxReadDepth) return kErrNotSupported;
    Incoming in(m_value.getSwap());
    long st = readAside(buffer, depth, budget, in);
    takeIncoming(in);
    return st;
}

long Property::readAside(IOBuffer const& buffer, unsigned depth, unsigned long long& budget, Incoming& in) const
{
    unsigned start = buffer.tell();
    unsigned recordSize = 0;
    if (long st = buffer.read(recordSize)) return st;
    for (ZELUNUString& text : in.texts) {
        unsigned before = buffer.tell();
        if (long st = IOUtils::readFromBinary(buffer, text)) return st;
        ++in.textsTaken;
        // The text's bytes are charged to the tree's budget.
        unsigned long long used = buffer.tell() - before - 4ull;
        if (used > budget) return kErrBufferExhausted;
        budget -= used;
    }
    unsigned valueLength = 0;
    if (long st = buffer.read(valueLength)) return st;
    if (!buffer.isSpaceAvailable(valueLength) || valueLength > budget) return kErrBufferExhausted;
    budget -= valueLength;
    in.value.resize(valueLength);
    buffer.read(in.value.getStartPtr(), valueLength);  // fits: checked above
    // As a resize of the node's own buffer would: its position stays when
    // it is within the new size.
    in.value.seek(m_value.tell() <= valueLength ? m_value.tell() : 0);
    in.valueTaken = true;

    // recordSize is taken as stored; a small one moves the position back.
    unsigned long long end = static_cast<unsigned long long>(start) + recordSize;
    if (end > buffer.getSizeInBytes()) return kErrSeekOutOfRange;
    if (long st = buffer.seek(static_cast<unsigned>(end))) return st;

    unsigned count = 0;
    if (long st = buffer.read(count)) return st;
    unsigned long long places = static_cast<unsigned long long>(count) * kMinStoredNodeSize;
    unsigned long long left = buffer.getSizeInBytes() - buffer.tell();
    if (places > left || places > budget) return kErrBufferExhausted;
    budget -= places;
    in.children.resize(count);
    in.childrenTaken = true;
    for (ZELUNType<Property>& place : in.children) {
        place.reset(new Property());
        ++in.placesFilled;
        place->m_value.setSwap(m_value.getSwap());
        if (long st = place->readNode(buffer, depth + 1, budget)) return st;
    }
    return kSuccess;
}

void Property::takeIncoming(Incoming& in) noexcept
{
    ZELUNUString* const fields[3] = {&m_name, &m_type, &m_parentPath};
    for (int i = 0; i < in.textsTaken; ++i) *fields[i] = std::move(in.texts[i]);
    if (in.valueTaken) m_value.swap(in.value);
    if (!in.childrenTaken) return;
    // Places the read did not reach keep the children that were there.
    std::size_t const kept = std::min(in.children.size(), m_children.size());
    for (std::size_t i = in.placesFilled; i < kept; ++i) in.children[i] = m_children[i];
    m_children.swap(in.children);  // the others go with `in`
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
