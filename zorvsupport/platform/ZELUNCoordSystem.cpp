#include "zorvsupport/platform/ZELUNCoordSystem.h"

#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <string>

#include <proj.h>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/Utf8Safe.h"

using ZORV_3_13_0_::DataSet::kErrBadCoordPoint;
using ZORV_3_13_0_::DataSet::kErrCoordSystemInvalid;
using ZORV_3_13_0_::DataSet::kErrCoordTransformFailed;
using ZORV_3_13_0_::DataSet::kErrCoordTransformUnavailable;
using ZORV_3_13_0_::DataSet::kSuccess;

struct ZELUNCoordSystem::State {
    ZELUNUString definition;
    ZELUNUString name;
    std::string utf8;        // the definition as the engine reads it
    std::uint64_t serial = 0;  // 0 only for the undefined system
    bool valid = false;
    double userToMm = 0.0;
    double mmToUser = 0.0;
    double fullTurn = 0.0;   // geographic systems: one turn in the angular unit
};

namespace {

// Engine objects are owned through this; proj_destroy accepts null.
struct PjDeleter {
    void operator()(PJ* p) const { proj_destroy(p); }
};
using PjPtr = std::unique_ptr<PJ, PjDeleter>;

void discardLog(void*, int, char const*) {}

std::atomic<std::uint64_t> g_nextSerial{1};

constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr int kBoundsDensify = 21;
constexpr std::size_t kCachedPairs = 64;

// A conversion cached for one ordered pair of systems, keyed by their serial
// numbers (never by addresses: the allocator reuses those).
//
// Only answers the engine gives are kept: equivalence once both systems are
// read, the operation once made, and "none exists" once the engine searched
// and found no candidate. An attempt that comes to no answer (an engine
// object that could not be made, which is how the engine reports running out
// of memory) keeps nothing, so a later call tries again. The engine reports
// some refusals the same way (systems of different bodies), so repeated
// attempts of one pair are spaced out: after k in a row the pair waits
// 2^(k-1) - 1 calls, at most kMaxWait, before the next one.
struct Pair {
    std::uint64_t source = 0;
    std::uint64_t target = 0;
    std::uint64_t lastUse = 0;
    PjPtr sourceCrs;
    PjPtr targetCrs;
    PjPtr operation;  // normalised: x east, y north at both ends
    signed char identical = -1;    // -1 not decided yet
    signed char operationMade = 0;  // 0 not decided yet, 1 made, -1 none exists
    unsigned misses = 0;  // attempts in a row that came to no answer
    unsigned waits = 0;   // calls to answer unavailable before the next one

    static constexpr unsigned kMaxWait = 1023;

    void reset()
    {
        operation.reset();
        targetCrs.reset();
        sourceCrs.reset();
        source = target = lastUse = 0;
        identical = -1;
        operationMade = 0;
        misses = waits = 0;
    }
    // Whether this call may attempt what is still undecided.
    bool mayTry()
    {
        if (waits == 0) return true;
        --waits;
        return false;
    }
    void missed()
    {
        ++misses;
        waits = misses > 10 ? kMaxWait : (1u << (misses - 1)) - 1;
    }
};

// The engine state of one thread: its context, then the cache of objects
// made in it (destroyed first at thread exit). Objects never cross threads.
class ThreadEngine {
public:
    ThreadEngine() { context(); }
    ~ThreadEngine()
    {
        for (Pair& p : m_pairs) p.reset();
        if (m_context) proj_context_destroy(m_context);
    }
    ThreadEngine(ThreadEngine const&) = delete;
    ThreadEngine& operator=(ThreadEngine const&) = delete;

    // The thread's context, made when missing (an earlier attempt may have
    // run out of memory); null when it cannot be made now.
    PJ_CONTEXT* context();

    // The cached pair, made when missing (the least recently used one gives
    // way); null when the engine has no context.
    Pair* pair(ZELUNCoordSystem::State const& source, ZELUNCoordSystem::State const& target);

    // 1 when the two systems are one, 0 when not, -1 when it cannot be told
    // now (a system could not be read).
    int identical(Pair& p, ZELUNCoordSystem::State const& source, ZELUNCoordSystem::State const& target);
    // The operation, or null when none exists or it cannot be made now.
    PJ* operation(Pair& p);

