#pragma once

#include <cstdint>
#include <map>
#include <set>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNUnit.h"
#include "zorvsupport/surface/AttributeInterface.h"
#include "zorvsupport/surface/NodeIterator.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// Offers the bands of a node iterator by band name: a name reads the current
// node's value of its band as a double, negated when the band is a scalar
// band whose unit direction is the opposite of the requested one (up against
// down). The iterator is not owned; it must outlive every getValue call, but
// not this object. Used by one thread at a time, as its iterator is.
//
// An ExpressionEvaluator evaluated over an object of exactly this class
// looks its names up once (again after the object is assigned) and then
// reads the bands at each node as getValue does; a class derived from it is
// read through its getValue.
class ZORV_EXPORT NodeIteratorAttrI : public AttributeInterface {
public:
    // Resolves every band of the iterator with a band in the band set to its
    // name (a later band of the same name wins).
    NodeIteratorAttrI(NodeIterator const& iterator, ZELUNUnit::LengthDirection requested);
    // Copies offer the same names over the same iterator.
    NodeIteratorAttrI(NodeIteratorAttrI const& other);
    NodeIteratorAttrI& operator=(NodeIteratorAttrI const& other);
    // Does not touch the iterator, which may be gone by then.
    ~NodeIteratorAttrI() override;

    // The band's value at the current node; 0.0 when it cannot be read as a
    // double or the name is not offered (the offered names never change).
    double getValue(ZELUNUString const& name) override;
    // The offered names, in name order.
    std::set<ZELUNUString> getAvailableAttributes() override;

private:
    // A filter over this object resolves its names once per query and reads
    // each node's values through these.
    friend class ExpressionEvaluator;

    // What a name reads, resolved once: find(name) is null when the name is
    // not offered; valueOf(find(name)) is getValue(name). The entry lives as
    // long as this object, until it is assigned.
    struct Attribute {
        unsigned bandId;
        bool negate;
    };
    Attribute const* find(ZELUNUString const& name) const;
    double valueOf(Attribute const* attribute) const
    {
        if (!attribute) return 0.0;
        double value = 0.0;
        m_iterator->getAsDouble(attribute->bandId, value);  // unreadable: stays 0.0
        return attribute->negate ? -value : value;
    }
    // Differs between any two objects that ever lived, and changes when this
    // one is assigned: entries found before are then stale.
    std::uint64_t serial() const { return m_serial; }

    NodeIterator const* m_iterator;
    std::map<ZELUNUString, Attribute> m_attributes;
    std::uint64_t m_serial;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
