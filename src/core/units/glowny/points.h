// The point set: the training data, at most 2000 labelled points in [-1, 1] x [-1, 1].
#pragma once

#include <cstdint>

#include "core/units/glowny/plane.h"

namespace kestro {

constexpr int MaxPoints = 2000;
constexpr int VerifySetSize = 400;

// One point. classIndex 0 is "Class 1", 1 is "Class 2"; a points file can give up to 8.
// correct: the network gave this point's class at its latest presentation or checkpoint.
struct SamplePoint {
    float x = 0;
    float y = 0;
    int32_t classIndex = 0;
    bool correct = false;
};

// Records 0 to count - 1 are valid; their order matters.
struct PointSet {
    SamplePoint points[MaxPoints];
    int32_t count = 0;
};

// Points spread over the square, refilled by every generation, used only for the verify error.
struct VerifySet {
    SamplePoint points[VerifySetSize];
};

struct ShapeState;

// Class panel tags: what a click on the drawing area does.
constexpr int32_t SelectShapeClass = -1;  // add points classed by the current shape
constexpr int32_t SelectDelete = 0;       // delete the points under the brush
constexpr int32_t SelectClass1 = 1;       // add "Class 1" points (classIndex 0)
constexpr int32_t SelectClass2 = 2;       // add "Class 2" points (classIndex 1)

constexpr float MinBrushRadius = 0.02f;
constexpr float MaxBrushRadius = 1.0f;
constexpr double BrushRadiusStep = 0.02;

// The editing state of the drawing area.
struct EditState {
    int32_t selectedClass = SelectDelete;  // one of the Select* tags
    float brushRadius = 0.2f;              // in plane units, kept within 0.02..1.0
    bool sprayModifier = false;            // Ctrl was held at the latest mouse-down
};

// The plane position of pixel (px, py) of a width x height area: x = 2 px / W - 1,
// y = 1 - 2 py / H. Requires width > 0 and height > 0.
PlanePoint PixelToPlane(double px, double py, int32_t width, int32_t height);

// The number of points a spray adds: max(r * r * 314 rounded half to even, 5).
int32_t SprayCount(float brushRadius);

// What a click on the drawing area did.
struct ClickResult {
    bool handled = false;  // the click was acted on: the window refreshes (even when a delete
                           // found nothing under the brush)
    int32_t added = 0;
    int32_t removed = 0;
    bool Changed() const { return added > 0 || removed > 0; }
};

// A primary-button click at pixel (px, py) of a width x height drawing area. Delete mode removes
// every point within brushRadius (order of the survivors kept); the add modes append one point
// at the click, or with sprayModifier SprayCount points drawn inside the brush and the square, as
// many as fit. Ignored (handled false) when adding to a full set, when the area is empty, or when
// the position lies outside the area.
ClickResult ClickPoints(PointSet& set, const EditState& edit, const ShapeState& shape, double px,
                        double py, int32_t width, int32_t height);

// Empties the set; returns whether it held any point.
bool ClearPoints(PointSet& set);

// Enlarges the brush by 0.02, at most to 1.0; returns whether the radius changed.
bool BrushRadiusUp(EditState& edit);
// Shrinks the brush by 0.02, at least to 0.02; returns whether the radius changed.
bool BrushRadiusDown(EditState& edit);

// Selects a class panel by its tag (-1, 0, 1 or 2); returns whether the selection changed.
bool SelectClass(EditState& edit, int32_t tag);

// The counts shown on the class panels: all points, classIndex 0 and classIndex 1.
struct ClassCounts {
    int32_t total = 0;
    int32_t class1 = 0;
    int32_t class2 = 0;
};
ClassCounts CountClasses(const PointSet& set);

}  // namespace kestro
