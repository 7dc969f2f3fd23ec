#include "util/Recency.h"

#include <gtest/gtest.h>

TEST(Recency, TheWeightFallsAtEachBoundAndNotBefore) {
    const vx::RecencyBounds bounds = {{4, 14, 31, 90}};
    const std::pair<int64_t, int> expected[] = {{-5, 100}, {0, 100}, {3, 100}, {4, 70},  {13, 70},  {14, 50},
                                                {30, 50},  {31, 30}, {89, 30}, {90, 10}, {9999, 10}};
    for (const auto& [age, weight] : expected)
        EXPECT_EQ(vx::recencyWeight(age, bounds), weight) << age;
}
