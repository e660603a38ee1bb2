#include "zorvsupport/query/Polyhedron.h"

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/datavector/TDataVector1D.h"
#include "zorvsupport/query/QueryShortage.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

namespace {

std::vector<double> identity()
{
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

bool isIdentity(std::vector<double> const& m)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (!(m[4 * i + j] == (i == j ? 1.0 : 0.0))) return false;
    return true;
}

// The projective map of one point: sums in the written order, then three
// products with the reciprocal of w (not tested against zero).
inline void projectPoint(double const* m, double* p)
{
    double const x = p[0], y = p[1], z = p[2];
    double const w = m[3] * x + m[7] * y + m[11] * z + m[15];
    double const r = 1.0 / w;
    p[0] = (m[0] * x + m[4] * y + m[8] * z + m[12]) * r;
    p[1] = (m[1] * x + m[5] * y + m[9] * z + m[13]) * r;
    p[2] = (m[2] * x + m[6] * y + m[10] * z + m[14]) * r;
}

ZELUNCoordSystem* copyOf(ZELUNType<ZELUNCoordSystem> const& system)
{
    return system ? new ZELUNCoordSystem(*system) : nullptr;
}

}  // namespace

Polyhedron::Polyhedron() : m_matrix(identity()) {}

Polyhedron::Polyhedron(Polyhedron const& other)
    : m_matrix(other.m_matrix),
      m_coordSystem(copyOf(other.m_coordSystem)),
      m_pointsCoordSystem(copyOf(other.m_pointsCoordSystem)),
      m_identity(other.m_identity)
{
}

Polyhedron& Polyhedron::operator=(Polyhedron const& other)
{
    if (&other == this) return *this;
    setMatrix(other.m_matrix);
    m_coordSystem.reset(copyOf(other.m_coordSystem));
    m_pointsCoordSystem.reset(copyOf(other.m_pointsCoordSystem));
    return *this;
}

Polyhedron::~Polyhedron() = default;

long Polyhedron::setMatrix(std::vector<double> const& values)
{
    if (values.size() != 16) return kErrBadMatrixSize;
    m_matrix = values;
    m_identity = isIdentity(m_matrix);
    return kSuccess;
}

void Polyhedron::setCoordSystem(ZELUNCoordSystem const& system)
{
    m_coordSystem.reset(new ZELUNCoordSystem(system));
}

void Polyhedron::setPointsCoordSystem(ZELUNCoordSystem const& system)
{
    m_pointsCoordSystem.reset(new ZELUNCoordSystem(system));
}

bool Polyhedron::isIdentityMatrix() const
{
    return m_identity;
}

std::vector<double> const& Polyhedron::getMatrix() const
{
    return m_matrix;
}

long Polyhedron::changeCoordSys(ZELUNArray<double>& point) const
{
    if (!m_coordSystem || !m_pointsCoordSystem) return kSuccess;
    ZELUNArray<double> const in(point);
    return m_coordSystem->transform(*m_pointsCoordSystem, in, point);
}

long Polyhedron::changeCoordSys(ZELUNArray<ZELUNArray<double>>& points) const
{
    if (!m_coordSystem || !m_pointsCoordSystem) return kSuccess;
    ZELUNArray<ZELUNArray<double>> const in(points);
    return m_coordSystem->transform(*m_pointsCoordSystem, in, points);
}

long Polyhedron::project(ZELUNArray<double>& point) const
{
    if (point.size() != 3) return kErrBadPointDimension;
    if (!m_identity) projectPoint(m_matrix.data(), point.data());
    return kSuccess;
}

long Polyhedron::project(ZELUNArray<ZELUNArray<double>>& points) const
{
    for (ZELUNArray<double>& p : points)
        if (long st = project(p)) return st;
    return kSuccess;
}

long Polyhedron::transform(ZELUNArray<double>& point) const
{
    if (long st = changeCoordSys(point)) return st;
    return project(point);
}

long Polyhedron::transform(ZELUNArray<ZELUNArray<double>>& points) const
{
    if (long st = changeCoordSys(points)) return st;
    return project(points);
}

long Polyhedron::toFrame(double* xyz, std::size_t n, unsigned char* failed, FrameMode mode) const
{
    long status = kSuccess;
    if (m_coordSystem && m_pointsCoordSystem)
        status = m_coordSystem->transform(*m_pointsCoordSystem, xyz, n, 3, failed);
    else
        for (std::size_t i = 0; i < n; ++i) failed[i] = 0;
    if (mode == FrameMode::kProject && !m_identity)
        for (std::size_t i = 0; i < n; ++i) projectPoint(m_matrix.data(), xyz + 3 * i);
    return status;
}

