#include "zorvsupport/surface/NodeIterator.h"

#include <cmath>
#include <limits>

#include "zorvsupport/surface/DesignatedIterator.h"
#include "zorvsupport/surface/StateCheckNodeIterator.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

NodeIterator::NodeIterator()
    : m_currentIndex(0), m_numStates(0), m_hasCurrentNode(false), m_dirty(false), m_done(false)
{
}

NodeIterator::~NodeIterator() = default;

bool NodeIterator::done() const
{
    return m_done;
}

unsigned NodeIterator::getNumStates() const
{
    return m_numStates;
}

bool NodeIterator::hasStates() const
{
    return m_numStates != 0;
}

bool NodeIterator::isDuplicate() const
{
    return false;
}

boost::shared_ptr<DataVector> NodeIterator::getBuffer(unsigned bandId) const
{
    auto const it = m_buffers.find(bandId);
    return it == m_buffers.end() ? boost::shared_ptr<DataVector>() : it->second;
}

boost::shared_ptr<DataVector> NodeIterator::getBuffer(unsigned bandId)
{
    return static_cast<NodeIterator const&>(*this).getBuffer(bandId);
}

bool NodeIterator::currentOffset(DataVector const& buffer, DataType const& type, std::size_t& offset) const
{
    switch (buffer.getNumDimensions()) {
    case 1: break;
    case 2:
        if (buffer.getDimension(0) == 0) return false;
        break;
    default: return false;
    }
    if (m_currentIndex >= buffer.size()) return false;
    std::size_t const elementSize = elementSizeOf(type.getType());
    if (elementSize == 0) return false;
    offset = std::size_t(m_currentIndex) * elementSize * type.getLength();
    return true;
}

ConstVariantRef NodeIterator::get(unsigned band) const
{
    DataVector const* const buffer = findBuffer(band);
    if (!buffer) return ConstVariantRef();
    DataType const type = buffer->getDataType();
    std::size_t offset;
    if (!currentOffset(*buffer, type, offset)) return ConstVariantRef();
    auto const* const data = static_cast<char const*>(buffer->getConstDataPtr());
    return data ? ConstVariantRef(type, data + offset) : ConstVariantRef();
}

VariantRef NodeIterator::getRef(unsigned band)
{
    auto const it = m_buffers.find(band);
    DataVector* const buffer = it == m_buffers.end() ? nullptr : it->second.get();
    if (!buffer) return VariantRef();
    DataType const type = buffer->getDataType();
    std::size_t offset;
    if (!currentOffset(*buffer, type, offset)) return VariantRef();
    auto* const data = static_cast<char*>(buffer->getDataPtr());
    return data ? VariantRef(type, data + offset) : VariantRef();
}

long NodeIterator::get(unsigned band, Variant& out) const
{
    if (!m_hasCurrentNode) return kErrNoCurrentNode;
    out = get(band);
    return out.getPtr() ? kSuccess : kErrAttributeNotFound;
}

long NodeIterator::set(unsigned band, ConstVariantRef value)
{
    if (!m_hasCurrentNode) return kErrNoCurrentNode;
    VariantRef element = getRef(band);
    if (!element.valid()) return kErrAttributeNotFound;
    // A view without a value reads as undefined, so it matches no element.
    if (element.getDataType() != value.getDataType() || !value.valid()) return kErrAttributeTypeMismatch;
    element = value;
    return kSuccess;
}

long NodeIterator::getAsString(unsigned band, ZELUNUString& out) const
{
    BandType const type = getBandType(band);
    return get(band).getAsString(type, out);
}

long NodeIterator::getAsDouble(unsigned band, double& out) const
{
    return get(band).getAs(out);
}

#define ZORV_ATTRIBUTE_READ_PREFIX template ZORV_EXPORT
ZORV_ATTRIBUTE_READS
#undef ZORV_ATTRIBUTE_READ_PREFIX

StateCheckNodeIterator::StateCheckNodeIterator() = default;
StateCheckNodeIterator::~StateCheckNodeIterator() = default;

long StateCheckNodeIterator::addCheck(unsigned stateKey, bool required)
{
    m_stateChecks[stateKey] = required;
    refresh();
    return kSuccess;
}

bool StateCheckNodeIterator::passesStateCheck()
{
    for (auto const& [key, required] : m_stateChecks)
        if (getState(key) != required) return false;
    return true;
}

DesignatedIterator::DesignatedIterator() = default;
DesignatedIterator::~DesignatedIterator() = default;

DesignatedType DesignatedIterator::getType() const
{
    return m_currentIndex < m_types.size() ? m_types[m_currentIndex] : DesignatedType{};
}

double DesignatedIterator::getOriginalDepth() const
{
    DataVector const* const depths = m_depths.get();
    if (depths && depths->getNumDimensions() == 1 && depths->getDataType() == DataType(DataType::kFloat64) &&
        m_currentIndex < depths->size()) {
        if (auto const* data = static_cast<double const*>(depths->getConstDataPtr())) return data[m_currentIndex];
    }
    return std::numeric_limits<double>::quiet_NaN();
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
