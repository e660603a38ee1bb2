#include "zorvsupport/surface/SoundingSource.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/surface/DesignatedManager.h"
#include "zorvsupport/surface/ExpressionEvaluator.h"
#include "zorvsupport/surface/GeoBandSet.h"
#include "zorvsupport/surface/NodeIterator.h"
#include "zorvsupport/surface/NodeIteratorAttrI.h"
#include "zorvsupport/surface/StateCheckNodeIterator.h"
#include "zorvsupport/types/Band.h"
#include "zorvsupport/types/BandType.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

namespace {

constexpr unsigned kNoBand = 0xFFFFFFFFu;

// A failure gives the null cover: no restriction. A shortage is no failure
// of the cover: the construction has no status, so it throws.
ZELUNCover restrictedTo(ZELUNCover const* cover, ZELUNCoordSystem const& system)
{
    if (!cover) return ZELUNCover();
    long status = 0;
    ZELUNCover converted = cover->transformTo(system, status);
    if (status == kErrOutOfMemory) throw std::bad_alloc();
    return converted;
}

}  // namespace

SoundingSource::SoundingSource(GeoBandSet& surface, ZELUNUString const& activeAttribute, eSourceSelection selection,
                               ZELUNCover const* restrictCover, bool useIndex)
    : ZELUNSoundingSource(surface.getCoordSystem()),
      m_surface(surface),
      m_activeAttribute(activeAttribute),
      m_activeBandId(surface.getBandID(activeAttribute)),
      m_restrictCover(restrictedTo(restrictCover, getCoordSystem())),
      m_useIndex(useIndex),
      m_selection(selection)
{
}

SoundingSource::SoundingSource(SoundingSource const& other)
    : ZELUNSoundingSource(other),
      m_surface(other.m_surface),
      m_activeAttribute(other.m_activeAttribute),
      m_activeBandId(other.m_activeBandId),
      m_filterExpression(other.m_filterExpression),
      m_filterDirection(other.m_filterDirection),
      m_restrictCover(other.m_restrictCover),
      m_useIndex(other.m_useIndex),
      m_depthDirection(other.m_depthDirection),
      m_flip(other.m_flip),
      m_selection(other.m_selection),
      m_stateChecks(other.m_stateChecks)
{
}

SoundingSource::~SoundingSource() = default;

ZLTIN_3_13_0::ZELUNSoundingSource* SoundingSource::newCopy() const
{
    return new SoundingSource(*this);
}

unsigned long SoundingSource::getNumSoundingGroups() const
{
    return m_selection == kSelectAllAndDesignated ? 2 : 1;
}

void SoundingSource::setFilterExpression(ZELUNUString const& expression, ZELUNUnit::LengthDirection direction)
{
    m_filterExpression = expression;
    m_filterDirection = direction;
}

void SoundingSource::setStateCheck(std::map<unsigned, bool> const& stateChecks)
{
    m_stateChecks = stateChecks;
}

void SoundingSource::setDepthDirection(ZELUNUnit::LengthDirection direction)
{
    m_depthDirection = direction;
    Band const* const band = m_surface.getBand(m_activeBandId);
    m_flip = band && ZELUNUnit::isOpposite(band->getBandType().getUnitDirection(), direction);
}

ZELUNnBox<double, 2> SoundingSource::getCover() const
{
    ZELUNCover const c = m_surface.getCover();
    double minX = c.getMinX(), minY = c.getMinY(), maxX = c.getMaxX(), maxY = c.getMaxY();
    if (!m_restrictCover.isNull()) {
        minX = std::max(minX, m_restrictCover.getMinX());
        minY = std::max(minY, m_restrictCover.getMinY());
        maxX = std::min(maxX, m_restrictCover.getMaxX());
        maxY = std::min(maxY, m_restrictCover.getMaxY());
    }
    return ZELUNnBox<double, 2>(ZELUNnPoint<double, 2>(minX, minY), ZELUNnPoint<double, 2>(maxX, maxY));
}

ZELUNCover SoundingSource::queryArea(ZELUNnBox<double, 2> const& box) const
{
    return ZELUNCover(m_surface.getCoordSystem(), box.low[0], box.low[1], box.high[0], box.high[1]);
}

NodeIterator* SoundingSource::query(bool designated, ZELUNnBox<double, 2> const& box,
                                    std::vector<unsigned> const& bandIds, bool fetchValues, long& status) const
{
    if (!designated) return m_surface.getNodeIterator(queryArea(box), bandIds, fetchValues, status, nullptr);
    if (!m_surface.hasDesignated()) return nullptr;
    boost::shared_ptr<DesignatedManager> const manager = m_surface.getDesignatedManager();
    return manager ? manager->getIterator(queryArea(box), bandIds, fetchValues, status, nullptr) : nullptr;
}

void SoundingSource::applyStateChecks(NodeIterator& iterator) const
{
    if (auto* const checked = dynamic_cast<StateCheckNodeIterator*>(&iterator))
        for (auto const& check : m_stateChecks) checked->addCheck(check.first, check.second);
}

