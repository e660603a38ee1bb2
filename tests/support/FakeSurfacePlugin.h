#pragma once

#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "zorvsupport/surface/SurfaceFactory.h"

namespace zorvtest {

// A plug-in that implements only what a plug-in must: the base class answers
// every other operation.
class MinimalSurfacePlugin : public ZORV_3_13_0_::DataSet::SurfaceFactory::SurfaceFactoryPlugin {
public:
    using GeoBandSet = ZORV_3_13_0_::DataSet::GeoBandSet;

    explicit MinimalSurfacePlugin(ZELUNUString const& extension) : SurfaceFactoryPlugin(extension) {}

    void reserved1() override {}
    boost::shared_ptr<GeoBandSet> getSurface(long& status, ZELUNUString const&, ZELUN::OPEN_MODE,
                                             ZELUNCoordSystem const*, ZELUNProgress*) override
    {
        status = 0;
        return {};
    }
};

// A plug-in that records the arguments of every call, by operation name
// ("getSurface", "hasCoordSys", "getDatasetNames", "deleteSurfaceFiles",
// "renameSurfaceFiles"), and answers with the configured results.
class RecordingSurfacePlugin : public ZORV_3_13_0_::DataSet::SurfaceFactory::SurfaceFactoryPlugin {
public:
    using GeoBandSet = ZORV_3_13_0_::DataSet::GeoBandSet;

    struct Call {
        std::string operation;
        ZELUNUString path;
        ZELUNUString newPath;
        int mode = -1;
        ZELUNCoordSystem const* coordSystem = nullptr;
        ZELUNProgress* progress = nullptr;
    };

    explicit RecordingSurfacePlugin(ZELUNUString const& extension) : SurfaceFactoryPlugin(extension) {}

    void reserved1() override {}
    boost::shared_ptr<GeoBandSet> getSurface(long& status, ZELUNUString const& path, ZELUN::OPEN_MODE mode,
                                             ZELUNCoordSystem const* coordSystem, ZELUNProgress* progress) override
    {
        Call& call = record("getSurface", path);
        call.mode = mode;
        call.coordSystem = coordSystem;
        call.progress = progress;
        status = surfaceStatus;
        return surface;
    }
    bool hasCoordSys(ZELUNUString const& path) const override
    {
        record("hasCoordSys", path);
        return coordSys;
    }
    std::vector<ZELUNUString> getDatasetNames(ZELUNUString const& path, long& status) const override
    {
        record("getDatasetNames", path);
        status = namesStatus;
        return names;
    }
    long deleteSurfaceFiles(ZELUNUString const& path) override
    {
        record("deleteSurfaceFiles", path);
        return deleteStatus;
    }
    long renameSurfaceFiles(ZELUNUString const& path, ZELUNUString const& newPath) const override
    {
        record("renameSurfaceFiles", path).newPath = newPath;
        return renameStatus;
    }

    boost::shared_ptr<GeoBandSet> surface;
    long surfaceStatus = 0;
    bool coordSys = true;
    std::vector<ZELUNUString> names;
    long namesStatus = 0;
    long deleteStatus = 0;
    long renameStatus = 0;

    mutable std::vector<Call> calls;

private:
    Call& record(char const* operation, ZELUNUString const& path) const
    {
        calls.emplace_back();
        calls.back().operation = operation;
        calls.back().path = path;
        return calls.back();
    }
};

}  // namespace zorvtest
