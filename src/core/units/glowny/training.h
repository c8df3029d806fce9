// The training run: online backpropagation over the point set, epoch after epoch, with its
// presentation orders, rate decay, checkpoints, stop rules and status texts. Written once; what
// the window does around the loop goes through TrainingHost, so that the window, the headless
// trainer and the tests run the very same epochs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/units/glowny/state.h"

namespace kestro {

// A run is saturated when its classification error has not fallen at any checkpoint for
// SaturationEpochs epochs and, at the latest checkpoint, every point answered wrongly has all
// its output deltas below SaturationDelta in magnitude: its outputs sit within a hair of +-1
// and the gradient that would correct it has vanished. The first fall of the error clears it.
constexpr int64_t SaturationEpochs = 1000;
constexpr double SaturationDelta = 1e-6;

// Whether every point of the set answered wrongly (its correct flag clear) has all its output
// deltas (1 - o^2)(t - o) / 2 below SaturationDelta in magnitude for the engine's network.
// False when no point is answered wrongly.
bool WrongPointsSaturated(const PointSet& set);

// The values one checkpoint measured and appended to the histories.
struct CheckpointValues {
    int64_t epoch = 0;              // epochCount at the checkpoint
    float classificationError = 0;  // wrong points / point count
    float meanSquaredError = 0;     // mean of OutputError over the points
    float verifyError = 0;          // wrong verify points / 400, 0 with Verify off
    float ni = 0;                   // ni at the checkpoint
};

// What the window (or the trainer) does around the run. Results never depend on NowMs.
class TrainingHost {
  public:
    virtual ~TrainingHost() = default;
    // Milliseconds of one monotonic clock.
    virtual int64_t NowMs() = 0;
    // Lets pending user events through (once per epoch); their handlers may change the state:
    // controls, parameters, learn mode, points, view settings, stopRequested.
    virtual void DispatchEvents() = 0;
    // Full redraw of the signal view: the raster of the given mode in cells of cellSize pixels,
    // with or without the points.
    virtual void DrawSignalView(RasterMode raster, int32_t cellSize, bool showPoints) = 0;
    // UpdateStatus(totalMs, intervalMs): shows MakeStatusTexts, the class counts, the network
    // diagram and the error graph.
    virtual void RefreshStatus(int64_t totalMs, int64_t intervalMs) = 0;
    // First step of a run: remember the control with the focus, move the focus to Stop.
    virtual void RunStarting() {}
    // running: disable the structure choice, Reset, Learn, the generation actions and Clear
    // Points, enable Stop; not running: the reverse.
    virtual void SetRunControls(bool /*running*/) {}
    // Fills the error graph's surface with opaque black.
    virtual void ClearErrorGraph() {}
    // The Reset action's blackening: both surfaces opaque black, repainted.
    virtual void ClearViews() {}
    // Last step of a run: give the focus back to the remembered control.
    virtual void RunEnded() {}
    // A checkpoint has appended these values to the histories.
    virtual void CheckpointDone(const CheckpointValues& /*values*/) {}
    // A paced run waits between epochs: lets user events through until NowMs reaches ms or
    // stopRequested is set, whichever comes first.
    virtual void WaitUntil(int64_t /*ms*/) {}
};

// A host without a window: nothing is drawn, no events arrive, the clock stands still.
class NoWindowHost : public TrainingHost {
  public:
    int64_t NowMs() override { return 0; }
    void DispatchEvents() override {}
    void DrawSignalView(RasterMode, int32_t, bool) override {}
    void RefreshStatus(int64_t, int64_t) override {}
};

// actionNauczExecute: runs one training run until its learn mode or stopRequested ends it.
// Does nothing at all when the point set is empty.
void Learn(KestroState& state, TrainingHost& host);

// Step: one presentation, the point chosen by the current order exactly as a run chooses it and
// trained by the same TrainSample; after the epoch's last point its end steps run (swap, decay,
// checkpoint when due). Never resets: Steps from a state give, presentation for presentation,
// the network a run from that state with "Reset at beginning" unchecked gives. The first Step
// after anything else starts as a run starts (identity order, a checkpoint after its first
// epoch). Then refreshes as after any change of the network. Nothing without points or during a
// run.
std::optional<PresentationRecord> Step(KestroState& state, TrainingHost& host);

// actionStopExecute: the run in progress ends after its current epoch.
void RequestStop(KestroState& state);

// actionResetExecute: counters to 0, ni from its scroll bar, histories emptied, new random
// weights (biases +-0.1, weights +-0.5), what Restart puts back kept, views blackened, status
// refreshed. Within a run the error is 0 and the points are drawn alone; otherwise
// RefreshAfterNetworkChange (AfterEdit) follows.
void ResetNetwork(KestroState& state, TrainingHost& host);

// Keeps what Restart puts back: the engine's network, the generator's state and the points'
// correct flags, as they are now (right after a Reset Network or a structure choice).
void KeepRestartStart(KestroState& state);

// Restart: everything the latest Reset Network or structure choice started from, back: the
// network's values (state.restartNetwork), the random generator's state and the points' correct
// flags as they were right after it (each only when known: a session file written before they
// were kept leaves the generator where it is, and flags kept for another point count leave the
// flags), and the counters, ni (from its scroll bar) and histories as Reset Network returns
// them. The other learning values follow their controls as always, so with nothing changed the
// next Learn repeats the first run bit for bit, and a changed control is the only difference.
// Views and status as after a Reset. Requires values of the current structure (an assertion).
void RestartNetwork(KestroState& state, TrainingHost& host);

// Every value of the engine's network.
NetworkValues TakeNetworkValues();

// Makes the engine's network hold exactly these values, structure included. Requires values
// that fit together (as TakeNetworkValues gives them; an assertion otherwise).
void PutNetworkValues(const NetworkValues& values);

// The current network's classification error on the current points (0 without points): one
// batch evaluation, which leaves the points' correct flags and the histories alone.
float MeasureClassificationError(const KestroState& state);

// The same measurement with the wrong answers per class.
std::pair<float, ClassErrors> MeasureClassErrors(const KestroState& state);

// For every point of the set, 1 when the engine's network answers it wrongly, else 0; the
// correct flags are left alone.
std::vector<uint8_t> WrongPoints(const PointSet& set);

// Sets the correct flags of points 0 to count - 1 from the engine's network, as a checkpoint
// does, and returns the wrong answers per class.
ClassErrors MarkAnswers(SamplePoint* points, int32_t count);

// How a refresh redraws the signal view.
enum class SignalRedraw {
    // The network now shown, in the view mode at full resolution: a Step, Continue From Here,
    // Back to Now.
    Shown,
    // An edit, reset, load, structure choice or resize: the points alone on black, or with Live
    // Answer the view mode at full resolution.
    AfterEdit,
};

// The refresh after a change of the network or of the points while no run is going: the
// classification error measured anew (so the status describes the current network on the
// current points), the status, and the signal view as redraw says.
void RefreshAfterNetworkChange(KestroState& state, TrainingHost& host, SignalRedraw redraw);

// The signal view after an edit, reset, load, structure choice or resize: the points alone on
// black, unless Live Answer is on and no run is going, when the view mode is drawn in full.
void DrawAfterEdit(const KestroState& state, TrainingHost& host);

// Whether the learn mode ends the run, given the error of the latest checkpoint and the epochs
// of this run: 14 never, 13 at 0%, 12 at 1%, 11 at 3% (compared in double), -N after N epochs
// (N up to 10000), any other value after every epoch.
bool LearnModeEnds(int32_t learnMode, float classificationError, int64_t runEpochs);

// Whether epoch epochCount of a run that started after startEpoch runs a checkpoint: its first
// epoch, and every epoch that is a multiple of the history step.
bool CheckpointDue(int64_t epochCount, int64_t startEpoch, int64_t step);

// The texts of UpdateStatus.
struct StatusTexts {
    std::string time;    // labelTime: "3.4 s" / "12 s", with the speed in front ("12 K/s, 3.4 s")
    std::string ni;      // labelNi: ni with 3 decimals
    std::string error;   // labelErr: "1.50% (3)"
    std::string age;     // labelAge: "45 K (300 Epochs)"
    ClassCounts counts;  // panelColorS, panelColor1, panelColor2
    std::string hint;    // what to do about a run that stopped making progress, or empty
    // The wrong answers per class: "Class 1: 3 of 208 wrong, Class 2: 1 of 192"; empty without
    // points.
    std::string classes;
    // What is shown beside the current network: a kept epoch (its counters and errors then fill
    // ni, error and age) or the latest Step; empty otherwise.
    std::string detail;
};

// UpdateStatus(totalMs, intervalMs) as texts. decimalSeparator is the user's locale's, used
// only for run times below 10 s; every other number uses a point.
StatusTexts MakeStatusTexts(const KestroState& state, int64_t totalMs, int64_t intervalMs,
                            std::string_view decimalSeparator);

}  // namespace kestro
