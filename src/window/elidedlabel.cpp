#include "window/elidedlabel.h"

#include <QPainter>

namespace kestro {

TElidedLabel::TElidedLabel(QWidget* parent) : QFrame(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TElidedLabel::setText(const QString& text, const QString& compact) {
    if (text == text_ && compact == compact_)
        return;
    text_ = text;
    compact_ = compact;
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
    painter.drawText(area, static_cast<int>(alignment_), ShownText());
}

QString TElidedLabel::ShownText() const {
    // elidedText also cuts a text that fits exactly (its bearings count): the width that
    // sizeHint asks for decides.
    const int width = contentsRect().width();
    if (fontMetrics().horizontalAdvance(text_) <= width)
        return text_;
    if (!compact_.isEmpty() && fontMetrics().horizontalAdvance(compact_) <= width)
        return compact_;
    return fontMetrics().elidedText(text_, Qt::ElideRight, width);
}

void TElidedLabel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    UpdateHint();
}

void TElidedLabel::UpdateHint() {
    setToolTip(Elided() ? text_ : QString());
}

}  // namespace kestro
