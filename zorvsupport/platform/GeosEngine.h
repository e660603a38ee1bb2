#pragma once

// Library-internal: each thread's geometry-engine context and its cache of
// prepared geometries, shared by every geometry kind of the platform layer.

#ifndef GEOS_USE_ONLY_R_API
#define GEOS_USE_ONLY_R_API
#endif
#include <geos_c.h>

#include <cstdint>

namespace ZELUNGeos {

// A new key for threadPrepared; never reused.
std::uint64_t newFormId();

// The calling thread's engine context; null when the engine could not start
// (for want of memory; the next call tries again).
GEOSContextHandle_t threadContext();

// Forgets the calling thread's record of an engine shortage.
void clearShortage();
// For a call that failed since clearShortage on this thread:
// kErrOutOfMemory when the engine (or this layer) ran out of memory on the
// way, else kErrGeomEngineFailed.
long failure();

// The calling thread's prepared geometry `id`: built with build(context,
// source) on first use (the engine then owns the result), then kept while
// among the thread's 16 most recently used. Null on failure.
using Builder = GEOSGeometry* (*)(GEOSContextHandle_t context, void const* source);
GEOSPreparedGeometry const* threadPrepared(std::uint64_t id, Builder build, void const* source);

}  // namespace ZELUNGeos
