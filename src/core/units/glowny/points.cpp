#include "core/units/glowny/points.h"

#include <cmath>

#include "core/units/errors.h"
#include "core/units/glowny/shapes.h"
#include "core/units/nnet.h"
#include "core/units/uu.h"

namespace kestro {

PlanePoint PixelToPlane(double px, double py, int32_t width, int32_t height) {
    KESTRO_ASSERT(width > 0 && height > 0);
    return PlaneMapping{width, height}.ToPlane(px, py);
}

int32_t SprayCount(float brushRadius) {
    KESTRO_ASSERT(brushRadius >= 0 && brushRadius <= MaxBrushRadius);
    // n = max(r * r * 314 rounded half to even, 5)
    const double area = static_cast<double>(brushRadius) * brushRadius * 314.0;
    return MaxInt(static_cast<int32_t>(std::nearbyint(area)), 5);
}

ClickResult ClickPoints(PointSet& set, const EditState& edit, const ShapeState& shape, double px,
                        double py, int32_t width, int32_t height) {
    KESTRO_ASSERT(edit.selectedClass >= SelectShapeClass && edit.selectedClass <= SelectClass2);
    KESTRO_ASSERT(set.count >= 0 && set.count <= MaxPoints);
    ClickResult result;
    if (edit.selectedClass != SelectDelete && set.count >= MaxPoints)
        return result;
    if (width <= 0 || height <= 0)
        return result;
    const PlanePoint click = PixelToPlane(px, py, width, height);
    // A pointer outside the area (the click is handled after the button went up) is no click;
    // inside the square the spray's rejection loop below always finds room.
    if (!InRange(click.x, -1, 1) || !InRange(click.y, -1, 1))
        return result;
    result.handled = true;
    const float r = edit.brushRadius;

    if (edit.selectedClass == SelectDelete) {
        // Keep every point farther than r from the click; survivors keep their order.
        int32_t kept = 0;
        for (int32_t i = 0; i < set.count; ++i) {
            const SamplePoint& point = set.points[i];
            if (Distance(point.x, point.y, click.x, click.y) > r)
                set.points[kept++] = point;
        }
        result.removed = set.count - kept;
        set.count = kept;
        return result;
    }

    const int32_t n = edit.sprayModifier ? SprayCount(r) : 1;
    const int32_t last = MinInt(set.count + n - 1, MaxPoints - 1);
    for (int32_t i = set.count; i <= last; ++i) {
        float x = click.x;
        float y = click.y;
        if (last != set.count) {
            // Rejection: a draw from the brush's bounding box that lies inside the square and
            // within r of the click.
            do {
                x = static_cast<float>(static_cast<double>(click.x) + RandomUniform(-r, r));
                y = static_cast<float>(static_cast<double>(click.y) + RandomUniform(-r, r));
            } while (
                !(InRange(x, -1, 1) && InRange(y, -1, 1) && Distance(x, y, click.x, click.y) <= r));
        }
        const int32_t classIndex = edit.selectedClass == SelectShapeClass ? ShapeClass(shape, x, y)
                                                                          : edit.selectedClass - 1;
        set.points[i] = SamplePoint{x, y, classIndex, true};
    }
    result.added = last - set.count + 1;
    set.count = last + 1;
    return result;
}

bool ClearPoints(PointSet& set) {
    const bool hadPoints = set.count > 0;
    set.count = 0;
    return hadPoints;
}

bool BrushRadiusUp(EditState& edit) {
    const float old = edit.brushRadius;
    edit.brushRadius = static_cast<float>(static_cast<double>(old) + BrushRadiusStep);
    if (static_cast<double>(edit.brushRadius) > 1.0)
        edit.brushRadius = MaxBrushRadius;
    return edit.brushRadius != old;
}

bool BrushRadiusDown(EditState& edit) {
    const float old = edit.brushRadius;
    edit.brushRadius = static_cast<float>(static_cast<double>(old) - BrushRadiusStep);
    if (static_cast<double>(edit.brushRadius) < 0.02)
        edit.brushRadius = MinBrushRadius;
    return edit.brushRadius != old;
}

bool SelectClass(EditState& edit, int32_t tag) {
    KESTRO_ASSERT(tag >= SelectShapeClass && tag <= SelectClass2);
    const bool changed = edit.selectedClass != tag;
    edit.selectedClass = tag;
    return changed;
}

ClassCounts CountClasses(const PointSet& set) {
    ClassCounts counts;
    counts.total = set.count;
    for (int32_t i = 0; i < set.count; ++i) {
        if (set.points[i].classIndex == 0)
            ++counts.class1;
        else if (set.points[i].classIndex == 1)
            ++counts.class2;
    }
    return counts;
}

}  // namespace kestro
