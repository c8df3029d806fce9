// The main window's timeline and Steps: picking an epoch on the error graph, going back to now,
// continuing from a picked epoch, one presentation at a time, and the wrong points alone.
#include <QAction>
#include <QLabel>
#include <QShortcut>

#include "core/units/glowny/timeline.h"
#include "core/units/glowny/training.h"
#include "views/errorgraph.h"
#include "window/actiontable.h"
#include "window/formmain.h"
#include "window/paintbox.h"
#include "window/traininghost.h"

namespace kestro {

void TFormMain::actionStepExecute() {
    // Step refreshes the status (diagram and graph included) and the drawing area itself.
    Step(*state_, *host_);
}

void TFormMain::actionContinueHereExecute() {
    if (state_->learning || state_->timeline.shown < 0)
        return;
    ContinueFromHere(*state_);
    RefreshAfterNetworkChange(*state_, *host_, SignalRedraw::Shown);
}

void TFormMain::actionBackToNowExecute() {
    if (state_->learning || state_->timeline.shown < 0)
        return;
    ReturnToNow(*state_);
    RefreshAfterNetworkChange(*state_, *host_, SignalRedraw::Shown);
}

void TFormMain::actionViewWrongOnlyExecute() {
    state_->showWrongOnly = Action(ActionId::actionViewWrongOnly)->isChecked();
    if (!state_->learning)
        DrawSignalView(state_->rasterMode, 1, state_->showPoints);
}

void TFormMain::pbErrPick(QPoint position, bool final) {
    if (state_->learning)
        return;
    const ErrorHistory& history = state_->histories.series[ErrorSeries];
    const int64_t count = GraphCountAt(history, pbErr->width(), position.x());
    if (count < 0) {
        // Right of the drawn history: the present.
        actionBackToNowExecute();
        return;
    }
    const int32_t entry = TimelineEntryAtCount(state_->timeline, count);
    if (entry < 0)
        return;
    if (entry != state_->timeline.shown) {
        ShowTimelineEntry(*state_, entry);
        UpdateStatus(0, 0);
        // While the mouse moves, frames as coarse as a run's keep up with it; the full picture
        // follows when the button goes up.
        pickedCoarse_ = !final;
        DrawSignalView(state_->rasterMode, final ? 1 : RunFrameCellSize, state_->showPoints);
    } else if (final && pickedCoarse_) {
        pickedCoarse_ = false;
        DrawSignalView(state_->rasterMode, 1, state_->showPoints);
    }
}

void TFormMain::pbErrReleased() {
    if (!state_->learning && state_->timeline.shown >= 0 && pickedCoarse_) {
        pickedCoarse_ = false;
        DrawSignalView(state_->rasterMode, 1, state_->showPoints);
    }
}

void TFormMain::UpdateTimelineActions() {
    const bool past = !state_->learning && state_->timeline.shown >= 0;
    Action(ActionId::actionContinueHere)->setEnabled(past);
    Action(ActionId::actionBackToNow)->setEnabled(past);
    if (shortcutBackToNow_ != nullptr)
        shortcutBackToNow_->setEnabled(past);
}

}  // namespace kestro
