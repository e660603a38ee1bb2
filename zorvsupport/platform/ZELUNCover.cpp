#include "zorvsupport/platform/ZELUNCover.h"

#include <cmath>
#include <new>

#include "zorvsupport/StatusCodes.h"

using ZORV_3_13_0_::DataSet::kErrCoordSystemInvalid;
using ZORV_3_13_0_::DataSet::kErrCoverInvalid;
using ZORV_3_13_0_::DataSet::kErrOutOfMemory;
using ZORV_3_13_0_::DataSet::kSuccess;

ZELUNCover::ZELUNCover() = default;

ZELUNCover::ZELUNCover(ZELUNCoordSystem const& system, double minX, double minY, double maxX, double maxY)
    : m_system(system), m_minX(minX), m_minY(minY), m_maxX(maxX), m_maxY(maxY), m_null(false)
{
    // Finite bounds can still be a width or height that overflows, which no
    // pixel mapping can use.
    bool const boundsOk = std::isfinite(minX) && std::isfinite(minY) && std::isfinite(maxX) && std::isfinite(maxY) &&
                          minX <= maxX && minY <= maxY && std::isfinite(maxX - minX) && std::isfinite(maxY - minY);
    if (!system.isValid())
        m_status = kErrCoordSystemInvalid;
    else if (!boundsOk)
        m_status = kErrCoverInvalid;
}

ZELUNCover::ZELUNCover(ZELUNCover const& other) = default;
ZELUNCover& ZELUNCover::operator=(ZELUNCover const& other) = default;
ZELUNCover::~ZELUNCover() = default;

ZELUNCover ZELUNCover::transformTo(ZELUNCoordSystem const& target, long& status) const
try {
    if (m_null) {
        status = kErrCoverInvalid;
        return ZELUNCover();
    }
    if (m_status) {
        status = m_status;
        return ZELUNCover();
    }
    if (!target.isValid()) {
        status = kErrCoordSystemInvalid;
        return ZELUNCover();
    }
    if (m_system.isEqual(target, true)) {
        status = kSuccess;
        return ZELUNCover(target, m_minX, m_minY, m_maxX, m_maxY);
    }
    double bounds[4] = {m_minX, m_minY, m_maxX, m_maxY};
    status = m_system.transformBounds(target, bounds);
    if (status) return ZELUNCover();
    // Bounds carried far enough apart can make a width or height that is not
    // finite: the call then fails with that cover's status instead of handing
    // back an invalid cover as a success.
    ZELUNCover result(target, bounds[0], bounds[1], bounds[2], bounds[3]);
    status = result.status();
    return status ? ZELUNCover() : result;
} catch (std::bad_alloc const&) {
    status = kErrOutOfMemory;
    return ZELUNCover();
}
