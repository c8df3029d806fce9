#include "window/colorpanel.h"

#include <qdrawutil.h>
#include <QPainter>

namespace kestro {

namespace {

// The panel's bevel, as wide as a raised frame of line width 2.
constexpr int BevelWidth = 2;

}  // namespace

TColorPanel::TColorPanel(QColor color, QColor textColor, QWidget* parent)
    : QAbstractButton(parent), color_(color), textColor_(textColor) {
    setCheckable(true);
    setAutoExclusive(false);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    // The selected panel's caption is bold.
    connect(this, &QAbstractButton::toggled, this, [this](bool checked) {
        QFont caption = font();
        caption.setBold(checked);
        setFont(caption);
    });
}

QSize TColorPanel::sizeHint() const {
    return {38, 23};
}

void TColorPanel::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QBrush fill(color_);
    qDrawShadePanel(&painter, rect(), palette(), isChecked(), BevelWidth, &fill);
    painter.setPen(textColor_);
    painter.drawText(rect(), Qt::AlignCenter, text());
}

}  // namespace kestro