    // The definition read as a CRS, or null.
    PjPtr parse(std::string const& definition) const;

private:
    // Whether the engine finds no candidate operation at all for the pair,
    // searching as proj_create_crs_to_crs_from_pj does offline.
    bool noneExists(Pair const& p) const;
    // Whether a made operation has its steps (see the definition).
    static bool runsForward(PJ* operation);

    PJ_CONTEXT* m_context = nullptr;
    std::array<Pair, kCachedPairs> m_pairs;
    Pair* m_last = nullptr;
    std::uint64_t m_clock = 0;
};

ThreadEngine& engine()
{
    thread_local ThreadEngine e;
    return e;
}

PJ_CONTEXT* ThreadEngine::context()
{
    if (m_context) return m_context;
    m_context = proj_context_create();
    if (m_context) {
        // Silent and offline whatever the environment asks for.
        proj_log_func(m_context, nullptr, discardLog);
        proj_log_level(m_context, PJ_LOG_NONE);
        proj_context_set_enable_network(m_context, 0);
    }
    return m_context;
}

PjPtr ThreadEngine::parse(std::string const& definition) const
{
    PjPtr crs(proj_create(m_context, definition.c_str()));
    if (crs && proj_is_crs(crs.get())) return crs;
    // A PROJ string describes a CRS only with "+type=crs".
    bool const projString = definition.find("proj=") != std::string::npos || definition.find("init=") != std::string::npos;
    if (!projString || definition.find("type=crs") != std::string::npos) return nullptr;
    crs.reset(proj_create(m_context, (definition + " +type=crs").c_str()));
    if (crs && proj_is_crs(crs.get())) return crs;
    return nullptr;
}

Pair* ThreadEngine::pair(ZELUNCoordSystem::State const& source, ZELUNCoordSystem::State const& target)
{
    if (m_last && m_last->source == source.serial && m_last->target == target.serial) {
        m_last->lastUse = ++m_clock;
        return m_last;
    }
    if (!context()) return nullptr;
    Pair* oldest = &m_pairs[0];
    for (Pair& p : m_pairs) {
        if (p.source == source.serial && p.target == target.serial) {
            oldest = &p;
            break;
        }
        if (p.lastUse < oldest->lastUse) oldest = &p;
    }
    Pair& p = *oldest;
    if (p.source != source.serial || p.target != target.serial) {
        p.reset();
        p.source = source.serial;
        p.target = target.serial;
    }
    p.lastUse = ++m_clock;
    m_last = &p;
    return &p;
}

int ThreadEngine::identical(Pair& p, ZELUNCoordSystem::State const& source, ZELUNCoordSystem::State const& target)
{
    if (p.identical < 0) {
        if (source.utf8 == target.utf8) {
            p.identical = 1;
        } else {
            // Both systems were read when they were made, so a null here is a
            // failure of the moment, not an answer.
            if (!p.sourceCrs) p.sourceCrs = parse(source.utf8);
            if (!p.targetCrs) p.targetCrs = parse(target.utf8);
            if (!p.sourceCrs || !p.targetCrs) return -1;
            p.identical = proj_is_equivalent_to_with_ctx(m_context, p.sourceCrs.get(), p.targetCrs.get(),
                                                         PJ_COMP_EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS)
                              ? 1
                              : 0;
        }
    }
    return p.identical;
}

PJ* ThreadEngine::operation(Pair& p)
{
    if (p.operationMade == 0 && p.sourceCrs && p.targetCrs) {
        PjPtr raw(proj_create_crs_to_crs_from_pj(m_context, p.sourceCrs.get(), p.targetCrs.get(), nullptr, nullptr));
        if (raw) p.operation.reset(proj_normalize_for_visualization(m_context, raw.get()));
        if (p.operation && !runsForward(p.operation.get())) p.operation.reset();
        if (p.operation)
            p.operationMade = 1;
        else if (!raw && noneExists(p))
            p.operationMade = -1;
    }
    return p.operation.get();
}

// When the engine runs out of memory while it writes an operation's steps,
// it still hands out the operation, without steps: every forward call then
// fails with PROJ_ERR_OTHER_NO_INVERSE_OP, whatever the point.
bool ThreadEngine::runsForward(PJ* operation)
{
    proj_errno_reset(operation);
    PJ_COORD c;
    c.v[0] = c.v[1] = c.v[2] = 0.0;
    c.v[3] = HUGE_VAL;
    proj_trans(operation, PJ_FWD, c);
    bool const runs = proj_errno(operation) != PROJ_ERR_OTHER_NO_INVERSE_OP;
    proj_errno_reset(operation);
    return runs;
}

bool ThreadEngine::noneExists(Pair const& p) const
{
    PJ_OPERATION_FACTORY_CONTEXT* factory = proj_create_operation_factory_context(m_context, nullptr);
    if (!factory) return false;
    proj_operation_factory_context_set_allow_ballpark_transformations(m_context, factory, 1);
    proj_operation_factory_context_set_spatial_criterion(m_context, factory,
                                                         PROJ_SPATIAL_CRITERION_PARTIAL_INTERSECTION);
    proj_operation_factory_context_set_grid_availability_use(
        m_context, factory, PROJ_GRID_AVAILABILITY_DISCARD_OPERATION_IF_MISSING_GRID);
    PJ_OBJ_LIST* list = proj_create_operations(m_context, p.sourceCrs.get(), p.targetCrs.get(), factory);
    proj_operation_factory_context_destroy(factory);
    // A null list is a failure (of memory, or a refusal), not an empty answer.
    bool const none = list && proj_list_get_count(list) == 0;
    proj_list_destroy(list);
    return none;
}

// How to go from one valid system to another on this thread: a status, and
// the operation (null for the identity).
struct Route {
    long status;
    PJ* operation;
};

Route route(ZELUNCoordSystem::State const& source, ZELUNCoordSystem::State const& target)
{
    if (!source.valid || !target.valid) return {kErrCoordSystemInvalid, nullptr};
    ThreadEngine& e = engine();
    Pair* p = e.pair(source, target);
    if (!p) return {kErrCoordTransformUnavailable, nullptr};
    if (p->identical == 1) return {kSuccess, nullptr};
    if (p->operationMade == 1) return {kSuccess, p->operation.get()};
    if (p->operationMade < 0 || !p->mayTry()) return {kErrCoordTransformUnavailable, nullptr};
    int const same = e.identical(*p, source, target);
    if (same == 1) return {kSuccess, nullptr};
    PJ* op = same == 0 ? e.operation(*p) : nullptr;
    if (op) {
        p->misses = 0;
        return {kSuccess, op};
    }
    if (p->operationMade == 0) p->missed();
    return {kErrCoordTransformUnavailable, nullptr};
}

bool finite2(double x, double y)
{
    return std::isfinite(x) && std::isfinite(y);
}

// Converts one point in place; unchanged on failure. A null operation is the
// identity.
long convertPoint(PJ* op, double& x, double& y)
{
    if (!finite2(x, y)) return kErrCoordTransformFailed;
    if (!op) return kSuccess;
    proj_errno_reset(op);
    PJ_COORD c;
    c.v[0] = x;
    c.v[1] = y;
    c.v[2] = 0.0;
    c.v[3] = HUGE_VAL;  // no time
    c = proj_trans(op, PJ_FWD, c);
    if (proj_errno(op) != 0 || !finite2(c.v[0], c.v[1])) return kErrCoordTransformFailed;
    x = c.v[0];
    y = c.v[1];
    return kSuccess;
}

// The geographic or projected CRS that gives x and y: the CRS itself, the
// base of a bound CRS or the horizontal part of a compound one. Null for
// any other kind.
PjPtr horizontalCrs(PJ_CONTEXT* ctx, PjPtr crs)
{
    // Bound and compound CRSs nest only a few levels deep in practice.
    for (int depth = 0; crs && depth < 4; ++depth) {
        switch (proj_get_type(crs.get())) {
        case PJ_TYPE_GEOGRAPHIC_2D_CRS:
        case PJ_TYPE_GEOGRAPHIC_3D_CRS:
        case PJ_TYPE_PROJECTED_CRS:
            return crs;
        case PJ_TYPE_BOUND_CRS:
            crs.reset(proj_get_source_crs(ctx, crs.get()));
            break;
        case PJ_TYPE_COMPOUND_CRS:
            crs.reset(proj_crs_get_sub_crs(ctx, crs.get(), 0));
            break;
        default:
            return nullptr;
        }
    }
    return nullptr;
}

// Fills validity and the unit factors from the engine's reading.
void describe(ZELUNCoordSystem::State& s)
{
    if (s.utf8.size() > ZELUNCoordSystem::kMaxDefinitionBytes || !ZELUNUtf8::survives(s.definition)) return;
    ThreadEngine& e = engine();
    PJ_CONTEXT* ctx = e.context();
    if (!ctx) return;
    PjPtr h = horizontalCrs(ctx, e.parse(s.utf8));
    if (!h) return;
    PjPtr cs(proj_crs_get_coordinate_system(ctx, h.get()));
    double unit = 0.0;
    if (!cs || proj_cs_get_axis_count(ctx, cs.get()) < 2 ||
        !proj_cs_get_axis_info(ctx, cs.get(), 0, nullptr, nullptr, nullptr, &unit, nullptr, nullptr, nullptr))
        return;
    double factor = unit * 1000.0;
    if (proj_get_type(h.get()) != PJ_TYPE_PROJECTED_CRS) {
        PjPtr ellipsoid(proj_get_ellipsoid(ctx, h.get()));
        double semiMajor = 0.0;
        if (!ellipsoid ||
            !proj_ellipsoid_get_parameters(ctx, ellipsoid.get(), &semiMajor, nullptr, nullptr, nullptr))
            return;
        factor = unit * semiMajor * 1000.0;
        s.fullTurn = 360.0 * (kRadiansPerDegree / unit);
    }
    if (!(factor > 0.0) || !std::isfinite(factor) || !(s.fullTurn >= 0.0) || !std::isfinite(s.fullTurn)) return;
    s.userToMm = factor;
    s.mmToUser = 1.0 / factor;
    s.valid = true;
}

std::shared_ptr<ZELUNCoordSystem::State const> makeState(ZELUNUString const& definition, ZELUNUString const& name)
{
    auto s = std::make_shared<ZELUNCoordSystem::State>();
    s->definition = definition;
    s->name = name;
    s->utf8 = definition.toUtf8();
    s->serial = g_nextSerial.fetch_add(1, std::memory_order_relaxed);
    describe(*s);
    if (!s->valid) s->fullTurn = 0.0;
    return s;
}

}  // namespace

