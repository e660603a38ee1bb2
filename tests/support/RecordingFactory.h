#pragma once

// A geometry factory that counts and records the calls made on it, passes
// them to the real factory, and can refuse the n-th point it is offered.
// Made with make(), since factories live in shared pointers.

#include <vector>

#include <boost/make_shared.hpp>

#include "zorvsupport/platform/ZELUNGMFactory.h"
#include "zorvsupport/platform/ZELUNGMMultiPoint.h"
#include "zorvsupport/platform/ZELUNGMMultiSurface.h"
#include "zorvsupport/platform/ZELUNGMOrientableSurface.h"

namespace testsupport {

class RecordingFactory : public HPGEOM_3_13_0::ZELUNGMFactory {
public:
    template <class T>
    using sp = boost::shared_ptr<T>;
    using RingList = std::vector<sp<HPGEOM_3_13_0::ZELUNGMOrientableRing const>>;

    struct Log {
        std::vector<ZELUNPoint<double>> points;  // offered to createPoint
        int multiPoints = 0, rings = 0, boundaries = 0, surfaces = 0, multiSurfaces = 0;
        std::vector<std::size_t> ringCounts;  // points of each sequence offered to createRing
        std::vector<bool> holesNull;          // per createSurfaceBoundary: was the hole list null
        std::vector<std::size_t> holeCounts;
    };

    static sp<RecordingFactory> make(char const* system = "EPSG:32633")
    {
        return boost::make_shared<RecordingFactory>(system);
    }
    explicit RecordingFactory(char const* system)
        : ZELUNGMFactory(boost::make_shared<ZELUNCoordSystem const>(system), HPGEOM_3_13_0::kGeomCoord2D)
    {
    }

    // The 1-based createPoint call to refuse with refuseStatus; 0 for none.
    std::size_t refusePoint = 0;
    long refuseStatus = 4711;
    mutable Log log;

    sp<HPGEOM_3_13_0::ZELUNGMPoint> createPoint(ZELUNPoint<double> const& p, long& status, bool b,
                                                unsigned u) const override
    {
        log.points.push_back(p);
        if (log.points.size() == refusePoint) {
            status = refuseStatus;
            return {};
        }
        return ZELUNGMFactory::createPoint(p, status, b, u);
    }
    using ZELUNGMFactory::createPoint;
    sp<HPGEOM_3_13_0::ZELUNGMMultiPoint> createMultiPoint(std::vector<sp<HPGEOM_3_13_0::ZELUNGMPoint const>> const& p,
                                                          long& status, bool b, unsigned u) const override
    {
        ++log.multiPoints;
        return ZELUNGMFactory::createMultiPoint(p, status, b, u);
    }
    sp<HPGEOM_3_13_0::ZELUNGMOrientableRing> createRing(sp<HPGEOM_3_13_0::ZELUNCoordSequence const> s,
                                                        HPGEOM_3_13_0::ZELUNGeomCurveInterpType t, long& status,
                                                        bool b, unsigned u) const override
    {
        ++log.rings;
        log.ringCounts.push_back(s ? s->getCount() : 0);
        return ZELUNGMFactory::createRing(s, t, status, b, u);
    }
    sp<HPGEOM_3_13_0::ZELUNGMOrientableSurfaceBoundary> createSurfaceBoundary(
        sp<HPGEOM_3_13_0::ZELUNGMOrientableRing const> outer, sp<RingList const> holes, long& status, bool b,
        unsigned u) const override
    {
        ++log.boundaries;
        log.holesNull.push_back(!holes);
        log.holeCounts.push_back(holes ? holes->size() : 0);
        return ZELUNGMFactory::createSurfaceBoundary(outer, holes, status, b, u);
    }
    sp<HPGEOM_3_13_0::ZELUNGMOrientableSurface> createSurface(
        sp<HPGEOM_3_13_0::ZELUNGMOrientableSurfaceBoundary const> boundary,
        HPGEOM_3_13_0::ZELUNGeomSurfaceInterpType t, long& status, bool b, unsigned u) const override
    {
        ++log.surfaces;
        return ZELUNGMFactory::createSurface(boundary, t, status, b, u);
    }
    sp<HPGEOM_3_13_0::ZELUNGMMultiSurface> createMultiSurface(
        std::vector<sp<HPGEOM_3_13_0::ZELUNGMOrientableSurface const>> const& s, long& status, bool b,
        unsigned u) const override
    {
        ++log.multiSurfaces;
        return ZELUNGMFactory::createMultiSurface(s, status, b, u);
    }
};

}  // namespace testsupport
