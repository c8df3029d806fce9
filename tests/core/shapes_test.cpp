#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>

#include "core/units/glowny/generate.h"
#include "core/units/glowny/shapes.h"
#include "core/units/nnet.h"
#include "core/units/random.h"

namespace kestro {
namespace {

int32_t ClassAt(int32_t shapeId, float x, float y) {
    ShapeState shape;
    shape.shapeId = shapeId;
    return ShapeClass(shape, x, y);
}

TEST(ShapeMenu, TagsNamesAndLayout) {
    std::set<int32_t> tags;
    std::set<std::string_view> names;
    int visible = 0;
    for (const ShapeMenuItem& item : ShapeMenu) {
        EXPECT_TRUE(tags.insert(item.tag).second) << item.caption;
        EXPECT_TRUE(names.insert(item.itemName).second) << item.itemName;
        EXPECT_TRUE(item.itemName.starts_with("miShape"));
        visible += item.visible;
        EXPECT_EQ(item.separatorBefore, item.tag == ShapeRndPoly) << item.caption;
        EXPECT_EQ(item.visible, item.tag != ShapeTriangle) << item.caption;
    }
    EXPECT_EQ(visible, 14);
    EXPECT_EQ(ShapeMenu[8].itemName, "miShapeWave");
    EXPECT_EQ(ShapeMenu[8].tag, 9);
    EXPECT_EQ(ShapeMenu[12].caption, "Face :)");
    EXPECT_EQ(ShapeMenu[14].caption, "Random Trigonometric");
}

TEST(ShapeClass, DocumentedSamplePoints) {
    EXPECT_EQ(ClassAt(ShapeCircle, 0.79f, 0), 1);
    EXPECT_EQ(ClassAt(ShapeCircle, 0.8f, 0), 0);
    EXPECT_EQ(ClassAt(ShapeSquare, 0.707f, 0.707f), 1);
    EXPECT_EQ(ClassAt(ShapeSquare, 0.71f, 0), 0);
    EXPECT_EQ(ClassAt(ShapeXor, 0, 0.5f), 1);
    EXPECT_EQ(ClassAt(ShapeXor, -0.3f, -0.3f), 1);
    EXPECT_EQ(ClassAt(ShapeXor, 0.2f, -0.2f), 0);
    EXPECT_EQ(ClassAt(ShapeRing, 0.5f, 0), 1);
    EXPECT_EQ(ClassAt(ShapeRing, 0.3f, 0), 0);
    EXPECT_EQ(ClassAt(ShapeRing, 0.8f, 0), 0);
    EXPECT_EQ(ClassAt(ShapeRing, 0, 0), 0);
    EXPECT_EQ(ClassAt(ShapeYingYang, 0.9f, 0.9f), 1);
    EXPECT_EQ(ClassAt(ShapeYingYang, -0.9f, 0.9f), 0);
    EXPECT_EQ(ClassAt(ShapeYingYang, 0, -0.5f), 0);
    EXPECT_EQ(ClassAt(ShapeYingYang, 0, 0.5f), 1);
    EXPECT_EQ(ClassAt(ShapeYingYang, -0.3f, -0.5f), 1);
    EXPECT_EQ(ClassAt(ShapeFace, 0, 0), 1);
    EXPECT_EQ(ClassAt(ShapeFace, 0.32f, 0.3f), 0);
    EXPECT_EQ(ClassAt(ShapeFace, 0.9f, 0), 0);
    EXPECT_EQ(ClassAt(ShapeFace, 0, -0.5f), 0);
}

TEST(ShapeClass, Boundaries) {
    // Circles are strict: a point on the circle is outside; the ring keeps its inner edge.
    EXPECT_EQ(ClassAt(ShapeCircle, 0.7979f, 0), 0);
    EXPECT_EQ(ClassAt(ShapeCircle, 0, std::nextafter(0.7979f, 0.0f)), 1);
    EXPECT_EQ(ClassAt(ShapeRing, 0.35f, 0), 1);
    EXPECT_EQ(ClassAt(ShapeRing, 0, -0.75f), 0);
    EXPECT_EQ(ClassAt(ShapeThinRing, 0.5f, 0), 1);
    EXPECT_EQ(ClassAt(ShapeThinRing, 0.7f, 0), 0);
    // The square's half-side is the double 0.7071, just above the float nearest to it.
    EXPECT_EQ(ClassAt(ShapeSquare, 0.7071f, -0.7071f), 1);
    EXPECT_EQ(ClassAt(ShapeSquare, 0.7072f, 0), 0);
    EXPECT_EQ(ClassAt(ShapeDiamond, 0.5f, 0.5f), 0);
    EXPECT_EQ(ClassAt(ShapeDiamond, 0.49f, 0.5f), 1);
    EXPECT_EQ(ClassAt(ShapeDiamond, -0.99f, 0), 1);
    // XOR, the hidden Triangle and unknown tags: the axes belong to class 1.
    for (int32_t id : {0, ShapeXor, ShapeTriangle, 14, 99, -1}) {
        EXPECT_EQ(ClassAt(id, 0.5f, 0), 1) << id;
        EXPECT_EQ(ClassAt(id, 0, -0.5f), 1) << id;
        EXPECT_EQ(ClassAt(id, -0.5f, 0.5f), 0) << id;
    }
    // Moon: the crescent's inner edge (on the right circle) still belongs to it.
    EXPECT_EQ(ClassAt(ShapeMoon, 0, 0), 1);
    EXPECT_EQ(ClassAt(ShapeMoon, 0.5f, 0), 0);
    EXPECT_EQ(ClassAt(ShapeMoon, -0.59f, 0), 1);
    EXPECT_EQ(ClassAt(ShapeMoon, -0.61f, 0), 0);
    // Snowman: head and body.
    EXPECT_EQ(ClassAt(ShapeSnowman, 0, 0.85f), 1);
    EXPECT_EQ(ClassAt(ShapeSnowman, 0, 0.95f), 0);
    EXPECT_EQ(ClassAt(ShapeSnowman, 0.5f, -0.35f), 1);
    EXPECT_EQ(ClassAt(ShapeSnowman, 0.5f, 0.5f), 0);
}

// The shapes in plain geometry: an oracle written independently of the rules' algebra.
double Sq(double v) {
    return v * v;
}
double Dist2(double x, double y, double cx, double cy) {
    return Sq(x - cx) + Sq(y - cy);
}

struct Geometry {
    int32_t id;
    // The class, and how far the point lies from the nearest edge (in squared-radius units).
    std::function<bool(double, double)> classOne;
    std::function<double(double, double)> margin;
};

TEST(ShapeClass, AgreesWithThePlainGeometryAwayFromEdges) {
    const Geometry shapes[] = {
        {ShapeCircle, [](double x, double y) { return Dist2(x, y, 0, 0) < Sq(0.7979); },
         [](double x, double y) { return std::fabs(Dist2(x, y, 0, 0) - Sq(0.7979)); }},
        {ShapeWave,
         [](double x, double y) {
             return Dist2(x, y, -0.55, -0.1) > 0.4325 && Dist2(x, y, 0.1, -0.55) < 1.6125;
         },
         [](double x, double y) {
             return std::min(std::fabs(Dist2(x, y, -0.55, -0.1) - 0.4325),
                             std::fabs(Dist2(x, y, 0.1, -0.55) - 1.6125));
         }},
        {ShapeHole,
         [](double x, double y) {
             return Dist2(x, y, -0.425, 0.1) <= 0.060625 || Dist2(x, y, 0.1, 0.55) >= 1.6125;
         },
         [](double x, double y) {
             return std::min(std::fabs(Dist2(x, y, -0.425, 0.1) - 0.060625),
                             std::fabs(Dist2(x, y, 0.1, 0.55) - 1.6125));
         }},
        {ShapeYingYang,
         [](double x, double y) {
             if (Dist2(x, y, 0, -0.5) < 0.04)
                 return false;
             if (Dist2(x, y, 0, 0.5) < 0.04)
                 return true;
             if (Dist2(x, y, 0, -0.5) < 0.25)
                 return true;
             if (Dist2(x, y, 0, 0.5) < 0.25)
                 return false;
             return x > 0;
         },
         [](double x, double y) {
             return std::min({std::fabs(Dist2(x, y, 0, -0.5) - 0.04),
                              std::fabs(Dist2(x, y, 0, 0.5) - 0.04),
                              std::fabs(Dist2(x, y, 0, -0.5) - 0.25),
                              std::fabs(Dist2(x, y, 0, 0.5) - 0.25), std::fabs(x)});
         }},
        {ShapeFace,
         [](double x, double y) {
             if (Dist2(x, y, 0, 0) >= Sq(0.85))
                 return false;
             if (Dist2(x, y, 0.32, 0.3) < 0.04 || Dist2(x, y, -0.32, 0.3) < 0.04)
                 return false;
             return !(Dist2(x, y, 0, -0.1) < 0.25 && Dist2(x, y, 0, 0.3) >= 0.36);
         },
         [](double x, double y) {
             return std::min(
                 {std::fabs(Dist2(x, y, 0, 0) - Sq(0.85)), std::fabs(Dist2(x, y, 0.32, 0.3) - 0.04),
                  std::fabs(Dist2(x, y, -0.32, 0.3) - 0.04), std::fabs(Dist2(x, y, 0, -0.1) - 0.25),
                  std::fabs(Dist2(x, y, 0, 0.3) - 0.36)});
         }},
        {ShapeSquare,
         [](double x, double y) { return std::max(std::fabs(x), std::fabs(y)) < 0.7071; },
         [](double x, double y) {
             return std::fabs(std::max(std::fabs(x), std::fabs(y)) - 0.7071);
         }},
        {ShapeDiamond, [](double x, double y) { return std::fabs(x) + std::fabs(y) < 1; },
         [](double x, double y) { return std::fabs(std::fabs(x) + std::fabs(y) - 1); }},
    };
    for (const Geometry& g : shapes) {
        int checked = 0;
        int ones = 0;
        for (int i = 0; i <= 200; ++i) {
            for (int j = 0; j <= 200; ++j) {
                const float x = static_cast<float>(-1 + i / 100.0);
                const float y = static_cast<float>(-1 + j / 100.0);
                if (g.margin(x, y) < 1e-5)
                    continue;
                ++checked;
                const int32_t expected = g.classOne(x, y) ? 1 : 0;
                ones += expected;
                ASSERT_EQ(ClassAt(g.id, x, y), expected) << g.id << " at " << x << ", " << y;
            }
        }
        EXPECT_GT(checked, 39000) << g.id;
        EXPECT_GT(ones, 2000) << g.id;
        EXPECT_LT(ones, checked - 2000) << g.id;
    }
}

TEST(ShapeClass, RandomShapesReadTheirParameters) {
    ShapeState shape;
    shape.shapeId = ShapeRndPoly;
    // p1 = 1, p4 = 1, p0 = 0.25: the disc x^2 + y^2 <= 0.25, edge included.
    shape.parameters[1] = 1;
    shape.parameters[4] = 1;
    shape.parameters[0] = 0.25f;
    EXPECT_EQ(ShapeClass(shape, 0.5f, 0), 1);
    EXPECT_EQ(ShapeClass(shape, 0.3f, 0.3f), 1);
    EXPECT_EQ(ShapeClass(shape, 0.4f, 0.4f), 0);
    // p2 = 1, p5 = -1, p3 = 0.5, p0 = 0: x + 0.5 x y - y <= 0.
    shape = ShapeState{ShapeRndPoly, {}};
    shape.parameters[2] = 1;
    shape.parameters[3] = 0.5f;
    shape.parameters[5] = -1;
    EXPECT_EQ(ShapeClass(shape, -0.5f, 0.5f), 1);  // -0.5 - 0.125 - 0.5
    EXPECT_EQ(ShapeClass(shape, 0.5f, -0.5f), 0);  // 0.5 - 0.125 + 0.5

    // Trigonometric: sin(5 (p0 x + p1 y + p2)) > p3 equals cos(5 (p4 x + p5 y + p6)) > p7.
    shape = ShapeState{ShapeRndTrig, {}};
    shape.parameters[0] = 0.2f;  // sin(x) > 0 for x in (0, 1]
    shape.parameters[7] = 0.5f;  // cos(0) = 1 > 0.5 always
    EXPECT_EQ(ShapeClass(shape, 0.5f, 0.9f), 1);
    EXPECT_EQ(ShapeClass(shape, -0.5f, 0.9f), 0);
    shape.parameters[7] = 1;  // cos(0) > 1 never
    EXPECT_EQ(ShapeClass(shape, 0.5f, 0.9f), 0);
    EXPECT_EQ(ShapeClass(shape, -0.5f, 0.9f), 1);
    shape.parameters[5] = 0.4f;  // cos(2 y) > 0.5 for |y| < 0.52
    shape.parameters[7] = 0.5f;
    EXPECT_EQ(ShapeClass(shape, 0.5f, 0.3f), 1);
    EXPECT_EQ(ShapeClass(shape, 0.5f, 0.7f), 0);
    // Only the first eight parameters count.
    shape.parameters[8] = 1;
    shape.parameters[31] = -1;
    EXPECT_EQ(ShapeClass(shape, 0.5f, 0.3f), 1);
}

TEST(PickShape, RandomShapesDifferAndKeepTheTenthBalance) {
    const GenerateOptions options;
    for (int32_t id : {ShapeRndPoly, ShapeRndTrig}) {
        SetRandomSeed(4242 + id);
        ShapeState shape;
        PointSet set;
        VerifySet verify;
        ASSERT_TRUE(PickShape(id, options, shape, set, verify));
        const ShapeState first = shape;
        const PointSet firstSet = set;
        ASSERT_TRUE(PickShape(id, options, shape, set, verify));
        EXPECT_EQ(shape.shapeId, id);
        int differentParameters = 0;
        for (int k = 0; k < ShapeParameterCount; ++k) {
            EXPECT_GE(shape.parameters[k], -1.0f);
            EXPECT_LE(shape.parameters[k], 1.0f);
            differentParameters += shape.parameters[k] != first.parameters[k];
        }
        EXPECT_GT(differentParameters, 20);
        for (const PointSet* s : {&firstSet, static_cast<const PointSet*>(&set)}) {
            ASSERT_EQ(s->count, 400);
            const ClassCounts counts = CountClasses(*s);
            EXPECT_GE(counts.class1, 40);
            EXPECT_GE(counts.class2, 40);
        }
        // Two boundaries: on a grid the two parameter sets disagree somewhere.
        int disagree = 0;
        for (int i = 0; i <= 40; ++i)
            for (int j = 0; j <= 40; ++j)
                disagree += ShapeClass(shape, -1 + i / 20.0f, -1 + j / 20.0f) !=
                            ShapeClass(first, -1 + i / 20.0f, -1 + j / 20.0f);
        EXPECT_GT(disagree, 0);
        // Every point belongs to the final parameters.
        for (int i = 0; i < set.count; ++i)
            ASSERT_EQ(set.points[i].classIndex,
                      ShapeClass(shape, set.points[i].x, set.points[i].y));
    }
}

TEST(PickShape, RejectsUnbalancedDrawsAcrossManySeeds) {
    // Random shapes often give one class almost nothing; the pick must never keep such a draw.
    GenerateOptions options;
    options.amount = 100;
    int retried = 0;
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        for (int32_t id : {ShapeRndPoly, ShapeRndTrig}) {
            SetRandomSeed(seed);
            ShapeState shape;
            PointSet set;
            VerifySet verify;
            ASSERT_TRUE(PickShape(id, options, shape, set, verify)) << seed;
            const ClassCounts counts = CountClasses(set);
            ASSERT_GE(counts.class1, 10) << seed << " " << id;
            ASSERT_GE(counts.class2, 10) << seed << " " << id;
            // Had the first draw been kept, would it have been balanced?
            SetRandomSeed(seed);
            ShapeState firstDraw;
            firstDraw.shapeId = id;
            for (float& p : firstDraw.parameters)
                p = RandomUniform(-1, 1);
            retried += firstDraw.parameters[0] != shape.parameters[0];
        }
    }
    EXPECT_GT(retried, 0) << "some first draws should have been rejected";
}

TEST(PickShape, GivesUpAfterTheBoundKeepingTheLastAttempt) {
    // 1000 points kept 0.2 apart cannot fit in the square: every attempt fails.
    GenerateOptions options;
    options.amount = 1000;
    options.minDistBetween = true;
    options.minDistInside = true;
    options.minDistance = 0.2f;
    SetRandomSeed(5);
    ShapeState shape;
    PointSet set;
    VerifySet verify;
    EXPECT_FALSE(PickShape(ShapeRndPoly, options, shape, set, verify));
    EXPECT_EQ(shape.shapeId, ShapeRndPoly);
    EXPECT_GT(set.count, 20);
    EXPECT_LT(set.count, 1000);
    for (int i = 0; i < set.count; ++i)
        ASSERT_EQ(set.points[i].classIndex, ShapeClass(shape, set.points[i].x, set.points[i].y));
    for (const SamplePoint& p : verify.points)
        ASSERT_EQ(p.classIndex, ShapeClass(shape, p.x, p.y));
}

TEST(PickShape, FixedShapeSucceedsAtOnceAndStillDrawsParameters) {
    SetRandomSeed(11);
    ShapeState shape;
    PointSet set;
    VerifySet verify;
    ASSERT_TRUE(PickShape(ShapeWave, GenerateOptions{}, shape, set, verify));
    EXPECT_EQ(shape.shapeId, ShapeWave);
    EXPECT_EQ(set.count, 400);
    // The 32 parameters come first, index 0 first.
    SetRandomSeed(11);
    for (int k = 0; k < ShapeParameterCount; ++k)
        EXPECT_EQ(shape.parameters[k], RandomUniform(-1, 1)) << k;
}

}  // namespace
}  // namespace kestro
