// A one-line label that, when narrower than its text, shows a shorter form of it if one is given
// and fits, or else the text elided at the right end, with the whole text as its hint; so a
// narrow window cuts no number without saying what it is.
#pragma once

#include <QFrame>
#include <QString>

namespace kestro {

class TElidedLabel : public QFrame {
    Q_OBJECT

  public:
    explicit TElidedLabel(QWidget* parent = nullptr);

    // The text and, optionally, a shorter form of it for when the whole does not fit.
    void setText(const QString& text, const QString& compact = {});
    QString text() const { return text_; }
    // What the label shows at its present width.
    QString ShownText() const;
    void setAlignment(Qt::Alignment alignment);
    // Whether the label shows less than its whole text (a shorter form, or the text cut).
    bool Elided() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void UpdateHint();

    QString text_;
    QString compact_;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
};

}  // namespace kestro
