// The error report window: shows what went wrong, lets the user add a note and an e-mail
// address, sends the report to the maker's site with one HTTP GET, and then ends the program.
#pragma once

#include <QDialog>
#include <QTextBrowser>
#include <exception>
#include <functional>
#include <string>

#include "core/units/report.h"

class QLabel;
class QLineEdit;
class QNetworkAccessManager;
class QNetworkReply;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;

namespace kestro {

class TClickLabel;

// Shows the server's answer as rich text. It loads nothing by itself: pictures and style
// sheets named by the answer stay out, and a clicked link opens in the user's browser.
class TReplyView : public QTextBrowser {
    Q_OBJECT

  public:
    explicit TReplyView(QWidget* parent = nullptr);

    // Nothing is fetched for the answer's resources.
    QVariant loadResource(int type, const QUrl& name) override;
};

// Gathers the facts of an exception in flight for the report; with skip 0 the call stack begins
// with the return address into the function that called it.
using ExceptionFactsSource = ExceptionFacts (*)(std::exception_ptr exception, int skip);

// Sets where every report window takes the facts of an exception from; returns the source set
// before, and a null source restores the default. The default names the exception only (class
// and message; no address, no call stack): those come from the program's throw hook, which the
// program sets here, so that the window library does not pull the hook into every program.
ExceptionFactsSource SetExceptionFactsSource(ExceptionFactsSource source);

// The error report window. Its creation installs HandleApplicationException as the
// application's exception handler.
class TDialogException : public QDialog {
    Q_OBJECT

  public:
    // How long the answer to a report may take before the window stops waiting for it.
    static constexpr int SendTimeoutMs = 30000;
    // The program's exit code after the report window has closed.
    static constexpr int ExitCodeAfterReport = 1;

    explicit TDialogException(QWidget* parent = nullptr);
    ~TDialogException() override;

    // Reports an exception that no handler caught: collects its facts, shows the window
    // modally and, once it has closed, ends the program. A further exception raised while the
    // window is open is dropped.
    void HandleApplicationException(std::exception_ptr exception);

    // Stores the two texts of a report and shows the window modally; returns when it closes.
    int ShowReport(const ErrorReport& report);

    // The query and the report as they stand (the query grows by e-mail and comment on Send).
    const std::string& ReportQuery() const { return reportQuery; }
    const std::string& ReportText() const { return reportText; }

    // The site that receives reports (the build-time base address unless changed).
    void SetSiteBase(const std::string& base);

    // Replaces what ends the program after the window has closed (tests); an empty hook
    // restores the default, which ends the process at once.
    void SetTerminateHook(std::function<void()> hook);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // The controls, top to bottom, in the order of the focus chain.
    void CreateHeader();
    void CreatePages();
    void CreatePleaseSendPage();
    void CreateAfterSendPage();
    void CreateNotePage();
    void CreateFooter();
    void CreateSelectAll();
    void ConnectControls();

    void FormCreate();
    void FormShow();
    void btnSeeClick();
    void btnNoteBackClick();
    void btnSendClick();
    void WebBrowserDownloadComplete(QNetworkReply* reply);
    void labelWwwClick();
    void LimitComment();

    std::string reportQuery;
    std::string reportText;
    std::string siteBase;
    std::function<void()> terminateHook;
    bool handling = false;
    bool sent = false;

    QLabel* labelTitle;
    QLabel* imageLogo40;
    QLabel* labelSending;
    QStackedWidget* PageControl;
    QWidget* tsPleaseSend;
    QWidget* tsAfterSend;
    QWidget* tsNote;
    QLabel* labelPleaseSend;
    TClickLabel* labelWww;
    QLabel* labelAnyData;
    QLabel* labelDescribeSteps;
    QPlainTextEdit* memoComment;
    QLabel* labelYourEmail;
    QLineEdit* edEmail;
    QPushButton* btnSee;
    TReplyView* WebBrowser;
    QPlainTextEdit* memoNote;
    QPushButton* btnNoteBack;
    QLabel* labelHelpImprove;
    QPushButton* btnSend;
    QPushButton* btnCancel;
    QNetworkAccessManager* network;
};

}  // namespace kestro
