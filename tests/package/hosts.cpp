// A host class for each abstract class that hosts implement, overriding the
// pure operations only, each driven through the library's own code. Compiling
// proves the pure operations are all declared as a host can override them;
// linking proves that the base classes' operations, type information and
// the templates they name are in the installed library.

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>

#include "zorvsupport/datavector/TDataVector1D.h"
#include "zorvsupport/platform/ZELUNProgress.h"
#include "zorvsupport/query/Polyhedron.h"
#include "zorvsupport/query/PositionFilter.h"
#include "zorvsupport/surface/AttributeInterface.h"
#include "zorvsupport/surface/ExpressionEvaluator.h"
#include "zorvsupport/surface/GeoBandSet.h"
#include "zorvsupport/surface/NodeIterator.h"
#include "zorvsupport/surface/SurfaceFactory.h"
#include "zorvsupport/surface/WeightedProgress.h"
#include "zorvsupport/warp/GridBoxIterator.h"

using namespace ZORV_3_13_0_::DataSet;

namespace {

int failures = 0;

void check(bool ok, char const* what)
{
    if (!ok) {
        std::printf("consumer: %s failed\n", what);
        ++failures;
    }
}

// --- Query shapes ----------------------------------------------------------------

// The unit square in x and y, any z.
class HostShape : public Polyhedron {
public:
    HostShape() = default;
    using Polyhedron::contains;
    using Polyhedron::interacts;

    bool contains(ZELUNnBox<double, 3> const& box) const override
    {
        return inside(box.low[0], box.low[1]) && inside(box.high[0], box.high[1]);
    }
    bool contains(ZELUNVec3<double> const& v) const override { return inside(v.x, v.y); }
    bool interacts(ZELUNnBox<double, 3> const& box) const override
    {
        return box.low[0] <= 1 && box.high[0] >= 0 && box.low[1] <= 1 && box.high[1] >= 0;
    }
    ZELUNType<Polyhedron> newCopy() const override { return ZELUNType<Polyhedron>(new HostShape(*this)); }

protected:
    bool contains(ZELUNArray<double> const& point) const override
    {
        return point.size() >= 2 && inside(point[0], point[1]);
    }

private:
    HostShape(HostShape const& other) = default;
    static bool inside(double x, double y) { return x >= 0 && x <= 1 && y >= 0 && y <= 1; }
};

ZELUNArray<ZELUNArray<double>> points(std::vector<std::vector<double>> const& list)
{
    ZELUNArray<ZELUNArray<double>> out(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        out[i].resize(list[i].size());
        for (std::size_t j = 0; j < list[i].size(); ++j) out[i][j] = list[i][j];
    }
    return out;
}

void checkShape()
{
    HostShape const shape;
    // The base's list rules ask the host's per-point test.
    check(shape.contains(points({{0.5, 0.5, 0}, {1, 1, 7}})), "Polyhedron list inside");
    check(!shape.contains(points({{0.5, 0.5, 0}, {2, 1, 0}})), "Polyhedron list half outside");
    check(shape.interacts(points({{2, 1, 0}, {0.5, 0.5, 0}})), "Polyhedron list touching");
    ZELUNType<Polyhedron> const copy = shape.newCopy();
    check(copy->contains(ZELUNVec3<double>(0.25, 0.75, -3)), "Polyhedron copy");
    HostShape moved;
    check(moved.setMatrix(std::vector<double>(3, 0.0)) != 0, "Polyhedron matrix size");
}

// The rectangle (0, 0)-(1, 1) of a system.
class HostFilter : public PositionFilter {
public:
    explicit HostFilter(ZELUNCoordSystem const& system) : m_cover(system, 0, 0, 1, 1) {}

