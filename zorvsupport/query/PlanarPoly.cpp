#include "zorvsupport/query/PlanarPoly.h"

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/query/ListDriver.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

using ZELUNCompGeom::ZELUNPlane;
using ZELUNCompGeom::ZELUNVector3D;

PlanarPoly::PlanarPoly(std::vector<ZELUNPlane> const& planes) : m_planes(planes), m_transformed(planes)
{
    quadsChanged();
}

PlanarPoly::PlanarPoly(PlanarPoly const& other) = default;

PlanarPoly& PlanarPoly::operator=(PlanarPoly const& other)
{
    if (&other == this) return *this;
    Polyhedron::operator=(other);
    m_planes = other.m_planes;
    m_transformed = other.m_transformed;
    quadsChanged();
    return *this;
}

PlanarPoly::~PlanarPoly() = default;

void PlanarPoly::addPlane(ZELUNPlane const& plane)
{
    ZELUNPlane out;
    transformPlane(plane, out);
    m_planes.push_back(plane);
    m_transformed.push_back(out);
    quadsChanged();
}

void PlanarPoly::set(std::vector<ZELUNPlane> const& planes)
{
    m_planes = planes;
    transformAll();
}

void PlanarPoly::clear()
{
    m_planes.clear();
    m_transformed.clear();
    m_quads.clear();
}

long PlanarPoly::setMatrix(std::vector<double> const& values)
{
    if (long st = Polyhedron::setMatrix(values)) return st;
    transformAll();
    return kSuccess;
}

long PlanarPoly::transformPlane(ZELUNPlane const& in, ZELUNPlane& out) const
{
    std::vector<double> const& m = getMatrix();
    double const a = in.getNormal().x, b = in.getNormal().y, c = in.getNormal().z, d = in.getOffset();
    ZELUNVector3D normal(m[0] * a + m[4] * b + m[8] * c + m[12] * d, m[1] * a + m[5] * b + m[9] * c + m[13] * d,
                         m[2] * a + m[6] * b + m[10] * c + m[14] * d);
    double const w = m[3] * a + m[7] * b + m[11] * c + m[15] * d;
    out.setOffset(w / normal.length());
    normal.unitize(1e-12);
    out.setNormal(normal);
    return kSuccess;
}

void PlanarPoly::transformAll()
{
    m_transformed.resize(m_planes.size());
    for (std::size_t i = 0; i < m_planes.size(); ++i) transformPlane(m_planes[i], m_transformed[i]);
    quadsChanged();
}

void PlanarPoly::quadsChanged()
{
    std::size_t const pairs = (m_transformed.size() + 1) / 2;
    m_quads.assign(8 * pairs, 0.0);
    for (std::size_t j = 0; j < m_transformed.size(); ++j) {
        ZELUNVector3D const& n = m_transformed[j].getNormal();
        double* q = m_quads.data() + 8 * (j / 2) + j % 2;
        q[0] = n.x;
        q[2] = n.y;
        q[4] = n.z;
        q[6] = m_transformed[j].getOffset();
    }
}

ZORV_SHAPE_QUERIES_IN(PlanarPoly, FrameMode::kPlane)

bool PlanarPoly::interacts(ZELUNnBox<double, 3> const& box) const
{
    double lo[3], hi[3];
    if (!frameBoundsOf(box, lo, hi, FrameMode::kPlane)) return false;
    // Per plane, the corner of the bounds farthest along its normal.
    for (std::size_t j = 0; j < m_transformed.size(); ++j) {
        double const* q = m_quads.data() + 8 * (j / 2) + j % 2;
        double const x = q[0] > 0.0 ? hi[0] : lo[0];
        double const y = q[2] > 0.0 ? hi[1] : lo[1];
        double const z = q[4] > 0.0 ? hi[2] : lo[2];
        if (((q[0] * x + q[2] * y) + q[4] * z) - q[6] < 0.0) return false;
    }
    return true;
}

ZELUNType<Polyhedron> PlanarPoly::newCopy() const
{
    return ZELUNType<Polyhedron>(new PlanarPoly(*this));
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
