// Point generation: replaces the point set with a random sample classified by the current shape
// and refills the verify set.
#pragma once

#include <cstdint>
#include <iterator>
#include <string_view>

#include "core/units/glowny/points.h"

namespace kestro {

struct ShapeState;

// Arrangements: how candidates are spread over the plane.
constexpr int32_t ArrangementSquareCartesian = 0;
constexpr int32_t ArrangementSquareRadial = 1;
constexpr int32_t ArrangementCircleCartesian = 2;
constexpr int32_t ArrangementCircleRadial = 3;

inline constexpr std::string_view ArrangementCaptions[] = {"Square Cartesian", "Square Radial",
                                                           "Circle Cartesian", "Circle Radial"};
static_assert(std::size(ArrangementCaptions) == 4);

// The options of the generation dialog, which owns them for the whole run.
struct GenerateOptions {
    int32_t amount = 400;  // 1..MaxPoints
    int32_t arrangement = ArrangementSquareCartesian;
    bool equal = false;           // even indices get class 0, odd indices class 1
    bool minDistBetween = false;  // points of different classes keep minDistance apart
    bool minDistInside = false;   // with minDistBetween: points of the same class as well
    float minDistance = 0.1f;
};

// The Amount choices: item index i gives (i + 1) * 25 for i = 0..2, (i - 2) * 100 for i = 3..12.
constexpr int AmountItemCount = 13;
constexpr int DefaultAmountIndex = 6;
// The amount of item index (0..12).
int32_t AmountFromIndex(int32_t index);
// The item index of an amount, or -1 when no item gives it.
int32_t AmountIndex(int32_t amount);

// The minimal-distance scroll bar: positions 1..200, default 100, large change 10.
constexpr int32_t MinDistancePositionMin = 1;
constexpr int32_t MinDistancePositionMax = 200;
constexpr int32_t MinDistancePositionDefault = 100;
constexpr int32_t MinDistanceLargeChange = 10;
// The minimal distance of a scroll position: position / 1000.
float MinDistanceFromPosition(int32_t position);

// Attempts per point before generation gives up.
constexpr int GenerateAttempts = 501;

// Zero-fills the set and places options.amount points one after another, each within
// GenerateAttempts attempts; then refills all of the verify set (also after a failure). Returns
// false when a point could not be placed: the set then holds the points placed before it.
// Views, counters and the epoch down rate are the caller's to refresh.
[[nodiscard]] bool GeneratePoints(const GenerateOptions& options, const ShapeState& shape,
                                  PointSet& set, VerifySet& verify);

}  // namespace kestro
