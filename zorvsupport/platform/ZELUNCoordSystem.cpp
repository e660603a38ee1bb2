#include "zorvsupport/platform/ZELUNCoordSystem.h"

#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include <proj.h>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/Utf8Safe.h"

using ZORV_3_13_0_::DataSet::kErrBadCoordPoint;
using ZORV_3_13_0_::DataSet::kErrCoordSystemInvalid;
using ZORV_3_13_0_::DataSet::kErrCoordTransformFailed;
using ZORV_3_13_0_::DataSet::kErrCoordTransformUnavailable;
using ZORV_3_13_0_::DataSet::kErrOutOfMemory;
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

// Whether a small block can be had now. The engine (PROJ 9.1) ends the
// process in some of its paths when memory stays short inside them
// (std::terminate from a noexcept function, a failed assertion, a null
// object used), so no step of a pair's creation is begun while memory is
// already gone.
bool memoryAvailable()
{
    std::unique_ptr<char[]> block(new (std::nothrow) char[4096]);
    return block != nullptr;
}

std::atomic<std::uint64_t> g_nextSerial{1};

constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr int kBoundsDensify = 21;
constexpr std::size_t kCachedPairs = 64;

// What an attempt to make a pair's engine objects came to.
enum class Outcome {
    kIdentical,  // the two systems are one: no operation
    kMade,       // the operation is made and runs
    kRefused,    // the engine's definitive answer: there is none
    kResource,   // a resource failed; nothing of the attempt is kept
    kUnknown,    // no operation, for a reason that cannot be told
};

// A conversion cached for one ordered pair of systems, keyed by their serial
// numbers (never by addresses: the allocator reuses those).
//
// Only answers are kept: equivalence once both systems are read, the
// operation once made, and a refusal that does not change: systems of
// different bodies, no candidate operation at all, or an operation whose
// steps the engine rejects (an output system without an inverse). The
// engine tells a failed allocation from a refusal by neither result nor
// error number, so a failed attempt is repeated at once while memory is
// there, and only a failure that repeats is taken as the answer. An attempt
// that ran short of memory keeps nothing and costs the pair nothing, so the
// very next call tries again. Failures that repeat for no reason the engine
// gives are spaced out: after k in a row the pair waits 2^(k-1) - 1 calls,
// at most kMaxWait, before the next attempt.
struct Pair {
    std::uint64_t source = 0;
    std::uint64_t target = 0;
    std::uint64_t lastUse = 0;
    PjPtr sourceCrs;
    PjPtr targetCrs;
    PjPtr operation;  // normalised: x east, y north at both ends
    signed char identical = -1;    // -1 not decided yet
    signed char operationMade = 0;  // 0 not decided yet, 1 made, -1 refused
    unsigned misses = 0;  // unexplained failures in a row
    unsigned waits = 0;   // calls to answer unavailable before the next attempt

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
    // now (memory ran short).
    int identical(Pair& p, ZELUNCoordSystem::State const& source, ZELUNCoordSystem::State const& target);
    // Decides what is still undecided of the pair: whether the systems are
    // one, else its operation. Keeps only the engine's answers.
    Outcome resolve(Pair& p, ZELUNCoordSystem::State const& source, ZELUNCoordSystem::State const& target);

    // The definition read as a CRS, or null.
    PjPtr parse(std::string const& definition) const;

private:
    Outcome resolveOperation(Pair& p);
    // One attempt at the operation; kMade, kResource, or kUnknown (the
    // engine made none that runs).
    Outcome makeOperation(Pair& p, bool& rejectedSteps);
    // Whether the engine finds no candidate operation at all for the pair,
    // searching as proj_create_crs_to_crs_from_pj does offline.
    bool noneExists(Pair const& p) const;
    // Whether a made operation runs forward (see the definition).
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
    if (p.identical >= 0) return p.identical;
    if (source.utf8 == target.utf8) return p.identical = 1;
    try {
        // Both systems were read when they were made, so a null here is a
        // failure of the moment, not an answer.
        if (!memoryAvailable()) return -1;
        if (!p.sourceCrs) p.sourceCrs = parse(source.utf8);
        if (!p.targetCrs) p.targetCrs = parse(target.utf8);
        if (!p.sourceCrs || !p.targetCrs) return -1;
        // Compared without the database: its aliases are looked up inside a
        // noexcept function of the engine, which ends the process when memory
        // runs out there. A comparison cut short answers "not equivalent", so
        // that answer is asked twice.
        auto const equivalent = [&] {
            return proj_is_equivalent_to(p.sourceCrs.get(), p.targetCrs.get(),
                                         PJ_COMP_EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS) != 0;
        };
        bool const same = equivalent() || equivalent();
        if (!memoryAvailable()) return -1;
        return p.identical = same ? 1 : 0;
    } catch (std::bad_alloc const&) {
        return -1;
    }
}

