// Preset shapes: rules that split the plane into the two classes, the Shape menu, and the pick of
// a shape, which regenerates the point set.
#pragma once

#include <cstdint>
#include <iterator>
#include <string_view>

#include "core/units/glowny/points.h"

namespace kestro {

struct GenerateOptions;

constexpr int ShapeParameterCount = 32;

// The current shape: the tag of the chosen Shape menu item and the coefficients of the random
// shapes (only the first eight are read), drawn anew on every pick.
struct ShapeState {
    int32_t shapeId = 0;
    float parameters[ShapeParameterCount] = {};
};

// Shape tags (the Tag of each Shape menu item).
constexpr int32_t ShapeXor = 1;
constexpr int32_t ShapeCircle = 2;
constexpr int32_t ShapeSquare = 3;
constexpr int32_t ShapeDiamond = 4;
constexpr int32_t ShapeTriangle = 5;
constexpr int32_t ShapeRing = 6;
constexpr int32_t ShapeThinRing = 7;
constexpr int32_t ShapeMoon = 8;
constexpr int32_t ShapeWave = 9;
constexpr int32_t ShapeHole = 10;
constexpr int32_t ShapeYingYang = 11;
constexpr int32_t ShapeSnowman = 12;
constexpr int32_t ShapeFace = 13;
constexpr int32_t ShapeRndPoly = 20;
constexpr int32_t ShapeRndTrig = 21;

// One item of the Shape menu, in menu order.
struct ShapeMenuItem {
    int32_t tag;
    std::string_view caption;
    std::string_view itemName;
    bool separatorBefore;  // a separator stands above this item
    bool visible;          // hidden items exist but are not shown
};

inline constexpr ShapeMenuItem ShapeMenu[] = {
    {ShapeXor, "XOR", "miShapeXOR", false, true},
    {ShapeCircle, "Circle", "miShapeCircle", false, true},
    {ShapeSquare, "Square", "miShapeSquare", false, true},
    {ShapeDiamond, "Diamond", "miShapeDiamond", false, true},
    {ShapeTriangle, "Triangle", "miShapeTriangle", false, false},
    {ShapeRing, "Ring", "miShapeRing", false, true},
    {ShapeThinRing, "Thin Ring", "miShapeThinRing", false, true},
    {ShapeMoon, "Moon", "miShapeMoon", false, true},
    {ShapeWave, "Wave", "miShapeWave", false, true},
    {ShapeHole, "Hole", "miShapeHole", false, true},
    {ShapeYingYang, "Ying Yang", "miShapeYingYang", false, true},
    {ShapeSnowman, "Snowman", "miShapeSnowman", false, true},
    {ShapeFace, "Face :)", "miShapeFace", false, true},
    {ShapeRndPoly, "Random Polynomial", "miShapeRndPoly", true, true},
    {ShapeRndTrig, "Random Trigonometric", "miShapeRndTrig", false, true},
};
static_assert(std::size(ShapeMenu) == 15);

// The class (0 or 1) that the shape gives to the point (x, y); tags without a rule of their own
// (0, XOR, Triangle, unknown) give 1 where x * y >= 0.
int32_t ShapeClass(const ShapeState& shape, float x, float y);

// How many times a pick draws new parameters and regenerates before it gives up. A random
// polynomial misses the balance about one time in three, so 20 attempts all miss about once in
// 5e9 picks; options under which generation cannot succeed cost at most 20 failed generations.
constexpr int PickShapeMaxAttempts = 20;

// Picks the shape: sets shapeId, then up to PickShapeMaxAttempts times draws all 32 parameters
// (RandomUniform(-1, 1), index 0 first) and generates; stops at the first generation that placed
// every point and gave each class at least count / 10 points. Returns false when no attempt did
// (the last attempt's points stay; the caller beeps). Views and counters are the caller's to
// refresh.
[[nodiscard]] bool PickShape(int32_t shapeId, const GenerateOptions& options, ShapeState& shape,
                             PointSet& set, VerifySet& verify);

}  // namespace kestro
