#include <functional>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>
#include <gtest/gtest.h>

#include "support/FakeBandSet.h"
#include "support/FakeSurfacePlugin.h"
#include "support/RecordingProgress.h"
#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/surface/SurfaceFactory.h"

using namespace ZORV_3_13_0_::DataSet;
using zorvtest::MinimalSurfacePlugin;
using zorvtest::RecordingSurfacePlugin;

// The registry is one per process and never forgets a plug-in, and running the
// test program directly runs every test in one process: every test registers
// extensions of its own.
namespace {

using Plugin = SurfaceFactory::SurfaceFactoryPlugin;
using PluginPtr = boost::shared_ptr<Plugin>;

SurfaceFactory& registry() { return SurfaceFactory::getInstance(); }

template <class P>
boost::shared_ptr<P> registered(char const* extension, bool replace = false)
{
    auto plugin = boost::make_shared<P>(extension);
    PluginPtr base = plugin;
    registry().add(base, replace);
    return plugin;
}

}  // namespace

TEST(SurfaceFactory, ParseExtension)
{
    struct Row {
        char const* path;
        char const* extension;
    };
    Row const rows[] = {
        {"survey.TIF", "TIF"},   {"a.b::c.d", "b"},       {".profile", ""}, {"name.", ""}, {"name", ""},
        {"dir.d/file", "d/file"}, {"a.b.c", "c"},         {"::x.y", ""},    {"", ""},      {"a.b::c::d", "b"},
        {"a::b.c", ""},           {"x.y::", "y"},
    };
    for (Row const& row : rows)
        EXPECT_EQ(registry().parseExtension(row.path), ZELUNUString(row.extension)) << row.path;
}

TEST(SurfaceFactory, FindIgnoresCaseAndReplaceComparesExactly)
{
    SurfaceFactory& factory = SurfaceFactory::getInstance();
    EXPECT_EQ(&factory, &SurfaceFactory::getInstance());

    auto const first = registered<MinimalSurfacePlugin>("tif");
    PluginPtr out;
    EXPECT_TRUE(factory.find("TIF", out));
    EXPECT_EQ(out, first);
    EXPECT_TRUE(factory.find("Tif"));
    EXPECT_FALSE(factory.find("tiff"));

    auto const sentinel = boost::make_shared<MinimalSurfacePlugin>("sentinel");
    out = sentinel;
    EXPECT_FALSE(factory.find("ti", out));
    EXPECT_EQ(out, sentinel) << "a miss leaves out as it was";

    // Case folding beyond ASCII.
    auto const accented = registered<MinimalSurfacePlugin>("\xE9xt");  // "éxt"
    EXPECT_TRUE(factory.find(ZELUNUString::fromUtf8("\xC3\x89XT"), out));  // "ÉXT"
    EXPECT_EQ(out, accented);
    out.reset();

    // Replace by the same extension releases the first plug-in.
    EXPECT_EQ(first.use_count(), 2);
    auto const second = registered<MinimalSurfacePlugin>("tif", true);
    EXPECT_EQ(first.use_count(), 1);
    EXPECT_TRUE(factory.find("tif", out));
    EXPECT_EQ(out, second);

    // Replace by another case removes nothing; tif still reaches the earlier one.
    auto const upper = registered<MinimalSurfacePlugin>("TIF", true);
    EXPECT_EQ(second.use_count(), 3);
    EXPECT_EQ(upper.use_count(), 2);
    EXPECT_TRUE(factory.find("tif", out));
    EXPECT_EQ(out, second);
    EXPECT_TRUE(factory.find("TIF", out));
    EXPECT_EQ(out, second);
}

TEST(SurfaceFactory, AddWithoutReplaceKeepsTheFirstServingAndIgnoresEmptyPointers)
{
    auto const first = registered<MinimalSurfacePlugin>("keep");
    auto const later = registered<MinimalSurfacePlugin>("keep");
    EXPECT_EQ(later.use_count(), 2) << "registered too";
    PluginPtr out;
    EXPECT_TRUE(registry().find("keep", out));
    EXPECT_EQ(out, first);

    std::vector<ZELUNUString> before;
    registry().getAllExtensions(before);
    PluginPtr empty;
    registry().add(empty, false);
    registry().add(empty, true);
    std::vector<ZELUNUString> after;
    registry().getAllExtensions(after);
    EXPECT_EQ(after, before);
}

TEST(SurfaceFactory, GetAllExtensionsAppendsInRegistrationOrder)
{
    std::vector<ZELUNUString> out = {"kept"};
    registered<MinimalSurfacePlugin>("gae1");
    registered<MinimalSurfacePlugin>("gae2");
    registry().getAllExtensions(out);
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(out.front(), ZELUNUString("kept"));
    EXPECT_EQ(out[out.size() - 2], ZELUNUString("gae1"));
    EXPECT_EQ(out.back(), ZELUNUString("gae2"));
}

TEST(SurfaceFactory, GetAllExtensionsOfAnEmptyRegistryLeavesTheVector)
{
    std::vector<ZELUNUString> fresh;
    registry().getAllExtensions(fresh);
    if (!fresh.empty()) GTEST_SKIP() << "other tests in this process registered plug-ins";
    std::vector<ZELUNUString> out = {"a", "b"};
    registry().getAllExtensions(out);
    EXPECT_EQ(out, (std::vector<ZELUNUString>{"a", "b"}));
}

