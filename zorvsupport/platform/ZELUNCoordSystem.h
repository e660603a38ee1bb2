#pragma once

#include <cstddef>
#include <memory>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNArray.h"
#include "zorvsupport/platform/ZELUNUString.h"

// A coordinate reference system given by its definition text: anything the
// projection engine reads as a CRS ("EPSG:4326", "EPSG:32633", WKT, PROJJSON,
// a PROJ string, with or without "+type=crs"). The system is valid when that
// text is at most kMaxDefinitionBytes of UTF-8, holds neither U+0000 nor an
// unpaired surrogate, and describes a geographic (2-D or 3-D) or projected
// CRS, or a bound or compound CRS whose horizontal part is one.
//
// Coordinates are always x = east (longitude or easting), y = north; angles
// are in the system's angular unit (degrees as a rule). The name is free text
// for people and never interpreted.
//
// A system is an immutable value: copies share one state and may be used on
// any thread. Transformations keep their engine objects per thread, cached
// by pairs of systems, so repeated calls between the same two systems cost
// one engine call per batch. A thread's engine is made at its first call
// and released when the thread ends. Stack: the engine's search for a
// pair's operation runs on the calling thread; a thread's first calls used
// about 11 KiB in a measurement (PROJ 9.1, optimised x86-64 build).
//
// Statuses of the transformations:
// - 0: every point converted.
// - kErrCoordSystemInvalid: either system is invalid.
// - kErrCoordTransformUnavailable: no operation between the two systems now.
//   A refusal whose cause cannot change while the process runs (systems of
//   different bodies, no candidate operation at all, an output system
//   without an inverse) is remembered on the thread and answered at once
//   from then on; any other (a grid file that cannot be found or read, a
//   cause the engine does not name) holds for that call only, so a grid
//   installed later is used by the next call on every thread.
// - kErrOutOfMemory: a resource failed, not the pair: memory (inside the
//   library or the engine, small blocks or only large ones), the thread's
//   engine, or a conversion that the engine cut short. Nothing of the
//   attempt is kept, and the next call with the resource back gives what a
//   call that never failed gives.
// - kErrBadCoordPoint: a point of fewer than 2 values, or an array that
//   does not fit the address space.
// - kErrCoordTransformFailed: a point has no image (a non-finite input or
//   result, or a point outside the operation's domain).
// The library throws nothing out of the transformations. A constructor that
// runs short of memory, also inside the engine while it reads the
// definition, throws std::bad_alloc rather than make an invalid system.
//
// What the engine (PROJ 9.1) does when memory fails inside it, beyond what
// the library can see:
// - It may end the process or hang the calling thread when an allocation
//   fails inside its search for a pair's operation
//   (proj_create_crs_to_crs_from_pj: a null datum used, an assertion,
//   std::terminate, a self-deadlock on one of its mutexes), inside the
//   normalisation of that operation (a null object used, a deadlock), inside
//   its reader of PROJ strings (heap corruption), inside the first
//   conversion of a pair with grids (std::terminate while it looks a grid
//   up), and inside its database's equivalence test that isEqual uses
//   (std::terminate). The library begins none of these while blocks of the
//   sizes the engine asks for cannot be had, but cannot stop an allocation
//   failing after it began.
// - A failed allocation that the engine absorbs while it reads candidate
//   operations from its database may leave a candidate out without any
//   sign: the pair then converts through the next best operation (for a
//   grid-based datum shift, one without the grid, metres off), and the
//   library keeps that operation. Every shortage the engine reports (its
//   messages, std::bad_alloc), and every conversion that moved to another
//   candidate after a failure that was not the point's own (a grid whose
//   loading failed), is seen: the call answers kErrOutOfMemory and the
//   thread's engine is made again.
class ZORV_EXPORT ZELUNCoordSystem {
public:
    static constexpr unsigned kMaxDefinitionBytes = 65536;

    ZELUNCoordSystem();  // undefined: not valid
    explicit ZELUNCoordSystem(ZELUNUString const& definition, ZELUNUString const& name = ZELUNUString());
    explicit ZELUNCoordSystem(char const* utf8Definition);
    ZELUNCoordSystem(ZELUNCoordSystem const& other);
    ZELUNCoordSystem& operator=(ZELUNCoordSystem const& other);
    ~ZELUNCoordSystem();

    bool isValid() const;
    ZELUNUString const& definition() const;  // exactly as given
    ZELUNUString const& name() const;
    void setName(ZELUNUString const& name);

    // Same definition text and same name.
    bool operator==(ZELUNCoordSystem const& other) const;
    bool operator!=(ZELUNCoordSystem const& other) const { return !(*this == other); }

    // Both valid and the same definition text; with `equivalent` also true
    // when the engine, with its database, finds the two CRSs equivalent, axis
    // order set aside (names the database knows as aliases of one datum
    // count as one). False when that cannot be told now for want of memory;
    // an answer once told is kept on the thread. Names never count.
    bool isEqual(ZELUNCoordSystem const& other, bool equivalent) const;

    // Makes ready, on the calling thread, what converting points into
    // `target` needs, without converting one: 0 when transform() can convert
    // points now (equivalent systems included), else kErrCoordSystemInvalid,
    // kErrCoordTransformUnavailable or kErrOutOfMemory as above. The answer
    // is cached with the pair, so asking again costs a lookup.
    long prepareTransform(ZELUNCoordSystem const& target) const;

    // Converts one point from this system into `target`: x and y are
    // converted, further values copied. `out` receives `in`'s count and may
    // be `in`; on failure it is unchanged.
    long transform(ZELUNCoordSystem const& target, ZELUNArray<double> const& in, ZELUNArray<double>& out) const;
    // One output point per input point, all or nothing: on failure `out` is
    // unchanged.
    long transform(ZELUNCoordSystem const& target, ZELUNArray<ZELUNArray<double>> const& in,
                   ZELUNArray<ZELUNArray<double>>& out) const;
    // In place: x = values[i * stride], y = values[i * stride + 1] for
    // i < count, stride >= 2, other values untouched. failed[i] (when given)
    // is 1 for a point that could not be converted (its x and y are then
    // unspecified), else 0. Returns 0, kErrCoordTransformFailed when some
    // points failed (only those are flagged), or a status of the whole call
    // (every point flagged; for kErrOutOfMemory the values are unspecified).
    // A stride below 2, null values for a count above 0, or count * stride
    // doubles beyond the address space: kErrBadCoordPoint, nothing written
    // (flags included), before the systems are checked.
    long transform(ZELUNCoordSystem const& target, double* values, std::size_t count, std::size_t stride,
                   unsigned char* failed) const;

    // Millimetres on the ground per user unit: metres per unit x 1000 for
    // projected systems; radians per unit x semi-major axis x 1000 for
    // geographic ones (a nominal equatorial factor). 0 when invalid.
    double userToMmOnGroundFactor() const;
    double mmOnGroundToUserFactor() const;

    // One turn of longitude in the angular unit (360 for degrees) for a
    // geographic system; 0 for a projected or invalid one.
    double fullTurn() const;

    struct State;  // opaque: the shared immutable state, defined by the library

private:
    friend class ZELUNCover;

    State const& state() const;
    // The bounds {minX, minY, maxX, maxY} of a box in this system replaced by
    // those of its image in `target`; unchanged on failure.
    long transformBounds(ZELUNCoordSystem const& target, double bounds[4]) const;

    std::shared_ptr<State const> m_state;  // null for the undefined system
};
