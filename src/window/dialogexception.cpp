#include "window/dialogexception.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <cstdio>
#include <cstdlib>

#include "core/units/info.h"
#include "core/units/weblinks.h"
#include "views/qtext.h"
#include "window/about.h"
#include "window/application.h"
#include "window/icons.h"
#include "window/shell.h"

namespace kestro {

namespace {

constexpr int MaxCommentLength = 300;
constexpr int MaxEmailLength = 100;
// The most of an answer that is received and shown.
constexpr qint64 MaxReplyBytes = 4 * 1024 * 1024;

QFont PixelFont(const QString& family, int pixels, bool bold = false) {
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(x, y);
    return label;
}

QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

// The address of the submission as bytes for the network; a base that is not a strict address
// is read tolerantly.
QUrl SubmissionUrl(const std::string& address) {
    const QByteArray bytes = QByteArray::fromStdString(address);
    QUrl url = QUrl::fromEncoded(bytes, QUrl::StrictMode);
    if (!url.isValid())
        url = QUrl::fromEncoded(bytes, QUrl::TolerantMode);
    return url;
}

void EndProgram() {
    std::fflush(nullptr);
    std::_Exit(TDialogException::ExitCodeAfterReport);
}

// Without the program's throw hook nothing tells where an exception was raised or who called.
ExceptionFacts NameOnly(std::exception_ptr exception, int) {
    return NameException(exception);
}

ExceptionFactsSource FactsSource = &NameOnly;

}  // namespace

ExceptionFactsSource SetExceptionFactsSource(ExceptionFactsSource source) {
    const ExceptionFactsSource previous = FactsSource;
    FactsSource = source ? source : &NameOnly;
    return previous;
}

TReplyView::TReplyView(QWidget* parent) : QTextBrowser(parent) {
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, [](const QUrl& link) {
        if (link.scheme() == QLatin1String("http") || link.scheme() == QLatin1String("https"))
            ShellOpen(link.toString(QUrl::FullyEncoded));
    });
}

QVariant TReplyView::loadResource(int, const QUrl&) {
    return {};
}

