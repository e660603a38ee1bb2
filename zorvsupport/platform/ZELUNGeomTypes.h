#pragma once

namespace HPGEOM_3_13_0 {

// Coordinates per point: x, y, or x, y, z.
enum ZELUNGeomCoordDimType : int { kGeomCoord2D = 0, kGeomCoord3D = 1 };
// How a curve runs between its vertices: straight segments only.
enum ZELUNGeomCurveInterpType : int { kGeomCurveLinear = 1 };
// How a surface spans its boundary: planar only.
enum ZELUNGeomSurfaceInterpType : int { kGeomSurfacePlanar = 1 };

}  // namespace HPGEOM_3_13_0
