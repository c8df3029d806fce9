#include "core/units/glowny/generate.h"

#include <cmath>

#include "core/units/errors.h"
#include "core/units/glowny/shapes.h"
#include "core/units/nnet.h"
#include "core/units/uu.h"

namespace kestro {

namespace {

// 2 pi and the square root of 2 as floats, as the radial arrangements draw them.
constexpr float TwoPi = 6.2831855f;
constexpr float Sqrt2 = 1.4142135f;

// sin(a) * r and cos(a) * r, each rounded to float.
PlanePoint Polar(float a, float r) {
    return {static_cast<float>(std::sin(static_cast<double>(a)) * static_cast<double>(r)),
            static_cast<float>(std::cos(static_cast<double>(a)) * static_cast<double>(r))};
}

// One candidate spread by the arrangement. The rejection loops end with probability one: the
// origin is always acceptable and each try accepts with probability above one half.
PlanePoint DrawCandidate(int32_t arrangement) {
    switch (arrangement) {
        case ArrangementSquareRadial:
            while (true) {
                const float a = RandomUniform(0, TwoPi);
                const float r = RandomUniform(0, Sqrt2);
                const PlanePoint p = Polar(a, r);
                if (-1 < p.x && p.x < 1 && -1 < p.y && p.y < 1)
                    return p;
            }
        case ArrangementCircleCartesian:
            while (true) {
                const float x = RandomUniform(-1, 1);
                const float y = RandomUniform(-1, 1);
                if (static_cast<double>(x) * x + static_cast<double>(y) * y <= 1)
                    return {x, y};
            }
        case ArrangementCircleRadial: {
            const float a = RandomUniform(0, TwoPi);
            const float r = RandomUniform(0, 1);
            return Polar(a, r);
        }
        default: {
            const float x = RandomUniform(-1, 1);
            const float y = RandomUniform(-1, 1);
            return {x, y};
        }
    }
}

// Whether the candidate at index i keeps the minimal distance from every earlier point that
// counts: d = min(1, Distance(k, i) over counted k), accepted when d > minDistance.
bool KeepsDistance(const PointSet& set, int32_t i, bool inside, float minDistance) {
    const SamplePoint& candidate = set.points[i];
    float d = 1.0f;
    for (int32_t k = 0; k < i; ++k) {
        const SamplePoint& other = set.points[k];
        if (!inside && other.classIndex == candidate.classIndex)
            continue;
        d = MinFloat(d, Distance(other.x, other.y, candidate.x, candidate.y));
        if (!(d > minDistance))
            return false;  // the minimum can only fall further
    }
    return d > minDistance;
}

}  // namespace

int32_t AmountFromIndex(int32_t index) {
    KESTRO_ASSERT(index >= 0 && index < AmountItemCount);
    return index <= 2 ? (index + 1) * 25 : (index - 2) * 100;
}

int32_t AmountIndex(int32_t amount) {
    for (int32_t i = 0; i < AmountItemCount; ++i) {
        if (AmountFromIndex(i) == amount)
            return i;
    }
    return -1;
}

float MinDistanceFromPosition(int32_t position) {
    return static_cast<float>(position / 1000.0);
}

bool GeneratePoints(const GenerateOptions& options, const ShapeState& shape, PointSet& set,
                    VerifySet& verify) {
    KESTRO_ASSERT(options.amount >= 1 && options.amount <= MaxPoints);
    KESTRO_ASSERT(options.arrangement >= ArrangementSquareCartesian &&
                  options.arrangement <= ArrangementCircleRadial);
    const bool between = options.minDistBetween;
    const bool inside = between && options.minDistInside;

    for (SamplePoint& point : set.points)
        point = SamplePoint{};
    set.count = options.amount;
    bool complete = true;
    for (int32_t i = 0; i < options.amount; ++i) {
        SamplePoint& point = set.points[i];
        bool ok = false;
        for (int attempt = 0; attempt < GenerateAttempts && !ok; ++attempt) {
            const PlanePoint candidate = DrawCandidate(options.arrangement);
            point.x = candidate.x;
            point.y = candidate.y;
            point.classIndex = ShapeClass(shape, candidate.x, candidate.y);
            ok = !options.equal || point.classIndex == i % 2;
            if (ok && between)
                ok = KeepsDistance(set, i, inside, options.minDistance);
            point.correct = ok;
        }
        if (!ok) {
            // The points placed so far stay, in order.
            set.count = i;
            complete = false;
            break;
        }
    }

    // The verify set is refilled whatever happened above: x, then y, then the shape's class.
    for (SamplePoint& point : verify.points) {
        point.x = RandomUniform(-1, 1);
        point.y = RandomUniform(-1, 1);
        point.classIndex = ShapeClass(shape, point.x, point.y);
        point.correct = false;
    }
    return complete;
}

}  // namespace kestro