Outcome ThreadEngine::resolve(Pair& p, ZELUNCoordSystem::State const& source, ZELUNCoordSystem::State const& target)
{
    int const same = identical(p, source, target);
    if (same < 0) return Outcome::kResource;
    if (same == 1) return Outcome::kIdentical;
    try {
        return resolveOperation(p);
    } catch (std::bad_alloc const&) {
        return Outcome::kResource;
    }
}

Outcome ThreadEngine::resolveOperation(Pair& p)
{
    // The engine refuses systems of different bodies; asked first, it costs
    // no search. (A name that cannot be had now decides nothing.)
    char const* const sourceBody = proj_get_celestial_body_name(m_context, p.sourceCrs.get());
    char const* const targetBody = proj_get_celestial_body_name(m_context, p.targetCrs.get());
    if (sourceBody && targetBody && std::strcmp(sourceBody, targetBody) != 0) {
        p.operationMade = -1;
        return Outcome::kRefused;
    }
    bool rejectedSteps = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        Outcome const o = makeOperation(p, rejectedSteps);
        if (o != Outcome::kUnknown) return o;
    }
    // Two attempts with memory at hand made nothing that runs.
    if (!memoryAvailable()) return Outcome::kResource;
    if (rejectedSteps || noneExists(p)) {
        if (!memoryAvailable()) return Outcome::kResource;
        p.operationMade = -1;
        return Outcome::kRefused;
    }
    return Outcome::kUnknown;
}

Outcome ThreadEngine::makeOperation(Pair& p, bool& rejectedSteps)
{
    if (!memoryAvailable()) return Outcome::kResource;
    proj_errno_reset(p.sourceCrs.get());  // the context's error number
    PjPtr raw(proj_create_crs_to_crs_from_pj(m_context, p.sourceCrs.get(), p.targetCrs.get(), nullptr, nullptr));
    int const error = proj_context_errno(m_context);
    if (!raw) return Outcome::kUnknown;
    if (!runsForward(raw.get())) {
        // A step the engine rejected as defined (PROJ_ERR_INVALID_OP_*), as
        // for an output system without an inverse; a step lost to memory
        // gives PROJ_ERR_OTHER or nothing.
        rejectedSteps = error >= PROJ_ERR_INVALID_OP && error < PROJ_ERR_COORD_TRANSFM;
        return Outcome::kUnknown;
    }
    rejectedSteps = false;
    // Normalised only once it runs: the engine uses a null object when it
    // cannot normalise an operation without steps.
    if (!memoryAvailable()) return Outcome::kResource;
    PjPtr op(proj_normalize_for_visualization(m_context, raw.get()));
    // Steps lost while normalising leave an operation that cannot run.
    if (!op || !runsForward(op.get())) return Outcome::kUnknown;
    p.operation = std::move(op);
    p.operationMade = 1;
    return Outcome::kMade;
}

