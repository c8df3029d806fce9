#include "window/pointsstep.h"

#include <utility>

namespace kestro {

TPointsStep::TPointsStep(const QString& text, PointsSnapshot before,
                         std::function<void(PointsSnapshot&)> swap)
    : QUndoCommand(text), other_(std::move(before)), swap_(std::move(swap)) {}

void TPointsStep::undo() {
    swap_(other_);
}

void TPointsStep::redo() {
    if (pushed_) {
        pushed_ = false;
        return;
    }
    swap_(other_);
}

}  // namespace kestro
