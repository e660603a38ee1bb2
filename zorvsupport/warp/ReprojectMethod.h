#pragma once

namespace ZORV_3_13_0_ {
namespace DataSet {

// How reprojectBuffer and shadeBuffer carry output pixel centres into the
// input grid. kPointReprojection carries every centre through the
// coordinate systems. kMeshReprojection carries the corners of cells of
// 64 x 64 pixels and maps the pixels of a cell through one projective
// matrix; cells whose matrix misses the exact path are refined, so that
// positions lie within kMeshMaxError input pixel of the exact ones at the
// points where cells are tested and a sampler can read; between those
// points no bound is promised (see MeshReprojectionTransform.h). With
// either method a longitude carried into a geographic input moves by whole
// turns to its image nearest the input cover, and the columns of an input
// cover 360 degrees wide are read cyclically.
enum ReprojectMethod : int {
    kPointReprojection = 0,
    kMeshReprojection = 1,
};

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
