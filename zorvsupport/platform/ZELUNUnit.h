#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNUString.h"

// A unit of measure: a key, a dimension and the size of one unit in the base
// unit of its dimension (metres for lengths, radians for angles).
//
// Built-in units, found by get() with their exact keys:
//   "m"       metre                 1
//   "km"      kilometre             1000
//   "ft"      international foot    0.3048
//   "us-ft"   US survey foot        1200 / 3937
//   "fathom"  fathom (6 feet)       1.8288
//   "rad"     radian                1
//   "deg"     degree                pi / 180
class ZORV_EXPORT ZELUNUnit {
public:
    enum Dimension : int { kLength = 0, kAngle = 1 };

    // Which way a length is measured. kUp and kDown are opposite directions:
    // a depth given kDown becomes its negation under kUp, and back.
    enum LengthDirection : int {
        kNoDirection = 0,
        kHorizontal = 1,
        kUp = 2,
        kDown = 3
    };

    ZELUNUnit(ZELUNUString const& key, Dimension dimension, double factor);

    // The built-in unit with this key; null when there is none. The units
    // live as long as the library.
    static ZELUNUnit const* get(ZELUNUString const& key);

    // The identifier of a direction: "none", "horizontal", "up", "down";
    // "unknown" for any other stored value.
    static char const* getDirectionId(LengthDirection direction);
    // True for kUp against kDown, in either order.
    static bool isOpposite(LengthDirection a, LengthDirection b);

    ZELUNUString const& getKey() const { return m_key; }
    Dimension getDimension() const { return m_dimension; }
    double getFactor() const { return m_factor; }

    // `value`, measured in `from`, expressed in this unit. The same unit (or
    // one of the same size) returns the value unchanged. A null `from` or a
    // unit of another dimension sets kErrNotConvertible and returns the value
    // unchanged; otherwise `status` is set to 0.
    double convert(double value, ZELUNUnit const* from, long& status) const;

private:
    ZELUNUString m_key;
    Dimension m_dimension;
    double m_factor;
};
