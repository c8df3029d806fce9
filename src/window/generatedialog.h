// The generation dialog: its controls edit the generation options, and every change regenerates
// the point set at once, so the drawing area behind the dialog shows its effect.
#pragma once

#include <QDialog>
#include <functional>

#include "core/units/glowny/generate.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QPushButton;
class QScrollBar;
class QWidget;

namespace kestro {

class TGeneratePointsDlg : public QDialog {
    Q_OBJECT

  public:
    // options: owned by the caller, edited here; regenerate: runs one generation with them.
    TGeneratePointsDlg(GenerateOptions& options, std::function<void()> regenerate,
                       QWidget* parent = nullptr);

    QButtonGroup* rgAmount = nullptr;
    QButtonGroup* rgArrangement = nullptr;
    QCheckBox* checkEqual = nullptr;
    QCheckBox* checkMinDistBetween = nullptr;
    QCheckBox* checkMinDistInside = nullptr;
    QWidget* panelMinDistance = nullptr;
    QScrollBar* scrollMinDistance = nullptr;
    QLabel* labelMinDistanceValue = nullptr;
    QPushButton* btnGenerate = nullptr;
    QPushButton* btnClose = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormCreate();
    void FormShow();
    void rgAmountClick();
    void rgArrangementClick();
    void checkEqualClick();
    void checkMinDistanceClick();
    void scrollMinDistanceChange();
    void btnGenerateClick();
    // Regenerates unless the dialog is still being set up.
    void Regenerate();

    GenerateOptions& options_;
    std::function<void()> regenerate_;
    bool initialising_ = true;
};

}  // namespace kestro
