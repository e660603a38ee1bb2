#pragma once

#include <vector>

#include "zorvsupport/Export.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNType.h"
#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/types/IOBuffer.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// A node of a tree of named, typed properties: name, free-text type, the path
// of its parent, a value held as raw bytes in its own IOBuffer, and the child
// nodes it owns. The value buffer's byte-swap flag is the byte order of the
// node; it must equal that of any buffer the node is written to or read from.
//
// The path of a node is parentPath + name + '/'; a root made without a parent
// has parentPath "/". A name may contain the separator; nothing refuses it.
//
// Children are held by single-owner handles: copying or assigning a Property
// moves the source's children into the target and leaves the source with as
// many empty handles. Empty handles (left by such a move or by a read that
// stopped early) are skipped by getChild, addChild, getSerializedSize and
// writeToBinary. Assigning a node from one of its own ancestors is not
// allowed (the node would end up owning itself).
//
// Stored form of a node, counts u32 in the buffer's byte order:
//   recordSize (= 8 + the three stored texts + valueLength), name, type and
//   parentPath as stored texts (IOUtils), valueLength, the value bytes, then at
//   start + recordSize the number of children, then each child in the same
//   form, depth first.
// Reading treats the buffer as untrusted: sizes and counts are checked against
// the bytes left before anything is allocated, the texts and values of one
// tree read together never exceed the bytes behind its start (overlapping
// records cannot multiply the memory used), and nesting deeper than
// kMaxReadDepth levels is refused with kErrNotSupported.
class ZORV_EXPORT Property {
public:
    using Children = std::vector<ZELUNType<Property>>;

    static const char kPathSeparator;
    // Deepest tree readFromBinary accepts; the node read is level 1.
    static constexpr unsigned kMaxReadDepth = 1000;
    // Smallest stored node: a record of empty texts and no value, and its
    // child count.
    static constexpr unsigned kMinStoredNodeSize = 24;

    Property();
    // Moves other's children here (other keeps empty handles); copies the
    // rest, the value buffer into default storage.
    Property(Property const& other);
    // A child-to-be of `parent`: parentPath is the parent's path (or "/"
    // without a parent), the value's byte-swap flag the parent's.
    Property(Property* parent, ZELUNUString const& name, ZELUNUString const& type);
    Property(ZELUNUString const& parentPath, ZELUNUString const& name, ZELUNUString const& type);
    virtual ~Property();
    // Moves other's children here, destroying the previous ones; copies the rest.
    Property& operator=(Property const& other);

    Children const& children() const { return m_children; }
    ZELUNUString const& name() const { return m_name; }
    ZELUNUString const& parentPath() const { return m_parentPath; }
    ZELUNUString const& type() const { return m_type; }
    ZELUNUString& type() { return m_type; }
    IOBuffer const& value() const { return m_value; }
    IOBuffer& value() { return m_value; }

    ZELUNUString path() const;
    // First child whose name equals `name` exactly (case-sensitive), or null.
    Property const* getChild(ZELUNUString const& name) const;
    Property* getChild(ZELUNUString const& name);
    // Appends a new child made with this node as parent; null, with nothing
    // changed, when a child of that name exists.
    Property* addChild(ZELUNUString const& name, ZELUNUString const& type);

    // Bytes of the stored form of the node and its subtree (saturating).
    unsigned int getSerializedSize() const;
    // -1 when the buffer's byte-swap flag differs from the node's.
    long writeToBinary(IOBuffer& buffer) const;
    // kErrByteOrderMismatch when the buffer's byte-swap flag differs from the
    // node's. A failure leaves what was read before it; an exception (no
    // memory) leaves the node as it was.
    long readFromBinary(IOBuffer const& buffer);

private:
    ZELUNUString computeParentPath() const;
    unsigned getSerializedValuesSize() const;
    unsigned long long serializedSize() const;
    struct Incoming;
    long readNode(IOBuffer const& buffer, unsigned depth, unsigned long long& budget);
    long readAside(IOBuffer const& buffer, unsigned depth, unsigned long long& budget, Incoming& in) const;
    void takeIncoming(Incoming& in) noexcept;

    Children m_children;
    Property* m_parent = nullptr;
    ZELUNUString m_name;
    ZELUNUString m_type;
    ZELUNUString m_parentPath;
    IOBuffer m_value;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