void Polyhedron::cornersOf(ZELUNnBox<double, 3> const& box, double xyz[24])
{
    // Which corner (0 low, 1 high) each of the 8 takes on x, y and z.
    static constexpr bool kPick[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1, 1, 1},
                                         {0, 1, 1}, {0, 0, 1}, {1, 0, 1}, {0, 1, 0}};
    for (int c = 0; c < 8; ++c)
        for (int a = 0; a < 3; ++a) xyz[3 * c + a] = box[kPick[c][a]][a];
}

bool Polyhedron::frameBoundsOf(ZELUNnBox<double, 3> const& box, double lo[3], double hi[3], FrameMode mode) const
{
    double xyz[24];
    unsigned char failed[8];
    cornersOf(box, xyz);
    if (detail::throwOnShortage(toFrame(xyz, 8, failed, mode))) return false;
    for (int a = 0; a < 3; ++a) lo[a] = hi[a] = xyz[a];
    // Strict comparisons, so a NaN never replaces a bound.
    for (int c = 1; c < 8; ++c)
        for (int a = 0; a < 3; ++a) {
            double const v = xyz[3 * c + a];
            if (v < lo[a]) lo[a] = v;
            if (v > hi[a]) hi[a] = v;
        }
    return true;
}

long Polyhedron::getBBArray(ZELUNArray<ZELUNArray<double>>& corners, ZELUNnBox<double, 3> const& box) const
{
    double xyz[24];
    cornersOf(box, xyz);
    corners.resize(8);
    for (int c = 0; c < 8; ++c) {
        corners[c].resize(3);
        for (int a = 0; a < 3; ++a) corners[c][a] = xyz[3 * c + a];
    }
    return kSuccess;
}

long Polyhedron::getMinMaxValues(ZELUNArray<ZELUNArray<double>> const& points, double& minX, double& minY,
                                 double& minZ, double& maxX, double& maxY, double& maxZ) const
{
    if (points.empty()) return kErrNoPoints;
    ZELUNArray<double> const& first = points[0];
    if (first.size() < 2) return kErrBadPointDimension;
    minX = maxX = first[0];
    minY = maxY = first[1];
    if (first.size() == 3) minZ = maxZ = first[2];
    for (ZELUNArray<double> const& p : points) {
        if (p.size() < 2) return kErrBadPointDimension;
        if (p[0] < minX) minX = p[0];
        if (p[1] < minY) minY = p[1];
        if (p[0] > maxX) maxX = p[0];
        if (p[1] > maxY) maxY = p[1];
        if (p.size() == 3) {
            if (p[2] < minZ) minZ = p[2];
            if (p[2] > maxZ) maxZ = p[2];
        } else {
            minZ = -1.7976931348623157e308;
            maxZ = 1.7976931348623157e308;
        }
    }
    return kSuccess;
}

bool Polyhedron::listByElement(ZELUNArray<ZELUNArray<double>> const& points, bool any, FrameMode mode) const
{
    // Plane mode only converts, so the values are counted here; the
    // projection counts them in the other mode.
    if (mode == FrameMode::kPlane)
        for (ZELUNArray<double> const& p : points)
            if (p.size() < 3) return false;
    ZELUNArray<ZELUNArray<double>> copy(points);
    if (detail::throwOnShortage(changeCoordSys(copy)) || (mode == FrameMode::kProject && project(copy))) return false;
    for (ZELUNArray<double> const& p : copy)
        if (contains(p) == any) return any;
    return !any;
}

bool Polyhedron::contains(ZELUNArray<ZELUNArray<double>> const& points) const
{
    return listByElement(points, false, FrameMode::kProject);
}

bool Polyhedron::interacts(ZELUNArray<ZELUNArray<double>> const& points) const
{
    return listByElement(points, true, FrameMode::kProject);
}

bool Polyhedron::contains(TDataVector1D<TDataType<11>> const& vectors) const
{
    auto const* v = static_cast<ZELUNVec3<double> const*>(vectors.getConstDataPtr());
    for (unsigned i = 0, n = vectors.size(); i < n; ++i)
        if (!contains(v[i])) return false;
    return true;
}

bool Polyhedron::interacts(TDataVector1D<TDataType<11>> const& vectors) const
{
    auto const* v = static_cast<ZELUNVec3<double> const*>(vectors.getConstDataPtr());
    for (unsigned i = 0, n = vectors.size(); i < n; ++i)
        if (contains(v[i])) return true;
    return false;
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
