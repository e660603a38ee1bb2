#pragma once

// Runs a test body once on every SIMD target this machine supports, the
// portable fallback included, by restricting the library's run-time dispatch
// to one target at a time.

#include <gtest/gtest.h>
#include <hwy/highway.h>
#include <hwy/targets.h>

#include <cstdint>
#include <vector>

template <class Body>
void forEachSimdTarget(Body&& body)
{
    std::vector<std::int64_t> const targets = hwy::SupportedAndGeneratedTargets();
    bool fallback = false;
    for (std::int64_t t : targets) {
        fallback = fallback || (t & (HWY_SCALAR | HWY_EMU128)) != 0;
        hwy::SetSupportedTargetsForTest(t);
        SCOPED_TRACE(hwy::TargetName(t));
        body();
    }
    hwy::SetSupportedTargetsForTest(0);
    EXPECT_TRUE(fallback) << "the portable fallback target did not run";
}
