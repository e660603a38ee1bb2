#pragma once

// Building high-precision geometry objects for the tests: factories, rings
// from (x, y) lists, surfaces with holes, and a surface of our own kind that
// records the points it is asked about.

#include <initializer_list>
#include <limits>
#include <vector>

#include <boost/make_shared.hpp>

#include "support/Points.h"
#include "zorvsupport/platform/ZELUNCoordSequence.h"
#include "zorvsupport/platform/ZELUNGMFactory.h"
#include "zorvsupport/platform/ZELUNGMMultiPoint.h"
#include "zorvsupport/platform/ZELUNGMMultiSurface.h"
#include "zorvsupport/platform/ZELUNGMOrientableSurface.h"

namespace testsupport {

namespace hp = HPGEOM_3_13_0;
using XYList = std::initializer_list<std::initializer_list<double>>;

inline boost::shared_ptr<hp::ZELUNGMFactory const> hpFactory(char const* system = "EPSG:32633")
{
    return hp::ZELUNGMFactory::createFactory(boost::make_shared<ZELUNCoordSystem const>(system), hp::kGeomCoord2D);
}

inline boost::shared_ptr<hp::ZELUNCoordSequence> sequence(ZELUNArray<ZELUNArray<double>> const& points,
                                                          bool close = true)
{
    auto s = boost::make_shared<hp::ZELUNCoordSequence>();
    s->setCoords(points, hp::kGeomCoord2D, close);
    return s;
}

// The ring through the points, closed; null when the factory refuses it.
inline boost::shared_ptr<hp::ZELUNGMOrientableRing const> ring(hp::ZELUNGMFactory const& f,
                                                               ZELUNArray<ZELUNArray<double>> const& points)
{
    long status = 0;
    return f.createRing(sequence(points), hp::kGeomCurveLinear, status, false, 0);
}

inline boost::shared_ptr<hp::ZELUNGMOrientableSurface const> surface(
    hp::ZELUNGMFactory const& f, ZELUNArray<ZELUNArray<double>> const& outer,
    std::vector<ZELUNArray<ZELUNArray<double>>> const& holes = {})
{
    auto inner = boost::make_shared<std::vector<boost::shared_ptr<hp::ZELUNGMOrientableRing const>>>();
    for (auto const& h : holes) inner->push_back(ring(f, h));
    long status = 0;
    auto boundary = f.createSurfaceBoundary(ring(f, outer), inner, status, false, 0);
    return f.createSurface(boundary, hp::kGeomSurfacePlanar, status, false, 0);
}

inline ZELUNArray<ZELUNArray<double>> rect(double x0, double y0, double x1, double y1)
{
    return pointList({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

// The square (0, 0)-(10, 10) with the hole (4, 4)-(6, 6).
inline boost::shared_ptr<hp::ZELUNGMOrientableSurface const> squareWithHole(hp::ZELUNGMFactory const& f)
{
    return surface(f, rect(0, 0, 10, 10), {rect(4, 4, 6, 6)});
}

// A generic surface (no engine form) that records the points it is asked
// about and answers `answer`.
class SpySurface : public hp::ZELUNGMGenericSurface {
public:
    explicit SpySurface(boost::shared_ptr<hp::ZELUNGMFactory const> f, bool answer = true)
        : hp::ZELUNGMGenericSurface(std::move(f)), m_answer(answer)
    {
    }
    bool containsPoint(ZELUNVec3<double> const& point, long& status) const override
    {
        asked.push_back(point);
        status = 0;
        return m_answer;
    }
    mutable std::vector<ZELUNVec3<double>> asked;

private:
    bool m_answer;
};

}  // namespace testsupport
