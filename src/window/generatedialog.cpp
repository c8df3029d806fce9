#include "window/generatedialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>

#include "core/units/uu.h"

namespace kestro {

TGeneratePointsDlg::TGeneratePointsDlg(GenerateOptions& options, std::function<void()> regenerate,
                                       QWidget* parent)
    : QDialog(parent), options_(options), regenerate_(std::move(regenerate)) {
    setWindowTitle(QStringLiteral("Generate Points"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);

    auto* amountBox = new QGroupBox(QStringLiteral("Amount"), this);
    auto* amountGrid = new QGridLayout(amountBox);
    rgAmount = new QButtonGroup(this);
    for (int i = 0; i < AmountItemCount; ++i) {
        auto* button = new QRadioButton(QString::number(AmountFromIndex(i)), amountBox);
        rgAmount->addButton(button, i);
        amountGrid->addWidget(button, i % 5, i / 5);
    }
    rgAmount->button(DefaultAmountIndex)->setChecked(true);
    layout->addWidget(amountBox);

    auto* arrangementBox = new QGroupBox(QStringLiteral("Arrangement"), this);
    auto* arrangementGrid = new QGridLayout(arrangementBox);
    rgArrangement = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        auto* button =
            new QRadioButton(QString::fromUtf8(ArrangementCaptions[i].data(),
                                               static_cast<int>(ArrangementCaptions[i].size())),
                             arrangementBox);
        rgArrangement->addButton(button, i);
        arrangementGrid->addWidget(button, i % 2, i / 2);
    }
    rgArrangement->button(options_.arrangement)->setChecked(true);
    layout->addWidget(arrangementBox);

    auto* optionsBox = new QGroupBox(QStringLiteral("Options"), this);
    optionsBox->setObjectName(QStringLiteral("rgOptions"));
    auto* optionsLayout = new QVBoxLayout(optionsBox);
    checkEqual = new QCheckBox(QStringLiteral("&Equal amount for each class"), optionsBox);
    checkMinDistBetween =
        new QCheckBox(QStringLiteral("&Minimal distance between classes"), optionsBox);
    checkMinDistInside =
        new QCheckBox(QStringLiteral("Minimal &distance inside classes"), optionsBox);
    panelMinDistance = new QWidget(optionsBox);
    auto* distanceLayout = new QHBoxLayout(panelMinDistance);
    distanceLayout->setContentsMargins(0, 0, 0, 0);
    distanceLayout->addWidget(new QLabel(QStringLiteral("Min. distance"), panelMinDistance));
    scrollMinDistance = new QScrollBar(Qt::Horizontal, panelMinDistance);
    scrollMinDistance->setRange(MinDistancePositionMin, MinDistancePositionMax);
    scrollMinDistance->setPageStep(MinDistanceLargeChange);
    scrollMinDistance->setValue(MinDistancePositionDefault);
    distanceLayout->addWidget(scrollMinDistance, 1);
    labelMinDistanceValue = new QLabel(panelMinDistance);
    distanceLayout->addWidget(labelMinDistanceValue);
    optionsLayout->addWidget(checkEqual);
    optionsLayout->addWidget(checkMinDistBetween);
    optionsLayout->addWidget(checkMinDistInside);
    optionsLayout->addWidget(panelMinDistance);
    layout->addWidget(optionsBox);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnGenerate = new QPushButton(QStringLiteral("Generate"), this);
    btnClose = new QPushButton(QStringLiteral("Close"), this);
    btnClose->setDefault(true);
    buttons->addWidget(btnGenerate);
    buttons->addWidget(btnClose);
    layout->addLayout(buttons);

    connect(rgAmount, &QButtonGroup::idClicked, this, &TGeneratePointsDlg::rgAmountClick);
    connect(rgArrangement, &QButtonGroup::idClicked, this, &TGeneratePointsDlg::rgArrangementClick);
    connect(checkEqual, &QCheckBox::clicked, this, &TGeneratePointsDlg::checkEqualClick);
    connect(checkMinDistBetween, &QCheckBox::clicked, this,
            &TGeneratePointsDlg::checkMinDistanceClick);
    connect(checkMinDistInside, &QCheckBox::clicked, this,
            &TGeneratePointsDlg::checkMinDistanceClick);
    connect(scrollMinDistance, &QScrollBar::valueChanged, this,
            &TGeneratePointsDlg::scrollMinDistanceChange);
    connect(btnGenerate, &QPushButton::clicked, this, &TGeneratePointsDlg::btnGenerateClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);  // also Esc
    FormCreate();
}

void TGeneratePointsDlg::FormCreate() {
    initialising_ = true;
    rgAmountClick();
    checkMinDistanceClick();
    scrollMinDistanceChange();
    initialising_ = false;
}

void TGeneratePointsDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Once per opening: a restore from minimised shows the dialog again, spontaneously.
    if (!event->spontaneous())
        FormShow();
}

void TGeneratePointsDlg::FormShow() {
    Regenerate();
}

void TGeneratePointsDlg::rgAmountClick() {
    options_.amount = AmountFromIndex(rgAmount->checkedId());
    Regenerate();
}

void TGeneratePointsDlg::rgArrangementClick() {
    options_.arrangement = rgArrangement->checkedId();
    Regenerate();
}

void TGeneratePointsDlg::checkEqualClick() {
    options_.equal = checkEqual->isChecked();
    Regenerate();
}

void TGeneratePointsDlg::checkMinDistanceClick() {
    const bool between = checkMinDistBetween->isChecked();
    checkMinDistInside->setVisible(between);
    panelMinDistance->setVisible(between);
    options_.minDistBetween = between;
    options_.minDistInside = checkMinDistInside->isChecked();
    Regenerate();
}

void TGeneratePointsDlg::scrollMinDistanceChange() {
    options_.minDistance = MinDistanceFromPosition(scrollMinDistance->value());
    labelMinDistanceValue->setText(QString::fromStdString(FormatFixed(3, 0, options_.minDistance)));
    Regenerate();
}

void TGeneratePointsDlg::btnGenerateClick() {
    Regenerate();
}

void TGeneratePointsDlg::Regenerate() {
    if (!initialising_ && regenerate_)
        regenerate_();
}

}  // namespace kestro