ZELUNCoordSystem::ZELUNCoordSystem() = default;

ZELUNCoordSystem::ZELUNCoordSystem(ZELUNUString const& definition, ZELUNUString const& name)
    : m_state(makeState(definition, name))
{
}

ZELUNCoordSystem::ZELUNCoordSystem(char const* utf8Definition)
    : m_state(makeState(utf8Definition ? ZELUNUString::fromUtf8(utf8Definition, std::char_traits<char>::length(utf8Definition))
                                       : ZELUNUString(),
                        ZELUNUString()))
{
}

ZELUNCoordSystem::ZELUNCoordSystem(ZELUNCoordSystem const& other) = default;
ZELUNCoordSystem& ZELUNCoordSystem::operator=(ZELUNCoordSystem const& other) = default;
ZELUNCoordSystem::~ZELUNCoordSystem() = default;

ZELUNCoordSystem::State const& ZELUNCoordSystem::state() const
{
    // Never destroyed, so systems in static storage may outlive it safely.
    static State const* const undefined = new State();
    return m_state ? *m_state : *undefined;
}

bool ZELUNCoordSystem::isValid() const
{
    return state().valid;
}

ZELUNUString const& ZELUNCoordSystem::definition() const
{
    return state().definition;
}

ZELUNUString const& ZELUNCoordSystem::name() const
{
    return state().name;
}

