#pragma once

#include <list>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNCoordSystem.h"
#include "zorvsupport/platform/ZELUNOpenMode.h"
#include "zorvsupport/platform/ZELUNProgress.h"
#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/surface/GeoBandSet.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

// The process-wide registry of surface-format plug-ins, keyed by file
// extension. Each forwarding operation picks the plug-in of its path's
// extension and passes the caller's arguments on unchanged; without one it
// answers with its own status. The registry starts empty and is not locked:
// hosts register their plug-ins before several threads use it. Registered
// plug-ins are released when the registry is destroyed at process exit, so
// the modules providing them must stay loaded until then.
class ZORV_EXPORT SurfaceFactory {
public:
    // Base of the plug-ins: one per file extension (without the dot).
    class ZORV_EXPORT SurfaceFactoryPlugin {
    public:
        virtual ~SurfaceFactoryPlugin();
        // Never called by the library.
        virtual void reserved1() = 0;
        // Opens the surface at path; sets status.
        virtual boost::shared_ptr<GeoBandSet> getSurface(long& status, ZELUNUString const& path, ZELUN::OPEN_MODE mode,
                                                         ZELUNCoordSystem const* coordSystem,
                                                         ZELUNProgress* progress) = 0;
        // Base: true.
        virtual bool hasCoordSys(ZELUNUString const& path) const;
        // Base: status 0 and no names.
        virtual std::vector<ZELUNUString> getDatasetNames(ZELUNUString const& path, long& status) const;
        // Base: kErrNotImplemented.
        virtual long deleteSurfaceFiles(ZELUNUString const& path);
        // Base: kErrNotImplemented.
        virtual long renameSurfaceFiles(ZELUNUString const& path, ZELUNUString const& newPath) const;

        ZELUNUString const& getFileExtension() const { return m_extension; }

    protected:
        explicit SurfaceFactoryPlugin(ZELUNUString const& extension);
        SurfaceFactoryPlugin(SurfaceFactoryPlugin const& other);

    private:
        ZELUNUString m_extension;
    };

    // The one registry of the process, built at the first call.
    static SurfaceFactory& getInstance();

    ~SurfaceFactory();
    SurfaceFactory(SurfaceFactory const&) = delete;
    SurfaceFactory& operator=(SurfaceFactory const&) = delete;

    // Appends plugin; an empty pointer is ignored. With replace, the first
    // plug-in whose extension is exactly equal (case-sensitive) is removed
    // first. Without it an earlier plug-in of the extension keeps serving.
    void add(boost::shared_ptr<SurfaceFactoryPlugin>& plugin, bool replace);
    // The first registered plug-in whose extension equals `extension`
    // ignoring case; out is left unchanged when there is none.
    bool find(ZELUNUString const& extension, boost::shared_ptr<SurfaceFactoryPlugin>& out) const;
    bool find(ZELUNUString const& extension) const;
    // The text after the last '.' of the part of path before the first "::";
    // empty when that dot is the first or the last character, or missing.
    // Directory separators are not considered.
    ZELUNUString parseExtension(ZELUNUString const& path) const;

    // Without a plug-in: kErrNoPluginForOpen and an empty pointer.
    boost::shared_ptr<GeoBandSet> getSurface(long& status, ZELUNUString const& path, ZELUN::OPEN_MODE mode,
                                             ZELUNCoordSystem const* coordSystem, ZELUNProgress* progress);
    // Without a plug-in: kErrNoPluginForDatasetNames and no names.
    std::vector<ZELUNUString> getDatasetNames(ZELUNUString const& path, long& status) const;
    // The one lookup that keeps the "::" part: the extension is the text after
    // the last '.' of the whole path. Without a plug-in: false.
    bool hasCoordSys(ZELUNUString path) const;
    // Without a plug-in: kErrNoPluginForDelete.
    long deleteSurfaceFiles(ZELUNUString const& path);
    // The plug-in of the first path's extension; without one:
    // kErrNoPluginForRename.
    long renameSurfaceFiles(ZELUNUString const& path, ZELUNUString const& newPath) const;
    // Appends the extension of every plug-in, in registration order.
    void getAllExtensions(std::vector<ZELUNUString>& out) const;

private:
    SurfaceFactory();

    std::list<boost::shared_ptr<SurfaceFactoryPlugin>> m_plugins;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
