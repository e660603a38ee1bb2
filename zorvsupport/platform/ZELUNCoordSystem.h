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
// one engine call per batch.
//
// Statuses: 0, kErrCoordSystemInvalid (either system invalid),
// kErrCoordTransformUnavailable (no operation between the two, or the engine
// could not make one now, e.g. out of memory: only the engine's answer that
// none exists is kept, and a later call tries again),
// kErrBadCoordPoint (a point of fewer than 2 values), kErrCoordTransformFailed
// (a non-finite input or result, or a point outside the operation's domain).
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
    // when the engine finds the two CRSs equivalent, axis order set aside.
    // Names never count.
    bool isEqual(ZELUNCoordSystem const& other, bool equivalent) const;

    // Converts one point from this system into `target`: x and y are
    // converted, further values copied. `out` receives `in`'s count and may
    // be `in`; on failure it is unchanged.
    long transform(ZELUNCoordSystem const& target, ZELUNArray<double> const& in, ZELUNArray<double>& out) const;
    // One output point per input point, all or nothing.
    long transform(ZELUNCoordSystem const& target, ZELUNArray<ZELUNArray<double>> const& in,
                   ZELUNArray<ZELUNArray<double>>& out) const;
    // In place: x = values[i * stride], y = values[i * stride + 1] for
    // i < count, stride >= 2, other values untouched. failed[i] (when given)
    // is 1 for a point that could not be converted (its x and y are then
    // unspecified), else 0. Returns 0, or the status of the first failure.
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