void ZELUNCoordSystem::setName(ZELUNUString const& name)
{
    State const& old = state();
    auto s = std::make_shared<State>(old);
    s->name = name;
    if (m_state) s->serial = g_nextSerial.fetch_add(1, std::memory_order_relaxed);
    m_state = std::move(s);
}

bool ZELUNCoordSystem::operator==(ZELUNCoordSystem const& other) const
{
    State const& a = state();
    State const& b = other.state();
    return &a == &b || (a.definition == b.definition && a.name == b.name);
}

bool ZELUNCoordSystem::isEqual(ZELUNCoordSystem const& other, bool equivalent) const
{
    State const& a = state();
    State const& b = other.state();
    if (!a.valid || !b.valid) return false;
    if (a.definition == b.definition) return true;
    if (!equivalent) return false;
    ThreadEngine& e = engine();
    Pair* p = e.pair(a, b);
    return p && e.identical(*p, a, b) == 1;
}

long ZELUNCoordSystem::transform(ZELUNCoordSystem const& target, ZELUNArray<double> const& in,
                                 ZELUNArray<double>& out) const
{
    if (!isValid() || !target.isValid()) return kErrCoordSystemInvalid;
    if (in.size() < 2) return kErrBadCoordPoint;
    Route const r = route(state(), target.state());
    if (r.status) return r.status;
    double x = in[0], y = in[1];
    if (long st = convertPoint(r.operation, x, y)) return st;
    if (&out != &in) out = in;
    out[0] = x;
    out[1] = y;
    return kSuccess;
}

