#include "window/paintbox.h"

#include <QMouseEvent>
#include <QPainter>

namespace kestro {

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    surface_ = QImage(1, 1, QImage::Format_ARGB32);
    surface_.fill(0xFF000000u);
}

void TPaintBox::Fill(uint32_t argb) {
    surface_.fill(argb);
}

void TPaintBox::RepaintNow() {
    repaint();
}

void TPaintBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Shown opaque: the alpha byte matters only inside the blending of the renderers.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const QImage opaque(surface_.constBits(), surface_.width(), surface_.height(),
                        surface_.bytesPerLine(), QImage::Format_RGB32);
    painter.drawImage(0, 0, opaque);
}

void TPaintBox::resizeEvent(QResizeEvent*) {
    const QSize size(std::max(1, width()), std::max(1, height()));
    if (surface_.size() != size) {
        surface_ = QImage(size, QImage::Format_ARGB32);
        surface_.fill(0xFF000000u);
    }
    emit resized();
}

void TPaintBox::mousePressEvent(QMouseEvent* event) {
    emit mouseDown(event->modifiers());
    if (event->button() == Qt::LeftButton)
        primaryDown_ = true;
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !primaryDown_)
        return;
    primaryDown_ = false;
    if (rect().contains(event->position().toPoint()))
        emit clicked(event->position().toPoint());
}

void TPaintBox::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double-click is no new click: its release finds no press.
    event->accept();
}

void TPaintBox::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    emit left();
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved(event->position().toPoint());
}

}  // namespace kestro
