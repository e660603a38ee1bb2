#include "zorvsupport/query/GeomFilter.h"

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ZELUNAreaGeometry.h"
#include "zorvsupport/platform/ZELUNPointGeometry.h"
#include "zorvsupport/query/QueryShortage.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

namespace {

// The value the geometry predicates are given.
constexpr int kPredicateMode = 3;

}  // namespace

GeomFilter::GeomFilter(ZELUNGeometry const& geometry) : m_geometry(geometry.clone()) {}

GeomFilter::GeomFilter(GeomFilter const& other)
    : PositionFilter(other), m_geometry(other.m_geometry->clone()), m_inputCover(other.m_inputCover)
{
}

GeomFilter& GeomFilter::operator=(GeomFilter const& other)
{
    if (&other == this) return *this;
    m_geometry = other.m_geometry->clone();
    m_inputCover = other.m_inputCover;
    return *this;
}

GeomFilter::~GeomFilter() = default;

ZELUNCover GeomFilter::getCover() const
{
    ZELUNArray<double> const min = m_geometry->getMinPoint();
    ZELUNArray<double> const max = m_geometry->getMaxPoint();
    if (min.size() < 2 || max.size() < 2) return ZELUNCover();
    return ZELUNCover(m_geometry->getCoordSystem(), min[0], min[1], max[0], max[1]);
}

ZELUNCoordSystem const& GeomFilter::inputSystem() const
{
    return m_inputCover.isNull() ? m_geometry->getCoordSystem() : m_inputCover.getCoordSystem();
}

long GeomFilter::setInputCoordSystem(ZELUNCoordSystem const& system) const
{
    long status = kSuccess;
    ZELUNCover converted = getCover().transformTo(system, status);
    // A shortage is no answer about the systems: the filter stays as it was.
    if (status != kErrOutOfMemory) m_inputCover = converted;
    return status;
}

bool GeomFilter::checkPoint(ZELUNnPoint<double, 2> const& point) const
{
    // The position keeps its input coordinates; the predicates convert it.
    // Their other statuses are no answer, but a shortage is no "outside".
    ZELUNPointGeometry const position(inputSystem(), point[0], point[1]);
    long status = kSuccess;
    if (m_geometry->containsPoint(position, kPredicateMode, status)) return true;
    detail::throwOnShortage(status);
    bool const covered = m_geometry->coversPoint(position, kPredicateMode, status);
    detail::throwOnShortage(status);
    return covered;
}

Coverage GeomFilter::checkBox(ZELUNnBox<double, 2> const& box) const
{
    if (outside(m_inputCover, box)) return kNotCovered;
    double const minX = box[false][0], minY = box[false][1], maxX = box[true][0], maxY = box[true][1];
    if (minX == maxX && minY == maxY) return checkPoint(box[false]) ? kFullyCovered : kNotCovered;
    ZELUNArray<ZELUNArray<double>> ring(4);
    double const corners[4][2] = {{minX, minY}, {maxX, minY}, {maxX, maxY}, {minX, maxY}};
    for (int i = 0; i < 4; ++i) {
        ring[i].resize(2);
        ring[i][0] = corners[i][0];
        ring[i][1] = corners[i][1];
    }
    ZELUNAreaGeometry const area(inputSystem(), ring, 4, ZELUN::kRotateCounterClockwise, true, false, false, false,
                                 true);
    // A rectangle that makes no area (zero width, say) may still lie inside:
    // no answer rather than "outside".
    if (area.getStatus()) return kPartiallyCovered;
    long status = kSuccess;
    if (m_geometry->containsArea(area, kPredicateMode, status)) return kFullyCovered;
    detail::throwOnShortage(status);
    if (m_geometry->isDisjointFromArea(area, kPredicateMode, status)) return kNotCovered;
    detail::throwOnShortage(status);
    return kPartiallyCovered;
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
