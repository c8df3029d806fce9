// The About box, and a label that can be clicked like a link.
#pragma once

#include <QDialog>
#include <QLabel>

namespace kestro {

// A label (text or picture) that reports a click of the left mouse button.
class TClickLabel : public QLabel {
    Q_OBJECT

  public:
    explicit TClickLabel(QWidget* parent = nullptr);

  signals:
    void clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The About box: the program's name, slogan and version, and links to the product page and
// the maker's home page. Created once at start; shown modally as often as asked.
class TdlgAbout : public QDialog {
    Q_OBJECT

  public:
    explicit TdlgAbout(QWidget* parent = nullptr);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormCreate();
    void imageLogo90Click();
    void labelWebCompanyClick();

    TClickLabel* imageLogo90;
    TClickLabel* labelProgramName;
    TClickLabel* labelSlogan;
    QLabel* labelNote;
    QLabel* labelVersion;
    QLabel* labelCopyright;
    TClickLabel* labelWebCompany;
    TClickLabel* imageCompanyLogo;
};

// Lowers the pixel size of the label's font, no further than minPixels, until its text fits in
// maxWidth (a font that stands in for a missing one may run wider); then sizes the label to fit.
void FitLabelFont(QLabel* label, int maxWidth, int minPixels);

// Moves a top-level window to the middle of the screen it is on.
void CentreOnScreen(QWidget* window);

}  // namespace kestro
