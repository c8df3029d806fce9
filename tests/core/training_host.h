// The windowless training host and the states the training tests start from.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/units/glowny/training.h"
#include "core/units/nnet.h"

namespace kestro::test {

// A host without a window: a clock that advances `tick` ms per reading, a log of the calls that
// change what the user sees, and a hook run at every event dispatch (once per epoch).
class FakeHost : public TrainingHost {
  public:
    explicit FakeHost(KestroState& state) : state_(state) {}

    int64_t NowMs() override {
        const int64_t now = clock;
        clock += tick;
        return now;
    }
    void DispatchEvents() override {
        ++dispatches;
        if (onDispatch)
            onDispatch(dispatches);
    }
    void DrawSignalView(RasterMode raster, int32_t cellSize, bool showPoints) override {
        // Logged as one signed step: 0 no raster, the sign the mode, the magnitude the cell size.
        const int32_t step = static_cast<int32_t>(raster) * cellSize;
        log.push_back("Draw(" + std::to_string(step) + "," + std::to_string(showPoints) + ")@" +
                      std::to_string(state_.epochCount));
    }
    void RefreshStatus(int64_t totalMs, int64_t intervalMs) override {
        log.push_back("Status(" + std::to_string(totalMs) + "," + std::to_string(intervalMs) +
                      ")@" + std::to_string(state_.epochCount));
        statuses.push_back(MakeStatusTexts(state_, totalMs, intervalMs, "."));
    }
    void RunStarting() override { log.push_back("RunStarting"); }
    void SetRunControls(bool running) override { log.push_back(running ? "Disable" : "Enable"); }
    void ClearErrorGraph() override { log.push_back("ClearErrorGraph"); }
    void ClearViews() override { log.push_back("ClearViews"); }
    void RunEnded() override { log.push_back("RunEnded"); }
    void CheckpointDone(const CheckpointValues& values) override { checkpoints.push_back(values); }
    // A paced run's wait: the clock jumps to the deadline.
    void WaitUntil(int64_t ms) override {
        waits.push_back(ms);
        clock = std::max(clock, ms);
        if (onWait)
            onWait(static_cast<int64_t>(waits.size()));
    }

    // The log entries that start with prefix.
    std::vector<std::string> Calls(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& entry : log)
            if (entry.rfind(prefix, 0) == 0)
                found.push_back(entry);
        return found;
    }
    std::vector<int64_t> CheckpointEpochs() const {
        std::vector<int64_t> epochs;
        for (const CheckpointValues& v : checkpoints)
            epochs.push_back(v.epoch);
        return epochs;
    }
    void StopAfter(int64_t epochs) {
        onDispatch = [this, epochs](int64_t d) {
            if (d >= epochs)
                state_.stopRequested = true;
        };
    }

    int64_t clock = 0;
    int64_t tick = 0;
    int64_t dispatches = 0;
    std::function<void(int64_t)> onDispatch;
    std::function<void(int64_t)> onWait;  // run after the n-th wait
    std::vector<int64_t> waits;           // the deadlines of the paced run's waits
    std::vector<std::string> log;
    std::vector<StatusTexts> statuses;
    std::vector<CheckpointValues> checkpoints;

  private:
    KestroState& state_;
};

// The state as the window's start-up leaves it, with the points given and structure text.
inline std::unique_ptr<KestroState> MakeState(const std::vector<SamplePoint>& points,
                                              std::string_view structure = "2:2") {
    auto state = std::make_unique<KestroState>();
    state->learnMode = LearnModeNormal;
    state->rasterMode = RasterMode::Answer;
    state->showPoints = true;
    state->drawPeriod = 100;
    LearnParameters& p = state->learnParameters;
    ScrollBarNiChange(p, state->controls.niPosition);
    ScrollBarDownChange(p, state->controls.downPosition);
    ScrollBarNiMinChange(p, state->controls.niMinPosition);
    ScrollBarAlphaChange(p, state->controls.alphaPosition);
    for (const SamplePoint& point : points)
        state->pointSet.points[state->pointSet.count++] = point;
    UpdateEpochDownRate(p, state->pointSet.count);
    for (int r = 0; r < VerifySetSize; ++r)
        state->verifySet.points[r] = {RandomUniform(-1, 1), RandomUniform(-1, 1), r % 2, false};
    BuildNetwork(structure);
    return state;
}

// n points of one class spread over the left half of the square.
inline std::vector<SamplePoint> Points(int n, int32_t classIndex, bool correct = true) {
    std::vector<SamplePoint> points;
    for (int k = 0; k < n; ++k)
        points.push_back(
            {-0.9f + 0.8f * k / std::max(1, n - 1), 0.5f - 0.01f * k, classIndex, correct});
    return points;
}

// A "2:2" network that answers class 0 everywhere and never learns: output biases +5 and -5,
// weights 0, ni 0, alpha 0, no decay and no reset at the start of a run.
inline void FreezeAnsweringZero(KestroState& state) {
    BuildNetwork("2:2");
    SetNeuronBias(2, 5);
    SetNeuronBias(3, -5);
    for (int i = 2; i < 4; ++i)
        for (int k = 0; k < IncomingCount(i); ++k)
            SetIncomingWeight(i, k, 0, 0);
    state.controls.niPosition = 0;
    state.learnParameters.ni = 0;
    state.controls.momentum = false;
    state.learnParameters.alpha = 0;
    state.controls.autoDecrease = false;
    state.controls.resetAtBeginning = false;
}

}  // namespace kestro::test
