#include "core/units/glowny/shapes.h"

#include <cmath>

#include "core/units/glowny/generate.h"
#include "core/units/nnet.h"
#include "core/units/uu.h"

namespace kestro {

namespace {

// 1 when the rule holds, else 0.
int32_t Bit(bool rule) {
    return rule ? 1 : 0;
}

}  // namespace

int32_t ShapeClass(const ShapeState& shape, float x, float y) {
    // in(cx, cy, r): strictly inside the circle; centres and radii are float constants.
    const auto in = [x, y](float cx, float cy, float r) { return InsideCircle(x, y, cx, cy, r); };
    const double dx = x;
    const double dy = y;
    const float* p = shape.parameters;
    switch (shape.shapeId) {
        case ShapeCircle:
            return Bit(in(0, 0, 0.7979f));
        case ShapeSquare:
            return Bit(std::fabs(dx) < 0.7071 && std::fabs(dy) < 0.7071);
        case ShapeDiamond:
            return Bit(std::fabs(dx + dy) < 1 && std::fabs(dy - dx) < 1);
        case ShapeRing:
            return Bit(in(0, 0, 0.75f) && !in(0, 0, 0.35f));
        case ShapeThinRing:
            return Bit(in(0, 0, 0.7f) && !in(0, 0, 0.5f));
        case ShapeMoon:
            return Bit(in(0.2f, 0, 0.8f) && !in(0.8f, 0, 0.8f));
        case ShapeWave:
            // Outside one circle and inside another, written as the two quadratic forms.
            return Bit((dx + 0.7) * (dx + 0.4) + (0.3 - dy) * (-dy - 0.5) > 0.25 &&
                       (dx + 0.2) * (dx - 0.4) + (-dy - 0.2) * (-dy - 0.9) < 1.4);
        case ShapeHole:
            return Bit(0.25 * dx >= (dx + 0.7) * (dx + 0.4) + (dy + 0.3) * (dy - 0.5) ||
                       (dx + 0.2) * (dx - 0.4) + (dy - 0.2) * (dy - 0.9) >= 1.4);
        case ShapeYingYang: {
            // v = in(0, -0.5, 0.5) + [x > 0] - 2 in(0, -0.5, 0.2) - in(0, 0.5, 0.5)
            //     + 2 in(0, 0.5, 0.2)
            const int v = Bit(in(0, -0.5f, 0.5f)) + Bit(x > 0) - 2 * Bit(in(0, -0.5f, 0.2f)) -
                          Bit(in(0, 0.5f, 0.5f)) + 2 * Bit(in(0, 0.5f, 0.2f));
            return Bit(v > 0);
        }
        case ShapeSnowman:
            return Bit(in(0, 0.5f, 0.4f) || in(0, -0.35f, 0.55f));
        case ShapeFace: {
            const bool mouth = in(0, -0.1f, 0.5f) && !in(0, 0.3f, 0.6f);
            // Exclusive or of the four figures.
            const bool face = in(0, 0, 0.85f);
            const bool rightEye = in(0.32f, 0.3f, 0.2f);
            const bool leftEye = in(-0.32f, 0.3f, 0.2f);
            return Bit(((face != rightEye) != leftEye) != mouth);
        }
        case ShapeRndPoly: {
            // p1 x^2 + p2 x + p3 x y + p4 y^2 + p5 y <= p0
            const double value =
                static_cast<double>(p[1]) * dx * dx + static_cast<double>(p[2]) * dx +
                static_cast<double>(p[3]) * dx * dy + static_cast<double>(p[4]) * dy * dy +
                static_cast<double>(p[5]) * dy;
            return Bit(value <= static_cast<double>(p[0]));
        }
        case ShapeRndTrig: {
            // (sin(5 p0 x + 5 p1 y + 5 p2) > p3) = (cos(5 p4 x + 5 p5 y + 5 p6) > p7)
            const double s = std::sin(5.0 * p[0] * dx + 5.0 * p[1] * dy + 5.0 * p[2]);
            const double c = std::cos(5.0 * p[4] * dx + 5.0 * p[5] * dy + 5.0 * p[6]);
            return Bit((s > static_cast<double>(p[3])) == (c > static_cast<double>(p[7])));
        }
        default:
            // XOR and every tag without a rule of its own: first and third quadrants, axes
            // included.
            return Bit(dx * dy >= 0);
    }
}

bool PickShape(int32_t shapeId, const GenerateOptions& options, ShapeState& shape, PointSet& set,
               VerifySet& verify) {
    shape.shapeId = shapeId;
    for (int attempt = 0; attempt < PickShapeMaxAttempts; ++attempt) {
        for (float& parameter : shape.parameters)
            parameter = RandomUniform(-1, 1);
        if (!GeneratePoints(options, shape, set, verify))
            continue;
        // Each class must hold at least a tenth of the points (count / 10 rounded down).
        const ClassCounts counts = CountClasses(set);
        const int32_t minimum = set.count / 10;
        if (counts.class1 >= minimum && counts.class2 >= minimum)
            return true;
    }
    return false;
}

}  // namespace kestro
