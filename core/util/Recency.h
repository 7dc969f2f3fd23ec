#pragma once
// How much a visit counts by how long ago it was: browsers rank their history by visit counts weighted
// this way when they keep no ranking of their own.
#include "VxApi.h"

#include <cstdint>

namespace vx {

// The four ages (in the caller's unit, youngest first) at which the weight of a visit falls.
struct RecencyBounds {
    int64_t bounds[4];
};

// 100 for an age below the first bound (a visit "in the future", from a clock set back, too), then 70,
// 50 and 30 below each next one, 10 beyond the last.
VX_CORE_API int recencyWeight(int64_t age, const RecencyBounds& bounds);

// Microseconds, the unit both browser families keep their visit times in.
constexpr int64_t kMicrosecondsPerDay = 86400LL * 1000000LL;

} // namespace vx