long ZELUNCoordSystem::transform(ZELUNCoordSystem const& target, ZELUNArray<ZELUNArray<double>> const& in,
                                 ZELUNArray<ZELUNArray<double>>& out) const
{
    if (!isValid() || !target.isValid()) return kErrCoordSystemInvalid;
    for (ZELUNArray<double> const& point : in)
        if (point.size() < 2) return kErrBadCoordPoint;
    Route const r = route(state(), target.state());
    if (r.status) return r.status;
    // Every point is converted before `out` is touched: all or nothing.
    ZELUNArray<double> xy(2 * in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        xy[2 * i] = in[i][0];
        xy[2 * i + 1] = in[i][1];
        if (long st = convertPoint(r.operation, xy[2 * i], xy[2 * i + 1])) return st;
    }
    if (&out != &in) out = in;
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i][0] = xy[2 * i];
        out[i][1] = xy[2 * i + 1];
    }
    return kSuccess;
}

long ZELUNCoordSystem::transform(ZELUNCoordSystem const& target, double* values, std::size_t count,
                                 std::size_t stride, unsigned char* failed) const
{
    long status = kSuccess;
    if (!isValid() || !target.isValid())
        status = kErrCoordSystemInvalid;
    else if (stride < 2 || (!values && count))
        status = kErrBadCoordPoint;
    Route r{status, nullptr};
    if (!status && count) r = route(state(), target.state());
    if (r.status) {
        if (failed)
            for (std::size_t i = 0; i < count; ++i) failed[i] = 1;
        return r.status;
    }
    // Points with a non-finite input fail whatever the engine makes of them.
    bool anyFailed = false;
    for (std::size_t i = 0; i < count; ++i) {
        bool const bad = !finite2(values[i * stride], values[i * stride + 1]);
        if (failed) failed[i] = bad;
        anyFailed |= bad;
    }
    if (r.operation && count) {
        proj_errno_reset(r.operation);
        std::size_t const step = stride * sizeof(double);
        proj_trans_generic(r.operation, PJ_FWD, values, step, count, values + 1, step, count, nullptr, 0, 0,
                           nullptr, 0, 0);
        for (std::size_t i = 0; i < count; ++i) {
            if (finite2(values[i * stride], values[i * stride + 1])) continue;
            if (failed) failed[i] = 1;
            anyFailed = true;
        }
    }
    return anyFailed ? kErrCoordTransformFailed : kSuccess;
}

long ZELUNCoordSystem::transformBounds(ZELUNCoordSystem const& target, double bounds[4]) const
{
    State const& t = target.state();
    Route const r = route(state(), t);
    if (r.status || !r.operation) return r.status;
    double out[4];
    // The return value and the results decide: the engine also sets its error
    // number when a single densified edge point fails, and the hull of the
    // points that converted is then the answer.
    if (!proj_trans_bounds(engine().context(), r.operation, PJ_FWD, bounds[0], bounds[1], bounds[2], bounds[3],
                           &out[0], &out[1], &out[2], &out[3], kBoundsDensify))
        return kErrCoordTransformFailed;
    for (double v : out)
        if (!std::isfinite(v)) return kErrCoordTransformFailed;
    // A geographic box across the antimeridian comes back with xmin > xmax:
    // keep it one box of its true width.
    if (t.fullTurn > 0.0 && out[0] > out[2]) out[2] += t.fullTurn;
    if (out[0] > out[2] || out[1] > out[3]) return kErrCoordTransformFailed;
    for (int i = 0; i < 4; ++i) bounds[i] = out[i];
    return kSuccess;
}

double ZELUNCoordSystem::userToMmOnGroundFactor() const
{
    return state().userToMm;
}

double ZELUNCoordSystem::mmOnGroundToUserFactor() const
{
    return state().mmToUser;
}

double ZELUNCoordSystem::fullTurn() const
{
    return state().fullTurn;
}
