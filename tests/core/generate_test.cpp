#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/units/errors.h"
#include "core/units/glowny/generate.h"
#include "core/units/glowny/shapes.h"
#include "core/units/random.h"

namespace kestro {
namespace {

ShapeState Shape(int32_t id) {
    ShapeState shape;
    shape.shapeId = id;
    return shape;
}

// The smallest distance between two points of the set that the predicate selects.
double SmallestGap(const PointSet& set, bool sameClass) {
    double smallest = 10;
    for (int i = 0; i < set.count; ++i)
        for (int k = 0; k < i; ++k)
            if ((set.points[i].classIndex == set.points[k].classIndex) == sameClass)
                smallest =
                    std::min(smallest, std::hypot(double(set.points[i].x) - set.points[k].x,
                                                  double(set.points[i].y) - set.points[k].y));
    return smallest;
}

TEST(GenerateOptions, DialogTables) {
    const int32_t amounts[] = {25, 50, 75, 100, 200, 300, 400, 500, 600, 700, 800, 900, 1000};
    static_assert(std::size(amounts) == AmountItemCount);
    for (int32_t i = 0; i < AmountItemCount; ++i) {
        EXPECT_EQ(AmountFromIndex(i), amounts[i]);
        EXPECT_EQ(AmountIndex(amounts[i]), i);
    }
    EXPECT_EQ(AmountFromIndex(DefaultAmountIndex), GenerateOptions{}.amount);
    EXPECT_EQ(AmountIndex(150), -1);
    EXPECT_THROW(AmountFromIndex(13), EAssertionFailed);
    EXPECT_EQ(MinDistanceFromPosition(MinDistancePositionDefault), GenerateOptions{}.minDistance);
    EXPECT_EQ(MinDistanceFromPosition(MinDistancePositionMax), 0.2f);
    EXPECT_EQ(MinDistanceFromPosition(MinDistancePositionMin), 0.001f);
    EXPECT_EQ(ArrangementCaptions[ArrangementCircleCartesian], "Circle Cartesian");
}

TEST(GeneratePoints, DefaultOptionsWithTheCircle) {
    SetRandomSeed(2024);
    const ShapeState shape = Shape(ShapeCircle);
    PointSet set;
    VerifySet verify;
    for (SamplePoint& p : verify.points)
        p = {5, 5, 7, true};
    ASSERT_TRUE(GeneratePoints(GenerateOptions{}, shape, set, verify));
    ASSERT_EQ(set.count, 400);
    int ones = 0;
    for (int i = 0; i < set.count; ++i) {
        const SamplePoint& p = set.points[i];
        EXPECT_TRUE(p.correct);
        EXPECT_TRUE(std::fabs(p.x) <= 1 && std::fabs(p.y) <= 1);
        EXPECT_EQ(p.classIndex, ShapeClass(shape, p.x, p.y));
        ones += p.classIndex;
    }
    EXPECT_GT(ones, 150);  // about half the square lies in the circle
    EXPECT_LT(ones, 250);
    for (const SamplePoint& p : verify.points) {
        EXPECT_TRUE(std::fabs(p.x) <= 1 && std::fabs(p.y) <= 1);
        EXPECT_EQ(p.classIndex, ShapeClass(shape, p.x, p.y));
        EXPECT_FALSE(p.correct);
    }
}

TEST(GeneratePoints, DrawsXThenYOnTheGeneratorsGrid) {
    // The first point of "Square Cartesian", worked out from the generator's own formula:
    // seed = seed * 134775813 + 1, k = high half of seed * 8001, value = -1 + 2 k / 8000.
    uint32_t seed = 77;
    const auto next = [&seed] {
        seed = seed * 134775813u + 1u;
        const auto k = static_cast<int32_t>((uint64_t{seed} * 8001u) >> 32);
        return static_cast<float>(-1.0 + 2.0 * k / 8000.0);
    };
    const float x = next();
    const float y = next();
    SetRandomSeed(77);
    PointSet set;
    VerifySet verify;
    GenerateOptions options;
    options.amount = 1;
    ASSERT_TRUE(GeneratePoints(options, Shape(ShapeXor), set, verify));
    EXPECT_EQ(set.points[0].x, x);
    EXPECT_EQ(set.points[0].y, y);
    // The verify set follows: x, then y, for each of its points.
    EXPECT_EQ(verify.points[0].x, next());
    EXPECT_EQ(verify.points[0].y, next());
}

TEST(GeneratePoints, ZeroFillsRecordsBeyondTheNewCount) {
    SetRandomSeed(3);
    PointSet set;
    VerifySet verify;
    GenerateOptions options;
    options.amount = 1000;
    ASSERT_TRUE(GeneratePoints(options, Shape(ShapeCircle), set, verify));
    options.amount = 25;
    ASSERT_TRUE(GeneratePoints(options, Shape(ShapeCircle), set, verify));
    EXPECT_EQ(set.count, 25);
    for (int i = 25; i < MaxPoints; ++i) {
        const SamplePoint& p = set.points[i];
        ASSERT_TRUE(p.x == 0 && p.y == 0 && p.classIndex == 0 && !p.correct) << i;
    }
}

TEST(GeneratePoints, EqualAmountAlternatesClasses) {
    SetRandomSeed(8);
    PointSet set;
    VerifySet verify;
    GenerateOptions options;
    options.amount = 25;
    options.equal = true;
    ASSERT_TRUE(GeneratePoints(options, Shape(ShapeRing), set, verify));
    ASSERT_EQ(set.count, 25);
    int ones = 0;
    for (int i = 0; i < 25; ++i) {
        EXPECT_EQ(set.points[i].classIndex, i % 2) << i;
        ones += set.points[i].classIndex;
    }
    EXPECT_EQ(ones, 12);
}

TEST(GeneratePoints, MinimalDistanceBetweenClassesOnly) {
    SetRandomSeed(21);
    PointSet set;
    VerifySet verify;
    GenerateOptions options;
    options.amount = 300;
    options.minDistBetween = true;
    options.minDistance = 0.2f;
    ASSERT_TRUE(GeneratePoints(options, Shape(ShapeCircle), set, verify));
    ASSERT_EQ(set.count, 300);
    EXPECT_GT(SmallestGap(set, false), 0.2);
    EXPECT_LT(SmallestGap(set, true), 0.2);  // the same class may crowd
}

TEST(GeneratePoints, MinimalDistanceInsideClassesToo) {
    SetRandomSeed(22);
    PointSet set;
    VerifySet verify;
    GenerateOptions options;
    options.amount = 50;
    options.minDistBetween = true;
    options.minDistInside = true;
    options.minDistance = 0.2f;
    ASSERT_TRUE(GeneratePoints(options, Shape(ShapeWave), set, verify));
    ASSERT_EQ(set.count, 50);
    EXPECT_GT(SmallestGap(set, false), 0.2);
    EXPECT_GT(SmallestGap(set, true), 0.2);
}

TEST(GeneratePoints, InsideWithoutBetweenAppliesNoRule) {
    SetRandomSeed(23);
    PointSet set;
    VerifySet verify;
    GenerateOptions options;
    options.amount = 400;
    options.minDistInside = true;
    options.minDistance = 0.2f;
    ASSERT_TRUE(GeneratePoints(options, Shape(ShapeCircle), set, verify));
    EXPECT_LT(SmallestGap(set, true), 0.2);
    EXPECT_LT(SmallestGap(set, false), 0.2);
}

TEST(GeneratePoints, ArrangementsKeepTheirRanges) {
    struct Case {
        int32_t arrangement;
        double innerShareLow, innerShareHigh;  // share of points within radius 0.5
    };
    // Uniform over the square: pi / 16 = 0.196; over the disc: 0.25; radial over the disc: 0.5;
    // radial up to sqrt 2 with the corners outside the square rejected: 0.354 / 0.794 = 0.446.
    const Case cases[] = {{ArrangementSquareCartesian, 0.16, 0.23},
                          {ArrangementSquareRadial, 0.40, 0.49},
                          {ArrangementCircleCartesian, 0.21, 0.29},
                          {ArrangementCircleRadial, 0.45, 0.55}};
    for (const Case& c : cases) {
        SetRandomSeed(1000 + c.arrangement);
        PointSet set;
        VerifySet verify;
        GenerateOptions options;
        options.amount = MaxPoints;
        options.arrangement = c.arrangement;
        ASSERT_TRUE(GeneratePoints(options, Shape(ShapeXor), set, verify));
        int inner = 0;
        for (int i = 0; i < set.count; ++i) {
            const double x = set.points[i].x;
            const double y = set.points[i].y;
            ASSERT_TRUE(std::fabs(x) <= 1 && std::fabs(y) <= 1);
            if (c.arrangement == ArrangementSquareRadial) {
                ASSERT_TRUE(std::fabs(x) < 1 && std::fabs(y) < 1) << x << ", " << y;
            }
            if (c.arrangement == ArrangementCircleCartesian) {
                ASSERT_LE(x * x + y * y, 1.0) << x << ", " << y;
            }
            if (c.arrangement == ArrangementCircleRadial) {
                ASSERT_LE(x * x + y * y, 1.0 + 1e-6) << x << ", " << y;
            }
            inner += x * x + y * y < 0.25;
        }
        const double share = inner / double(set.count);
        EXPECT_GT(share, c.innerShareLow) << c.arrangement;
        EXPECT_LT(share, c.innerShareHigh) << c.arrangement;
    }
}

TEST(GeneratePoints, FailureKeepsThePartialSetAndRefillsTheVerifySet) {
    SetRandomSeed(31);
    PointSet set;
    VerifySet verify;
    for (SamplePoint& p : verify.points)
        p = {5, 5, 7, true};
    GenerateOptions options;
    options.amount = 1000;
    options.minDistBetween = true;
    options.minDistInside = true;
    options.minDistance = 0.2f;
    const ShapeState shape = Shape(ShapeMoon);
    EXPECT_FALSE(GeneratePoints(options, shape, set, verify));
    EXPECT_GT(set.count, 20);
    EXPECT_LT(set.count, 200);
    EXPECT_GT(SmallestGap(set, true), 0.2);
    EXPECT_GT(SmallestGap(set, false), 0.2);
    for (int i = 0; i < set.count; ++i)
        EXPECT_TRUE(set.points[i].correct);
    for (const SamplePoint& p : verify.points) {
        ASSERT_TRUE(std::fabs(p.x) <= 1 && std::fabs(p.y) <= 1);
        ASSERT_EQ(p.classIndex, ShapeClass(shape, p.x, p.y));
        ASSERT_FALSE(p.correct);
    }

    // A class that the shape never gives: equal amounts stop at the second point.
    ShapeState empty = Shape(ShapeRndPoly);
    empty.parameters[0] = -1;  // 0 <= -1 never holds: class 0 everywhere
    options = GenerateOptions{};
    options.equal = true;
    EXPECT_FALSE(GeneratePoints(options, empty, set, verify));
    EXPECT_EQ(set.count, 1);
    EXPECT_EQ(set.points[0].classIndex, 0);
}

TEST(GeneratePoints, AmountAndArrangementOutsideTheirRangesAreProgramErrors) {
    PointSet set;
    VerifySet verify;
    for (int32_t amount : {0, -5, MaxPoints + 1}) {
        GenerateOptions options;
        options.amount = amount;
        try {
            (void)GeneratePoints(options, Shape(ShapeCircle), set, verify);
            ADD_FAILURE() << amount;
        } catch (const EAssertionFailed& e) {
            EXPECT_NE(std::string(e.what()).find("units/glowny/"), std::string::npos) << e.what();
        }
    }
    GenerateOptions options;
    options.arrangement = 4;
    EXPECT_THROW((void)GeneratePoints(options, Shape(ShapeCircle), set, verify), EAssertionFailed);
}

}  // namespace
}  // namespace kestro
