#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNVector3D.h"

namespace ZELUNCompGeom {

// The plane a·x + b·y + c·z = d, with normal (a, b, c) and offset d. Its
// half-space is where a·x + b·y + c·z − d >= 0. The normal is not
// normalised: the plane holds what it is given.
class ZORV_EXPORT ZELUNPlane {
public:
    ZELUNPlane() = default;
    ZELUNPlane(ZELUNVector3D const& normal, double offset) : m_normal(normal), m_offset(offset) {}
    ZELUNPlane(double a, double b, double c, double d) : m_normal(a, b, c), m_offset(d) {}
    ZELUNPlane(ZELUNPlane const& other) = default;
    ZELUNPlane& operator=(ZELUNPlane const& other) = default;
    virtual ~ZELUNPlane();

    ZELUNVector3D const& getNormal() const { return m_normal; }
    void setNormal(ZELUNVector3D const& normal) { m_normal = normal; }
    double getOffset() const { return m_offset; }
    void setOffset(double offset) { m_offset = offset; }

private:
    ZELUNVector3D m_normal;
    double m_offset = 0.0;
};

}  // namespace ZELUNCompGeom
