#include "zorvsupport/query/CoverFilter.h"

#include <cmath>
#include <new>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/ThreadSlot.h"
#include "zorvsupport/query/QueryShortage.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

namespace {

// One 2-value point per thread, converted in place: no allocation per
// position.
ZELUNThread::ThreadSlot<ZELUNArray<double>> gPoint;

ZELUNArray<double>& threadPoint()
{
    ZELUNArray<double>* xy = gPoint.get();
    if (!xy) throw std::bad_alloc();
    xy->resize(2);
    return *xy;
}

}  // namespace

CoverFilter::CoverFilter(ZELUNCover const& cover) : m_cover(cover), m_inputCover(cover)
{
    decideSameSystem();
}

CoverFilter::CoverFilter(CoverFilter const& other) = default;
CoverFilter& CoverFilter::operator=(CoverFilter const& other) = default;
CoverFilter::~CoverFilter() = default;

ZELUNCover CoverFilter::getCover() const
{
    return m_cover;
}

ZELUNCoordSystem const& CoverFilter::inputSystem() const
{
    return m_inputCover.isNull() ? m_cover.getCoordSystem() : m_inputCover.getCoordSystem();
}

void CoverFilter::decideSameSystem() const
{
    ZELUNCoordSystem const& own = m_cover.getCoordSystem();
    m_sameSystem = own.isValid() && inputSystem().isEqual(own, true);
}

long CoverFilter::setInputCoordSystem(ZELUNCoordSystem const& system) const
{
    long status = kSuccess;
    ZELUNCover converted = m_cover.transformTo(system, status);
    // A shortage is no answer about the systems: the filter stays as it was.
    if (status == kErrOutOfMemory) return status;
    m_inputCover = converted;
    decideSameSystem();
    return status;
}

Coverage CoverFilter::checkBox(ZELUNnBox<double, 2> const& box) const
{
    if (outside(m_inputCover, box)) return kNotCovered;
    ZELUNCoordSystem const& input = inputSystem();
    double minX = box[false][0], minY = box[false][1], maxX = box[true][0], maxY = box[true][1];
    if (!input.isEqual(m_cover.getCoordSystem(), true)) {
        long status = kSuccess;
        ZELUNCover const converted =
            ZELUNCover(input, minX, minY, maxX, maxY).transformTo(m_cover.getCoordSystem(), status);
        if (detail::throwOnShortage(status)) return kPartiallyCovered;
        minX = converted.getMinX();
        minY = converted.getMinY();
        maxX = converted.getMaxX();
        maxY = converted.getMaxY();
    }
    if (minX >= m_cover.getMinX() && minY >= m_cover.getMinY() && maxX <= m_cover.getMaxX() &&
        maxY <= m_cover.getMaxY())
        return kFullyCovered;
    if (maxX < m_cover.getMinX() || maxY < m_cover.getMinY() || minX > m_cover.getMaxX() ||
        minY > m_cover.getMaxY())
        return kNotCovered;
    return kPartiallyCovered;
}

bool CoverFilter::checkPoint(ZELUNnPoint<double, 2> const& point) const
{
    double x = point[0], y = point[1];
    if (outside(m_inputCover, x, y)) return false;
    if (m_sameSystem) {
        // The conversion would be the identity, failing only where a value
        // is not finite.
        if (!std::isfinite(x) || !std::isfinite(y)) return false;
    } else {
        ZELUNArray<double>& xy = threadPoint();
        xy[0] = x;
        xy[1] = y;
        if (detail::throwOnShortage(inputSystem().transform(m_cover.getCoordSystem(), xy, xy))) return false;
        x = xy[0];
        y = xy[1];
    }
    return m_cover.getMinX() <= x && x <= m_cover.getMaxX() && m_cover.getMinY() <= y && y <= m_cover.getMaxY();
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
