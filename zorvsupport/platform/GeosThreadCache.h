#pragma once

// Library-internal: the geometry engine behind the area predicates. Each
// thread keeps its own engine context and its own prepared geometries, so
// nothing is shared or locked between threads.

#include <cstddef>
#include <cstdint>

#include "zorvsupport/platform/ZELUNArray.h"
#include "zorvsupport/platform/ZELUNVector2D.h"

namespace ZELUNGeos {

enum Predicate : int { kCovers = 0, kIntersects = 1 };

// Evaluates `predicate` of the area `id` (built from `ring` on this thread's
// first use, then kept while among the 16 most recently used) against the
// polygon of the n points (x, y) in `xy`, closed here. Returns 0 with the
// answer in `result`, kErrOutOfMemory when memory ran out on the way, or
// kErrGeomEngineFailed.
long evaluate(std::uint64_t id, ZELUNArray<ZELUNCompGeom::ZELUNVector2D> const& ring, Predicate predicate,
              double const* xy, std::size_t n, bool& result);

// Prepared geometries built so far on the calling thread.
std::uint64_t preparedBuildCount();

}  // namespace ZELUNGeos