TDialogException::TDialogException(QWidget* parent)
    : QDialog(parent), siteBase(SiteBase()), terminateHook(&EndProgram) {
    setObjectName(QStringLiteral("DialogException"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(452, 406);
    setFont(PixelFont(QStringLiteral("Arial Unicode MS"), 13));
    CreateHeader();
    CreatePages();
    CreateFooter();
    CreateSelectAll();
    ConnectControls();
    FormCreate();
}

// The title, the logo and the line under the title.
void TDialogException::CreateHeader() {
    labelTitle =
        NewLabel(this, "labelTitle", QText(ProductName) + QStringLiteral(" causes Error"), 8, 10);
    labelTitle->setFont(PixelFont(QStringLiteral("Tahoma"), 16, true));

    imageLogo40 = new QLabel(this);
    imageLogo40->setObjectName(QStringLiteral("imageLogo40"));
    imageLogo40->setGeometry(452 - 8 - 119, 8, 119, 42);
    imageLogo40->setPixmap(ProductLogoWide(devicePixelRatioF()));

    labelSending = NewLabel(this, "labelSending", QString(), 8, 36);
    labelSending->resize(300, 18);
}

// The middle: three pages without tabs, one shown at a time.
void TDialogException::CreatePages() {
    PageControl = new QStackedWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    PageControl->setGeometry(8, 58, 436, 300);
    PageControl->setFocusPolicy(Qt::NoFocus);
    CreatePleaseSendPage();
    CreateAfterSendPage();
    CreateNotePage();
    PageControl->addWidget(tsPleaseSend);
    PageControl->addWidget(tsAfterSend);
    PageControl->addWidget(tsNote);
}

// Page tsPleaseSend: where to, what for, the comment and the e-mail address.
void TDialogException::CreatePleaseSendPage() {
    tsPleaseSend = new QWidget(PageControl);
    tsPleaseSend->setObjectName(QStringLiteral("tsPleaseSend"));
    labelPleaseSend = NewLabel(tsPleaseSend, "labelPleaseSend",
                               QStringLiteral("Please send error report to "), 4, 16);
    QFont bold = labelPleaseSend->font();
    bold.setBold(true);
    labelPleaseSend->setFont(bold);
    labelWww = new TClickLabel(tsPleaseSend);
    labelWww->setObjectName(QStringLiteral("labelWww"));
    labelWww->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
    labelAnyData = NewLabel(tsPleaseSend, "labelAnyData",
                            QStringLiteral("Any data you send us is confidential and will not be "
                                           "used for any other purpose than fixing the problem."),
                            4, 32);
    labelAnyData->setWordWrap(true);
    labelAnyData->resize(427, 32);
    labelDescribeSteps =
        NewLabel(tsPleaseSend, "labelDescribeSteps",
                 QStringLiteral("Describe steps leading to this error (optional)"), 4, 88);
    labelDescribeSteps->adjustSize();
    memoComment = new QPlainTextEdit(tsPleaseSend);
    memoComment->setObjectName(QStringLiteral("memoComment"));
    memoComment->setGeometry(4, 104, 427, 91);
    labelYourEmail = NewLabel(tsPleaseSend, "labelYourEmail",
                              QStringLiteral("Your Email Address (optional)"), 4, 208);
    edEmail = new QLineEdit(tsPleaseSend);
    edEmail->setObjectName(QStringLiteral("edEmail"));
    edEmail->setGeometry(192, 204, 243, 22);
    edEmail->setMaxLength(MaxEmailLength);
    btnSee = new QPushButton(QStringLiteral("See &what will be sent"), tsPleaseSend);
    btnSee->setObjectName(QStringLiteral("btnSee"));
    btnSee->setGeometry(4, 253, 153, 25);
    btnSee->setAutoDefault(false);
}

// Page tsAfterSend: the server's answer.
void TDialogException::CreateAfterSendPage() {
    tsAfterSend = new QWidget(PageControl);
    tsAfterSend->setObjectName(QStringLiteral("tsAfterSend"));
    WebBrowser = new TReplyView(tsAfterSend);
    WebBrowser->setObjectName(QStringLiteral("WebBrowser"));
    WebBrowser->setGeometry(0, 0, 436, 300);
}

// Page tsNote: what will be sent.
void TDialogException::CreateNotePage() {
    tsNote = new QWidget(PageControl);
    tsNote->setObjectName(QStringLiteral("tsNote"));
    memoNote = new QPlainTextEdit(tsNote);
    memoNote->setObjectName(QStringLiteral("memoNote"));
    memoNote->setReadOnly(true);
    memoNote->setLineWrapMode(QPlainTextEdit::NoWrap);
    memoNote->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoNote->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoNote->setGeometry(0, 0, 436, 266);
    btnNoteBack = new QPushButton(QStringLiteral("Back"), tsNote);
    btnNoteBack->setObjectName(QStringLiteral("btnNoteBack"));
    btnNoteBack->setGeometry(0, 272, 90, 25);
    btnNoteBack->setAutoDefault(false);
}

// The bottom line: the plea and the two buttons.
void TDialogException::CreateFooter() {
    labelHelpImprove = NewLabel(this, "labelHelpImprove",
                                QStringLiteral("You can help to fix it. Send a report."), 8, 376);
    labelHelpImprove->setFont(PixelFont(QStringLiteral("Arial Unicode MS"), 12));
    labelHelpImprove->adjustSize();
    btnSend = new QPushButton(QStringLiteral("&Send"), this);
    btnSend->setObjectName(QStringLiteral("btnSend"));
    btnSend->setGeometry(452 - 8 - 90 - 6 - 90, 406 - 10 - 25, 90, 25);
    btnSend->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("&Don't Send"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(452 - 8 - 90, 406 - 10 - 25, 90, 25);
    btnCancel->setAutoDefault(false);
}

// The edit fields' standard Select All.
void TDialogException::CreateSelectAll() {
    auto* selectAll = new QAction(QStringLiteral("Select &All"), this);
    selectAll->setObjectName(QStringLiteral("EditSelectAll"));
    selectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    selectAll->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(selectAll);
    connect(selectAll, &QAction::triggered, this, [this] {
        QWidget* focus = focusWidget();
        if (auto* line = qobject_cast<QLineEdit*>(focus))
            line->selectAll();
        else if (auto* memo = qobject_cast<QPlainTextEdit*>(focus))
            memo->selectAll();
    });
}

void TDialogException::ConnectControls() {
    network = new QNetworkAccessManager(this);
    connect(btnSee, &QPushButton::clicked, this, &TDialogException::btnSeeClick);
    connect(btnNoteBack, &QPushButton::clicked, this, &TDialogException::btnNoteBackClick);
    connect(btnSend, &QPushButton::clicked, this, &TDialogException::btnSendClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(labelWww, &TClickLabel::clicked, this, &TDialogException::labelWwwClick);
    connect(memoComment, &QPlainTextEdit::textChanged, this, &TDialogException::LimitComment);
}

TDialogException::~TDialogException() {
    // Uninstalls the handler: nothing may call into a destroyed window.
    SetApplicationExceptionHandler({});
}

void TDialogException::FormCreate() {
    setWindowTitle(QText(ProductName));
    // The link follows the bold text on the same line, whatever width the font gives it.
    labelPleaseSend->resize(
        labelPleaseSend->fontMetrics().horizontalAdvance(labelPleaseSend->text()),
        labelPleaseSend->fontMetrics().height());
    labelWww->move(labelPleaseSend->x() + labelPleaseSend->width(), labelPleaseSend->y());
    // The title stays clear of the logo and the e-mail label clear of its field.
    FitLabelFont(labelTitle, imageLogo40->x() - labelTitle->x() - 4, 11);
    FitLabelFont(labelYourEmail, edEmail->x() - labelYourEmail->x() - 4, 9);
    labelWww->setText(
        QString::fromUtf8(CompanyName.data(), static_cast<qsizetype>(CompanyName.size())));
    labelWww->adjustSize();
    labelWww->setToolTip(QStringLiteral("Open web page ") +
                         QString::fromStdString(HomePageAddress(SiteBase())));
    memoComment->clear();
    edEmail->clear();
    SetApplicationExceptionHandler(
        [this](std::exception_ptr exception) { HandleApplicationException(exception); });
}

void TDialogException::SetSiteBase(const std::string& base) {
    siteBase = base;
}

void TDialogException::SetTerminateHook(std::function<void()> hook) {
    terminateHook = hook ? std::move(hook) : std::function<void()>(&EndProgram);
}

__attribute__((noinline)) void TDialogException::HandleApplicationException(
    std::exception_ptr exception) {
    if (handling)
        return;
    handling = true;
    // Class name, message, where it was raised and the callers from this handler's caller on;
    // there is no platform exception record, so code, flags and the second address stay 0.
    const ExceptionFacts facts = FactsSource(exception, 1);
    ShowReport(BuildReport(facts, LocalInfo()));
    handling = false;
    terminateHook();
}

int TDialogException::ShowReport(const ErrorReport& report) {
    reportQuery = report.query;
    reportText = report.text;
    sent = false;
    return exec();
}

void TDialogException::showEvent(QShowEvent* event) {
    // Once per opening: a restore from minimised shows the window again, spontaneously, and
    // must not beep again or return to the first page.
    const bool opening = !event->spontaneous();
    if (opening)
        CentreOnScreen(this);
    QDialog::showEvent(event);
    if (opening)
        FormShow();
}

void TDialogException::FormShow() {
    QApplication::beep();
    btnCancel->setEnabled(true);
    btnSend->setText(QStringLiteral("&Send"));
    labelHelpImprove->setVisible(true);
    labelSending->setText(QStringLiteral("We are sorry for the inconvenience."));
    PageControl->setCurrentWidget(tsPleaseSend);
}

void TDialogException::btnSeeClick() {
    memoNote->setPlainText(FromUtf8(reportText) + QStringLiteral("Email:\t") + edEmail->text() +
                           QStringLiteral("\r\nNote: \r\n") + memoComment->toPlainText());
    PageControl->setCurrentWidget(tsNote);
}

void TDialogException::btnNoteBackClick() {
    PageControl->setCurrentWidget(tsPleaseSend);
}

void TDialogException::btnSendClick() {
    if (sent) {
        accept();
        return;
    }
    sent = true;
    reportQuery += "&e=" + EncodeQueryValue(edEmail->text().toStdString());
    reportQuery += "&d=" + EncodeQueryValue(memoComment->toPlainText().toStdString());
    btnCancel->setEnabled(false);
    btnSend->setText(QStringLiteral("&Close"));
    labelHelpImprove->setVisible(false);
    labelSending->setText(QStringLiteral("Sending report..."));

    QNetworkRequest request(SubmissionUrl(ReportSubmissionAddress(siteBase, reportQuery)));
    request.setTransferTimeout(SendTimeoutMs);
    QNetworkReply* reply = network->get(request);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > MaxReplyBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply] { WebBrowserDownloadComplete(reply); });
    PageControl->setCurrentWidget(tsAfterSend);
}

void TDialogException::WebBrowserDownloadComplete(QNetworkReply* reply) {
    reply->deleteLater();
    labelSending->setText(QString());
    // A failed call is not reported; whatever the server answered is shown.
    const QByteArray body = reply->readAll().left(MaxReplyBytes);
    if (body.isEmpty())
        return;
    const QString contentType = reply->header(QNetworkRequest::ContentTypeHeader).toString();
    const bool latin1 = contentType.contains(QLatin1String("iso-8859-1"), Qt::CaseInsensitive) ||
                        contentType.contains(QLatin1String("latin1"), Qt::CaseInsensitive);
    const QString text = latin1 ? QString::fromLatin1(body) : QString::fromUtf8(body);
    if (contentType.contains(QLatin1String("html"), Qt::CaseInsensitive) ||
        (contentType.isEmpty() && text.contains(QLatin1Char('<'))))
        WebBrowser->setHtml(text);
    else
        WebBrowser->setPlainText(text);
}

void TDialogException::labelWwwClick() {
    ShellOpen(HomePageAddress(SiteBase()));
}

void TDialogException::LimitComment() {
    const QString text = memoComment->toPlainText();
    if (text.size() <= MaxCommentLength)
        return;
    memoComment->setPlainText(text.left(MaxCommentLength));
    memoComment->moveCursor(QTextCursor::End);
}

}  // namespace kestro