TEST(SurfaceFactory, ForwardsByExtensionOrAnswersWithItsOwnStatus)
{
    auto const plugin = registered<RecordingSurfacePlugin>("fwd");
    plugin->surface = boost::make_shared<zorvtest::FakeBandSet>();
    plugin->surfaceStatus = 11;
    plugin->names = {"layer"};
    plugin->namesStatus = 12;
    plugin->deleteStatus = 14;
    plugin->renameStatus = 15;
    plugin->coordSys = true;

    // status, and whether a result came back (a surface, names, true).
    struct Outcome {
        long status;
        bool result;
        bool operator==(Outcome const& o) const { return status == o.status && result == o.result; }
    };
    struct Row {
        char const* operation;
        std::function<Outcome(ZELUNUString const& path)> call;
        Outcome without;
        Outcome with;
    };
    Row const rows[] = {
        {"getSurface",
         [](ZELUNUString const& path) {
             long status = -1;
             bool const got = registry().getSurface(status, path, ZELUN::kOpenRead, nullptr, nullptr) != nullptr;
             return Outcome{status, got};
         },
         {kErrNoPluginForOpen, false},
         {11, true}},
        {"getDatasetNames",
         [](ZELUNUString const& path) {
             long status = -1;
             bool const got = !registry().getDatasetNames(path, status).empty();
             return Outcome{status, got};
         },
         {kErrNoPluginForDatasetNames, false},
         {12, true}},
        {"deleteSurfaceFiles", [](ZELUNUString const& path) { return Outcome{registry().deleteSurfaceFiles(path), false}; },
         {kErrNoPluginForDelete, false},
         {14, false}},
        {"renameSurfaceFiles",
         [](ZELUNUString const& path) { return Outcome{registry().renameSurfaceFiles(path, "new.fwd"), false}; },
         {kErrNoPluginForRename, false},
         {15, false}},
        {"hasCoordSys", [](ZELUNUString const& path) { return Outcome{0, registry().hasCoordSys(path)}; },
         {0, false},
         {0, true}},
    };
    for (Row const& row : rows) {
        SCOPED_TRACE(row.operation);
        EXPECT_EQ(row.call("survey.nofwd"), row.without);
        plugin->calls.clear();
        EXPECT_EQ(row.call("survey.FWD"), row.with);
        ASSERT_EQ(plugin->calls.size(), 1u);
        EXPECT_EQ(plugin->calls[0].operation, row.operation);
        EXPECT_EQ(plugin->calls[0].path, ZELUNUString("survey.FWD"));
    }
}

TEST(SurfaceFactory, PassesTheCallersArgumentsOnUnchanged)
{
    auto const plugin = registered<RecordingSurfacePlugin>("rec");
    ZELUNCoordSystem const system;
    zorvtest::RecordingProgress progress;
    ZELUNUString const path = "a.rec::layer";

    for (int mode : {int(ZELUN::kOpenRead), int(ZELUN::kOpenWrite), int(ZELUN::kOpenCreate), 7}) {
        plugin->calls.clear();
        long status = -1;
        registry().getSurface(status, path, static_cast<ZELUN::OPEN_MODE>(mode), &system, &progress);
        ASSERT_EQ(plugin->calls.size(), 1u);
        auto const& call = plugin->calls[0];
        EXPECT_EQ(call.path, path);
        EXPECT_EQ(call.mode, mode);
        EXPECT_EQ(call.coordSystem, &system);
        EXPECT_EQ(call.progress, &progress);
    }
    EXPECT_TRUE(progress.calls.empty());

    plugin->calls.clear();
    long status = -1;
    registry().getDatasetNames(path, status);
    registry().deleteSurfaceFiles(path);
    EXPECT_EQ(registry().renameSurfaceFiles(path, "b.other::x"), 0);
    ASSERT_EQ(plugin->calls.size(), 3u);
    for (auto const& call : plugin->calls) EXPECT_EQ(call.path, path) << call.operation;
    EXPECT_EQ(plugin->calls[2].newPath, ZELUNUString("b.other::x"));

    // The plug-in is chosen by the first path.
    EXPECT_EQ(registry().renameSurfaceFiles("b.other::x", path), kErrNoPluginForRename);
    EXPECT_EQ(plugin->calls.size(), 3u);
}

TEST(SurfaceFactory, BasePluginAnswers)
{
    auto const plugin = registered<MinimalSurfacePlugin>("bas");
    EXPECT_EQ(plugin->getFileExtension(), ZELUNUString("bas"));
    EXPECT_TRUE(registry().hasCoordSys("x.bas"));
    long status = -1;
    EXPECT_TRUE(registry().getDatasetNames("x.bas", status).empty());
    EXPECT_EQ(status, kSuccess);
    EXPECT_EQ(registry().deleteSurfaceFiles("x.bas"), kErrNotImplemented);
    EXPECT_EQ(registry().renameSurfaceFiles("x.bas", "y.bas"), kErrNotImplemented);
}

TEST(SurfaceFactory, HasCoordSysTakesTheExtensionOfTheWholePath)
{
    auto const plugin = registered<RecordingSurfacePlugin>("hcs");
    ZELUNUString const path = "x.hcs::layer";
    EXPECT_FALSE(registry().hasCoordSys(path));
    EXPECT_TRUE(plugin->calls.empty());
    long status = -1;
    registry().getSurface(status, path, ZELUN::kOpenRead, nullptr, nullptr);
    ASSERT_EQ(plugin->calls.size(), 1u);
    EXPECT_EQ(plugin->calls[0].operation, "getSurface");

    auto const layered = registered<RecordingSurfacePlugin>("hcs::layer");
    EXPECT_TRUE(registry().hasCoordSys(path));
    ASSERT_EQ(layered->calls.size(), 1u);
    EXPECT_EQ(layered->calls[0].path, path);
    EXPECT_FALSE(registry().hasCoordSys("x.hcs::layer."));
    EXPECT_EQ(layered->calls.size(), 1u) << "a trailing dot gives no extension";
}
