#include "core/units/glowny/training.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <span>
#include <tuple>
#include <utility>
#include <vector>

#include "core/units/errors.h"
#include "core/units/glowny/netcopy.h"
#include "core/units/nnet.h"
#include "core/units/random.h"
#include "core/units/uu.h"

namespace kestro {

namespace {

// Time between status refreshes during a run.
constexpr int64_t StatusPeriodMs = 500;

// The wrong answers per class of points 0 to count - 1, given the engine's answers.
ClassErrors TallyAnswers(const SamplePoint* points, const int32_t* winners, int32_t count) {
    ClassErrors counts;
    for (int32_t p = 0; p < count; ++p) {
        const auto c = static_cast<size_t>(points[p].classIndex != 0);
        counts.total[c] += 1;
        counts.wrong[c] += winners[p] != points[p].classIndex ? 1 : 0;
    }
    return counts;
}

// Buffers of a many-points evaluation, made once per run for its checkpoints.
struct CheckpointScratch {
    std::vector<float> x, y, errors;
    std::vector<int32_t> classes, winners;
    CheckpointScratch()
        : x(MaxPoints), y(MaxPoints), errors(MaxPoints), classes(MaxPoints), winners(MaxPoints) {}

    // The engine's answers for points 0 to count - 1 into winners, at once (with OutputError
    // into errors when withErrors).
    void Answer(const SamplePoint* points, int32_t count, bool withErrors) {
        for (int32_t p = 0; p < count; ++p) {
            x[p] = points[p].x;
            y[p] = points[p].y;
            classes[p] = points[p].classIndex;
        }
        PointBatch batch;
        batch.x = x.data();
        batch.y = y.data();
        batch.count = count;
        batch.winners = winners.data();
        if (withErrors) {
            batch.classes = classes.data();
            batch.errors = errors.data();
        }
        if (count > 0)
            EvaluateBatch(batch);
    }

