#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNCoordSystem.h"

// A rectangle {minX, minY, maxX, maxY} in a coordinate system. Bounds are
// kept exactly as given. status(): 0, kErrCoordSystemInvalid for an invalid
// system, kErrCoverInvalid for a non-finite bound, min > max, or a width
// (maxX - minX) or height (maxY - minY) that is not finite (a zero extent is
// valid). The null cover has status 0, bounds 0 and the undefined system.
class ZORV_EXPORT ZELUNCover {
public:
    ZELUNCover();
    ZELUNCover(ZELUNCoordSystem const& system, double minX, double minY, double maxX, double maxY);
    ZELUNCover(ZELUNCover const& other);
    ZELUNCover& operator=(ZELUNCover const& other);
    ~ZELUNCover();

    long status() const { return m_status; }
    bool isNull() const { return m_null; }
    ZELUNCoordSystem const& getCoordSystem() const { return m_system; }
    double getMinX() const { return m_minX; }
    double getMinY() const { return m_minY; }
    double getMaxX() const { return m_maxX; }
    double getMaxY() const { return m_maxY; }
    double getWidth() const { return m_maxX - m_minX; }
    double getHeight() const { return m_maxY - m_minY; }

    // The smallest box in `target` holding this cover's image (edges sampled
    // densely). A target equivalent to the cover's system gives the same
    // bounds exactly. A geographic target crossed by the antimeridian gives
    // one box whose maxX lies beyond the half turn. Failures (kErrCoverInvalid
    // for the null cover or for carried bounds whose width or height is not
    // finite, this cover's own status, kErrCoordSystemInvalid,
    // kErrCoordTransformUnavailable, kErrCoordTransformFailed, and
    // kErrOutOfMemory when a resource failed, as ZELUNCoordSystem::transform
    // tells them) give the null cover; `status` is always written.
    ZELUNCover transformTo(ZELUNCoordSystem const& target, long& status) const;

private:
    ZELUNCoordSystem m_system;
    double m_minX = 0.0;
    double m_minY = 0.0;
    double m_maxX = 0.0;
    double m_maxY = 0.0;
    long m_status = 0;
    bool m_null = true;
};
