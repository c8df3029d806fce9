#include "window/about.h"

#include <QFrame>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include "core/units/info.h"
#include "core/units/weblinks.h"
#include "views/qtext.h"
#include "window/icons.h"
#include "window/shell.h"

namespace kestro {

namespace {

// A font of the given family and height in pixels.
QFont PixelFont(const QString& family, int pixels, bool bold = false, bool italic = false) {
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

}  // namespace

TClickLabel::TClickLabel(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
}

void TClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void FitLabelFont(QLabel* label, int maxWidth, int minPixels) {
    QFont font = label->font();
    while (font.pixelSize() > minPixels &&
           QFontMetrics(font).horizontalAdvance(label->text()) > maxWidth)
        font.setPixelSize(font.pixelSize() - 1);
    label->setFont(font);
    label->adjustSize();
}

void CentreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

TdlgAbout::TdlgAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("dlgAbout"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(382, 228);
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::white);
    setPalette(background);
    setFont(PixelFont(QStringLiteral("Tahoma"), 11));

    const qreal ratio = devicePixelRatioF();
    imageLogo90 = new TClickLabel(this);
    imageLogo90->setObjectName(QStringLiteral("imageLogo90"));
    imageLogo90->setGeometry(20, 50, 90, 90);
    imageLogo90->setScaledContents(true);
    imageLogo90->setPixmap(ProductLogo(ratio));

    labelProgramName = new TClickLabel(this);
    labelProgramName->setObjectName(QStringLiteral("labelProgramName"));
    labelProgramName->move(116, 72);
    labelProgramName->setFont(PixelFont(QStringLiteral("Verdana"), 21));
    QPalette nameColour = labelProgramName->palette();
    nameColour.setColor(QPalette::WindowText, QColor(0x3E, 0x3E, 0x86));
    labelProgramName->setPalette(nameColour);

    labelSlogan = new TClickLabel(this);
    labelSlogan->setObjectName(QStringLiteral("labelSlogan"));
    labelSlogan->move(116, 97);
    labelSlogan->setFont(PixelFont(QStringLiteral("Verdana"), 13, false, true));

    labelNote = new QLabel(this);
    labelNote->setObjectName(QStringLiteral("labelNote"));
    labelNote->setGeometry(116, 158, 258, 16);
    labelNote->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* bevel1 = new QFrame(this);
    bevel1->setObjectName(QStringLiteral("Bevel1"));
    bevel1->setFrameShape(QFrame::HLine);
    bevel1->setFrameShadow(QFrame::Sunken);
    bevel1->setGeometry(116, 176, 258, 2);

    labelVersion = new QLabel(this);
    labelVersion->setObjectName(QStringLiteral("labelVersion"));
    labelVersion->move(8, 186);
    labelVersion->setFont(PixelFont(QStringLiteral("Tahoma"), 16));

    labelCopyright = new QLabel(this);
    labelCopyright->setObjectName(QStringLiteral("labelCopyright"));
    labelCopyright->move(8, 208);

    labelWebCompany = new TClickLabel(this);
    labelWebCompany->setObjectName(QStringLiteral("labelWebCompany"));
    labelWebCompany->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));

    imageCompanyLogo = new TClickLabel(this);
    imageCompanyLogo->setObjectName(QStringLiteral("imageCompanyLogo"));
    imageCompanyLogo->setGeometry(382 - 8 - 120, 8, 120, 50);
    imageCompanyLogo->setAttribute(Qt::WA_TranslucentBackground);
    imageCompanyLogo->setPixmap(MakerLogo(ratio));

    auto* okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("OKBtn"));
    okButton->setGeometry(382 - 8 - 90, 228 - 8 - 30, 90, 30);
    // Enter presses the default button; Esc rejects the dialog: both close it.
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

    connect(imageLogo90, &TClickLabel::clicked, this, &TdlgAbout::imageLogo90Click);
    connect(labelProgramName, &TClickLabel::clicked, this, &TdlgAbout::imageLogo90Click);
    connect(labelSlogan, &TClickLabel::clicked, this, &TdlgAbout::imageLogo90Click);
    connect(labelWebCompany, &TClickLabel::clicked, this, &TdlgAbout::labelWebCompanyClick);
    connect(imageCompanyLogo, &TClickLabel::clicked, this, &TdlgAbout::labelWebCompanyClick);
    FormCreate();
}

void TdlgAbout::FormCreate() {
    const TLocalInfo& info = LocalInfo();
    setWindowTitle(QStringLiteral("About ") + QText(ProductName));
    labelProgramName->setText(QText(ProductName));
    labelProgramName->adjustSize();
    labelSlogan->setText(QStringLiteral("Classification results live view"));
    labelSlogan->adjustSize();
    labelNote->setText(QString());
    labelVersion->setText(
        QStringLiteral("Version: %1 (%2)")
            .arg(QText(ProductVersion), QString::fromStdString(info.VersionInfo.FileVersion)));
    labelVersion->adjustSize();
    labelCopyright->setText(QStringLiteral("Copyright \u00A9 2025 "));
    // The width includes the trailing blank, so the company link keeps its distance.
    labelCopyright->resize(labelCopyright->fontMetrics().horizontalAdvance(labelCopyright->text()),
                           labelCopyright->fontMetrics().height());

    labelWebCompany->move(labelCopyright->x() + labelCopyright->width(), labelCopyright->y());
    const QString companyHint =
        QStringLiteral("Open web page ") + QString::fromStdString(HomePageAddress(SiteBase()));
    labelWebCompany->setToolTip(companyHint);
    imageCompanyLogo->setToolTip(companyHint);
    labelWebCompany->setText(
        QString::fromUtf8(CompanyName.data(), static_cast<qsizetype>(CompanyName.size())));
    labelWebCompany->adjustSize();

    imageLogo90->setToolTip(QStringLiteral("Open Kestro Neural Network web page"));
    labelProgramName->setToolTip(imageLogo90->toolTip());
    labelSlogan->setToolTip(imageLogo90->toolTip());
}

void TdlgAbout::showEvent(QShowEvent* event) {
    // Once per opening: a restore from minimised shows the box again, spontaneously.
    if (!event->spontaneous())
        CentreOnScreen(this);
    QDialog::showEvent(event);
}

void TdlgAbout::imageLogo90Click() {
    ShellOpen(ProductPageAddress(SiteBase()));
}

void TdlgAbout::labelWebCompanyClick() {
    ShellOpen(HomePageAddress(SiteBase()));
}

}  // namespace kestro
