// A paint box: a widget that shows an off-screen 32-bit ARGB image of its own size at the
// screen's resolution: the image holds the widget's size times its device pixel ratio in pixels,
// carries that ratio (QImage::devicePixelRatio) and is shown pixel for pixel.
#pragma once

#include <QImage>
#include <QWidget>

namespace kestro {

class TPaintBox : public QWidget {
    Q_OBJECT

  public:
    explicit TPaintBox(QWidget* parent = nullptr);

    // The off-screen image (Format_ARGB32: 0xAARRGGBB pixels), always of the widget's size in
    // logical pixels: ceil(width() x ratio) by ceil(height() x ratio) pixels at the widget's
    // devicePixelRatioF(). The renderers lay out in logical pixels (LogicalSize()).
    QImage& Surface() { return surface_; }
    // Fills the image with one colour.
    void Fill(uint32_t argb);
    // Shows the image at once, also while a long loop keeps the event loop from painting.
    void RepaintNow();

  signals:
    // The widget's size changed (the surface is then blank if it was made anew) or its pixel
    // ratio did (the surface then holds the old picture scaled): the view needs drawing.
    void resized();
    // Any button went down; modifiers are the keys held then.
    void mouseDown(Qt::KeyboardModifiers modifiers);
    // A primary-button click at this position.
    void clicked(QPoint position);
    void mouseMoved(QPoint position);
    // The primary button went down here; the cursor moved here with it held; it went up.
    void pressed(QPoint position);
    void dragged(QPoint position);
    void released();
    // The cursor has left the widget.
    void left();

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    // Makes the surface anew when the widget's size or pixel ratio no longer matches it;
    // returns whether it did.
    bool MatchSurface();
    // MatchSurface, telling the window when a new surface needs drawing.
    void UpdateSurface();

    QImage surface_;
    bool checkQueued_ = false;
    bool primaryDown_ = false;
};

}  // namespace kestro
