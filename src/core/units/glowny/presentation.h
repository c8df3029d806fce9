// One presentation at a time: where a sequence of Steps stands within its epoch, and what one
// presentation did, for the views to show.
#pragma once

#include <cstdint>
#include <vector>

namespace kestro {

// Where the Steps stand. A sequence of Steps is one run taken a presentation at a time: it
// starts as a run starts (identity order, checkpoint at its first epoch) and goes on until
// something else trains or replaces the network.
struct StepPosition {
    bool active = false;     // a sequence of Steps is going
    int64_t startEpoch = 0;  // epochCount before its first epoch
    bool inEpoch = false;    // an epoch has begun and has presentations left
    bool mainPass = false;   // the premphase pass of the epoch is over
    int32_t index = 0;       // the next index of the pass
    int32_t order = 0;       // the order index, read as the main pass begins
    int32_t passCount = 0;   // the point count, read as the epoch begins
};

// What one Step did. Neurons in index order; weights as in NetworkValues (neuron after neuron,
// each in its incoming-list order).
struct PresentationRecord {
    int32_t point = -1;  // index of the presented point
    int32_t classIndex = 0;
    bool premphase = false;  // presented by the premphase pass
    bool correct = false;    // answered right before the step (TrainSample's result)
    int64_t epoch = 0;
    int64_t presentation = 0;          // presentationCount after it
    std::vector<float> outputsBefore;  // the output layer for the point before the step
    std::vector<float> outputsAfter;   // ... and after it
    std::vector<float> output;         // every neuron's output in the presentation
    std::vector<float> delta;          // every neuron's delta in the presentation
    std::vector<float> biasChange;     // new bias - old bias
    std::vector<float> weightChange;   // new weight - old weight
    bool epochEnded = false;           // the epoch's end steps ran after it
};

}  // namespace kestro