    // Answer, then the points' correct flags set from it; returns the wrong answers per class.
    ClassErrors Evaluate(SamplePoint* points, int32_t count, bool withErrors) {
        Answer(points, count, withErrors);
        for (int32_t p = 0; p < count; ++p)
            points[p].correct = winners[static_cast<size_t>(p)] == points[p].classIndex;
        return TallyAnswers(points, winners.data(), count);
    }
};
static_assert(VerifySetSize <= MaxPoints);

// Keeps orderArray a permutation of 0 to n - 1 when points were added or deleted during the run:
// entries at or above n are dropped (the others keep their order) and the new indices appended.
// Deleting renumbers the survivors from 0, so the kept entries are exactly 0 to kept - 1.
void FitOrderArray(KestroState& state, int32_t n) {
    if (state.orderCount == n)
        return;
    int32_t kept = 0;
    for (int32_t i = 0; i < state.orderCount; ++i)
        if (state.orderArray[i] < n)
            state.orderArray[kept++] = state.orderArray[i];
    for (int32_t v = kept; v < n; ++v)
        state.orderArray[v] = v;
    state.orderCount = n;
}

// The point presented at the i-th presentation of the main pass (0 <= i < n).
int32_t ChoosePoint(const KestroState& state, int32_t order, int32_t i, int32_t n) {
    const SamplePoint* points = state.pointSet.points;
    switch (order) {
        case OrderRandom:
            return RandomInt(n);
        case OrderRandomErr2: {
            // A point already answered right gets one redraw, used without a further test.
            int32_t d = RandomInt(n);
            if (points[d].correct)
                d = RandomInt(n);
            return d;
        }
        case OrderRandomErr10: {
            // Up to 10 redraws while the point is answered right; the 10th is used as it is.
            int32_t d = RandomInt(n);
            for (int redraw = 0; redraw < 10 && points[d].correct; ++redraw)
                d = RandomInt(n);
            return d;
        }
        case OrderSwappingPermutation:
            return state.orderArray[i];
        default:
            return i;
    }
}

// The saturation test after a checkpoint has measured the error: any fall of the error is
// progress, clears the flag and starts the count of SaturationEpochs anew.
void UpdateSaturation(KestroState& state) {
    if (state.classificationError < state.lastError) {
        state.lastFallEpoch = state.epochCount;
        state.saturated = false;
    }
    state.lastError = state.classificationError;
    state.saturated = state.epochCount - state.lastFallEpoch >= SaturationEpochs &&
                      WrongPointsSaturated(state.pointSet);
}

// Keeps the checkpoint's network and values in the timeline, with what its run (which started
// after startEpoch) needs to go on from there.
void KeepCheckpoint(KestroState& state, const CheckpointValues& values, int64_t startEpoch) {
    TimelineEntry entry;
    entry.epoch = values.epoch;
    entry.presentationCount = state.presentationCount;
    entry.historyCount = state.histories.series[ErrorSeries].count;
    entry.historyStep = state.histories.series[ErrorSeries].step;
    entry.ni = values.ni;
    entry.classificationError = values.classificationError;
    entry.meanSquaredError = values.meanSquaredError;
    entry.verifyError = values.verifyError;
    entry.classErrors = state.classErrors;
    entry.generator = RandomSeed();
    entry.resumable = true;
    entry.startEpoch = startEpoch;
    entry.lastError = state.lastError;
    entry.lastFallEpoch = state.lastFallEpoch;
    entry.saturated = state.saturated;
    const std::span<const int32_t> order(state.orderArray, static_cast<size_t>(state.orderCount));
    if (float* network = KeepInTimeline(state.timeline, entry, ParameterCount(), order))
        CopyParameters(network);
}

// Evaluates every point and (with Verify) every verify point at once, updates their correct
// flags, appends the values step times to each history (ni, error, mean squared error, verify
// error), and keeps the network in the timeline with its run's start epoch.
CheckpointValues RunCheckpoint(KestroState& state, CheckpointScratch& scratch, int64_t startEpoch) {
    CheckpointValues values;
    values.epoch = state.epochCount;
    const int32_t n = state.pointSet.count;
    SamplePoint* points = state.pointSet.points;

    if (n > 0) {
        state.classErrors = scratch.Evaluate(points, n, true);
        // mseSum = mseSum + OutputError(p), a single-precision sum in index order
        float mseSum = 0;
        for (int32_t p = 0; p < n; ++p)
            mseSum = static_cast<float>(static_cast<double>(mseSum) +
                                        static_cast<double>(scratch.errors[p]));
        state.classificationError = static_cast<float>(
            static_cast<double>(state.classErrors.Wrong()) / static_cast<double>(n));
        values.meanSquaredError =
            static_cast<float>(static_cast<double>(mseSum) / static_cast<double>(n));
    } else {
        // An emptied set has no wrong point; the run ends after this epoch.
        state.classificationError = 0;
        state.classErrors = {};
    }
    values.classificationError = state.classificationError;

    if (state.controls.verify) {
        const int32_t wrongVerify =
            scratch.Evaluate(state.verifySet.points, VerifySetSize, false).Wrong();
        values.verifyError = static_cast<float>(static_cast<double>(wrongVerify) /
                                                static_cast<double>(VerifySetSize));
    }
    values.ni = state.learnParameters.ni;
    UpdateSaturation(state);

    // step copies keep every series at one value per epoch
    ErrorHistory* series = state.histories.series;
    const int64_t copies = series[ErrorSeries].step;
    AppendHistoryCopies(series[NiSeries], values.ni, copies);
    AppendHistoryCopies(series[ErrorSeries], values.classificationError, copies);
    AppendHistoryCopies(series[MseSeries], values.meanSquaredError, copies);
    AppendHistoryCopies(series[VerifySeries], values.verifyError, copies);
    KeepCheckpoint(state, values, startEpoch);
    return values;
}

// Advances a deadline by whole periods until it lies after t.
int64_t NextDeadline(int64_t deadline, int64_t period, int64_t t) {
    KESTRO_ASSERT(period > 0);
    if (deadline <= t)
        deadline += ((t - deadline) / period + 1) * period;
    return deadline;
}

}  // namespace

bool LearnModeEnds(int32_t learnMode, float classificationError, int64_t runEpochs) {
    const double error = classificationError;
    switch (learnMode) {
        case LearnModeContinuous:
            return false;
        case LearnModeHard:
            return error <= 0;
        case LearnModeNormal:
            return error <= 0.01;
        case LearnModeSoft:
            return error <= 0.03;
        default:
            if (learnMode >= -10000 && learnMode <= -1)
                return runEpochs >= -static_cast<int64_t>(learnMode);
            return true;
    }
}

bool CheckpointDue(int64_t epochCount, int64_t startEpoch, int64_t step) {
    KESTRO_ASSERT(step >= 1);
    return epochCount == startEpoch + 1 || epochCount % step == 0;
}

void RequestStop(KestroState& state) {
    state.stopRequested = true;
}

namespace {

// What Reset Network and Restart share before the weights: counters, ni, error, histories.
void ResetCounters(KestroState& state) {
    state.classificationError = 0;
    state.learnParameters.ni = ScrollBarValue(ScrollBarNiInfo, state.controls.niPosition);
    state.presentationCount = 0;
    state.lastStatusCount = 0;
    state.epochCount = 0;
    state.saturated = false;
    state.classErrors = {};
    ResetHistories(state.histories);
    // The network is replaced next: a shown entry's is not put back.
    state.timeline.shown = -1;
    ClearTimeline(state.timeline);
    state.stepping = {};
    state.lastStep.reset();
    state.continueStartEpoch.reset();
}

// What Reset Network and Restart share after the weights: views and status.
void RefreshAfterReset(KestroState& state, TrainingHost& host) {
    host.ClearViews();
    if (!state.learning) {
        RefreshAfterNetworkChange(state, host, SignalRedraw::AfterEdit);
        return;
    }
    host.RefreshStatus(0, 0);
    host.DrawSignalView(RasterMode::None, 1, true);
}

}  // namespace

void KeepRestartStart(KestroState& state) {
    state.restartNetwork = TakeNetworkValues();
    state.restartGenerator = RandomSeed();
    const PointSet& set = state.pointSet;
    state.restartCorrect.resize(static_cast<size_t>(set.count));
    for (int32_t p = 0; p < set.count; ++p)
        state.restartCorrect[static_cast<size_t>(p)] = set.points[p].correct ? 1 : 0;
    state.restartPending = false;
}

void ResetNetwork(KestroState& state, TrainingHost& host) {
    ResetCounters(state);
    RandomizeWeights(0.1f, 0.5f);
    KeepRestartStart(state);
    RefreshAfterReset(state, host);
}

void RestartNetwork(KestroState& state, TrainingHost& host) {
    // The values were taken from this structure (every structure choice takes them anew).
    KESTRO_ASSERT(static_cast<int32_t>(state.restartNetwork.layerSizes.size()) == LayerCount());
    for (int32_t l = 0; l < LayerCount(); ++l)
        KESTRO_ASSERT(state.restartNetwork.layerSizes[static_cast<size_t>(l)] == LayerSize(l));
    ResetCounters(state);
    PutNetworkValues(state.restartNetwork);
    // The generator and the flags steer the orders and the premphase pass: with them as at the
    // start, the next run repeats the first one.
    if (state.restartGenerator)
        SetRandomSeed(*state.restartGenerator);
    PointSet& set = state.pointSet;
    if (state.restartCorrect.size() == static_cast<size_t>(set.count))
        for (int32_t p = 0; p < set.count; ++p)
            set.points[p].correct = state.restartCorrect[static_cast<size_t>(p)] != 0;
    state.restartPending = true;
    RefreshAfterReset(state, host);
}

NetworkValues TakeNetworkValues() {
    NetworkValues values;
    const int32_t layers = LayerCount();
    for (int32_t l = 0; l < layers; ++l)
        values.layerSizes.push_back(LayerSize(l));
    const int32_t total = LayerSize(-1);
    for (int32_t i = 0; i < total; ++i) {
        values.bias.push_back(NeuronBias(i));
        values.previousBias.push_back(NeuronPreviousBias(i));
        values.delta.push_back(NeuronDelta(i));
        values.output.push_back(NeuronOutput(i));
        for (int32_t k = 0; k < IncomingCount(i); ++k) {
            values.weight.push_back(IncomingWeight(i, k));
            values.previousWeight.push_back(IncomingPreviousWeight(i, k));
        }
    }
    return values;
}

void PutNetworkValues(const NetworkValues& values) {
    // The engine's snapshot with its per-neuron values; the weights then go in through the
    // engine's own accessors, so that nothing here depends on how it lays them out.
    NetworkSnapshot snapshot;
    size_t neurons = 0;
    size_t weights = 0;
    KESTRO_ASSERT(values.layerSizes.size() <= static_cast<size_t>(MaxLayers));
    for (const int32_t size : values.layerSizes) {
        KESTRO_ASSERT(size > 0 && size <= MaxNeurons);
        const int32_t previous = snapshot.layers.empty() ? 0 : snapshot.layers.back().count;
        LayerInfo layer;
        layer.count = size;
        layer.first = static_cast<int32_t>(neurons);
        layer.last = layer.first + size - 1;
        snapshot.layers.push_back(layer);
        neurons += static_cast<size_t>(size);
        weights += static_cast<size_t>(size) * static_cast<size_t>(previous);
    }
    KESTRO_ASSERT(neurons <= static_cast<size_t>(MaxNeurons));
    KESTRO_ASSERT(weights <= static_cast<size_t>(MaxConnections));
    KESTRO_ASSERT(values.bias.size() == neurons && values.previousBias.size() == neurons &&
                  values.delta.size() == neurons && values.output.size() == neurons);
    KESTRO_ASSERT(values.weight.size() == weights && values.previousWeight.size() == weights);
    snapshot.bias = values.bias;
    snapshot.previousBias = values.previousBias;
    snapshot.delta = values.delta;
    snapshot.output = values.output;
    snapshot.weight.assign(weights, 0.0f);
    snapshot.previousWeight.assign(weights, 0.0f);
    RestoreNetwork(snapshot);
    size_t w = 0;
    for (int32_t i = 0; i < static_cast<int32_t>(neurons); ++i)
        for (int32_t k = 0; k < IncomingCount(i); ++k, ++w)
            SetIncomingWeight(i, k, values.weight[w], values.previousWeight[w]);
}

bool WrongPointsSaturated(const PointSet& set) {
    const NetworkCopy network = CopyNetwork();
    if (network.layerCount == 0)
        return false;
    const LayerInfo& out = network.layers[network.layerCount - 1];
    std::vector<float> outputs(static_cast<size_t>(network.Total()));
    bool anyWrong = false;
    for (int32_t p = 0; p < set.count; ++p) {
        const SamplePoint& point = set.points[p];
        if (point.correct)
            continue;
        anyWrong = true;
        ForwardCopy(network, point.x, point.y, network.layerCount - 1, outputs.data());
        for (int32_t k = out.first; k <= out.last; ++k) {
            // delta = (1 - o^2) (t - o) / 2, as OutputError sets it
            const double t = k - out.first == point.classIndex ? 1.0 : -1.0;
            const double o = outputs[static_cast<size_t>(k)];
            const auto delta = static_cast<float>((1.0 - o * o) * (t - o) / 2.0);
            if (std::fabs(static_cast<double>(delta)) >= SaturationDelta)
                return false;
        }
    }
    return anyWrong;
}

float MeasureClassificationError(const KestroState& state) {
    return MeasureClassErrors(state).first;
}

std::pair<float, ClassErrors> MeasureClassErrors(const KestroState& state) {
    const int32_t n = state.pointSet.count;
    if (n == 0)
        return {0.0f, ClassErrors{}};
    CheckpointScratch scratch;
    scratch.Answer(state.pointSet.points, n, false);
    const ClassErrors counts = TallyAnswers(state.pointSet.points, scratch.winners.data(), n);
    return {static_cast<float>(static_cast<double>(counts.Wrong()) / static_cast<double>(n)),
            counts};
}

std::vector<uint8_t> WrongPoints(const PointSet& set) {
    CheckpointScratch scratch;
    scratch.Answer(set.points, set.count, false);
    std::vector<uint8_t> wrong(static_cast<size_t>(set.count));
    for (size_t p = 0; p < wrong.size(); ++p)
        wrong[p] = scratch.winners[p] != set.points[p].classIndex ? 1 : 0;
    return wrong;
}

ClassErrors MarkAnswers(SamplePoint* points, int32_t count) {
    CheckpointScratch scratch;
    return scratch.Evaluate(points, count, false);
}

void RefreshAfterNetworkChange(KestroState& state, TrainingHost& host, SignalRedraw redraw) {
    std::tie(state.classificationError, state.classErrors) = MeasureClassErrors(state);
    host.RefreshStatus(0, 0);
    if (redraw == SignalRedraw::Shown)
        host.DrawSignalView(state.rasterMode, 1, state.showPoints);
    else
        DrawAfterEdit(state, host);
}

void DrawAfterEdit(const KestroState& state, TrainingHost& host) {
    if (state.liveAnswer && !state.learning)
        host.DrawSignalView(state.rasterMode, 1, state.showPoints);
    else
        host.DrawSignalView(RasterMode::None, 1, true);
}

namespace {

// Saturation is judged from a run's (or a sequence of Steps') own start.
void StartSaturationWatch(KestroState& state) {
    state.lastError = 2;
    state.lastFallEpoch = state.epochCount;
    state.saturated = false;
}

// The identity order a run starts with.
void StartOrder(KestroState& state) {
    for (int32_t i = 0; i < state.pointSet.count; ++i)
        state.orderArray[i] = i;
    state.orderCount = state.pointSet.count;
}

// The start of a run or of a sequence of Steps: after Continue From Here it goes on with the
// continued run (its order and saturation watch as they are), otherwise with the identity order
// and a new watch. Returns the epochCount its first epoch follows.
int64_t StartOrContinue(KestroState& state) {
    if (const std::optional<int64_t> start = state.continueStartEpoch) {
        state.continueStartEpoch.reset();
        return *start;
    }
    StartOrder(state);
    StartSaturationWatch(state);
    return state.epochCount;
}

// What one run keeps from its start to its end.
struct Run {
    int64_t start = 0;       // NowMs at the start
    int64_t nextFrame = 0;   // the first checkpoint at or after this draws a frame
    int64_t nextStatus = 0;  // ... and refreshes the status
    int64_t lastStatus = 0;  // NowMs of the latest status refresh
    int64_t startEpoch = 0;  // epochCount before the run's first epoch
    // presentationCount at the start: speeds count this run's presentations only, also when the
    // run continues an earlier one.
    int64_t startCount = 0;
    // The pace kept since paceStart (NowMs), and the epochs trained since then.
    int32_t pace = 0;
    int64_t paceStart = 0;
    int64_t pacedEpochs = 0;
    CheckpointScratch scratch;
};

// The start of a run: focus, the optional reset, the controls, the identity order.
void StartRun(KestroState& state, TrainingHost& host, Run& run) {
    // A run trains the current network; a sequence of Steps ends here.
    ReturnToNow(state);
    state.stepping = {};
    state.lastStep.reset();
    host.RunStarting();
    state.learning = true;
    state.stopRequested = false;
    run.start = host.NowMs();
    run.nextFrame = run.start + state.drawPeriod;
    run.nextStatus = run.start + StatusPeriodMs;
    run.lastStatus = run.start;
    run.pace = state.pace;
    run.paceStart = run.start;
    // After a Restart the run trains the restarted network: its Reset would undo the Restart.
    if (state.controls.resetAtBeginning && !state.restartPending)
        ResetNetwork(state, host);
    state.restartPending = false;
    host.SetRunControls(true);
    host.ClearErrorGraph();
    run.startEpoch = StartOrContinue(state);
    run.startCount = state.presentationCount;
    state.lastStatusCount = run.startCount;
}

// The first step of an epoch; returns the point count its passes use.
int32_t BeginEpoch(KestroState& state) {
    state.epochCount += 1;
    // Edits between epochs may have changed the count; no index at or above it is presented.
    const int32_t n = state.pointSet.count;
    FitOrderArray(state, n);
    return n;
}

// The last steps of an epoch of n points: the permutation's swap and the rate decay.
void EndEpoch(KestroState& state, int32_t n) {
    // One random transposition of the permutation per epoch (a and b may be equal).
    if (state.controls.orderIndex == OrderSwappingPermutation && n > 0) {
        const int32_t a = RandomInt(n);
        const int32_t b = RandomInt(n);
        std::swap(state.orderArray[a], state.orderArray[b]);
    }

    // Rate decay: ni = ni * epoch down rate, not below ni minimal (an ni that starts below it is
    // raised to it).
    LearnParameters& params = state.learnParameters;
    if (state.controls.autoDecrease && params.ni != params.niMinimal) {
        params.ni = static_cast<float>(static_cast<double>(params.ni) *
                                       static_cast<double>(params.epochDownRate));
        if (params.ni < params.niMinimal)
            params.ni = params.niMinimal;
    }
}

// The presentations of one epoch (premphase pass, main pass in the chosen order), then the
// permutation's swap and the rate decay.
void PresentEpoch(KestroState& state) {
    const int32_t n = BeginEpoch(state);
    SamplePoint* points = state.pointSet.points;
    const LearnParameters& params = state.learnParameters;

    // Premphase pass: every point answered wrongly is presented once, in index order.
    if (state.controls.premphase) {
        for (int32_t i = 0; i < n; ++i) {
            SamplePoint& p = points[i];
            if (!p.correct) {
                state.presentationCount += 1;
                p.correct = TrainSample(p.classIndex, p.x, p.y, params.ni, params.alpha);
            }
        }
    }

    // Main pass in the chosen order.
    const int32_t order = state.controls.orderIndex;
    for (int32_t i = 0; i < n; ++i) {
        state.presentationCount += 1;
        SamplePoint& p = points[ChoosePoint(state, order, i, n)];
        p.correct = TrainSample(p.classIndex, p.x, p.y, params.ni, params.alpha);
    }
    EndEpoch(state, n);
}

// A coarse frame and a status refresh when their periods have passed.
void FramesIfDue(KestroState& state, TrainingHost& host, Run& run) {
    const int64_t t = host.NowMs();
    if (state.drawPeriod > 0 && t >= run.nextFrame) {
        host.DrawSignalView(state.rasterMode, RunFrameCellSize, state.showPoints);
        run.nextFrame = NextDeadline(run.nextFrame, state.drawPeriod, t);
    }
    if (t >= run.nextStatus) {
        host.RefreshStatus(t - run.start, t - run.lastStatus);
        state.lastStatusCount = state.presentationCount;
        run.lastStatus = t;
        run.nextStatus = NextDeadline(run.nextStatus, StatusPeriodMs, t);
    }
}

// A checkpoint when one is due, with a coarse frame and a status refresh when their periods
// have passed.
void CheckpointIfDue(KestroState& state, TrainingHost& host, Run& run) {
    if (!CheckpointDue(state.epochCount, run.startEpoch, state.histories.series[ErrorSeries].step))
        return;
    host.CheckpointDone(RunCheckpoint(state, run.scratch, run.startEpoch));
    FramesIfDue(state, host, run);
}

// At a pace of p epochs per second the k-th epoch since the pace was set ends no earlier than
// k * 1000 / p ms after it was set; the run waits for that, then draws the frames and the status
// that fell due meanwhile. Only the timing changes: the epochs are the same as at full speed.
void KeepPace(KestroState& state, TrainingHost& host, Run& run) {
    if (state.pace != run.pace) {
        run.pace = state.pace;
        run.paceStart = host.NowMs();
        run.pacedEpochs = 0;
    }
    if (run.pace <= 0)
        return;
    run.pacedEpochs += 1;
    host.WaitUntil(run.paceStart + run.pacedEpochs * 1000 / run.pace);
    if (!state.stopRequested)
        FramesIfDue(state, host, run);
}

// The end of a run: the status over the whole run, the last coarse and full frames, the
// controls and the focus.
void EndRun(KestroState& state, TrainingHost& host, const Run& run) {
    const int64_t t = host.NowMs();
    state.lastStatusCount = run.startCount;
    host.RefreshStatus(t - run.start, t - run.start);
    if (state.rasterMode != RasterMode::None)
        host.DrawSignalView(state.rasterMode, RunFrameCellSize, state.showPoints);
    host.DrawSignalView(state.rasterMode, 1, state.showPoints);
    host.SetRunControls(false);
    state.learning = false;
    host.RunEnded();
}

}  // namespace

void Learn(KestroState& state, TrainingHost& host) {
    if (state.pointSet.count == 0)
        return;
    Run run;
    StartRun(state, host, run);
    for (;;) {
        PresentEpoch(state);
        CheckpointIfDue(state, host, run);
        host.DispatchEvents();
        if (state.stopRequested || state.pointSet.count == 0 ||
            LearnModeEnds(state.learnMode, state.classificationError,
                          state.epochCount - run.startEpoch))
            break;
        // A Stop while the run waits for its pace ends it before another epoch.
        KeepPace(state, host, run);
        if (state.stopRequested)
            break;
    }
    EndRun(state, host, run);
}

namespace {

// The next point of the Steps' epoch, or -1 when the epoch has none left; premphase tells
// which pass it belongs to.
int32_t NextStepPoint(KestroState& state, bool& premphase) {
    StepPosition& s = state.stepping;
    const SamplePoint* points = state.pointSet.points;
    if (!s.mainPass) {
        // Premphase pass: the next point answered wrongly, in index order.
        while (s.index < s.passCount && points[s.index].correct)
            ++s.index;
        if (s.index < s.passCount) {
            premphase = true;
            return s.index++;
        }
        s.mainPass = true;
        s.index = 0;
        s.order = state.controls.orderIndex;
    }
    premphase = false;
    if (s.index >= s.passCount)
        return -1;
    const int32_t d = ChoosePoint(state, s.order, s.index, s.passCount);
    ++s.index;
    return d;
}

// The output layer's outputs for a point, computed beside the engine.
std::vector<float> OutputsFor(float x, float y) {
    const NetworkCopy network = CopyNetwork();
    std::vector<float> outputs(static_cast<size_t>(network.Total()));
    ForwardCopy(network, x, y, network.layerCount - 1, outputs.data());
    const LayerInfo& out = network.layers[network.layerCount - 1];
    return {outputs.begin() + out.first, outputs.begin() + out.last + 1};
}

// after - before, element by element.
std::vector<float> Change(const std::vector<float>& before, const std::vector<float>& after) {
    std::vector<float> change(after.size());
    for (size_t i = 0; i < after.size(); ++i)
        change[i] = after[i] - before[i];
    return change;
}

}  // namespace

namespace {

// The end steps of the Steps' epoch: swap, decay and the checkpoint when due.
void EndStepEpoch(KestroState& state, TrainingHost& host) {
    StepPosition& s = state.stepping;
    EndEpoch(state, s.passCount);
    s.inEpoch = false;
    if (!CheckpointDue(state.epochCount, s.startEpoch, state.histories.series[ErrorSeries].step))
        return;
    CheckpointScratch scratch;
    host.CheckpointDone(RunCheckpoint(state, scratch, s.startEpoch));
}

// The point the next Step presents: the sequence and its epoch begun as a run begins them. An
// epoch left without points (points deleted between Steps) ends first; a new epoch always has
// one, since the set is not empty.
int32_t NextStep(KestroState& state, TrainingHost& host, bool& premphase) {
    StepPosition& s = state.stepping;
    if (!s.active) {
        s = {};
        s.active = true;
        s.startEpoch = StartOrContinue(state);
    }
    for (;;) {
        if (!s.inEpoch) {
            s.passCount = BeginEpoch(state);
            s.inEpoch = true;
            s.index = 0;
            s.mainPass = !state.controls.premphase;
            s.order = state.controls.orderIndex;
        }
        // No index at or above the count is presented.
        FitOrderArray(state, state.pointSet.count);
        s.passCount = std::min(s.passCount, state.pointSet.count);
        const int32_t d = NextStepPoint(state, premphase);
        if (d >= 0)
            return d;
        EndStepEpoch(state, host);
    }
}

// Presents point d through TrainSample, exactly as a run does, and records what it did.
PresentationRecord PresentAndRecord(KestroState& state, int32_t d, bool premphase) {
    PresentationRecord record;
    SamplePoint& p = state.pointSet.points[d];
    record.point = d;
    record.premphase = premphase;
    record.classIndex = p.classIndex;
    record.epoch = state.epochCount;
    record.outputsBefore = OutputsFor(p.x, p.y);
    const NetworkValues before = TakeNetworkValues();

    state.presentationCount += 1;
    p.correct =
        TrainSample(p.classIndex, p.x, p.y, state.learnParameters.ni, state.learnParameters.alpha);

    const NetworkValues after = TakeNetworkValues();
    record.correct = p.correct;
    record.presentation = state.presentationCount;
    record.output = after.output;
    record.delta = after.delta;
    record.biasChange = Change(before.bias, after.bias);
    record.weightChange = Change(before.weight, after.weight);
    record.outputsAfter = OutputsFor(p.x, p.y);
    return record;
}

}  // namespace

std::optional<PresentationRecord> Step(KestroState& state, TrainingHost& host) {
    if (state.pointSet.count == 0 || state.learning)
        return std::nullopt;
    ReturnToNow(state);
    bool premphase = false;
    const int32_t d = NextStep(state, host, premphase);
    PresentationRecord record = PresentAndRecord(state, d, premphase);
    const StepPosition& s = state.stepping;
    if (s.mainPass && s.index >= s.passCount) {
        record.epochEnded = true;
        EndStepEpoch(state, host);
    }
    state.lastStep = record;
    RefreshAfterNetworkChange(state, host, SignalRedraw::Shown);
    return record;
}

namespace {

// A value with one decimal and the given separator, e.g. 3.4 or 3,4.
std::string OneDecimal(double value, std::string_view decimalSeparator) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    KESTRO_ASSERT(result.ec == std::errc());
    std::string text(buffer, result.ptr);
    const size_t point = text.find('.');
    if (point != std::string::npos)
        text.replace(point, 1, decimalSeparator);
    return text;
}

}  // namespace

