#include "zorvsupport/surface/SurfaceFactory.h"

#include <algorithm>

#include <unicode/uchar.h>

#include "zorvsupport/StatusCodes.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

namespace {

// The text after the last '.' among the first `length` code units, when that
// dot is neither the first nor the last of them; else empty.
ZELUNUString textAfterLastDot(ZELUNUString const& text, int32_t length)
{
    int32_t const dot = text.lastIndexOf(u'.', 0, length);
    if (dot > 0 && dot + 1 < length) return ZELUNUString(text.tempSubStringBetween(dot + 1, length));
    return ZELUNUString();
}

}  // namespace

SurfaceFactory::SurfaceFactoryPlugin::SurfaceFactoryPlugin(ZELUNUString const& extension) : m_extension(extension) {}

SurfaceFactory::SurfaceFactoryPlugin::SurfaceFactoryPlugin(SurfaceFactoryPlugin const& other)
    : m_extension(other.m_extension)
{
}

SurfaceFactory::SurfaceFactoryPlugin::~SurfaceFactoryPlugin() = default;

bool SurfaceFactory::SurfaceFactoryPlugin::hasCoordSys(ZELUNUString const&) const { return true; }

std::vector<ZELUNUString> SurfaceFactory::SurfaceFactoryPlugin::getDatasetNames(ZELUNUString const&,
                                                                                long& status) const
{
    status = kSuccess;
    return {};
}

long SurfaceFactory::SurfaceFactoryPlugin::deleteSurfaceFiles(ZELUNUString const&) { return kErrNotImplemented; }

long SurfaceFactory::SurfaceFactoryPlugin::renameSurfaceFiles(ZELUNUString const&, ZELUNUString const&) const
{
    return kErrNotImplemented;
}

SurfaceFactory::SurfaceFactory() = default;

SurfaceFactory::~SurfaceFactory() = default;

SurfaceFactory& SurfaceFactory::getInstance()
{
    static SurfaceFactory instance;
    return instance;
}

void SurfaceFactory::add(boost::shared_ptr<SurfaceFactoryPlugin>& plugin, bool replace)
{
    if (!plugin) return;
    if (replace) {
        ZELUNUString const& extension = plugin->getFileExtension();
        auto const same = std::find_if(m_plugins.begin(), m_plugins.end(),
                                       [&](auto const& p) { return p->getFileExtension() == extension; });
        if (same != m_plugins.end()) m_plugins.erase(same);
    }
    m_plugins.push_back(plugin);
}

bool SurfaceFactory::find(ZELUNUString const& extension, boost::shared_ptr<SurfaceFactoryPlugin>& out) const
{
    for (auto const& plugin : m_plugins) {
        if (plugin->getFileExtension().caseCompare(extension, U_FOLD_CASE_DEFAULT) == 0) {
            out = plugin;
            return true;
        }
    }
    return false;
}

bool SurfaceFactory::find(ZELUNUString const& extension) const
{
    boost::shared_ptr<SurfaceFactoryPlugin> unused;
    return find(extension, unused);
}

ZELUNUString SurfaceFactory::parseExtension(ZELUNUString const& path) const
{
    int32_t const layer = path.indexOf(u"::", 2, 0);
    return textAfterLastDot(path, layer < 0 ? path.length() : layer);
}

// Each forwarding operation holds its own share of the plug-in for the call,
// so a plug-in replaced meanwhile lives until the call returns.

boost::shared_ptr<GeoBandSet> SurfaceFactory::getSurface(long& status, ZELUNUString const& path, ZELUN::OPEN_MODE mode,
                                                         ZELUNCoordSystem const* coordSystem, ZELUNProgress* progress)
{
    boost::shared_ptr<SurfaceFactoryPlugin> plugin;
    if (!find(parseExtension(path), plugin)) {
        status = kErrNoPluginForOpen;
        return {};
    }
    return plugin->getSurface(status, path, mode, coordSystem, progress);
}

std::vector<ZELUNUString> SurfaceFactory::getDatasetNames(ZELUNUString const& path, long& status) const
{
    boost::shared_ptr<SurfaceFactoryPlugin> plugin;
    if (!find(parseExtension(path), plugin)) {
        status = kErrNoPluginForDatasetNames;
        return {};
    }
    return plugin->getDatasetNames(path, status);
}

bool SurfaceFactory::hasCoordSys(ZELUNUString path) const
{
    boost::shared_ptr<SurfaceFactoryPlugin> plugin;
    return find(textAfterLastDot(path, path.length()), plugin) && plugin->hasCoordSys(path);
}

long SurfaceFactory::deleteSurfaceFiles(ZELUNUString const& path)
{
    boost::shared_ptr<SurfaceFactoryPlugin> plugin;
    if (!find(parseExtension(path), plugin)) return kErrNoPluginForDelete;
    return plugin->deleteSurfaceFiles(path);
}

long SurfaceFactory::renameSurfaceFiles(ZELUNUString const& path, ZELUNUString const& newPath) const
{
    boost::shared_ptr<SurfaceFactoryPlugin> plugin;
    if (!find(parseExtension(path), plugin)) return kErrNoPluginForRename;
    return plugin->renameSurfaceFiles(path, newPath);
}

void SurfaceFactory::getAllExtensions(std::vector<ZELUNUString>& out) const
{
    for (auto const& plugin : m_plugins) out.push_back(plugin->getFileExtension());
}

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
