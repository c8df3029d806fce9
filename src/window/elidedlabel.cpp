#include "window/elidedlabel.h"

#include <QPainter>

namespace kestro {

TElidedLabel::TElidedLabel(QWidget* parent) : QFrame(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TElidedLabel::setText(const QString& text) {
    if (text == text_)
        return;
    text_ = text;
    UpdateHint();
    updateGeometry();
    update();
}

void TElidedLabel::setAlignment(Qt::Alignment alignment) {
    alignment_ = alignment;
    update();
}

bool TElidedLabel::Elided() const {
    return fontMetrics().horizontalAdvance(text_) > contentsRect().width();
}

QSize TElidedLabel::sizeHint() const {
    const QMargins m = contentsMargins();
    return {fontMetrics().horizontalAdvance(text_) + m.left() + m.right(),
            fontMetrics().height() + m.top() + m.bottom()};
}

QSize TElidedLabel::minimumSizeHint() const {
    // As narrow as an ellipsis; a layout short of room gives the rest to others.
    const QMargins m = contentsMargins();
    return {fontMetrics().horizontalAdvance(QStringLiteral("\u2026")) + m.left() + m.right(),
            fontMetrics().height() + m.top() + m.bottom()};
}

void TElidedLabel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.setPen(palette().color(foregroundRole()));
    // elidedText also cuts a text that fits exactly (its bearings count): the width that
    // sizeHint asks for decides, as in Elided().
    painter.drawText(
        area, static_cast<int>(alignment_),
        Elided() ? fontMetrics().elidedText(text_, Qt::ElideRight, area.width()) : text_);
}

void TElidedLabel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    UpdateHint();
}

void TElidedLabel::UpdateHint() {
    setToolTip(Elided() ? text_ : QString());
}

}  // namespace kestro
