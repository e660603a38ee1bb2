#pragma once

// A geometry that records the predicate calls made on it (name, the int
// argument, the other geometry's system and coordinates) and answers as told.
// Clones share one log.

#include <memory>
#include <string>
#include <vector>

#include "zorvsupport/platform/ZELUNAreaGeometry.h"
#include "zorvsupport/platform/ZELUNPointGeometry.h"

namespace testsupport {

struct GeometryCall {
    std::string name;
    int mode;
    std::string system;  // definition of the other geometry's system
    std::vector<double> xy;  // the point, or the area's vertices
};

struct GeometryScript {
    bool containsPoint = false;
    bool coversPoint = false;
    bool containsArea = false;
    bool isDisjointFromArea = false;
    ZELUNArray<double> min;  // the extent's corners
    ZELUNArray<double> max;
    std::vector<GeometryCall> calls;
    int clones = 0;
};

class RecordingGeometry : public ZELUNGeometry {
public:
    RecordingGeometry(ZELUNCoordSystem const& system, std::shared_ptr<GeometryScript> script)
        : ZELUNGeometry(system, 0), m_script(std::move(script))
    {
    }

    ZELUNType<ZELUNGeometry> clone() const override
    {
        ++m_script->clones;
        return ZELUNType<ZELUNGeometry>(new RecordingGeometry(*this));
    }
    ZELUNArray<double> getMinPoint() const override { return m_script->min; }
    ZELUNArray<double> getMaxPoint() const override { return m_script->max; }

    bool containsPoint(ZELUNPointGeometry const& p, int mode, long& status) const override
    {
        return record("containsPoint", mode, p, status, m_script->containsPoint);
    }
    bool coversPoint(ZELUNPointGeometry const& p, int mode, long& status) const override
    {
        return record("coversPoint", mode, p, status, m_script->coversPoint);
    }
    bool containsArea(ZELUNAreaGeometry const& a, int mode, long& status) const override
    {
        return record("containsArea", mode, a, status, m_script->containsArea);
    }
    bool isDisjointFromArea(ZELUNAreaGeometry const& a, int mode, long& status) const override
    {
        return record("isDisjointFromArea", mode, a, status, m_script->isDisjointFromArea);
    }

private:
    bool record(char const* name, int mode, ZELUNPointGeometry const& p, long& status, bool answer) const
    {
        m_script->calls.push_back({name, mode, p.getCoordSystem().definition().toUtf8(), {p.getX(), p.getY()}});
        status = 0;
        return answer;
    }
    bool record(char const* name, int mode, ZELUNAreaGeometry const& a, long& status, bool answer) const
    {
        GeometryCall call{name, mode, a.getCoordSystem().definition().toUtf8(), {}};
        for (ZELUNArray<double> const& v : a.getPoints()) {
            call.xy.push_back(v[0]);
            call.xy.push_back(v[1]);
        }
        m_script->calls.push_back(call);
        status = 0;
        return answer;
    }

    std::shared_ptr<GeometryScript> m_script;
};

}  // namespace testsupport