namespace {

// "Class 1: 3 of 208 wrong, Class 2: 1 of 192"; empty for no points.
std::string ClassErrorsText(const ClassErrors& c) {
    if (c.total[0] + c.total[1] == 0)
        return {};
    return "Class 1: " + std::to_string(c.wrong[0]) + " of " + std::to_string(c.total[0]) +
           " wrong, Class 2: " + std::to_string(c.wrong[1]) + " of " + std::to_string(c.total[1]);
}

// The outputs of a layer with 3 decimals, separated by spaces.
std::string OutputsText(const std::vector<float>& outputs) {
    std::string text;
    for (const float v : outputs)
        text += (text.empty() ? "" : " ") + FormatFixed(3, 0, v);
    return text;
}

// "Point 41, Class 2: wrong": the presented point, its class, and its answer before the Step.
std::string StepPointText(const PresentationRecord& step) {
    return "Point " + std::to_string(step.point + 1) + ", Class " +
           std::to_string(step.classIndex + 1) + ": " + (step.correct ? "right" : "wrong");
}

// The status line of a Step: the point, its class, right or wrong, the outputs before and after.
std::string StepText(const PresentationRecord& step) {
    std::string text = StepPointText(step) + "; " + OutputsText(step.outputsBefore) + " \u2192 " +
                       OutputsText(step.outputsAfter);
    if (step.premphase)
        text += " (premphase)";
    if (step.epochEnded)
        text += "; epoch " + std::to_string(step.epoch) + " done";
    return text;
}

}  // namespace

