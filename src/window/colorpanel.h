// A class panel: a small checkable button drawn as a coloured panel, raised, or sunken with a
// bold caption while it is the selected class.
#pragma once

#include <QAbstractButton>
#include <QColor>

namespace kestro {

class TColorPanel : public QAbstractButton {
    Q_OBJECT

  public:
    TColorPanel(QColor color, QColor textColor, QWidget* parent = nullptr);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor color_;
    QColor textColor_;
};

}  // namespace kestro
