#include "zorvsupport/query/AxisBox.h"

#include <utility>

#include "zorvsupport/query/ListDriver.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

AxisBox::AxisBox(ZELUNnPoint<double, 3> const& p1, ZELUNnPoint<double, 3> const& p2)
{
    set(p1, p2);
}

AxisBox::AxisBox(AxisBox const& other) = default;

AxisBox& AxisBox::operator=(AxisBox const& other)
{
    Polyhedron::operator=(other);
    set(ZELUNnPoint<double, 3>(other.m_maxX, other.m_maxY, other.m_maxZ),
        ZELUNnPoint<double, 3>(other.m_minX, other.m_minY, other.m_minZ));
    return *this;
}

AxisBox::~AxisBox() = default;

void AxisBox::set(ZELUNnPoint<double, 3> const& p1, ZELUNnPoint<double, 3> const& p2)
{
    m_maxX = p1[0];
    m_maxY = p1[1];
    m_maxZ = p1[2];
    m_minX = p2[0];
    m_minY = p2[1];
    m_minZ = p2[2];
    if (m_maxX < m_minX) std::swap(m_maxX, m_minX);
    if (m_maxY < m_minY) std::swap(m_maxY, m_minY);
    if (m_maxZ < m_minZ) std::swap(m_maxZ, m_minZ);
}

ZORV_SHAPE_QUERIES(AxisBox)

bool AxisBox::interacts(ZELUNnBox<double, 3> const& box) const
{
    double lo[3], hi[3];
    if (!frameBoundsOf(box, lo, hi)) return false;
    return !(hi[0] < m_minX || hi[1] < m_minY || hi[2] < m_minZ || lo[0] > m_maxX || lo[1] > m_maxY ||
             lo[2] > m_maxZ);
}

ZELUNType<Polyhedron> AxisBox::newCopy() const
{
    return ZELUNType<Polyhedron>(new AxisBox(*this));
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
