#include <gtest/gtest.h>

#include <cmath>

#include "views/blend.h"

namespace kestro {
namespace {

TEST(BlendColor32, HalfOfYellowRoundsTiesToEven) {
    EXPECT_EQ(BlendColor32(0xFFFFFF00u, 0xFF000000u, 0.5f), 0xFF808000u);
}

TEST(BlendColor32, ShadingOfTheNetworkAnswer) {
    // t = (o + 0.5) / 1.5 for winning outputs 1.0, 0.8, 0.5, 0.0, -0.5
    const float outputs[] = {1.0f, 0.8f, 0.5f, 0.0f, -0.5f};
    const uint32_t expected[] = {255, 221, 170, 85, 0};
    for (int k = 0; k < 5; ++k) {
        const float t = static_cast<float>((outputs[k] + 0.5) / 1.5);
        const uint32_t c = BlendColor32(0xFFFFFF00u, 0xFF000000u, t);
        EXPECT_EQ((c >> 16) & 0xFF, expected[k]) << outputs[k];
        EXPECT_EQ((c >> 8) & 0xFF, expected[k]) << outputs[k];
        EXPECT_EQ(c & 0xFF, 0u);
        EXPECT_EQ(c >> 24, 0xFFu);
    }
}

TEST(BlendColor32, FactorIsClamped) {
    EXPECT_EQ(BlendColor32(0xFFFFFFFFu, 0x00000000u, std::nanf("")), 0x00000000u);
    EXPECT_EQ(BlendColor32(0xFFFFFFFFu, 0x00000000u, -3.0f), 0x00000000u);
    EXPECT_EQ(BlendColor32(0xFF123456u, 0x00000000u, 7.0f), 0xFF123456u);
}

TEST(BlendColor, HighlightColoursOfTheDeleteBrush) {
    const uint32_t red = 0x0000FF;                          // red in the low byte
    EXPECT_EQ(BlendColor(red, 0x00FFFF, 0.4f), 0x0099FFu);  // yellow fill -> (255,153,0)
    EXPECT_EQ(BlendColor(red, 0xFF0000, 0.4f), 0x990066u);  // blue fill -> (102,0,153)
    EXPECT_EQ(BlendColor(red, 0x000000, 0.6f), 0x000099u);  // black ring -> (153,0,0)
    EXPECT_EQ(BlendColor(red, 0xFFFFFF, 0.6f), 0x6666FFu);  // white ring -> (255,102,102)
}

}  // namespace
}  // namespace kestro
