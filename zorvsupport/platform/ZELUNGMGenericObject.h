#pragma once

#include <atomic>
#include <cstdint>

#include <boost/shared_ptr.hpp>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNGMFactory.h"

namespace HPGEOM_3_13_0 {

// A geometry object made by a factory, in that factory's coordinate system.
//
// The predicates answer as the geometry engine does on the two objects'
// engine forms (point, multi-point, ring, the rings of a boundary, polygon
// with holes, multi-polygon; a ring whose vertices lie on one line, and a
// surface bounded by one, stand for their linework). `other` is first
// converted into this object's system when the two factories' systems are
// not equivalent. A failure answers false with its status
// (kErrGeomNullArgument for a null other, kErrGeomUnsupported for an object
// kind with no engine form, the coordinate status, kErrOutOfMemory when
// memory ran out, the engine's included, kErrGeomEngineFailed); otherwise
// the status is 0. The predicates throw nothing. The unsigned argument has
// no effect.
//
// Each thread prepares this object's engine form once, on its first
// predicate, and keeps it while among its most recently used.
class ZORV_EXPORT ZELUNGMGenericObject {
public:
    virtual ~ZELUNGMGenericObject();
    ZELUNGMGenericObject(ZELUNGMGenericObject const&) = delete;
    ZELUNGMGenericObject& operator=(ZELUNGMGenericObject const&) = delete;

    boost::shared_ptr<ZELUNGMFactory const> getFactory() const { return m_factory; }

    // other lies in this object's interior or on its boundary, with at
    // least one interior point in common (contains), or has no point outside
    // it (covers); the two share a point (intersects).
    virtual bool contains(boost::shared_ptr<ZELUNGMGenericObject const> other, long& status, unsigned) const;
    virtual bool covers(boost::shared_ptr<ZELUNGMGenericObject const> other, long& status, unsigned) const;
    virtual bool intersects(boost::shared_ptr<ZELUNGMGenericObject const> other, long& status, unsigned) const;

    // An object of the same kind made through `factory`, every vertex
    // converted into its system. Null with kErrGeomNullArgument for a null
    // factory, the coordinate status when a conversion fails, or the
    // factory's status. Kinds made elsewhere give kErrGeomUnsupported.
    virtual boost::shared_ptr<ZELUNGMGenericObject const> copyWithFactory(
        boost::shared_ptr<ZELUNGMFactory const> factory, long& status) const;

    // The library's object kinds, each with its engine form.
    enum class Kind : unsigned char { kOther, kPoint, kMultiPoint, kRing, kBoundary, kSurface, kMultiSurface };
    Kind getKind() const { return m_kind; }

protected:
    explicit ZELUNGMGenericObject(boost::shared_ptr<ZELUNGMFactory const> factory);
    ZELUNGMGenericObject(boost::shared_ptr<ZELUNGMFactory const> factory, Kind kind);

private:
    friend struct GeosForms;

    boost::shared_ptr<ZELUNGMFactory const> m_factory;
    Kind m_kind;
    // Keys this object's prepared engine forms; drawn on first use, never
    // reused.
    mutable std::atomic<std::uint64_t> m_formId{0};
};

}  // namespace HPGEOM_3_13_0
