#include "window/paintbox.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "views/canvas.h"

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

bool TPaintBox::MatchSurface() {
    const qreal ratio = devicePixelRatioF();
    const auto pixels = [ratio](int logical) {
        return static_cast<int>(std::ceil(std::max(1, logical) * ratio - 1e-6));
    };
    const QSize size(pixels(width()), pixels(height()));
    if (surface_.size() == size && surface_.devicePixelRatio() == ratio)
        return false;
    const QImage old = surface_;
    surface_ = QImage(size, QImage::Format_ARGB32);
    surface_.setDevicePixelRatio(ratio);
    surface_.fill(0xFF000000u);
    // A new ratio at the same size keeps the old picture, scaled, until the view is redrawn
    // (the network diagram, of fixed size, is redrawn only when it changes).
    if (old.devicePixelRatio() != ratio && LogicalSize(old) == LogicalSize(surface_)) {
        QPainter painter(&surface_);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QPoint(0, 0), old);
    }
    return true;
}

void TPaintBox::UpdateSurface() {
    checkQueued_ = false;
    if (MatchSurface())
        emit resized();
}

bool TPaintBox::event(QEvent* event) {
    // Moved to a screen of another pixel ratio, or the ratio of this one changed: the surface
    // is made at the new ratio once the event has been handled.
    if (event->type() == QEvent::ScreenChangeInternal
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
        || event->type() == QEvent::DevicePixelRatioChange
#endif
    ) {
        if (!checkQueued_) {
            checkQueued_ = true;
            QTimer::singleShot(0, this, &TPaintBox::UpdateSurface);
        }
    }
    return QWidget::event(event);
}

void TPaintBox::paintEvent(QPaintEvent*) {
    // A ratio that changed without an event of its own: the window redraws once this paint
    // is over (drawing from within a paint event would paint recursively).
    if (!checkQueued_ && surface_.devicePixelRatio() != devicePixelRatioF()) {
        checkQueued_ = true;
        QTimer::singleShot(0, this, &TPaintBox::UpdateSurface);
    }
    QPainter painter(this);
    // Shown opaque: the alpha byte matters only inside the blending of the renderers.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    QImage opaque(surface_.constBits(), surface_.width(), surface_.height(),
                  surface_.bytesPerLine(), QImage::Format_RGB32);
    // At the widget's ratio the image is drawn pixel for pixel.
    opaque.setDevicePixelRatio(surface_.devicePixelRatio());
    painter.drawImage(0, 0, opaque);
}

void TPaintBox::resizeEvent(QResizeEvent*) {
    MatchSurface();
    emit resized();
}

void TPaintBox::mousePressEvent(QMouseEvent* event) {
    emit mouseDown(event->modifiers());
    if (event->button() == Qt::LeftButton) {
        primaryDown_ = true;
        emit pressed(event->position().toPoint());
    }
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !primaryDown_)
        return;
    primaryDown_ = false;
    emit released();
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
    if (primaryDown_)
        emit dragged(event->position().toPoint());
}

}  // namespace kestro