    ZELUNCover getCover() const override { return m_cover; }
    long setInputCoordSystem(ZELUNCoordSystem const&) const override { return 0; }
    Coverage checkBox(ZELUNnBox<double, 2> const& box) const override
    {
        return outside(m_cover, box) ? kNotCovered : kPartiallyCovered;
    }
    bool checkPoint(ZELUNnPoint<double, 2> const& point) const override
    {
        return !outside(m_cover, point[0], point[1]);
    }

private:
    ZELUNCover m_cover;
};

void checkFilter()
{
    HostFilter const filter(ZELUNCoordSystem("EPSG:4326"));
    PositionFilter const& f = filter;
    check(f.checkPoint(ZELUNnPoint<double, 2>(0.5, 1)), "PositionFilter point on the border");
    check(!f.checkPoint(ZELUNnPoint<double, 2>(2, 0.5)), "PositionFilter point outside");
    check(f.checkBox(ZELUNnBox<double, 2>(ZELUNnPoint<double, 2>(3, 3), ZELUNnPoint<double, 2>(4, 4))) == kNotCovered,
          "PositionFilter box outside");
}

// --- Band sets, node iterators, attributes, plug-ins -------------------------------

class HostBandSet;

// One node with one buffered float band (id 0).
class HostIterator : public NodeIterator {
public:
    explicit HostIterator(GeoBandSet const& set) : m_set(set), m_ids{0}
    {
        auto buffer = TDataVector1D<TDataType<0>>::create(TDataType<0>(), ZELUNnPoint<unsigned, 1>(1));
        static_cast<float*>(buffer->getDataPtr())[0] = 2.5f;
        m_buffers[0] = buffer;
        m_currentIndex = 0;
        m_hasCurrentNode = true;
    }

    void next() override
    {
        m_hasCurrentNode = false;
        setDone(true);
    }
    void refresh() override {}
    bool getState(unsigned) override { return true; }
    void reserved1() override {}
    void reserved2() override {}
    void reserved3() override {}
    long getPosition(ZELUNVec3<double>& position, unsigned) override
    {
        position = ZELUNVec3<double>(1, 2, 3);
        return 0;
    }
    void reserved4() override {}
    void reserved5() override {}
    BandType getBandType(unsigned) const override { return BandType(); }
    std::vector<unsigned> const& getBandIDs() const override { return m_ids; }
    GeoBandSet const& getBandSet() const override { return m_set; }

private:
    GeoBandSet const& m_set;
    std::vector<unsigned> m_ids;
};

// Three bands, none of them held as a band object.
class HostBandSet : public GeoBandSet {
public:
    HostBandSet() : m_system("EPSG:4326") {}
    ~HostBandSet() override = default;

    ZELUNCoordSystem const& getCoordSystem() const override { return m_system; }
    ZELUNCover getCover() const override { return ZELUNCover(m_system, 0, 0, 1, 1); }
    void reserved1() override {}
    void reserved2() override {}
    void reserved3() override {}
    void reserved4() override {}
    void reserved5() override {}
    Band const* getBand(unsigned) const override { return nullptr; }
    Band* getBand(unsigned) override { return nullptr; }
    unsigned getNumBands() const override { return 3; }
    unsigned getBandID(ZELUNUString const&) const override { return 0xFFFFFFFFu; }
    void reserved6() override {}
    void reserved7() override {}
    void reserved8() override {}
    void reserved9() override {}
    NodeIterator* getNodeIterator(ZELUNCover const&, std::vector<unsigned> const&, bool, long& status,
                                  void*) override
    {
        status = 0;
        return new HostIterator(*this);
    }
    void reserved10() override {}
    void reserved11() override {}
    void reserved12() override {}
    void reserved13() override {}
    void reserved14() override {}

private:
    ZELUNCoordSystem m_system;
};

// One attribute, "depth".
class HostAttributes : public AttributeInterface {
public:
    double getValue(ZELUNUString const& name) override { return name == ZELUNUString("depth") ? 21.0 : 0.0; }
    std::set<ZELUNUString> getAvailableAttributes() override { return {ZELUNUString("depth")}; }
};

class HostPlugin : public SurfaceFactory::SurfaceFactoryPlugin {
public:
    HostPlugin() : SurfaceFactoryPlugin(ZELUNUString("hostsurface")) {}

