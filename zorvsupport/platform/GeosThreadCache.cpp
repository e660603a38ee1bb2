#include "zorvsupport/platform/GeosThreadCache.h"

#include <array>
#include <atomic>
#include <cstring>
#include <vector>

#include "zorvsupport/StatusCodes.h"
#include "zorvsupport/platform/GeosEngine.h"
#include "zorvsupport/platform/ThreadSlot.h"

namespace ZELUNGeos {

namespace {

using ZORV_3_13_0_::DataSet::kErrGeomEngineFailed;
using ZORV_3_13_0_::DataSet::kErrOutOfMemory;

constexpr std::size_t kCachedAreas = 16;

// Set when the thread's engine reported that it ran out of memory: its C
// interface catches std::bad_alloc and hands over only its message. A plain
// thread-local without a destructor registers nothing.
thread_local bool t_shortage = false;

void silent(char const*, void*) {}

void onError(char const* message, void*)
{
    if (message && std::strstr(message, "bad_alloc")) t_shortage = true;
}

struct Entry {
    std::uint64_t id = 0;  // 0: free (ids start at 1)
    std::uint64_t lastUse = 0;
    GEOSGeometry* geometry = nullptr;
    GEOSPreparedGeometry const* prepared = nullptr;
};

// Builds the closed polygon of n points (x, y); null on failure (a
// shortage noted, when that was the cause).
GEOSGeometry* makePolygon(GEOSContextHandle_t context, double const* xy, std::size_t n)
{
    if (n < 3 || n > UINT32_MAX - 1) return nullptr;
    std::vector<double> closed;
    try {
        closed.assign(xy, xy + 2 * n);
        closed.push_back(xy[0]);
        closed.push_back(xy[1]);
    } catch (std::bad_alloc const&) {
        t_shortage = true;
        return nullptr;
    }
    GEOSCoordSequence* sequence = GEOSCoordSeq_copyFromBuffer_r(context, closed.data(), n + 1, 0, 0);
    if (!sequence) return nullptr;
    GEOSGeometry* shell = GEOSGeom_createLinearRing_r(context, sequence);  // owns the sequence
    if (!shell) return nullptr;
    return GEOSGeom_createPolygon_r(context, shell, nullptr, 0);  // owns the shell
}

// One thread's engine: its context and its prepared areas, all destroyed
// at thread exit, each prepared geometry before its base and all before the
// context.
class ThreadCache {
public:
    ThreadCache() = default;
    ~ThreadCache()
    {
        for (Entry& e : m_entries) release(e);
        if (m_context) GEOS_finish_r(m_context);
    }
    ThreadCache(ThreadCache const&) = delete;
    ThreadCache& operator=(ThreadCache const&) = delete;

    // The context, started on first use; null (and a shortage noted) while
    // the engine cannot start, which the next use tries again.
    GEOSContextHandle_t context()
    {
        if (!m_context) {
            try {
                m_context = GEOS_init_r();
            } catch (std::bad_alloc const&) {
                m_context = nullptr;
            }
            if (!m_context) {
                t_shortage = true;
                return nullptr;
            }
            GEOSContext_setNoticeMessageHandler_r(m_context, silent, nullptr);
            GEOSContext_setErrorMessageHandler_r(m_context, onError, nullptr);
        }
        return m_context;
    }
    std::uint64_t builds() const { return m_builds; }

    // The prepared geometry `id`, built when missing (the least recently
    // used entry gives way); null on failure.
    GEOSPreparedGeometry const* prepared(std::uint64_t id, Builder build, void const* source)
    {
        Entry* slot = &m_entries[0];
        for (Entry& e : m_entries) {
            if (e.id == id) {
                e.lastUse = ++m_clock;
                return e.prepared;
            }
            if (e.lastUse < slot->lastUse) slot = &e;
        }
        release(*slot);
        if (!context()) return nullptr;
        GEOSGeometry* geometry = build(m_context, source);
        if (!geometry) return nullptr;
        GEOSPreparedGeometry const* prepared = GEOSPrepare_r(m_context, geometry);
        if (!prepared) {
            GEOSGeom_destroy_r(m_context, geometry);
            return nullptr;
        }
        ++m_builds;
        *slot = Entry{id, ++m_clock, geometry, prepared};
        return prepared;
    }

private:
    void release(Entry& e)
    {
        if (e.prepared) GEOSPreparedGeom_destroy_r(m_context, e.prepared);
        if (e.geometry) GEOSGeom_destroy_r(m_context, e.geometry);
        e = Entry();
    }

    GEOSContextHandle_t m_context;
    std::array<Entry, kCachedAreas> m_entries;
    std::uint64_t m_clock = 0;
    std::uint64_t m_builds = 0;
};

ZELUNThread::ThreadSlot<ThreadCache> gCaches;

// The thread's cache; null (a shortage noted) when it cannot be made.
ThreadCache* cache()
{
    ThreadCache* c = gCaches.get();
    if (!c) t_shortage = true;
    return c;
}

std::atomic<std::uint64_t> g_nextFormId{1};

// The polygon of an area's ring; ZELUNVector2D is two packed doubles, so the
// ring is read in place.
GEOSGeometry* buildArea(GEOSContextHandle_t context, void const* source)
{
    static_assert(sizeof(ZELUNCompGeom::ZELUNVector2D) == 2 * sizeof(double), "packed vertices");
    auto const& ring = *static_cast<ZELUNArray<ZELUNCompGeom::ZELUNVector2D> const*>(source);
    return makePolygon(context, reinterpret_cast<double const*>(ring.data()), ring.size());
}

}  // namespace

std::uint64_t newFormId()
{
    return g_nextFormId.fetch_add(1, std::memory_order_relaxed);
}

void clearShortage()
{
    t_shortage = false;
}

long failure()
{
    return t_shortage ? kErrOutOfMemory : kErrGeomEngineFailed;
}

GEOSContextHandle_t threadContext()
{
    ThreadCache* c = cache();
    return c ? c->context() : nullptr;
}

GEOSPreparedGeometry const* threadPrepared(std::uint64_t id, Builder build, void const* source)
{
    ThreadCache* c = cache();
    return c ? c->prepared(id, build, source) : nullptr;
}

long evaluate(std::uint64_t id, ZELUNArray<ZELUNCompGeom::ZELUNVector2D> const& ring, Predicate predicate,
              double const* xy, std::size_t n, bool& result)
{
    clearShortage();
    GEOSPreparedGeometry const* area = threadPrepared(id, buildArea, &ring);
    if (!area) return failure();
    GEOSContextHandle_t const context = threadContext();
    GEOSGeometry* other = makePolygon(context, xy, n);
    if (!other) return failure();
    char const answer = predicate == kCovers ? GEOSPreparedCovers_r(context, area, other)
                                             : GEOSPreparedIntersects_r(context, area, other);
    GEOSGeom_destroy_r(context, other);
    if (answer != 0 && answer != 1) return failure();
    result = answer == 1;
    return 0;
}

std::uint64_t preparedBuildCount()
{
    ThreadCache* c = gCaches.find();
    return c ? c->builds() : 0;
}

}  // namespace ZELUNGeos
