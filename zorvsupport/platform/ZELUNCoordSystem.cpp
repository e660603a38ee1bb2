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
#include "zorvsupport/platform/MemoryProbe.h"
#include "zorvsupport/platform/ThreadSlot.h"
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

// Asked after a failure that the engine does not explain, and before every
// step that the engine (PROJ 9.1) does not survive when memory stays short
// inside it (std::terminate from a noexcept function, a failed assertion, a
// null object used): none is begun while memory is short.
bool memoryAvailable()
{
    return ZELUNMemory::available();
}

std::atomic<std::uint64_t> g_nextSerial{1};

constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr int kBoundsDensify = 21;
constexpr std::size_t kCachedPairs = 64;

// What the engine said on this thread since the last reset. The engine's
// contexts log every message here (at debug level, where PROJ 9.1 reports
// a failed allocation, SQLite running out of memory, a file it could not
// open and a conversion that moved on to another candidate operation). The
// judgement is made as the messages arrive, into fixed storage: nothing is
// allocated here.
class EngineLog {
public:
    // Reads, in the thread's own context, the engine's texts of the errors
    // that belong to a point itself (PROJ_ERR_COORD_TRANSFM and its
    // sub-codes): a candidate that fails a point with one of them leaves it
    // to the next by the engine's own choice.
    void readPointErrors(PJ_CONTEXT* context)
    {
        for (int i = 0; i < kPointErrors; ++i) {
            char const* text = proj_context_errno_string(context, PROJ_ERR_COORD_TRANSFM + i);
            copyText(m_pointErrors[i], text ? text : "");
        }
    }

    void reset()
    {
        m_shortage = m_failedRetry = m_missingFile = false;
        m_previous[0] = '\0';
    }
    // A message spoke of memory running out.
    bool shortage() const { return m_shortage; }
    // A conversion moved on to another candidate after a failure that is
    // not the point's own (a grid that could not be read, memory).
    bool failedRetry() const { return m_failedRetry; }
    // A grid or other file could not be found or read.
    bool missingFile() const { return m_missingFile; }

    static void receive(void* self, int, char const* message) noexcept
    {
        if (self && message) static_cast<EngineLog*>(self)->take(message);
    }

private:
    static constexpr int kPointErrors = 6;
    static constexpr std::size_t kTextRoom = 128;

    static void copyText(char (&to)[kTextRoom], char const* from)
    {
        std::size_t n = 0;
        for (; from[n] && n + 1 < kTextRoom; ++n) to[n] = from[n];
        to[n] = '\0';
    }

    bool pointError(char const* text) const
    {
        for (auto const& e : m_pointErrors)
            if (e[0] && std::strcmp(e, text) == 0) return true;
        return false;
    }

    void take(char const* message)
    {
        if (std::strstr(message, "memory") || std::strstr(message, "bad_alloc")) m_shortage = true;
        if (std::strstr(message, "File not found") || std::strstr(message, "could not find required grid"))
            m_missingFile = true;
        // The engine logs the failed candidate's error text, then this.
        if (std::strstr(message, "Attempting a retry with another operation") && !pointError(m_previous))
            m_failedRetry = true;
        copyText(m_previous, message);
    }

    bool m_shortage = false;
    bool m_failedRetry = false;
    bool m_missingFile = false;
    char m_previous[kTextRoom] = {};
    char m_pointErrors[kPointErrors][kTextRoom] = {};
};

// What an attempt to make a pair's engine objects came to.
enum class Outcome {
    kIdentical,  // the two systems are one: no operation
    kMade,       // the operation is made and runs
    kRefused,    // the engine's lasting answer: there is none
    kResource,   // a resource failed; nothing of the attempt is kept
    kUnknown,    // no operation now, for a cause that may change
};

// A conversion cached for one ordered pair of systems, keyed by their serial
// numbers (never by addresses: the allocator reuses those).
//
// Only answers are kept: equivalence once told, the operation once made,
// and a refusal whose cause cannot change while the process runs: systems
// of different bodies, no candidate operation at all, or an operation whose
// steps the engine rejects as defined (an output system without an inverse).
// A file that cannot be found or read is not such a cause: it may be
// installed later. An attempt that ran short of memory, or failed for a
// cause the engine does not give, keeps nothing, so the pair's next call
// tries again as if it never happened.
struct Pair {
    std::uint64_t source = 0;
    std::uint64_t target = 0;
    std::uint64_t lastUse = 0;
    PjPtr sourceCrs;
    PjPtr targetCrs;
    PjPtr operation;  // normalised: x east, y north at both ends
    signed char identical = -1;     // converts as the identity; -1 not decided yet
    signed char equivalent = -1;    // the database's equivalence; -1 not asked yet
    signed char operationMade = 0;  // 0 not decided yet, 1 made, -1 refused

