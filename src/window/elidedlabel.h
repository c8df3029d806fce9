// A one-line label that, when narrower than its text, shows the text elided at the right end
// and the whole text as its hint; so a narrow window cuts no number without saying what it is.
#pragma once

#include <QFrame>
#include <QString>

namespace kestro {

class TElidedLabel : public QFrame {
    Q_OBJECT

  public:
    explicit TElidedLabel(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return text_; }
    void setAlignment(Qt::Alignment alignment);
    // Whether the text shown is cut.
    bool Elided() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void UpdateHint();

    QString text_;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
};

}  // namespace kestro
