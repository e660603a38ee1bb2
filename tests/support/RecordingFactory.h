#pragma once

// A geometry factory that counts and records the calls made on it, passes
// them to the real factory, and can refuse the n-th point it is offered.
// Made with make(), since factories live in shared pointers. Beside it, an
// object whose predicates answer as scripted and log into the same list.

#include <string>
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
        // Every call in order with the arguments that steer it: interpolation
        // type, the bool and the unsigned; "createPoint 3" for an array of 3
        // values, "createPoint xyz" for a ZELUNPoint; "null" or the hole count
        // for a boundary; predicates of a RecordingObject by name.
        std::vector<std::string> calls;
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
        call("createPoint xyz", b, u);
        if (log.points.size() == refusePoint) {
            status = refuseStatus;
            return {};
        }
        return ZELUNGMFactory::createPoint(p, status, b, u);
    }
    sp<HPGEOM_3_13_0::ZELUNGMPoint> createPoint(ZELUNArray<double> const& p, long& status, bool b,
                                                unsigned u) const override
    {
        call("createPoint " + std::to_string(p.size()), b, u);
        return ZELUNGMFactory::createPoint(p, status, b, u);
    }
    sp<HPGEOM_3_13_0::ZELUNGMMultiPoint> createMultiPoint(std::vector<sp<HPGEOM_3_13_0::ZELUNGMPoint const>> const& p,
                                                          long& status, bool b, unsigned u) const override
    {
        ++log.multiPoints;
        call("createMultiPoint", b, u);
        return ZELUNGMFactory::createMultiPoint(p, status, b, u);
    }
    sp<HPGEOM_3_13_0::ZELUNGMOrientableRing> createRing(sp<HPGEOM_3_13_0::ZELUNCoordSequence const> s,
                                                        HPGEOM_3_13_0::ZELUNGeomCurveInterpType t, long& status,
                                                        bool b, unsigned u) const override
    {
        ++log.rings;
        log.ringCounts.push_back(s ? s->getCount() : 0);
        call("createRing " + std::to_string(t), b, u);
        return ZELUNGMFactory::createRing(s, t, status, b, u);
    }
    sp<HPGEOM_3_13_0::ZELUNGMOrientableSurfaceBoundary> createSurfaceBoundary(
        sp<HPGEOM_3_13_0::ZELUNGMOrientableRing const> outer, sp<RingList const> holes, long& status, bool b,
        unsigned u) const override
    {
        ++log.boundaries;
        log.holesNull.push_back(!holes);
        log.holeCounts.push_back(holes ? holes->size() : 0);
        call("createSurfaceBoundary " + (holes ? std::to_string(holes->size()) : std::string("null")), b, u);
        return ZELUNGMFactory::createSurfaceBoundary(outer, holes, status, b, u);
    }
    sp<HPGEOM_3_13_0::ZELUNGMOrientableSurface> createSurface(
        sp<HPGEOM_3_13_0::ZELUNGMOrientableSurfaceBoundary const> boundary,
        HPGEOM_3_13_0::ZELUNGeomSurfaceInterpType t, long& status, bool b, unsigned u) const override
    {
        ++log.surfaces;
        call("createSurface " + std::to_string(t), b, u);
        return ZELUNGMFactory::createSurface(boundary, t, status, b, u);
    }
    sp<HPGEOM_3_13_0::ZELUNGMMultiSurface> createMultiSurface(
        std::vector<sp<HPGEOM_3_13_0::ZELUNGMOrientableSurface const>> const& s, long& status, bool b,
        unsigned u) const override
    {
        ++log.multiSurfaces;
        call("createMultiSurface", b, u);
        return ZELUNGMFactory::createMultiSurface(s, status, b, u);
    }

    void call(std::string name, bool b, unsigned u) const
    {
        log.calls.push_back(name + (b ? " true " : " false ") + std::to_string(u));
    }
};

// An object of no engine kind made by a recording factory: its predicates
// log "contains 0" (name and unsigned argument) into the factory's calls and
// answer as scripted, writing the scripted status.
class RecordingObject : public HPGEOM_3_13_0::ZELUNGMGenericObject {
public:
    struct Script {
        bool contains = false, covers = false, intersects = false;
        long status = 0;
    };

    RecordingObject(boost::shared_ptr<RecordingFactory const> factory, Script script)
        : ZELUNGMGenericObject(factory), m_factory(*factory), m_script(script)
    {
    }

    bool contains(boost::shared_ptr<ZELUNGMGenericObject const>, long& status, unsigned u) const override
    {
        return answer("contains", m_script.contains, status, u);
    }
    bool covers(boost::shared_ptr<ZELUNGMGenericObject const>, long& status, unsigned u) const override
    {
        return answer("covers", m_script.covers, status, u);
    }
    bool intersects(boost::shared_ptr<ZELUNGMGenericObject const>, long& status, unsigned u) const override
    {
        return answer("intersects", m_script.intersects, status, u);
    }

private:
    bool answer(char const* name, bool value, long& status, unsigned u) const
    {
        m_factory.log.calls.push_back(name + (" " + std::to_string(u)));
        status = m_script.status;
        return value;
    }

    RecordingFactory const& m_factory;  // held by the base
    Script m_script;
};

}  // namespace testsupport