    void reset()
    {
        operation.reset();
        targetCrs.reset();
        sourceCrs.reset();
        source = target = lastUse = 0;
        identical = equivalent = -1;
        operationMade = 0;
    }
};

// The engine state of one thread: its context, the log its context writes
// to, and the cache of objects made in it (destroyed first). Objects never
// cross threads. Kept in a ThreadSlot, made at the thread's first use.
class ThreadEngine {
public:
    ThreadEngine() { context(); }
    ~ThreadEngine() { restart(); }
    ThreadEngine(ThreadEngine const&) = delete;
    ThreadEngine& operator=(ThreadEngine const&) = delete;

    // The thread's context, made when missing (an earlier attempt may have
    // run out of memory, or the engine was restarted); null when it cannot
    // be made now.
    PJ_CONTEXT* context();
    EngineLog& log() { return m_log; }

    // Drops every object made on this thread and the context: after a
    // conversion that the engine cut short, neither is trusted again.
    void restart();
    // Whether the engine was called since the last resetCalls(); an answer
    // of kResource after a call means the context may keep what it read
    // while memory ran short.
    void resetCalls() { m_called = false; }
    bool called() const { return m_called; }

    // The cached pair, made when missing (the least recently used one gives
    // way); null when the engine has no context.
    Pair* pair(ZELUNCoordSystem::State const& source, ZELUNCoordSystem::State const& target);

    // 1 when the pair converts as the identity, 0 when not, -1 when it
    // cannot be told now (memory ran short).
    int identical(Pair& p, ZELUNCoordSystem::State const& source, ZELUNCoordSystem::State const& target);
    // 1 when the database finds the two systems equivalent (axis order set
    // aside), 0 when not, -1 when it cannot be told now.
    int equivalent(Pair& p, ZELUNCoordSystem::State const& source, ZELUNCoordSystem::State const& target);
    // Decides what is still undecided of the pair: whether the systems are
    // one, else its operation. Keeps only the engine's answers.
    Outcome resolve(Pair& p, ZELUNCoordSystem::State const& source, ZELUNCoordSystem::State const& target);

    // The definition read as a CRS, or null.
    PjPtr parse(std::string const& definition) const;

private:
    // Reads both systems of the pair; false when memory ran short.
    bool read(Pair& p, ZELUNCoordSystem::State const& source, ZELUNCoordSystem::State const& target);
    bool equivalentWithoutDatabase(Pair const& p) const;
    Outcome resolveOperation(Pair& p);
    // One attempt at the operation; kMade, kIdentical (the operation does
    // nothing), kResource, or kUnknown with `lasting` telling whether the
    // engine rejected the operation's steps as defined.
    Outcome makeOperation(Pair& p, bool& lasting);
    // Whether the engine finds no candidate operation at all for the pair,
    // missing grids counted as there.
    bool noneExists(Pair const& p);
    // Whether a made operation runs forward (see the definition).
    static bool runsForward(PJ* operation);

    PJ_CONTEXT* m_context = nullptr;
    EngineLog m_log;
    bool m_called = false;
    std::array<Pair, kCachedPairs> m_pairs;
    Pair* m_last = nullptr;
    std::uint64_t m_clock = 0;
};

ZELUNThread::ThreadSlot<ThreadEngine> g_engines;

// The calling thread's engine; null when it cannot be made now.
ThreadEngine* engine()
{
    return g_engines.get();
}

PJ_CONTEXT* ThreadEngine::context()
{
    if (m_context) return m_context;
    m_context = proj_context_create();
    if (m_context) {
        m_log.readPointErrors(m_context);
        // Offline whatever the environment asks for; every message comes to
        // the log, never to the host's output.
        proj_log_func(m_context, &m_log, EngineLog::receive);
        proj_log_level(m_context, PJ_LOG_DEBUG);
        proj_context_set_enable_network(m_context, 0);
    }
    return m_context;
}

