// One undo step of the point set: it holds the points of the other side of the change and
// exchanges them with the window's on every undo and redo.
#pragma once

#include <QUndoCommand>
#include <functional>

#include "core/units/glowny/startup.h"

namespace kestro {

class TPointsStep : public QUndoCommand {
  public:
    // The change has been made already; before holds the points as they were, and swap
    // exchanges a snapshot with the window's points and refreshes.
    TPointsStep(const QString& text, PointsSnapshot before,
                std::function<void(PointsSnapshot&)> swap);
    void undo() override;
    void redo() override;

  private:
    PointsSnapshot other_;
    std::function<void(PointsSnapshot&)> swap_;
    bool pushed_ = true;  // QUndoStack::push redoes at once: that first redo is the change made
};

}  // namespace kestro
