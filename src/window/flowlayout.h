// A layout that places its widgets in a row, right-aligned, and wraps them into further rows
// when the row is too narrow, so that fixed-size buttons are never squeezed or cut.
#pragma once

#include <QLayout>
#include <QList>

namespace kestro {

class TFlowLayout : public QLayout {
  public:
    explicit TFlowLayout(QWidget* parent, int spacing);
    ~TFlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return static_cast<int>(items_.size()); }
    QLayoutItem* itemAt(int index) const override { return items_.value(index); }
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return Arrange(QRect(0, 0, width, 0), false); }
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

  private:
    // Lays the items out in rect (when apply); returns the height used.
    int Arrange(const QRect& rect, bool apply) const;

    QList<QLayoutItem*> items_;
    int spacing_;
};

}  // namespace kestro
