#include "zorvsupport/query/XYAxisBox.h"

#include <utility>

#include "zorvsupport/query/ListDriver.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

XYAxisBox::XYAxisBox(ZELUNnPoint<double, 2> p1, ZELUNnPoint<double, 2> p2, double minZ)
{
    set(p1, p2, minZ);
}

XYAxisBox::XYAxisBox(XYAxisBox const& other) = default;

XYAxisBox& XYAxisBox::operator=(XYAxisBox const& other)
{
    Polyhedron::operator=(other);
    set(ZELUNnPoint<double, 2>(other.m_maxX, other.m_maxY), ZELUNnPoint<double, 2>(other.m_minX, other.m_minY),
        other.m_minZ);
    return *this;
}

XYAxisBox::~XYAxisBox() = default;

void XYAxisBox::set(ZELUNnPoint<double, 2> p1, ZELUNnPoint<double, 2> p2, double minZ)
{
    m_maxX = p1[0];
    m_maxY = p1[1];
    m_minX = p2[0];
    m_minY = p2[1];
    m_minZ = minZ;
    if (m_maxX < m_minX) std::swap(m_maxX, m_minX);
    if (m_maxY < m_minY) std::swap(m_maxY, m_minY);
}

ZORV_SHAPE_QUERIES(XYAxisBox)

bool XYAxisBox::interacts(ZELUNnBox<double, 3> const& box) const
{
    double lo[3], hi[3];
    if (!frameBoundsOf(box, lo, hi)) return false;
    // Nothing is compared above: the shape has no upper bound in z.
    return !(hi[0] < m_minX || hi[1] < m_minY || hi[2] < m_minZ || lo[0] > m_maxX || lo[1] > m_maxY);
}

ZELUNType<Polyhedron> XYAxisBox::newCopy() const
{
    return ZELUNType<Polyhedron>(new XYAxisBox(*this));
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
