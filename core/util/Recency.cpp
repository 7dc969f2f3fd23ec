#include "util/Recency.h"

namespace vx {

int recencyWeight(int64_t age, const RecencyBounds& bounds) {
    static const int kWeights[] = {100, 70, 50, 30};
    for (int step = 0; step < 4; ++step) {
        if (age < bounds.bounds[step])
            return kWeights[step];
    }
    return 10;
}

} // namespace vx
