// A paint box: a widget that shows an off-screen 32-bit ARGB image of its own size.
#pragma once

#include <QImage>
#include <QWidget>

namespace kestro {

class TPaintBox : public QWidget {
    Q_OBJECT

  public:
    explicit TPaintBox(QWidget* parent = nullptr);

    // The off-screen image, always of the widget's size (Format_ARGB32: 0xAARRGGBB pixels).
    QImage& Surface() { return surface_; }
    // Fills the image with one colour.
    void Fill(uint32_t argb);
    // Shows the image at once, also while a long loop keeps the event loop from painting.
    void RepaintNow();

  signals:
    void resized();
    // Any button went down; modifiers are the keys held then.
    void mouseDown(Qt::KeyboardModifiers modifiers);
    // A primary-button click at this position.
    void clicked(QPoint position);
    void mouseMoved(QPoint position);
    // The cursor has left the widget.
    void left();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    QImage surface_;
    bool primaryDown_ = false;
};

}  // namespace kestro
