#pragma once

// Leaks an engine makes when it runs out of memory are not the library's:
// the geometry engine (GEOS 3.11) drops the coordinate sequences it was
// handed or had copied when an allocation of its own fails. A sweep over
// engine calls holds one of these on the calling thread while it calls, so
// that LeakSanitizer leaves those blocks alone.

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace zorvtest {

#if defined(__SANITIZE_ADDRESS__)
using EngineLeaksIgnored = __lsan::ScopedDisabler;
#else
struct EngineLeaksIgnored {
    EngineLeaksIgnored() {}
};
#endif

}  // namespace zorvtest
