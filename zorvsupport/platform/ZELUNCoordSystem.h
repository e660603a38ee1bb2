#pragma once

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNUString.h"

// A coordinate system described by a small, fixed set of parameters, enough
// for a projection engine to stand behind it:
//   kind            what the coordinates are (see Kind);
//   zone            UTM zone, 1 to 60 north, -1 to -60 south; 0 otherwise;
//   centralMeridian longitude of the projection's centre line, in degrees;
//   originLatitude  latitude of the projection's origin, in degrees;
//   scale           scale factor on the centre line (or of a local grid);
//   falseEasting, falseNorthing  offsets added to projected coordinates, in metres;
//   unitFactor      size of one coordinate unit in the base unit of the kind
//                   (degrees for geographic systems, metres otherwise);
//   name            free text for people; never interpreted.
// Only the description lives here; text forms are in CoordConvert. Equality
// compares every parameter exactly (numbers with ==, the name unit by unit).
class ZORV_EXPORT ZELUNCoordSystem {
public:
    enum Kind : int {
        kGeographic = 0,           // longitude / latitude
        kTransverseMercator = 1,   // general transverse Mercator
        kUTM = 2,                  // transverse Mercator of a UTM zone
        kMercator = 3,             // plain (ellipsoidal) Mercator
        kWebMercator = 4,          // spherical Mercator of web maps
        kLocalGrid = 5             // local plane grid: scaled and offset
    };

    // Geographic, every offset and angle 0, scale and unit factor 1, no name.
    ZELUNCoordSystem();
    ZELUNCoordSystem(ZELUNCoordSystem const& other);
    ZELUNCoordSystem& operator=(ZELUNCoordSystem const& other);
    ~ZELUNCoordSystem();

    // A UTM zone (negative for the southern hemisphere) with its usual
    // parameters: central meridian 6 * |zone| - 183, scale 0.9996, false
    // easting 500000 m, false northing 0 north or 10000000 m south. A zone
    // outside 1..60 / -60..-1 gives a system that is not valid.
    static ZELUNCoordSystem utm(int zone, ZELUNUString const& name = ZELUNUString());

    bool operator==(ZELUNCoordSystem const& other) const;
    bool operator!=(ZELUNCoordSystem const& other) const { return !(*this == other); }

    // A known kind, finite numbers, positive scale and unit factor, a UTM
    // zone in 1..60 or -60..-1 for kUTM, and a name that survives UTF-8: no
    // U+0000 and no unpaired surrogate. Only valid systems have text forms.
    bool isValid() const;

    Kind kind() const { return m_kind; }
    void setKind(Kind kind) { m_kind = kind; }
    int zone() const { return m_zone; }
    void setZone(int zone) { m_zone = zone; }
    double centralMeridian() const { return m_centralMeridian; }
    void setCentralMeridian(double degrees) { m_centralMeridian = degrees; }
    double originLatitude() const { return m_originLatitude; }
    void setOriginLatitude(double degrees) { m_originLatitude = degrees; }
    double scale() const { return m_scale; }
    void setScale(double scale) { m_scale = scale; }
    double falseEasting() const { return m_falseEasting; }
    void setFalseEasting(double metres) { m_falseEasting = metres; }
    double falseNorthing() const { return m_falseNorthing; }
    void setFalseNorthing(double metres) { m_falseNorthing = metres; }
    double unitFactor() const { return m_unitFactor; }
    void setUnitFactor(double factor) { m_unitFactor = factor; }
    ZELUNUString const& name() const { return m_name; }
    void setName(ZELUNUString const& name) { m_name = name; }

private:
    Kind m_kind = kGeographic;
    int m_zone = 0;
    double m_centralMeridian = 0.0;
    double m_originLatitude = 0.0;
    double m_scale = 1.0;
    double m_falseEasting = 0.0;
    double m_falseNorthing = 0.0;
    double m_unitFactor = 1.0;
    ZELUNUString m_name;
};
