#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/surface/NodeIterator.h"
#include "zorvsupport/types/DataType.h"
#include "zorvsupport/types/Tuple.h"
#include "zorvsupport/types/Variant.h"

namespace ZORV_3_13_0_ {
namespace DataSet {
namespace ChunkMiscUtils {

// Whether a band's value at the current node is set: it can be read and
// differs from the band's no-data value. A NaN value or no-data compares
// unequal, so it counts as set; a no-data value of another DataType (or
// none) matches nothing. Unreadable values, scalar 3-vector bands and types
// without an element kind are not set.
ZORV_EXPORT bool isAttSet(NodeIterator const& iterator, unsigned long band);

// The visitor behind isAttSet, applied to the band's DataType: compares the
// stored value of the current node in place with the no-data value.
class ZORV_EXPORT IsAttSetVisitor {
public:
    IsAttSetVisitor(Variant const& noData, NodeIterator const& iterator, unsigned band)
        : m_noData(noData), m_iterator(iterator), m_band(band), m_status(kSuccess)
    {
    }

    template <class Tag>
    bool accept(Tag const& tag)
    {
        if constexpr (!Tag::kIsTuple && Tag::kType == DataType::kVec3) {
            return false;
        } else {
            auto const* value = m_iterator.attributeElement(m_band, tag, m_status);
            if (!value) return false;
            auto const* noData = m_noData.getTypedPtr(tag);
            if (!noData) return true;
            if constexpr (Tag::kIsTuple)
                return !TupleCompare::equal(ConstTupleProxy<Tag>(value, tag.getLength()),
                                            ConstTupleProxy<Tag>(noData, tag.getLength()));
            else
                return !(*value == *noData);
        }
    }

    // Status of the last read (0 after a successful one).
    long status() const { return m_status; }

private:
    Variant const& m_noData;
    NodeIterator const& m_iterator;
    unsigned m_band;
    long m_status;
};

// Holds an iterator, a band and a value; its only operation does nothing.
class ZORV_EXPORT SetFromDoubleVisitor {
public:
    SetFromDoubleVisitor(NodeIterator& iterator, unsigned band, double value)
        : m_iterator(iterator), m_band(band), m_value(value)
    {
    }

    void accept(TDataType<DataType::kVec3> const& tag);

private:
    [[maybe_unused]] NodeIterator& m_iterator;
    [[maybe_unused]] unsigned m_band;
    [[maybe_unused]] double m_value;
};

}  // namespace ChunkMiscUtils
}  // namespace DataSet
}  // namespace ZORV_3_13_0_
