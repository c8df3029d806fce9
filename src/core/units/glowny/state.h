// The one plain state object of the program: everything the main window (or the headless
// trainer) works on, which the core operations take by reference.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/units/glowny/generate.h"
#include "core/units/glowny/history.h"
#include "core/units/glowny/learnparams.h"
#include "core/units/glowny/points.h"
#include "core/units/glowny/presentation.h"
#include "core/units/glowny/shapes.h"
#include "core/units/glowny/timeline.h"
#include "core/units/glowny/viewmode.h"

namespace kestro {

// Every value of the network, independent of how the engine stores it: one entry per neuron in
// index order, and the weights neuron after neuron, each neuron's in its incoming-list order
// (sources from the highest index down).
struct NetworkValues {
    std::vector<int32_t> layerSizes;
    std::vector<float> bias, previousBias, delta, output;
    std::vector<float> weight, previousWeight;
};

// A value-initialised state is the state right after the main window's creation: no points,
// counters and parameters zero, histories empty, brush 0.2, the controls as the form defines them.
// It is large (about 110 KB): allocate it, do not put it on the stack.
struct KestroState {
    // --- point set and shapes ---
    PointSet pointSet;
    VerifySet verifySet;
    EditState editState;
    ShapeState shapeState;
    GenerateOptions generateOptions;  // the generation dialog's options

    // --- training ---
    bool learning = false;          // a run is in progress
    bool stopRequested = false;     // the run in progress ends after its current epoch
    float classificationError = 0;  // fraction of points answered wrongly at the last checkpoint
    ClassErrors classErrors;        // ... and the wrong answers per class
    // Counters since the last Reset. 64-bit: a long run passes 2^31 presentations in minutes.
    int64_t presentationCount = 0;
    int64_t lastStatusCount = 0;  // presentationCount at the last status update
    int64_t epochCount = 0;       // the network's age in epochs
    // Permutation of the point indices 0 to orderCount - 1 for the Swapping Permutation order.
    int32_t orderArray[MaxPoints] = {};
    int32_t orderCount = 0;
    // Saturation: the error of the latest checkpoint, the epoch it last fell, and whether the
    // run has stalled (see SaturationEpochs in training.h).
    float lastError = 2;
    int64_t lastFallEpoch = 0;
    bool saturated = false;

    // --- learning parameters and controls ---
    LearnParameters learnParameters;
    int32_t learnMode = 0;   // the stop rule: a learn-mode tag
    int32_t drawPeriod = 0;  // ms between frames during a run, 0 = only at the end
    int32_t pace = 0;        // at most this many epochs per second during a run, 0 = full speed
    LearnControls controls;

    // --- network ---
    int32_t structureIndex = -1;  // the item of the structure list built last, -1 before any

    // --- error histories and view settings ---
    ErrorHistories histories;
    RasterMode rasterMode = RasterMode::None;
    bool showPoints = false;
    bool showAxes = true;  // "Coordinate Axis"
    // The error graph's series check boxes: classification, verify and mean squared error, ni.
    bool showError = true;
    bool showVerify = true;
    bool showMse = true;
    bool showNi = false;
    // Views added beside the original ones, off by default: the neuron whose output the neuron
    // view shows (-1: none picked yet), weight colours in the diagram, the first hidden layer's
    // boundaries over the answer and areas.
    int32_t viewNeuron = -1;
    bool showWeightColors = false;
    bool showFirstLayerLines = false;

    // --- timeline and Steps ---
    Timeline timeline;
    StepPosition stepping;
    // The latest Step, shown until anything else changes the network.
    std::optional<PresentationRecord> lastStep;
    // Show only the points the shown network answers wrongly.
    bool showWrongOnly = false;
    // Live Answer: outside a run the drawing area follows every change of the points, the
    // network or its size in the view mode, instead of falling back to the points alone.
    bool liveAnswer = false;

    // --- restart ---
    // What Restart puts back, as it was right after the latest Reset Network or structure
    // choice: the network's values, the random generator's state and the points' correct flags
    // (one per point). The generator is unknown, and the flags empty, in a state opened from a
    // session file written before they were kept.
    NetworkValues restartNetwork;
    std::optional<uint32_t> restartGenerator;
    std::vector<uint8_t> restartCorrect;
    // A Restart or Continue From Here since the latest run: the next run starts without its
    // Reset.
    bool restartPending = false;
    // Continue From Here since the latest run or Steps: the next run or sequence of Steps goes on
    // with the continued run, whose first epoch followed this epochCount, with the order array
    // and saturation watch as they are, instead of starting afresh.
    std::optional<int64_t> continueStartEpoch;
};

}  // namespace kestro
