#include "zorvsupport/surface/AttributeInterface.h"

#include <atomic>

#include "zorvsupport/surface/GeoBandSet.h"
#include "zorvsupport/surface/NoAttributeInterface.h"
#include "zorvsupport/surface/NodeIterator.h"
#include "zorvsupport/surface/NodeIteratorAttrI.h"
#include "zorvsupport/types/Band.h"
#include "zorvsupport/types/BandType.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

AttributeInterface::AttributeInterface() = default;
AttributeInterface::AttributeInterface(AttributeInterface const&) = default;
AttributeInterface& AttributeInterface::operator=(AttributeInterface const&) = default;
AttributeInterface::~AttributeInterface() = default;

NoAttributeInterface::NoAttributeInterface() = default;
NoAttributeInterface::NoAttributeInterface(NoAttributeInterface const&) = default;
NoAttributeInterface& NoAttributeInterface::operator=(NoAttributeInterface const&) = default;
NoAttributeInterface::~NoAttributeInterface() = default;

double NoAttributeInterface::getValue(ZELUNUString const&)
{
    return 0.0;
}

std::set<ZELUNUString> NoAttributeInterface::getAvailableAttributes()
{
    return {};
}

namespace {

std::uint64_t nextSerial()
{
    static std::atomic<std::uint64_t> serials{0};
    return ++serials;
}

}  // namespace

NodeIteratorAttrI::NodeIteratorAttrI(NodeIterator const& iterator, ZELUNUnit::LengthDirection requested)
    : m_iterator(&iterator), m_serial(nextSerial())
{
    GeoBandSet const& bandSet = iterator.getBandSet();
    for (unsigned const id : iterator.getBandIDs()) {
        Band const* const band = bandSet.getBand(id);
        if (!band) continue;
        BandType const& type = band->getBandType();
        bool const negate = type.getCategory() == BandType::kScalar &&
                            ZELUNUnit::isOpposite(type.getUnitDirection(), requested);
        m_attributes[band->getName()] = Attribute{id, negate};
    }
}

NodeIteratorAttrI::NodeIteratorAttrI(NodeIteratorAttrI const& other)
    : AttributeInterface(other), m_iterator(other.m_iterator), m_attributes(other.m_attributes), m_serial(nextSerial())
{
}

NodeIteratorAttrI& NodeIteratorAttrI::operator=(NodeIteratorAttrI const& other)
{
    if (this == &other) return *this;
    AttributeInterface::operator=(other);
    m_attributes = other.m_attributes;
    m_iterator = other.m_iterator;
    m_serial = nextSerial();
    return *this;
}

// The iterator may be gone by now: it is not touched.
NodeIteratorAttrI::~NodeIteratorAttrI() = default;

NodeIteratorAttrI::Attribute const* NodeIteratorAttrI::find(ZELUNUString const& name) const
{
    auto const it = m_attributes.find(name);
    return it == m_attributes.end() ? nullptr : &it->second;
}

double NodeIteratorAttrI::getValue(ZELUNUString const& name)
{
    return valueOf(find(name));
}

std::set<ZELUNUString> NodeIteratorAttrI::getAvailableAttributes()
{
    std::set<ZELUNUString> names;
    for (auto const& entry : m_attributes) names.insert(names.end(), entry.first);
    return names;
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
