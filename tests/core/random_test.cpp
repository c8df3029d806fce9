#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "core/units/nnet.h"
#include "core/units/random.h"

namespace kestro {
namespace {

TEST(RandomInt, FollowsTheLinearCongruentialRule) {
    SetRandomSeed(0);
    // seed 1 after the first step: high 32 bits of 1 * 100
    EXPECT_EQ(RandomInt(100), 0);
    EXPECT_EQ(RandomSeed(), 1u);
    // seed 134775814: (134775814 * 1000) >> 32 = 31
    EXPECT_EQ(RandomInt(1000), 31);
    EXPECT_EQ(RandomSeed(), 134775814u);
    SetRandomSeed(0xFFFFFFFFu);
    // seed = -134775813 + 1 mod 2^32 = 4160191484
    EXPECT_EQ(RandomInt(2), 1);
    EXPECT_EQ(RandomSeed(), 4160191484u);
}

TEST(RandomInt, StaysInRangeAndRepeatsForTheSameSeed) {
    SetRandomSeed(77);
    std::vector<int> first;
    for (int k = 0; k < 1000; ++k) {
        const int v = RandomInt(7);
        ASSERT_GE(v, 0);
        ASSERT_LT(v, 7);
        first.push_back(v);
    }
    SetRandomSeed(77);
    for (int k = 0; k < 1000; ++k)
        ASSERT_EQ(RandomInt(7), first[static_cast<size_t>(k)]);
}

TEST(RandomUniform, LiesOnTheGridOf8001ValuesWithBothEnds) {
    SetRandomSeed(12345);
    std::set<float> seen;
    for (int n = 0; n < 200000; ++n) {
        const float v = RandomUniform(-0.5f, 0.5f);
        const double k = (static_cast<double>(v) + 0.5) * 8000.0;
        const double rounded = std::nearbyint(k);
        ASSERT_NEAR(k, rounded, 1e-3) << v;
        ASSERT_EQ(v, static_cast<float>(-0.5 + 1.0 * rounded / 8000.0));
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 8001u);
    EXPECT_EQ(*seen.begin(), -0.5f);
    EXPECT_EQ(*seen.rbegin(), 0.5f);
}

TEST(RandomUniform, DrawsOneRandomIntOf8001) {
    SetRandomSeed(99);
    const int k = RandomInt(8001);
    SetRandomSeed(99);
    EXPECT_EQ(RandomUniform(-1.0f, 1.0f), static_cast<float>(-1.0 + 2.0 * k / 8000.0));
}

}  // namespace
}  // namespace kestro