    void reserved1() override {}
    boost::shared_ptr<GeoBandSet> getSurface(long& status, ZELUNUString const&, ZELUN::OPEN_MODE,
                                             ZELUNCoordSystem const*, ZELUNProgress*) override
    {
        status = 0;
        return boost::make_shared<HostBandSet>();
    }
};

void checkSurfaces()
{
    HostBandSet set;
    check(set.getBandIDs(true) == std::vector<unsigned>({0, 1, 2}), "GeoBandSet band ids");
    check(!set.hasDesignated(), "GeoBandSet without designated soundings");
    long status = -1;
    NodeIterator* it = set.getNodeIterator(set.getCover(), {0}, true, status, nullptr);
    float depth = 0;
    check(it && it->getAttribute(0, TDataType<0>(), depth) == 0 && depth == 2.5f, "NodeIterator typed read");
    if (it) {
        it->next();
        check(it->done(), "NodeIterator done");
    }
    delete it;

    HostAttributes attributes;
    ExpressionEvaluator evaluator(ExpressionEvaluator::kEvalNumeric);
    double value = 0;
    check(evaluator.set(ZELUNUString("depth * 2"), attributes) == 0 && evaluator.evaluate(attributes, value) &&
              value == 42.0,
          "AttributeInterface through an expression");

    boost::shared_ptr<SurfaceFactory::SurfaceFactoryPlugin> plugin = boost::make_shared<HostPlugin>();
    SurfaceFactory& factory = SurfaceFactory::getInstance();
    factory.add(plugin, true);
    status = -1;
    boost::shared_ptr<GeoBandSet> opened =
        factory.getSurface(status, ZELUNUString("a.hostsurface"), ZELUN::kOpenRead, nullptr, nullptr);
    check(opened && status == 0 && opened->getNumBands() == 3, "SurfaceFactoryPlugin through the registry");
    check(factory.hasCoordSys(ZELUNUString("b.hostsurface")), "SurfaceFactoryPlugin base answer");
}

// --- Progress ----------------------------------------------------------------------

// The result type of a member, const included (a call's type drops it).
template <class F>
struct ResultOf;
template <class R, class C, class... A>
struct ResultOf<R (C::*)(A...)> {
    typedef R type;
};

class HostProgress : public ZELUNProgress {
public:
    void setMax(unsigned max) override { calls.push_back("setMax " + std::to_string(max)); }
    void setText(ZELUNUString const&) override { calls.push_back("setText"); }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wignored-qualifiers"
    ResultOf<decltype(&ZELUNProgress::increment)>::type increment() override
    {
        calls.push_back("increment");
        return true;
    }
    ResultOf<decltype(&ZELUNProgress::update)>::type update(unsigned position) override
    {
        calls.push_back("update " + std::to_string(position));
        return true;
    }
#pragma GCC diagnostic pop

    std::vector<std::string> calls;
};

void checkProgress()
{
    HostProgress target;
    {
        WeightedProgress staged(&target);
        staged.addStage(1);
        staged.addStage(3);
        staged.incrementStage();
        staged.incrementStage();
    }
    check(target.calls == std::vector<std::string>({"setMax 1000", "update 0", "update 250"}),
          "ZELUNProgress under WeightedProgress");

    HostProgress walk;
    unsigned tiles = 0;
    ZELUNnBox<long long, 2> const region(ZELUNnPoint<long long, 2>(0, 0), ZELUNnPoint<long long, 2>(4, 4));
    for (GridBoxIterator it(region, ZELUNnPoint<long long, 2>(0, 0), ZELUNnPoint<long long, 2>(2, 2), &walk);
         !it.done(); it.next())
        ++tiles;
    check(tiles == 4 && walk.calls.size() == 5 && walk.calls[0] == "setMax 4", "ZELUNProgress under GridBoxIterator");
}

}  // namespace

int runHostChecks()
{
    checkShape();
    checkFilter();
    checkSurfaces();
    checkProgress();
    if (failures == 0) std::printf("consumer: host classes of the seven interfaces ok\n");
    return failures;
}
