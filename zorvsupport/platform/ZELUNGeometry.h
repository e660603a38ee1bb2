#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNArray.h"
#include "zorvsupport/platform/ZELUNCoordSystem.h"
#include "zorvsupport/platform/ZELUNType.h"

class ZELUNPointGeometry;
class ZELUNAreaGeometry;

namespace ZELUN {
// Vertex order asked of a new area; geometries keep their vertices as given.
enum ROTATE_DIR : int { kRotateAsGiven = 0, kRotateClockwise = 1, kRotateCounterClockwise = 2 };
}  // namespace ZELUN

// A 2-D geometry in a coordinate system. The predicates first bring the other
// geometry into this one's system (unless the two are equivalent) and answer
// false on any failure, with `status` set to the failing geometry's status,
// the coordinate status, kErrOutOfMemory (memory ran out, the engine's
// included) or kErrGeomEngineFailed; otherwise `status` is 0. They throw
// nothing.
// The int argument is accepted for the callers' sake and has no effect.
// Geometries are immutable: const calls may run on many threads at once.
class ZORV_EXPORT ZELUNGeometry {
public:
    virtual ~ZELUNGeometry();

    virtual ZELUNType<ZELUNGeometry> clone() const = 0;

    // 0 when the geometry was built from its points.
    long getStatus() const { return m_status; }
    ZELUNCoordSystem const& getCoordSystem() const { return m_system; }

    // x, then y of the extent's corners; NaN when the geometry was not built.
    virtual ZELUNArray<double> getMinPoint() const = 0;
    virtual ZELUNArray<double> getMaxPoint() const = 0;

    // The point lies in the interior (contains) or in the interior or on
    // the boundary (covers).
    virtual bool containsPoint(ZELUNPointGeometry const& point, int mode, long& status) const = 0;
    virtual bool coversPoint(ZELUNPointGeometry const& point, int mode, long& status) const = 0;
    // No point of the area lies outside this geometry (boundary contact
    // allowed); and the two share no point, boundaries included.
    virtual bool containsArea(ZELUNAreaGeometry const& area, int mode, long& status) const = 0;
    virtual bool isDisjointFromArea(ZELUNAreaGeometry const& area, int mode, long& status) const = 0;

protected:
    ZELUNGeometry(ZELUNCoordSystem const& system, long status);
    ZELUNGeometry(ZELUNGeometry const& other);
    ZELUNGeometry& operator=(ZELUNGeometry const& other);

private:
    ZELUNCoordSystem m_system;
    long m_status;
};
