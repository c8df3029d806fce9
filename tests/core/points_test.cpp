#include <gtest/gtest.h>

#include <cmath>

#include "core/units/errors.h"
#include "core/units/glowny/points.h"
#include "core/units/glowny/shapes.h"
#include "core/units/random.h"

namespace kestro {
namespace {

// A set holding the given points, each correct.
PointSet MakeSet(std::initializer_list<SamplePoint> points) {
    PointSet set;
    for (SamplePoint p : points) {
        p.correct = true;
        set.points[set.count++] = p;
    }
    return set;
}

EditState Mode(int32_t selectedClass, bool spray = false, float radius = 0.2f) {
    EditState edit;
    edit.selectedClass = selectedClass;
    edit.sprayModifier = spray;
    edit.brushRadius = radius;
    return edit;
}

TEST(PixelToPlane, CornersCentreAndStretchedAxes) {
    const PlanePoint topLeft = PixelToPlane(0, 0, 400, 400);
    EXPECT_EQ(topLeft.x, -1.0f);
    EXPECT_EQ(topLeft.y, 1.0f);
    const PlanePoint centre = PixelToPlane(200, 200, 400, 400);
    EXPECT_EQ(centre.x, 0.0f);
    EXPECT_EQ(centre.y, 0.0f);
    const PlanePoint bottomRight = PixelToPlane(400, 400, 400, 400);
    EXPECT_EQ(bottomRight.x, 1.0f);
    EXPECT_EQ(bottomRight.y, -1.0f);
    // Each axis is scaled on its own: a wide area is not forced square.
    const PlanePoint wide = PixelToPlane(600, 100, 800, 400);
    EXPECT_EQ(wide.x, 0.5f);
    EXPECT_EQ(wide.y, 0.5f);
    EXPECT_THROW(PixelToPlane(0, 0, 0, 400), EAssertionFailed);
}

TEST(SprayCount, RoundsTheBrushAreaWithAFloorOfFive) {
    EXPECT_EQ(SprayCount(0.2f), 13);  // 12.56
    EXPECT_EQ(SprayCount(MinBrushRadius), 5);
    EXPECT_EQ(SprayCount(0.1f), 5);   // 3.14
    EXPECT_EQ(SprayCount(0.3f), 28);  // 28.26
    EXPECT_EQ(SprayCount(MaxBrushRadius), 314);
}

TEST(ClickAdd, SinglePointAtTheClickWithTheSelectedClass) {
    PointSet set;
    const ShapeState shape;
    ClickResult r = ClickPoints(set, Mode(SelectClass1), shape, 300, 100, 400, 400);
    EXPECT_TRUE(r.handled);
    EXPECT_EQ(r.added, 1);
    EXPECT_TRUE(r.Changed());
    r = ClickPoints(set, Mode(SelectClass2), shape, 100, 300, 400, 400);
    EXPECT_EQ(r.added, 1);
    ASSERT_EQ(set.count, 2);
    EXPECT_EQ(set.points[0].x, 0.5f);
    EXPECT_EQ(set.points[0].y, 0.5f);
    EXPECT_EQ(set.points[0].classIndex, 0);
    EXPECT_TRUE(set.points[0].correct);
    EXPECT_EQ(set.points[1].x, -0.5f);
    EXPECT_EQ(set.points[1].y, -0.5f);
    EXPECT_EQ(set.points[1].classIndex, 1);
}

TEST(ClickAdd, ShapeModeTakesTheShapesClassAndSprayStraddlesBoundaries) {
    ShapeState shape;
    shape.shapeId = ShapeCircle;
    PointSet set;
    (void)ClickPoints(set, Mode(SelectShapeClass), shape, 200, 200, 400, 400);  // centre
    (void)ClickPoints(set, Mode(SelectShapeClass), shape, 0, 0, 400, 400);      // corner
    ASSERT_EQ(set.count, 2);
    EXPECT_EQ(set.points[0].classIndex, 1);
    EXPECT_EQ(set.points[1].classIndex, 0);

    // XOR around the origin: a sprayed cloud gets both classes, each point its own.
    shape.shapeId = ShapeXor;
    SetRandomSeed(7);
    PointSet cloud;
    (void)ClickPoints(cloud, Mode(SelectShapeClass, true), shape, 200, 200, 400, 400);
    ASSERT_EQ(cloud.count, 13);
    int ones = 0;
    for (int i = 0; i < cloud.count; ++i) {
        const SamplePoint& p = cloud.points[i];
        EXPECT_EQ(p.classIndex, ShapeClass(shape, p.x, p.y));
        ones += p.classIndex;
    }
    EXPECT_GT(ones, 0);
    EXPECT_LT(ones, 13);
}

TEST(ClickAdd, SprayStaysInsideTheSquareAndTheBrushEvenInCorners) {
    const ShapeState shape;
    const double corners[][2] = {{0, 0}, {400, 0}, {0, 400}, {400, 400}, {200, 200}, {3, 397}};
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        SetRandomSeed(seed);
        for (const auto& corner : corners) {
            PointSet set;
            const ClickResult r =
                ClickPoints(set, Mode(SelectClass2, true), shape, corner[0], corner[1], 400, 400);
            ASSERT_EQ(r.added, 13);
            ASSERT_EQ(set.count, 13);
            const PlanePoint c = PixelToPlane(corner[0], corner[1], 400, 400);
            int atClick = 0;
            for (int i = 0; i < set.count; ++i) {
                const SamplePoint& p = set.points[i];
                EXPECT_GE(p.x, -1.0f);
                EXPECT_LE(p.x, 1.0f);
                EXPECT_GE(p.y, -1.0f);
                EXPECT_LE(p.y, 1.0f);
                EXPECT_LE(std::hypot(double(p.x) - c.x, double(p.y) - c.y), 0.2 + 1e-6);
                EXPECT_EQ(p.classIndex, 1);
                atClick += p.x == c.x && p.y == c.y;
            }
            EXPECT_LT(atClick, 3) << "the spray must scatter its points";
        }
    }
}

TEST(ClickAdd, SprayUsesTheBrushRadius) {
    const ShapeState shape;
    SetRandomSeed(99);
    PointSet set;
    const ClickResult r =
        ClickPoints(set, Mode(SelectClass1, true, 0.5f), shape, 200, 200, 400, 400);
    ASSERT_EQ(r.added, 78);  // 0.25 * 314 = 78.5, half to even
    float farthest = 0;
    for (int i = 0; i < set.count; ++i)
        farthest = std::max(farthest, std::hypot(set.points[i].x, set.points[i].y));
    EXPECT_LE(farthest, 0.5f);
    EXPECT_GT(farthest, 0.3f);  // a larger brush spreads the cloud wider
}

TEST(ClickAdd, CapacityLimitsAddsAndTheLastFreeSlotTakesTheClick) {
    const ShapeState shape;
    PointSet set;
    set.count = 1999;
    ClickResult r = ClickPoints(set, Mode(SelectClass1, true), shape, 100, 100, 400, 400);
    EXPECT_EQ(r.added, 1);
    ASSERT_EQ(set.count, 2000);
    EXPECT_EQ(set.points[1999].x, -0.5f);
    EXPECT_EQ(set.points[1999].y, 0.5f);

    // A full set ignores adds entirely, records untouched.
    set.points[1999].classIndex = 5;
    r = ClickPoints(set, Mode(SelectClass2), shape, 300, 300, 400, 400);
    EXPECT_FALSE(r.handled);
    EXPECT_EQ(set.count, 2000);
    EXPECT_EQ(set.points[1999].classIndex, 5);

    // A spray with five free slots adds five.
    set.count = 1995;
    r = ClickPoints(set, Mode(SelectClass2, true), shape, 300, 300, 400, 400);
    EXPECT_EQ(r.added, 5);
    EXPECT_EQ(set.count, 2000);

    // Deleting still works on a full set.
    set.count = 2000;
    set.points[0] = {0.9f, 0.9f, 0, true};
    r = ClickPoints(set, Mode(SelectDelete, false, 0.05f), shape, 380, 20, 400, 400);
    EXPECT_TRUE(r.handled);
    EXPECT_EQ(r.removed, 1);
    EXPECT_EQ(set.count, 1999);
}

TEST(ClickDelete, RemovesWithinTheRadiusKeepingOrder) {
    const ShapeState shape;
    PointSet set =
        MakeSet({{-0.8f, 0, 0}, {0.1f, 0.1f, 1}, {0.7f, 0, 1}, {0, -0.15f, 0}, {0.8f, 0.8f, 2}});
    const ClickResult r = ClickPoints(set, Mode(SelectDelete), shape, 200, 200, 400, 400);
    EXPECT_TRUE(r.handled);
    EXPECT_EQ(r.removed, 2);
    ASSERT_EQ(set.count, 3);
    EXPECT_EQ(set.points[0].x, -0.8f);
    EXPECT_EQ(set.points[1].x, 0.7f);
    EXPECT_EQ(set.points[2].x, 0.8f);
    EXPECT_EQ(set.points[2].classIndex, 2);
}

TEST(ClickDelete, APointExactlyOnTheRadiusIsDeletedAndMissesStillCount) {
    const ShapeState shape;
    PointSet set = MakeSet({{0.2f, 0, 0}, {0, std::nextafter(0.2f, 1.0f), 0}});
    ClickResult r = ClickPoints(set, Mode(SelectDelete), shape, 200, 200, 400, 400);
    EXPECT_EQ(r.removed, 1);
    ASSERT_EQ(set.count, 1);
    EXPECT_EQ(set.points[0].y, std::nextafter(0.2f, 1.0f));

    // Nothing under the brush: handled (the window refreshes) but unchanged.
    r = ClickPoints(set, Mode(SelectDelete), shape, 0, 400, 400, 400);
    EXPECT_TRUE(r.handled);
    EXPECT_FALSE(r.Changed());
    EXPECT_EQ(set.count, 1);
}

TEST(Click, OutsideTheAreaOrOnAnEmptyAreaIsIgnored) {
    const ShapeState shape;
    PointSet set = MakeSet({{1, 1, 0}});
    EXPECT_FALSE(ClickPoints(set, Mode(SelectClass1, true), shape, 401, 200, 400, 400).handled);
    EXPECT_FALSE(ClickPoints(set, Mode(SelectClass1), shape, 200, -0.5, 400, 400).handled);
    EXPECT_FALSE(
        ClickPoints(set, Mode(SelectDelete, false, 1.0f), shape, 450, 0, 400, 400).handled);
    EXPECT_FALSE(ClickPoints(set, Mode(SelectClass1), shape, 0, 0, 0, 0).handled);
    EXPECT_EQ(set.count, 1);
    // The very edge is inside.
    EXPECT_TRUE(ClickPoints(set, Mode(SelectClass1), shape, 400, 400, 400, 400).handled);
    EXPECT_EQ(set.count, 2);
}

TEST(Brush, StepsAndClamps) {
    EditState edit;
    EXPECT_TRUE(BrushRadiusUp(edit));
    EXPECT_FLOAT_EQ(edit.brushRadius, 0.22f);
    EXPECT_TRUE(BrushRadiusDown(edit));
    EXPECT_TRUE(BrushRadiusDown(edit));
    EXPECT_FLOAT_EQ(edit.brushRadius, 0.18f);
    int presses = 0;
    while (BrushRadiusDown(edit))
        ++presses;
    EXPECT_EQ(edit.brushRadius, MinBrushRadius);
    EXPECT_GE(presses, 7);
    EXPECT_LE(presses, 9);
    EXPECT_FALSE(BrushRadiusDown(edit));
    EXPECT_EQ(edit.brushRadius, MinBrushRadius);
    presses = 0;
    while (BrushRadiusUp(edit))
        ++presses;
    EXPECT_EQ(edit.brushRadius, 1.0f);
    EXPECT_GE(presses, 49);
    EXPECT_LE(presses, 50);
    EXPECT_FALSE(BrushRadiusUp(edit));
    EXPECT_EQ(edit.brushRadius, 1.0f);
}

TEST(SelectClass, SelectsKnownTagsOnly) {
    EditState edit;
    EXPECT_EQ(edit.selectedClass, SelectDelete);
    EXPECT_TRUE(SelectClass(edit, SelectShapeClass));
    EXPECT_FALSE(SelectClass(edit, SelectShapeClass));
    EXPECT_TRUE(SelectClass(edit, SelectClass2));
    EXPECT_EQ(edit.selectedClass, 2);
    EXPECT_THROW(SelectClass(edit, 3), EAssertionFailed);
    EXPECT_EQ(edit.selectedClass, 2);
}

TEST(ClearAndCount, ClearEmptiesAndCountsSkipHigherClasses) {
    PointSet set = MakeSet({{0, 0, 0}, {0, 0, 1}, {0, 0, 1}, {0, 0, 8}, {0, 0, 0}});
    const ClassCounts counts = CountClasses(set);
    EXPECT_EQ(counts.total, 5);
    EXPECT_EQ(counts.class1, 2);
    EXPECT_EQ(counts.class2, 2);
    EXPECT_TRUE(ClearPoints(set));
    EXPECT_EQ(set.count, 0);
    EXPECT_FALSE(ClearPoints(set));
    EXPECT_EQ(CountClasses(set).total, 0);
}

}  // namespace
}  // namespace kestro
