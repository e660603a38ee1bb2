#pragma once

#include <map>
#include <memory>
#include <vector>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNCover.h"
#include "zorvsupport/platform/ZELUNSoundingSource.h"
#include "zorvsupport/platform/ZELUNUString.h"
#include "zorvsupport/platform/ZELUNUnit.h"
#include "zorvsupport/platform/ZELUNnBox.h"

namespace ZORV_3_13_0_ {
namespace DataSet {

class ExpressionEvaluator;
class GeoBandSet;
class NodeIterator;
class NodeIteratorAttrI;

// Delivers the nodes of a band set as soundings: all nodes, the designated
// soundings, or both as two groups; optionally filtered by a boolean
// expression over band names and by required node states; depths read from
// the active band, negated when the band's direction opposes the requested
// one; identifiers from the "Index" band or the group number.
//
// The band set is not owned and must outlive the source. One thread at a
// time: a fetch replaces the attributes and evaluator it keeps.
class ZORV_EXPORT SoundingSource : public ZLTIN_3_13_0::ZELUNSoundingSource {
public:
    enum eSourceSelection { kSelectAllNodes = 0, kSelectDesignated = 1, kSelectAllAndDesignated = 2 };

    // `restrictCover` (may be null) narrows getCover(); it is transformed into
    // the band set's system, a failed transformation leaving no restriction.
    // A transformation that runs out of memory throws std::bad_alloc.
    SoundingSource(GeoBandSet& surface, ZELUNUString const& activeAttribute, eSourceSelection selection,
                   ZELUNCover const* restrictCover, bool useIndex);
    // Copies every setting, the filter included; the copy keeps no attributes
    // or evaluator of a fetch.
    SoundingSource(SoundingSource const& other);
    SoundingSource& operator=(SoundingSource const&) = delete;
    ~SoundingSource() override;

    // The number of nodes in the box that the selection and the filter
    // deliver (under kSelectAllAndDesignated: every node). `status` receives
    // the host's status, else the filter's; an invalid filter counts 0.
    unsigned long getSoundingCount(ZELUNnBox<double, 2> const& box, long& status) const override;
    // Writes the soundings of `group` in the box into records 0, 1, ... of
    // `set`, growing its record vector as needed and never shrinking it.
    // Returns 0, kErrNoIndexBand, kErrInvalidExpression or the first failing
    // status of the host's query, a depth read or an index read.
    long getSoundings(unsigned long const& group, ZELUNnBox<double, 2> const& box,
                      ZLTIN_3_13_0::ZELUNSuppressedSoundings::SoundingSet& set) const override;
    // The band set's cover, intersected with the restricting cover when
    // there is one (not tested for emptiness).
    ZELUNnBox<double, 2> getCover() const override;
    unsigned long getNumSoundingGroups() const override;
    ZLTIN_3_13_0::ZELUNSoundingSource* newCopy() const override;

    // An empty expression removes the filter. Band values are read in
    // `direction`.
    void setFilterExpression(ZELUNUString const& expression, ZELUNUnit::LengthDirection direction);
    ZELUNUString const& getFilterExpression() const { return m_filterExpression; }
    ZELUNUnit::LengthDirection getFilterLengthDirection() const { return m_filterDirection; }
    void setStateCheck(std::map<unsigned, bool> const& stateChecks);
    // Depths are negated exactly when the active band's direction and
    // `direction` are up and down, in either order.
    void setDepthDirection(ZELUNUnit::LengthDirection direction);
    GeoBandSet& getSurface() const { return m_surface; }
    ZELUNUString const& getActiveAttribute() const { return m_activeAttribute; }
    eSourceSelection getSourceSelection() const { return m_selection; }

private:
    ZELUNCover queryArea(ZELUNnBox<double, 2> const& box) const;
    // The node query of the selection: the designated manager's when
    // `designated` (null when the band set has none), else the band set's.
    NodeIterator* query(bool designated, ZELUNnBox<double, 2> const& box, std::vector<unsigned> const& bandIds,
                        bool fetchValues, long& status) const;
    void applyStateChecks(NodeIterator& iterator) const;

    GeoBandSet& m_surface;
    ZELUNUString m_activeAttribute;
    unsigned m_activeBandId;
    ZELUNUString m_filterExpression;
    ZELUNUnit::LengthDirection m_filterDirection = ZELUNUnit::kNoDirection;
    ZELUNCover m_restrictCover;
    mutable std::unique_ptr<NodeIteratorAttrI> m_attributes;
    mutable std::unique_ptr<ExpressionEvaluator> m_evaluator;
    bool m_useIndex;
    ZELUNUnit::LengthDirection m_depthDirection = ZELUNUnit::kNoDirection;
    bool m_flip = false;
    eSourceSelection m_selection;
    std::map<unsigned, bool> m_stateChecks;
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