// When the engine runs out of memory while it writes an operation's steps,
// it may still hand out the operation, without steps: every forward call
// then fails with PROJ_ERR_OTHER_NO_INVERSE_OP, whatever the point. An
// output system without an inverse gives the same.
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
    if (!p) return {kErrOutOfMemory, nullptr};
    if (p->identical == 1) return {kSuccess, nullptr};
    if (p->operationMade == 1) return {kSuccess, p->operation.get()};
    if (p->operationMade < 0 || !p->mayTry()) return {kErrCoordTransformUnavailable, nullptr};
    switch (e.resolve(*p, source, target)) {
    case Outcome::kIdentical: p->misses = 0; return {kSuccess, nullptr};
    case Outcome::kMade: p->misses = 0; return {kSuccess, p->operation.get()};
    case Outcome::kResource: return {kErrOutOfMemory, nullptr};
    case Outcome::kRefused: return {kErrCoordTransformUnavailable, nullptr};
    case Outcome::kUnknown: break;
    }
    p->missed();
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
void readDefinition(ThreadEngine& e, ZELUNCoordSystem::State& s)
{
    PJ_CONTEXT* const ctx = e.context();
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

// As readDefinition. The engine answers a reading cut short by a failed
// allocation as it answers a text it does not read, so a refused text is
// read once more while memory is there; a reading without memory throws
// std::bad_alloc rather than call the system invalid.
void describe(ZELUNCoordSystem::State& s)
{
    if (s.utf8.size() > ZELUNCoordSystem::kMaxDefinitionBytes || !ZELUNUtf8::survives(s.definition)) return;
    ThreadEngine& e = engine();
    for (int attempt = 0; attempt < 2 && !s.valid; ++attempt) {
        if (!e.context() || !memoryAvailable()) throw std::bad_alloc();
        readDefinition(e, s);
    }
    if (!s.valid && !memoryAvailable()) throw std::bad_alloc();
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
    try {
        ThreadEngine& e = engine();
        Pair* p = e.pair(a, b);
        return p && e.identical(*p, a, b) == 1;
    } catch (std::bad_alloc const&) {
        return false;  // cannot be told now
    }
}

long ZELUNCoordSystem::prepareTransform(ZELUNCoordSystem const& target) const
{
    try {
        return route(state(), target.state()).status;
    } catch (std::bad_alloc const&) {
        return kErrOutOfMemory;
    }
}

long ZELUNCoordSystem::transform(ZELUNCoordSystem const& target, ZELUNArray<double> const& in,
                                 ZELUNArray<double>& out) const
try {
    if (!isValid() || !target.isValid()) return kErrCoordSystemInvalid;
    if (in.size() < 2) return kErrBadCoordPoint;
    Route const r = route(state(), target.state());
    if (r.status) return r.status;
    double x = in[0], y = in[1];
    if (long st = convertPoint(r.operation, x, y)) return st;
    if (&out != &in) out = in;  // allocates first: unchanged when it fails
    out[0] = x;
    out[1] = y;
    return kSuccess;
} catch (std::bad_alloc const&) {
    return kErrOutOfMemory;
}

long ZELUNCoordSystem::transform(ZELUNCoordSystem const& target, ZELUNArray<ZELUNArray<double>> const& in,
                                 ZELUNArray<ZELUNArray<double>>& out) const
try {
    if (!isValid() || !target.isValid()) return kErrCoordSystemInvalid;
    for (ZELUNArray<double> const& point : in)
        if (point.size() < 2) return kErrBadCoordPoint;
    Route const r = route(state(), target.state());
    if (r.status) return r.status;
    // Every point is converted into a copy, which then takes the place of
    // `out`: all or nothing.
    ZELUNArray<ZELUNArray<double>> result(in);
    for (ZELUNArray<double>& point : result)
        if (long st = convertPoint(r.operation, point[0], point[1])) return st;
    out = std::move(result);
    return kSuccess;
} catch (std::bad_alloc const&) {
    return kErrOutOfMemory;
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
    if (!status && count) {
        try {
            r = route(state(), target.state());
        } catch (std::bad_alloc const&) {
            r.status = kErrOutOfMemory;
        }
    }
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
        try {
            proj_trans_generic(r.operation, PJ_FWD, values, step, count, values + 1, step, count, nullptr, 0, 0,
                               nullptr, 0, 0);
        } catch (std::bad_alloc const&) {
            if (failed)
                for (std::size_t i = 0; i < count; ++i) failed[i] = 1;
            return kErrOutOfMemory;
        }
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
    // points that converted is then the answer. The engine answers its own
    // failed allocation as a failed box, so a failure is tried once more
    // while memory is there.
    auto const carry = [&] {
        return proj_trans_bounds(engine().context(), r.operation, PJ_FWD, bounds[0], bounds[1], bounds[2],
                                 bounds[3], &out[0], &out[1], &out[2], &out[3], kBoundsDensify) != 0;
    };
    if (!carry() && !(memoryAvailable() && carry())) return memoryAvailable() ? kErrCoordTransformFailed : kErrOutOfMemory;
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