StatusTexts MakeStatusTexts(const KestroState& state, int64_t totalMs, int64_t intervalMs,
                            std::string_view decimalSeparator) {
    StatusTexts texts;
    if (totalMs > 0) {
        if (totalMs < 10000)
            texts.time = OneDecimal(static_cast<double>(totalMs) / 1000.0, decimalSeparator) + " s";
        else
            texts.time = std::to_string(totalMs / 1000) + " s";
    }
    if (intervalMs > 0 && state.presentationCount > state.lastStatusCount) {
        // presentations per millisecond = thousands per second
        const int64_t speed = (state.presentationCount - state.lastStatusCount) / intervalMs;
        if (speed > 0)
            texts.time = std::to_string(speed) + " K/s, " + texts.time;
    }
    // A kept epoch shows its own counters and errors.
    const Timeline& timeline = state.timeline;
    const TimelineEntry* shown =
        timeline.shown >= 0 ? &timeline.entries[static_cast<size_t>(timeline.shown)] : nullptr;
    const float ni = shown != nullptr ? shown->ni : state.learnParameters.ni;
    const int64_t presentations =
        shown != nullptr ? shown->presentationCount : state.presentationCount;
    const int64_t epochs = shown != nullptr ? shown->epoch : state.epochCount;
    const ClassErrors& classErrors = shown != nullptr ? shown->classErrors : state.classErrors;
    const int32_t points =
        shown != nullptr ? classErrors.total[0] + classErrors.total[1] : state.pointSet.count;

    texts.ni = FormatFixed(3, 0, ni);
    const double error = shown != nullptr ? shown->classificationError : state.classificationError;
    // round(n * error), to nearest with ties to even
    const double wrong = std::nearbyint(static_cast<double>(points) * error);
    texts.error = FormatFixed(2, 0, error * 100.0) + "% (" +
                  std::to_string(static_cast<int64_t>(wrong)) + ")";
    texts.age = std::to_string(presentations / 1000) + " K (" + std::to_string(epochs) + " Epochs)";
    texts.counts = CountClasses(state.pointSet);
    texts.classes = ClassErrorsText(classErrors);
    if (shown != nullptr) {
        texts.detail = "Epoch " + std::to_string(shown->epoch) + " of " +
                       std::to_string(state.epochCount) + ", MSE " +
                       FormatFixed(4, 0, shown->meanSquaredError) + ", verify " +
                       FormatFixed(2, 0, shown->verifyError * 100.0) + "% (Esc: now)";
    } else if (state.lastStep) {
        texts.detail = StepText(*state.lastStep);
    }
    if (state.saturated)
        texts.hint = "No progress for " + std::to_string(SaturationEpochs) +
                     " epochs: the wrongly answered points no longer move the weights. Reset "
                     "Network (F5) or a lower ni may help.";
    return texts;
}

}  // namespace kestro
