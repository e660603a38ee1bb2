#pragma once

#include <cstddef>
#include <map>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "zorvsupport/Export.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/datavector/DataVector.h"
#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/platform/ZELUNVec3.h"
#include "zorvsupport/types/BandType.h"
#include "zorvsupport/types/ConstVariantRef.h"
#include "zorvsupport/types/DataType.h"
#include "zorvsupport/types/Tuple.h"
#include "zorvsupport/types/Variant.h"
#include "zorvsupport/types/VariantRef.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

class GeoBandSet;

namespace ChunkMiscUtils {
class IsAttSetVisitor;
}

// Walks the nodes of a band set that lie in a queried area. The host derives
// from it, implements the walk and fills the protected members; the base
// offers typed access to the current node's value in each buffered band.
//
// Each buffered band has a one- or two-dimensional DataVector holding its
// values; the current node's element is element m_currentIndex of the
// buffer's storage (in a two-dimensional buffer: the element at
// (i mod dimension 0, i div dimension 0)). A buffer of another dimension
// count, one whose size() is not above the current index, one whose data
// pointer is null and one whose DataType names no element kind have no
// current element.
class ZORV_EXPORT NodeIterator {
public:
    NodeIterator();
    virtual ~NodeIterator();

    virtual bool done() const;
    // Advances to the next node; after the last one, done() becomes true.
    virtual void next() = 0;
    // Re-applies the iterator's conditions (called after a state check was
    // added).
    virtual void refresh() = 0;
    virtual unsigned getNumStates() const;
    virtual bool hasStates() const;
    // The current node's state for a key.
    virtual bool getState(unsigned stateKey) = 0;
    virtual void reserved1() = 0;
    virtual void reserved2() = 0;
    virtual void reserved3() = 0;
    // False in the base.
    virtual bool isDuplicate() const;
    // Writes the current node's position; returns a status.
    virtual long getPosition(ZELUNVec3<double>& position, unsigned bandId) = 0;
    virtual void reserved4() = 0;
    virtual void reserved5() = 0;
    virtual BandType getBandType(unsigned bandId) const = 0;
    // Ids of the buffered bands.
    virtual std::vector<unsigned> const& getBandIDs() const = 0;
    virtual GeoBandSet const& getBandSet() const = 0;

    // View of the current element of a band; the invalid view (undefined
    // type, null pointer) when the band is not buffered or its buffer has no
    // current element. Neither looks at whether there is a current node.
    ConstVariantRef get(unsigned band) const;
    VariantRef getRef(unsigned band);

    // Copies the current element into `out`: kErrNoCurrentNode, or
    // kErrAttributeNotFound when there is no current element (out emptied).
    long get(unsigned band, Variant& out) const;
    // Stores `value` into the current element: kErrNoCurrentNode,
    // kErrAttributeNotFound without a current element,
    // kErrAttributeTypeMismatch when the DataTypes differ.
    long set(unsigned band, ConstVariantRef value);
    // The current element as text for the band's type.
    long getAsString(unsigned band, ZELUNUString& out) const;
    // The current scalar element as a double (a 3-vector reads as 0.0);
    // kErrNotConvertible with out unchanged for a tuple or no element.
    long getAsDouble(unsigned band, double& out) const;

    // Typed reads of the current element. Checks, in order:
    // kErrNoCurrentNode; kErrAttributeNotFound for an unbuffered band;
    // kErrAttributeTypeMismatch when the buffer's DataType differs from the
    // tag's (for a tuple tag: also its length; a tuple tag of length 0
    // matches no buffer); kErrAttributeNotFound when
    // the buffer has no current element. `out` is written only on success.
    // A tuple is assigned to the caller's proxy: as many values as both
    // lengths allow are copied and the rest of the proxy is zeroed.
    // Provided for the ten numeric scalar kinds and the tuples of all eleven
    // kinds.
    template <int k>
    long getAttribute(unsigned band, TDataType<k> tag, typename TDataType<k>::element_type& out) const;
    template <int k>
    long getAttribute(unsigned band, TTupleDataType<TDataType<k>> const& tag,
                      TupleProxy<TTupleDataType<TDataType<k>>> out) const;

protected:
    bool isDirty() const { return m_dirty; }
    void setIsDirty(bool dirty) { m_dirty = dirty; }
    void setDone(bool done) { m_done = done; }
    // The band's buffer; empty when the band is not buffered.
    boost::shared_ptr<DataVector> getBuffer(unsigned bandId) const;
    boost::shared_ptr<DataVector> getBuffer(unsigned bandId);

