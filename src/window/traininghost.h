// The training run's host in the main window: the clock, the event dispatch once per epoch, the
// frames, the status, and the controls a run disables.
#pragma once

#include <QPointer>
#include <QWidget>

#include "core/units/glowny/training.h"

namespace kestro {

class TFormMain;

class FormTrainingHost : public TrainingHost {
  public:
    explicit FormTrainingHost(TFormMain& form);
    int64_t NowMs() override;
    void DispatchEvents() override;
    void DrawSignalView(RasterMode raster, int32_t cellSize, bool showPoints) override;
    void RefreshStatus(int64_t totalMs, int64_t intervalMs) override;
    void RunStarting() override;
    void SetRunControls(bool running) override;
    void ClearErrorGraph() override;
    void ClearViews() override;
    void RunEnded() override;
    void WaitUntil(int64_t ms) override;

  private:
    TFormMain& form_;
    QPointer<QWidget> focus_;
};

}  // namespace kestro
