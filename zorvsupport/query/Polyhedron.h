#pragma once

#include <cstddef>
#include <vector>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNArray.h"
#include "zorvsupport/platform/ZELUNCoordSystem.h"
#include "zorvsupport/platform/ZELUNType.h"
#include "zorvsupport/platform/ZELUNVec3.h"
#include "zorvsupport/platform/ZELUNnBox.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

template <int k>
struct TDataType;
template <class T>
class TDataVector1D;

// Abstract query shape: whether points, point lists, 3-vector lists and
// boxes lie inside it (contains) or touch it (interacts). Positions are first
// converted from the system given to setCoordSystem into the one given to
// setPointsCoordSystem (while both are set), then through the projective
// 4x4 matrix (column-major; identity by default). A failed conversion makes
// a query false; a query that runs out of memory, in a conversion or in the
// geometry engine, throws std::bad_alloc instead of answering. Queries are
// const and may run on many threads at once.
//
// Stack: a query of one position (a 3-vector) takes under 1 KiB of the
// caller's stack; a point list, a 3-vector list or a box under 8 KiB
// (positions to convert go in batches of 128 on the stack, or of 1024 on
// the heap for longer lists). The coordinate engine's own frames come on top
// while positions are converted between two systems, and a host's subclass
// adds what its own tests take.
class ZORV_EXPORT Polyhedron {
protected:
    // The shape's own test of one point (x, y, z) already in its frame.
    virtual bool contains(ZELUNArray<double> const& point) const = 0;

public:
    virtual bool contains(ZELUNArray<ZELUNArray<double>> const& points) const;
    virtual bool contains(ZELUNnBox<double, 3> const& box) const = 0;
    virtual bool contains(TDataVector1D<TDataType<11>> const& vectors) const;
    virtual bool contains(ZELUNVec3<double> const& vector) const = 0;
    virtual bool interacts(ZELUNnBox<double, 3> const& box) const = 0;
    virtual bool interacts(ZELUNArray<ZELUNArray<double>> const& points) const;
    virtual bool interacts(TDataVector1D<TDataType<11>> const& vectors) const;
    // kErrBadMatrixSize unless exactly 16 values; the old matrix then stays.
    virtual long setMatrix(std::vector<double> const& values);
    virtual void setCoordSystem(ZELUNCoordSystem const& system);
    virtual void setPointsCoordSystem(ZELUNCoordSystem const& system);
    virtual ZELUNType<Polyhedron> newCopy() const = 0;
    virtual ~Polyhedron();

protected:
    Polyhedron();
    Polyhedron(Polyhedron const& other);
    Polyhedron& operator=(Polyhedron const& other);

    long changeCoordSys(ZELUNArray<double>& point) const;
    long changeCoordSys(ZELUNArray<ZELUNArray<double>>& points) const;
    long project(ZELUNArray<double>& point) const;
    long project(ZELUNArray<ZELUNArray<double>>& points) const;
    long transform(ZELUNArray<double>& point) const;
    long transform(ZELUNArray<ZELUNArray<double>>& points) const;
    long getBBArray(ZELUNArray<ZELUNArray<double>>& corners, ZELUNnBox<double, 3> const& box) const;
    long getMinMaxValues(ZELUNArray<ZELUNArray<double>> const& points, double& minX, double& minY, double& minZ,
                         double& maxX, double& maxY, double& maxZ) const;
    bool isIdentityMatrix() const;
    std::vector<double> const& getMatrix() const;

    // How the list driver brings positions into the frame: kProject converts
    // and projects (points must hold exactly 3 values); kPlane only converts
    // (points must hold at least x, y and z).
    enum class FrameMode { kProject, kPlane };

    // Converts (and in kProject mode projects) n contiguous points x, y, z
    // in place. failed[i] is set to 1 for a point whose conversion failed,
    // else 0; returns the first failing status, or 0.
    long toFrame(double* xyz, std::size_t n, unsigned char* failed, FrameMode mode) const;
    // Whether toFrame would leave every point as it is.
    bool framesAsGiven(FrameMode mode) const
    {
        return !(m_coordSystem && m_pointsCoordSystem) && (mode == FrameMode::kPlane || m_identity);
    }

    // The 8 corners of a box in getBBArray's order, x, y, z each.
    static void cornersOf(ZELUNnBox<double, 3> const& box, double xyz[24]);
    // The bounds of a box's corners in the frame (as getMinMaxValues finds
    // them); false when their conversion failed.
    bool frameBoundsOf(ZELUNnBox<double, 3> const& box, double lo[3], double hi[3],
                       FrameMode mode = FrameMode::kProject) const;
    // The list rule element by element through the virtual per-point test:
    // with `any` the first point inside answers true, else the first point
    // outside answers false. A point without the values the mode needs, or
    // a failed conversion, makes the answer false.
    bool listByElement(ZELUNArray<ZELUNArray<double>> const& points, bool any, FrameMode mode) const;

private:
    // The library's own list driver of its shapes (not installed).
    friend struct ShapeQueries;

    std::vector<double> m_matrix;
    ZELUNType<ZELUNCoordSystem> m_coordSystem;
    ZELUNType<ZELUNCoordSystem> m_pointsCoordSystem;
    bool m_identity = true;  // isIdentityMatrix, kept with the matrix
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