    std::map<unsigned, boost::shared_ptr<DataVector>> m_buffers;
    unsigned m_currentIndex;
    unsigned m_numStates;
    bool m_hasCurrentNode;
    bool m_dirty;
    bool m_done;

private:
    friend class ChunkMiscUtils::IsAttSetVisitor;

    DataVector const* findBuffer(unsigned band) const
    {
        auto const it = m_buffers.find(band);
        return it == m_buffers.end() ? nullptr : it->second.get();
    }
    // Byte offset of the current element in `buffer`, whose DataType is
    // `type`; false when the buffer has no current element.
    bool currentOffset(DataVector const& buffer, DataType const& type, std::size_t& offset) const;

    // The body of the typed reads: the stored value (first value of the
    // stored tuple) of the current element after the checks, or null with
    // the failing status.
    template <class Tag>
    typename Tag::element_type const* attributeElement(unsigned band, Tag const& tag, long& status) const
    {
        if (!m_hasCurrentNode) {
            status = kErrNoCurrentNode;
            return nullptr;
        }
        DataVector const* const buffer = findBuffer(band);
        if (!buffer) {
            status = kErrAttributeNotFound;
            return nullptr;
        }
        // A tuple tag of length 0 names no stored type: its DataType would
        // read as the scalar one.
        if (buffer->getDataType() != tag.getDataType() || (Tag::kIsTuple && tag.getLength() == 0)) {
            status = kErrAttributeTypeMismatch;
            return nullptr;
        }
        unsigned const dims = buffer->getNumDimensions();
        auto const* const data = static_cast<typename Tag::element_type const*>(
            (dims == 1 || dims == 2) && m_currentIndex < buffer->size() ? buffer->getConstDataPtr() : nullptr);
        if (!data) {
            status = kErrAttributeNotFound;
            return nullptr;
        }
        status = kSuccess;
        return data + std::size_t(m_currentIndex) * tag.getLength();
    }
};

template <int k>
long NodeIterator::getAttribute(unsigned band, TDataType<k> tag, typename TDataType<k>::element_type& out) const
{
    static_assert(k != DataType::kVec3, "there is no scalar 3-vector attribute read; use a tuple tag");
    long status;
    if (auto const* value = attributeElement(band, tag, status)) out = *value;
    return status;
}

template <int k>
long NodeIterator::getAttribute(unsigned band, TTupleDataType<TDataType<k>> const& tag,
                                TupleProxy<TTupleDataType<TDataType<k>>> out) const
{
    long status;
    if (auto const* value = attributeElement(band, tag, status))
        out = ConstTupleProxy<TTupleDataType<TDataType<k>>>(value, tag.getLength());
    return status;
}

// The 21 typed reads, each declared with ZORV_ATTRIBUTE_READ_PREFIX in front:
// instantiated once inside the library, extern everywhere else.
#define ZORV_SCALAR_ATTRIBUTE_READ(k, E, name) \
    ZORV_ATTRIBUTE_READ_PREFIX long NodeIterator::getAttribute<k>(unsigned, TDataType<k>, E&) const;
#define ZORV_TUPLE_ATTRIBUTE_READ(k, E, name)                                                                   \
    ZORV_ATTRIBUTE_READ_PREFIX long NodeIterator::getAttribute<k>(unsigned, TTupleDataType<TDataType<k>> const&, \
                                                                  TupleProxy<TTupleDataType<TDataType<k>>>) const;
#define ZORV_ATTRIBUTE_READS                                  \
    ZORV_FOR_EACH_NUMERIC_KIND(ZORV_SCALAR_ATTRIBUTE_READ)    \
    ZORV_FOR_EACH_ELEMENT_KIND(ZORV_TUPLE_ATTRIBUTE_READ)

#define ZORV_ATTRIBUTE_READ_PREFIX extern template
ZORV_ATTRIBUTE_READS
#undef ZORV_ATTRIBUTE_READ_PREFIX

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