void ThreadEngine::restart()
{
    for (Pair& p : m_pairs) p.reset();
    m_last = nullptr;
    if (m_context) proj_context_destroy(m_context);
    m_context = nullptr;
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

bool ThreadEngine::read(Pair& p, ZELUNCoordSystem::State const& source, ZELUNCoordSystem::State const& target)
{
    // Both systems were read when they were made, so a null here is a
    // failure of the moment, not an answer.
    if (p.sourceCrs && p.targetCrs) return true;
    if (!memoryAvailable()) return false;
    m_log.reset();
    m_called = true;
    if (!p.sourceCrs) p.sourceCrs = parse(source.utf8);
    if (!p.targetCrs) p.targetCrs = parse(target.utf8);
    if (!m_log.shortage()) return p.sourceCrs && p.targetCrs;
    // A reading that ran short of memory may have lost part of a system.
    p.sourceCrs.reset();
    p.targetCrs.reset();
    return false;
}

bool ThreadEngine::equivalentWithoutDatabase(Pair const& p) const
{
    // A comparison cut short by a failed allocation answers "not
    // equivalent", so that answer is asked twice.
    auto const ask = [&] {
        return proj_is_equivalent_to(p.sourceCrs.get(), p.targetCrs.get(),
                                     PJ_COMP_EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS) != 0;
    };
    return ask() || ask();
}

int ThreadEngine::identical(Pair& p, ZELUNCoordSystem::State const& source, ZELUNCoordSystem::State const& target)
{
    if (p.identical >= 0) return p.identical;
    if (source.utf8 == target.utf8 || p.equivalent == 1) return p.identical = 1;
    try {
        if (!read(p, source, target)) return -1;
        // Compared without the database, which the engine consults inside
        // functions that end the process when memory runs out there. Systems
        // that differ only by the database's aliases are found one once
        // their operation is made: it does nothing.
        if (equivalentWithoutDatabase(p)) return p.identical = 1;
        if (!memoryAvailable()) return -1;
        return p.identical = 0;
    } catch (std::bad_alloc const&) {
        return -1;
    }
}

int ThreadEngine::equivalent(Pair& p, ZELUNCoordSystem::State const& source, ZELUNCoordSystem::State const& target)
{
    if (p.equivalent >= 0) return p.equivalent;
    if (source.utf8 == target.utf8) return p.equivalent = 1;
    try {
        if (!read(p, source, target)) return -1;
        if (equivalentWithoutDatabase(p)) return p.equivalent = 1;
        // The database resolves aliases of datums and other names. The
        // engine asks it inside a noexcept function, which ends the process
        // when an allocation fails there: it is asked only while memory is
        // at hand, and its answer is kept.
        if (!memoryAvailable()) return -1;
        m_log.reset();
        m_called = true;
        bool const same = proj_is_equivalent_to_with_ctx(m_context, p.sourceCrs.get(), p.targetCrs.get(),
                                                         PJ_COMP_EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS) != 0;
        if (m_log.shortage() || !memoryAvailable()) return -1;
        return p.equivalent = same ? 1 : 0;
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
    bool lasting = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        Outcome const o = makeOperation(p, lasting);
        if (o != Outcome::kUnknown) return o;
    }
    // Two attempts with memory at hand made nothing that runs.
    if (!memoryAvailable()) return Outcome::kResource;
    if (lasting || noneExists(p)) {
        p.operationMade = -1;
        return Outcome::kRefused;
    }
    return Outcome::kUnknown;
}

Outcome ThreadEngine::makeOperation(Pair& p, bool& lasting)
{
    lasting = false;
    if (!memoryAvailable()) return Outcome::kResource;
    m_log.reset();
    m_called = true;
    proj_errno_reset(p.sourceCrs.get());  // the context's error number
    PjPtr raw(proj_create_crs_to_crs_from_pj(m_context, p.sourceCrs.get(), p.targetCrs.get(), nullptr, nullptr));
    int const error = proj_context_errno(m_context);
    // A search that ran short of memory may have lost candidates without
    // failing: what it made is not the pair's operation.
    if (m_log.shortage()) return Outcome::kResource;
    if (!raw) return Outcome::kUnknown;
    if (!runsForward(raw.get())) {
        // A step the engine rejected as defined (PROJ_ERR_INVALID_OP_*), as
        // for an output system without an inverse; but not a grid file it
        // could not find or read, nor a step lost to memory (PROJ_ERR_OTHER
        // or nothing).
        lasting = error >= PROJ_ERR_INVALID_OP && error < PROJ_ERR_COORD_TRANSFM &&
                  error != PROJ_ERR_INVALID_OP_FILE_NOT_FOUND_OR_INVALID && !m_log.missingFile() &&
                  !m_log.shortage();
        return m_log.shortage() ? Outcome::kResource : Outcome::kUnknown;
    }
    // Normalised only once it runs: the engine uses a null object when it
    // cannot normalise an operation without steps.
    if (!memoryAvailable()) return Outcome::kResource;
    PjPtr op(proj_normalize_for_visualization(m_context, raw.get()));
    bool const runs = op && runsForward(op.get());
    if (m_log.shortage() || m_log.failedRetry()) return Outcome::kResource;
    // Steps lost while normalising leave an operation that cannot run.
    if (!runs) return Outcome::kUnknown;
    // Systems the database finds one (datum aliases) convert through an
    // operation that does nothing: the identity, bit for bit.
    PJ_PROJ_INFO const info = proj_pj_info(op.get());
    if (info.definition && std::strcmp(info.definition, "proj=noop") == 0) {
        p.identical = 1;
        return Outcome::kIdentical;
    }
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

bool ThreadEngine::noneExists(Pair const& p)
{
    m_log.reset();
    m_called = true;
    PJ_OPERATION_FACTORY_CONTEXT* factory = proj_create_operation_factory_context(m_context, nullptr);
    if (!factory) return false;
    proj_operation_factory_context_set_allow_ballpark_transformations(m_context, factory, 1);
    proj_operation_factory_context_set_spatial_criterion(m_context, factory,
                                                         PROJ_SPATIAL_CRITERION_PARTIAL_INTERSECTION);
    // Candidates whose grids are missing count: a grid may be installed later.
    proj_operation_factory_context_set_grid_availability_use(m_context, factory, PROJ_GRID_AVAILABILITY_IGNORED);
    PJ_OBJ_LIST* list = proj_create_operations(m_context, p.sourceCrs.get(), p.targetCrs.get(), factory);
    proj_operation_factory_context_destroy(factory);
    // A null list is a failure (of memory, or a refusal), not an empty answer;
    // nor is a list that a shortage may have cut short.
    bool const none = list && proj_list_get_count(list) == 0 && !m_log.shortage() && memoryAvailable();
    proj_list_destroy(list);
    return none;
}

// How to go from one valid system to another on this thread: a status, the
// operation (null for the identity) and the engine that made it.
struct Route {
    long status;
    PJ* operation;
    ThreadEngine* engine;
};

Route route(ZELUNCoordSystem::State const& source, ZELUNCoordSystem::State const& target)
{
    if (!source.valid || !target.valid) return {kErrCoordSystemInvalid, nullptr, nullptr};
    ThreadEngine* const e = engine();
    Pair* const p = e ? e->pair(source, target) : nullptr;
    if (!p) return {kErrOutOfMemory, nullptr, nullptr};
    if (p->identical == 1) return {kSuccess, nullptr, e};
    if (p->operationMade == 1) return {kSuccess, p->operation.get(), e};
    if (p->operationMade < 0) return {kErrCoordTransformUnavailable, nullptr, e};
    e->resetCalls();
    switch (e->resolve(*p, source, target)) {
    case Outcome::kIdentical: return {kSuccess, nullptr, e};
    case Outcome::kMade: return {kSuccess, p->operation.get(), e};
    case Outcome::kResource:
        // The engine keeps what it read from its database in its context;
        // what it read while memory ran short may be incomplete.
        if (e->called()) e->restart();
        return {kErrOutOfMemory, nullptr, e};
    case Outcome::kRefused:
    case Outcome::kUnknown: break;
    }
    return {kErrCoordTransformUnavailable, nullptr, e};
}

// Runs `convert` (the engine's conversion through r.operation) and judges it
// by what the engine said meanwhile: a shortage (also std::bad_alloc out of
// the engine), or a point moved to another candidate operation after a
// failure that is not the point's own (a grid whose loading failed), means
// the results may be those of another transformation. The call then answers
// kErrOutOfMemory, and the thread's engine is restarted: a grid whose loading
// failed stays unloaded in the operation, which would go on converting
// without it.
template <class Convert>
long judgedConversion(Route const& r, Convert convert)
{
    EngineLog& log = r.engine->log();
    log.reset();
    try {
        convert();
    } catch (std::bad_alloc const&) {
        r.engine->restart();
        return kErrOutOfMemory;
    }
    if (!log.shortage() && !log.failedRetry()) return kSuccess;
    r.engine->restart();
    return kErrOutOfMemory;
}

bool finite2(double x, double y)
{
    return std::isfinite(x) && std::isfinite(y);
}

// Converts one point in place; unchanged on failure.
long convertPoint(Route const& r, double& x, double& y)
{
    if (!finite2(x, y)) return kErrCoordTransformFailed;
    if (!r.operation) return kSuccess;
    PJ_COORD c;
    c.v[0] = x;
    c.v[1] = y;
    c.v[2] = 0.0;
    c.v[3] = HUGE_VAL;  // no time
    bool failed = true;
    long const status = judgedConversion(r, [&] {
        proj_errno_reset(r.operation);
        c = proj_trans(r.operation, PJ_FWD, c);
        failed = proj_errno(r.operation) != 0 || !finite2(c.v[0], c.v[1]);
    });
    if (status) return status;
    if (failed) return kErrCoordTransformFailed;
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
// allocation as it answers a text it does not read, and a reading during
// which it ran short of memory may have lost part of the definition; such a
// text is read once more while memory is there. A reading without memory
// throws std::bad_alloc rather than call the system invalid.
void describe(ZELUNCoordSystem::State& s)
{
    if (s.utf8.size() > ZELUNCoordSystem::kMaxDefinitionBytes || !ZELUNUtf8::survives(s.definition)) return;
    ThreadEngine* const e = engine();
    if (!e) throw std::bad_alloc();
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!e->context() || !memoryAvailable()) throw std::bad_alloc();
        e->log().reset();
        s.valid = false;
        readDefinition(*e, s);
        if (!e->log().shortage() && (s.valid || memoryAvailable())) return;
        e->restart();  // the context's database reads may be incomplete
    }
    throw std::bad_alloc();
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
    ThreadEngine* const e = engine();
    Pair* const p = e ? e->pair(a, b) : nullptr;
    if (!p) return false;
    e->resetCalls();
    int const same = e->equivalent(*p, a, b);
    if (same < 0 && e->called()) e->restart();  // as for a pair made short of memory
    return same == 1;  // false when it cannot be told now
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
    if (long st = convertPoint(r, x, y)) return st;
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
        if (long st = convertPoint(r, point[0], point[1])) return st;
    out = std::move(result);
    return kSuccess;
} catch (std::bad_alloc const&) {
    return kErrOutOfMemory;
}

long ZELUNCoordSystem::transform(ZELUNCoordSystem const& target, double* values, std::size_t count,
                                 std::size_t stride, unsigned char* failed) const
{
    // The array must lie in the address space: count * stride doubles, with
    // byte steps the engine can take.
    constexpr std::size_t kMaxValues = static_cast<std::size_t>(PTRDIFF_MAX) / sizeof(double);
    if (stride < 2 || (!values && count) || (count && stride > kMaxValues / count)) return kErrBadCoordPoint;
    long status = kSuccess;
    if (!isValid() || !target.isValid()) status = kErrCoordSystemInvalid;
    Route r{status, nullptr, nullptr};
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
        std::size_t const step = stride * sizeof(double);
        long const shortage = judgedConversion(r, [&] {
            proj_errno_reset(r.operation);
            proj_trans_generic(r.operation, PJ_FWD, values, step, count, values + 1, step, count, nullptr, 0, 0,
                               nullptr, 0, 0);
        });
        if (shortage) {
            if (failed)
                for (std::size_t i = 0; i < count; ++i) failed[i] = 1;
            return shortage;
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
        bool carried = false;
        long const status = judgedConversion(r, [&] {
            carried = proj_trans_bounds(r.engine->context(), r.operation, PJ_FWD, bounds[0], bounds[1], bounds[2],
                                        bounds[3], &out[0], &out[1], &out[2], &out[3], kBoundsDensify) != 0;
        });
        return status ? -1 : carried ? 1 : 0;
    };
    int carried = carry();
    // (A judged failure restarted the engine: the operation is gone.)
    if (carried == 0 && memoryAvailable()) carried = carry();
    if (carried < 0 || (carried == 0 && !memoryAvailable())) return kErrOutOfMemory;
    if (carried == 0) return kErrCoordTransformFailed;
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