unsigned long SoundingSource::getSoundingCount(ZELUNnBox<double, 2> const& box, long& status) const
{
    status = 0;
    std::vector<unsigned> bandIds{m_activeBandId};
    bool const filtered = !m_filterExpression.isEmpty();
    if (filtered) {
        ExpressionEvaluator names(ExpressionEvaluator::kEvalBoolean);
        for (ZELUNUString const& name : names.getRequiredAttributes(m_filterExpression))
            bandIds.push_back(m_surface.getBandID(name));
    }
    // With a filter the values it reads are fetched.
    std::unique_ptr<NodeIterator> const iterator(
        query(m_selection == kSelectDesignated, box, bandIds, filtered, status));
    if (!iterator) return 0;
    applyStateChecks(*iterator);

    unsigned long count = 0;
    if (!filtered) {
        for (; !iterator->done(); iterator->next()) ++count;
        return count;
    }
    NodeIteratorAttrI attributes(*iterator, m_filterDirection);
    ExpressionEvaluator evaluator(ExpressionEvaluator::kEvalBoolean);
    long const filterStatus = evaluator.set(m_filterExpression, attributes);
    if (status == 0) status = filterStatus;  // the host's failure comes first
    if (filterStatus != 0) return 0;
    for (; !iterator->done(); iterator->next()) {
        bool pass = false;
        evaluator.evaluate(attributes, pass);
        count += pass;
    }
    return count;
}

long SoundingSource::getSoundings(unsigned long const& group, ZELUNnBox<double, 2> const& box,
                                  ZLTIN_3_13_0::ZELUNSuppressedSoundings::SoundingSet& set) const
{
    std::vector<unsigned> bandIds{m_activeBandId};
    unsigned indexId = kNoBand;
    if (m_useIndex) {
        indexId = m_surface.getBandID(kIndexBandName);
        if (indexId == kNoBand) return kErrNoIndexBand;
        bandIds.push_back(indexId);
    }
    bool const filtered = !m_filterExpression.isEmpty();
    if (filtered) {
        ExpressionEvaluator names(ExpressionEvaluator::kEvalBoolean);
        for (ZELUNUString const& name : names.getRequiredAttributes(m_filterExpression)) {
            unsigned const id = m_surface.getBandID(name);
            if (id != m_activeBandId) bandIds.push_back(id);
        }
    }
    bool const designated =
        m_selection != kSelectAllNodes && !(m_selection == kSelectAllAndDesignated && group == 1);
    long status = 0;
    std::unique_ptr<NodeIterator> const iterator(query(designated, box, bandIds, true, status));
    if (status != 0) return status;
    if (!iterator) return 0;
    applyStateChecks(*iterator);

    if (filtered) {
        m_attributes = std::make_unique<NodeIteratorAttrI>(*iterator, m_filterDirection);
        m_evaluator = std::make_unique<ExpressionEvaluator>(ExpressionEvaluator::kEvalBoolean);
        long const filterStatus = m_evaluator->set(m_filterExpression, *m_attributes);
        if (filterStatus != 0) return filterStatus;
    }
    ExpressionEvaluator* const evaluator = filtered ? m_evaluator.get() : nullptr;
    NodeIteratorAttrI* const attributes = m_attributes.get();
    ZELUNScaler const& scaler = set.getScaler();
    std::vector<ZLTIN_3_13_0::ZELUNSuppressedSoundings::SoundingRecord>& records = set.getRecords();
    std::size_t n = 0;
    for (; !iterator->done(); iterator->next()) {
        if (evaluator) {
            bool pass = false;
            evaluator->evaluate(*attributes, pass);
            if (!pass) continue;
        }
        ZELUNVec3<double> position(0.0, 0.0, std::numeric_limits<double>::infinity());
        if (iterator->getPosition(position, m_activeBandId) != 0) continue;
        double z = 0.0;
        long const depthStatus = iterator->getAsDouble(m_activeBandId, z);
        if (depthStatus != 0) return depthStatus;
        if (m_flip) z *= -1.0;
        std::uint64_t id = group;
        if (m_useIndex) {
            unsigned long long index = 0;
            long const indexStatus = iterator->getAttribute(indexId, TDataType<DataType::kUInt64>(), index);
            if (indexStatus != 0) return indexStatus;
            id = index;
        }
        long dx = 0, dy = 0, dz = 0;
        scaler.userToDisk(position.x, position.y, z, dx, dy, dz);  // saturates; the status is not needed
        ZLTIN_3_13_0::ZELUNSuppressedSoundings::SoundingRecord const record{
            static_cast<std::int32_t>(dx), static_cast<std::int32_t>(dy), static_cast<std::int32_t>(dz), id};
        // Records are written in order from 0, so a record beyond the vector
        // is always the next one.
        if (n < records.size())
            records[n] = record;
        else
            records.push_back(record);
        ++n;
    }
    return 0;
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
