// The error report window and the application-wide exception handler. Reports are sent to a
// test server on 127.0.0.1 only.
#include <sys/wait.h>
#include <unistd.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpontaneKeyEvent>
#include <QStackedWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>
#include <cctype>
#include <cstring>
#include <functional>
#include <stdexcept>

#include "app/crash.h"
#include "core/units/info.h"
#include "core/units/report.h"
#include "core/units/uu.h"
#include "core/units/weblinks.h"
#include "window/about.h"
#include "window/application.h"
#include "window/dialogexception.h"
#include "window/shell.h"
#include "windowtestenvironment.h"

using namespace kestro;

namespace {

// A one-page web server on 127.0.0.1 that records the head of every request it receives.
class LocalServer : public QObject {
  public:
    explicit LocalServer(QByteArray body) : response(std::move(body)) {
        if (!server.listen(QHostAddress::LocalHost, 0))
            qFatal("cannot listen on 127.0.0.1");
        connect(&server, &QTcpServer::newConnection, this, &LocalServer::Accept);
    }
    std::string Base() const {
        return "http://127.0.0.1:" + std::to_string(server.serverPort()) + "/";
    }
    QList<QByteArray> requests;

  private:
    void Accept() {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            auto* received = new QByteArray;
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
                received->append(socket->readAll());
                if (!received->contains("\r\n\r\n"))
                    return;
                requests << received->left(received->indexOf("\r\n\r\n"));
                socket->write(
                    "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                    "Content-Length: " +
                    QByteArray::number(response.size()) + "\r\nConnection: close\r\n\r\n" +
                    response);
                socket->disconnectFromHost();
            });
            connect(socket, &QTcpSocket::disconnected, socket, [socket, received] {
                delete received;
                socket->deleteLater();
            });
        }
    }
    QTcpServer server;
    QByteArray response;
};

// An object whose handler of user events raises the test error, or a standard exception.
class Thrower : public QObject {
  public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User)
            RaiseTestError();
        if (event->type() == QEvent::Type(QEvent::User + 1))
            throw std::out_of_range("index 7 is past the end");
        return QObject::event(event);
    }
};

template <typename T>
T* Child(QObject* parent, const char* name) {
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    if (!child)
        qFatal("no child %s", name);
    return child;
}

QString PageName(TDialogException& dialog) {
    return Child<QStackedWidget>(&dialog, "PageControl")->currentWidget()->objectName();
}

QString Text(TDialogException& dialog, const char* label) {
    return Child<QLabel>(&dialog, label)->text();
}

// Runs steps from the window's own event loop once it is open; closes it after 20 s should the
// steps stop half-way (a failed check), so that a failing test cannot hang.
void WhileOpen(TDialogException& dialog, std::function<void()> steps) {
    QTimer::singleShot(0, &dialog, std::move(steps));
    QTimer::singleShot(20000, &dialog, [&dialog] {
        if (dialog.isVisible())
            dialog.done(-1);
    });
}

ErrorReport ExampleReport() {
    ExceptionFacts facts;
    facts.className = "EWin32Error";
    facts.message = "Test Error";
    facts.address = 0x1234;
    facts.callStack = "00001000, 00002000";
    return BuildReport(facts, LocalInfo());
}

// Runs body in a child process; returns its exit status and what it wrote to fd `output`.
std::pair<int, QByteArray> InChild(const std::function<void(int output)>& body) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        qFatal("pipe");
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        body(pipeEnds[1]);
        _exit(99);
    }
    close(pipeEnds[1]);
    QByteArray output;
    char buffer[256];
    ssize_t count;
    while ((count = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, count);
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

void WriteText(int fd, const std::string& text) {
    if (write(fd, text.data(), text.size()) < 0)
        _exit(98);
}

// The query with the digits of its percent-encodings in upper case.
QByteArray UpperHex(const std::string& query) {
    QByteArray bytes = QByteArray::fromStdString(query);
    for (qsizetype i = 0; i + 2 < bytes.size(); ++i)
        if (bytes[i] == '%') {
            bytes[i + 1] =
                static_cast<char>(std::toupper(static_cast<unsigned char>(bytes[i + 1])));
            bytes[i + 2] =
                static_cast<char>(std::toupper(static_cast<unsigned char>(bytes[i + 2])));
        }
    return bytes;
}

__attribute__((noinline)) void ThrowThroughNoexcept() noexcept {
    RaiseTestError();
}

}  // namespace

class DialogExceptionTest : public QObject {
    Q_OBJECT

  private:
    WindowTestEnvironment environment;
    QStringList& opened = environment.opened;

  private slots:
    void initTestCase() { QVERIFY(environment.GatherInfo()); }

    void init() { environment.RecordShell(); }

    void cleanup() { WindowTestEnvironment::RestoreShell(); }

    // Runs first, before the network code has started any thread.
    void exceptionsOutsideEventHandlersEndInTheHandler() {
        const auto [status, output] = InChild([](int fd) {
            SetApplicationExceptionHandler([fd](std::exception_ptr exception) {
                const ExceptionFacts facts = DescribeException(exception);
                WriteText(fd, facts.className + ": " + facts.message);
            });
            InstallTerminateHandler();
            ThrowThroughNoexcept();
        });
        QCOMPARE(output, QByteArray("EWin32Error: Test Error"));
        QCOMPARE(status, 1);
    }

    void withoutAHandlerTheProgramEndsWithAMessage() {
        const auto [status, output] = InChild([](int fd) {
            dup2(fd, STDERR_FILENO);
            SetApplicationExceptionHandler({});
            try {
                RaiseTestError();
            } catch (...) {
                HandleUncaughtException(std::current_exception());
            }
        });
        QVERIFY2(output.contains("EWin32Error: Test Error"), output.constData());
        QCOMPARE(status, 1);
    }

    void windowAsCreated() {
        TDialogException dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Kestro Neural Network"));
        QCOMPARE(dialog.size(), QSize(452, 406));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QCOMPARE(dialog.font().pixelSize(), 13);
        QCOMPARE(Text(dialog, "labelTitle"), QStringLiteral("Kestro Neural Network causes Error"));
        QVERIFY(Child<QLabel>(&dialog, "labelTitle")->font().bold());
        // 16 pixels, or less where a stand-in font would run under the logo.
        auto* title = Child<QLabel>(&dialog, "labelTitle");
        auto* logo = Child<QLabel>(&dialog, "imageLogo40");
        QVERIFY(title->font().pixelSize() <= 16 && title->font().pixelSize() >= 11);
        QVERIFY(title->x() + title->fontMetrics().horizontalAdvance(title->text()) < logo->x());
        QCOMPARE(logo->size(), QSize(119, 42));
        QCOMPARE(logo->geometry().right(), 452 - 8 - 1);
        auto* emailLabel = Child<QLabel>(&dialog, "labelYourEmail");
        QVERIFY(
            emailLabel
                ->mapTo(&dialog,
                        QPoint(emailLabel->fontMetrics().horizontalAdvance(emailLabel->text()), 0))
                .x() < Child<QLineEdit>(&dialog, "edEmail")->mapTo(&dialog, QPoint(0, 0)).x());
        QCOMPARE(Text(dialog, "labelHelpImprove"),
                 QStringLiteral("You can help to fix it. Send a report."));
        QCOMPARE(Child<QLabel>(&dialog, "labelHelpImprove")->font().pixelSize(), 12);
        QCOMPARE(Text(dialog, "labelPleaseSend"), QStringLiteral("Please send error report to "));
        QVERIFY(Child<QLabel>(&dialog, "labelPleaseSend")->font().bold());
        QCOMPARE(Text(dialog, "labelWww"), QStringLiteral("Quorvanta Software"));
        QCOMPARE(Child<QLabel>(&dialog, "labelWww")->toolTip(),
                 QStringLiteral("Open web page https://quorvanta.example/"));
        auto* pleaseSend = Child<QLabel>(&dialog, "labelPleaseSend");
        QCOMPARE(Child<QLabel>(&dialog, "labelWww")->x(),
                 pleaseSend->x() + pleaseSend->fontMetrics().horizontalAdvance(pleaseSend->text()));
        QVERIFY(Text(dialog, "labelAnyData").startsWith(QStringLiteral("Any data you send us")));
        QCOMPARE(Text(dialog, "labelDescribeSteps"),
                 QStringLiteral("Describe steps leading to this error (optional)"));
        QCOMPARE(Text(dialog, "labelYourEmail"), QStringLiteral("Your Email Address (optional)"));
        QCOMPARE(Child<QPushButton>(&dialog, "btnSee")->text(),
                 QStringLiteral("See &what will be sent"));
        QCOMPARE(Child<QPushButton>(&dialog, "btnSee")->size(), QSize(153, 25));
        QCOMPARE(Child<QPushButton>(&dialog, "btnCancel")->text(), QStringLiteral("&Don't Send"));
        QCOMPARE(Child<QPushButton>(&dialog, "btnNoteBack")->text(), QStringLiteral("Back"));
        QVERIFY(Child<QPushButton>(&dialog, "btnSend")->isDefault());
        QCOMPARE(Child<QPushButton>(&dialog, "btnSend")->size(), QSize(90, 25));
        QCOMPARE(Child<QPlainTextEdit>(&dialog, "memoComment")->size(), QSize(427, 91));
        QCOMPARE(Child<QLineEdit>(&dialog, "edEmail")->width(), 243);
        QVERIFY(Child<QPlainTextEdit>(&dialog, "memoNote")->isReadOnly());
        QCOMPARE(Child<QPlainTextEdit>(&dialog, "memoComment")->toPlainText(), QString());
        QCOMPARE(Child<QLineEdit>(&dialog, "edEmail")->text(), QString());

        auto* selectAll = dialog.findChild<QAction*>(QStringLiteral("EditSelectAll"));
        QVERIFY(selectAll);
        QCOMPARE(selectAll->text(), QStringLiteral("Select &All"));
        QCOMPARE(selectAll->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
    }

    void fieldsAreLimited() {
        TDialogException dialog;
        auto* email = Child<QLineEdit>(&dialog, "edEmail");
        QCOMPARE(email->maxLength(), 100);
        auto* comment = Child<QPlainTextEdit>(&dialog, "memoComment");
        comment->setPlainText(QString(400, QLatin1Char('x')));
        QCOMPARE(comment->toPlainText().size(), 300);
        comment->setPlainText(QStringLiteral("short"));
        QCOMPARE(comment->toPlainText(), QStringLiteral("short"));
    }

    void testErrorThroughNotifyThenDontSend() {
        TDialogException dialog;
        int ended = 0;
        dialog.SetTerminateHook([&ended] { ++ended; });
        QString sending, page, sendCaption;
        bool cancelEnabled = false, helpVisible = false, endedWhileOpen = true;
        WhileOpen(dialog, [&] {
            sending = Text(dialog, "labelSending");
            page = PageName(dialog);
            sendCaption = Child<QPushButton>(&dialog, "btnSend")->text();
            cancelEnabled = Child<QPushButton>(&dialog, "btnCancel")->isEnabled();
            helpVisible = Child<QLabel>(&dialog, "labelHelpImprove")->isVisible();
            endedWhileOpen = ended != 0;
            QTest::mouseClick(Child<QPushButton>(&dialog, "btnCancel"), Qt::LeftButton);
        });
        Thrower thrower;
        QEvent raise(QEvent::User);
        QCoreApplication::sendEvent(&thrower, &raise);

        QCOMPARE(sending, QStringLiteral("We are sorry for the inconvenience."));
        QCOMPARE(page, QStringLiteral("tsPleaseSend"));
        QCOMPARE(sendCaption, QStringLiteral("&Send"));
        QVERIFY(cancelEnabled);
        QVERIFY(helpVisible);
        QVERIFY(!endedWhileOpen);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(ended, 1);

        const TLocalInfo& info = LocalInfo();
        const QString query = QString::fromStdString(dialog.ReportQuery());
        const QString prefix =
            QStringLiteral("p=KVN&v=0.9.0.22&s=%1&o=%2&n=EWin32Error&m=Test%20Error&c=00000000&a=")
                .arg(info.ExeSize)
                .arg(QString::fromStdString(EncodeQueryValue(info.WindowsVersion)));
        QVERIFY2(query.startsWith(prefix), qPrintable(query));
        const QRegularExpression rest(
            QStringLiteral("^([0-9A-F]{8}),00000000&t=[0-9A-F]{8}(,%20[0-9A-F]{8}){0,10}$"));
        const QRegularExpressionMatch match = rest.match(query.mid(prefix.size()));
        QVERIFY2(match.hasMatch(), qPrintable(query));
        // The address lies in the function that raised the error.
        void* raise_ = nullptr;
        const auto function = &RaiseTestError;
        std::memcpy(&raise_, &function, sizeof raise_);
        const uint32_t address = match.captured(1).toUInt(nullptr, 16);
        QVERIFY(address >= CodeOffset(raise_) && address < CodeOffset(raise_) + 0x400);

        const QString text = QString::fromStdString(dialog.ReportText());
        QVERIFY2(text.startsWith(QStringLiteral("Program: KVN 0.9.0.22 (%1 bytes)\r\nOS:\t%2\r\n"
                                                "Error name:\tEWin32Error\r\nError message:\tTest "
                                                "Error\r\nError Code:\t00000000\r\nAddress:\t%3\r\n"
                                                "Addr. 2:\t00000000\r\nCall stack:\t")
                                     .arg(info.ExeSize)
                                     .arg(QString::fromStdString(info.WindowsVersion))
                                     .arg(match.captured(1))),
                 qPrintable(text));
        // Nothing private goes out.
        for (const std::string& secret :
             {info.UserName, info.HostName, info.ExeDir, info.PersonalDir}) {
            if (secret.size() < 3)
                continue;
            QVERIFY2(dialog.ReportQuery().find(secret) == std::string::npos, secret.c_str());
            QVERIFY2(dialog.ReportText().find(secret) == std::string::npos, secret.c_str());
        }
    }

    void theCloseBoxEndsTheProgramToo() {
        TDialogException dialog;
        int ended = 0;
        dialog.SetTerminateHook([&ended] { ++ended; });
        WhileOpen(dialog, [&dialog] { dialog.close(); });
        Thrower thrower;
        QEvent raise(QEvent::Type(QEvent::User + 1));
        QCoreApplication::sendEvent(&thrower, &raise);
        QCOMPARE(ended, 1);
        QVERIFY(!dialog.isVisible());
        QVERIFY(dialog.ReportText().find("Error name:\tstd::out_of_range\r\nError message:\tindex "
                                         "7 is past the end\r\n") != std::string::npos);
    }

    void aFurtherExceptionWhileOpenIsDropped() {
        TDialogException dialog;
        int ended = 0;
        dialog.SetTerminateHook([&ended] { ++ended; });
        std::string queryBefore, queryAfter;
        int endedInside = -1;
        WhileOpen(dialog, [&] {
            queryBefore = dialog.ReportQuery();
            Thrower thrower;
            QEvent raise(QEvent::Type(QEvent::User + 1));
            QCoreApplication::sendEvent(&thrower, &raise);
            queryAfter = dialog.ReportQuery();
            endedInside = ended;
            QTest::mouseClick(Child<QPushButton>(&dialog, "btnCancel"), Qt::LeftButton);
        });
        Thrower thrower;
        QEvent raise(QEvent::User);
        QCoreApplication::sendEvent(&thrower, &raise);
        QCOMPARE(endedInside, 0);
        QCOMPARE(ended, 1);
        QCOMPARE(queryAfter, queryBefore);
        QVERIFY(queryAfter.find("&n=EWin32Error") != std::string::npos);
    }

    void previewShowsWhatIsTypedUnencoded() {
        TDialogException dialog;
        const ErrorReport report = ExampleReport();
        QString note, pageAfterSee, pageAfterBack;
        std::string queryAfterSee;
        WhileOpen(dialog, [&] {
            QTest::keyClicks(Child<QLineEdit>(&dialog, "edEmail"),
                             QStringLiteral("a&b@example.org"));
            Child<QPlainTextEdit>(&dialog, "memoComment")
                ->setPlainText(QStringLiteral("50% = half\nnext  line \u00FC"));
            QTest::mouseClick(Child<QPushButton>(&dialog, "btnSee"), Qt::LeftButton);
            pageAfterSee = PageName(dialog);
            note = Child<QPlainTextEdit>(&dialog, "memoNote")->toPlainText();
            queryAfterSee = dialog.ReportQuery();
            QTest::mouseClick(Child<QPushButton>(&dialog, "btnNoteBack"), Qt::LeftButton);
            pageAfterBack = PageName(dialog);
            dialog.reject();
        });
        QCOMPARE(dialog.ShowReport(report), int(QDialog::Rejected));
        QCOMPARE(pageAfterSee, QStringLiteral("tsNote"));
        QCOMPARE(pageAfterBack, QStringLiteral("tsPleaseSend"));
        // QPlainTextEdit keeps line breaks as LF, so compare with the CR LF pairs made plain.
        const QString expected = QString::fromStdString(report.text) +
                                 QStringLiteral(
                                     "Email:\ta&b@example.org\r\nNote: \r\n50% = half\n"
                                     "next  line \u00FC");
        QCOMPARE(note, QString(expected).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        QCOMPARE(queryAfterSee, report.query);
    }

    void sendGetsTheExactQueryToTheServerOnce() {
        LocalServer server(
            QByteArray("<html><body><p>Thank you for the <b>report</b>.</p>"
                       "<img src=\"file:///etc/hostname\"></body></html>"));
        TDialogException dialog;
        dialog.SetSiteBase(server.Base());
        int ended = 0;
        dialog.SetTerminateHook([&ended] { ++ended; });
        QString sendingAfterClick, pageAfterClick, captionAfterClick, sendingAtEnd, answer;
        bool cancelEnabled = true, helpVisible = true;
        std::string queryAfterFirst;
        WhileOpen(dialog, [&] {
            QTest::keyClicks(Child<QLineEdit>(&dialog, "edEmail"),
                             QStringLiteral("  me+bugs@example.org "));
            Child<QPlainTextEdit>(&dialog, "memoComment")
                ->setPlainText(QStringLiteral("It  broke\r\nwhen I clicked; #1 = 50%"));
            QTest::mouseClick(Child<QPushButton>(&dialog, "btnSend"), Qt::LeftButton);
            sendingAfterClick = Text(dialog, "labelSending");
            pageAfterClick = PageName(dialog);
            captionAfterClick = Child<QPushButton>(&dialog, "btnSend")->text();
            cancelEnabled = Child<QPushButton>(&dialog, "btnCancel")->isEnabled();
            helpVisible = Child<QLabel>(&dialog, "labelHelpImprove")->isVisible();
            queryAfterFirst = dialog.ReportQuery();
            QTRY_COMPARE_WITH_TIMEOUT(Text(dialog, "labelSending"), QString(), 10000);
            sendingAtEnd = Text(dialog, "labelSending");
            answer = Child<QTextBrowser>(&dialog, "WebBrowser")->toPlainText();
            QTest::mouseClick(Child<QPushButton>(&dialog, "btnSend"), Qt::LeftButton);
        });
        Thrower thrower;
        QEvent raise(QEvent::User);
        QCoreApplication::sendEvent(&thrower, &raise);

        QCOMPARE(sendingAfterClick, QStringLiteral("Sending report..."));
        QCOMPARE(pageAfterClick, QStringLiteral("tsAfterSend"));
        QCOMPARE(captionAfterClick, QStringLiteral("&Close"));
        QVERIFY(!cancelEnabled);
        QVERIFY(!helpVisible);
        QCOMPARE(sendingAtEnd, QString());
        QVERIFY2(answer.contains(QStringLiteral("Thank you for the report.")), qPrintable(answer));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(ended, 1);

        const std::string& query = dialog.ReportQuery();
        QCOMPARE(query, queryAfterFirst);
        QVERIFY2(query.ends_with("&e=me%2Bbugs@example.org"
                                 "&d=It%20broke%20when%20I%20clicked%3b%20%231%20%3D%2050%25"),
                 query.c_str());
        QCOMPARE(QString::fromStdString(query).count(QStringLiteral("&e=")), 1);
        QCOMPARE(QString::fromStdString(query).count(QStringLiteral("&d=")), 1);

        QCOMPARE(server.requests.size(), 1);
        const QByteArray head = server.requests.first();
        const QByteArray requestLine = head.left(head.indexOf("\r\n"));
        qInfo("request line received by the test server: %s", requestLine.constData());
        // The network layer writes percent-encodings in upper case (the query's "%3b" goes as
        // "%3B", the same octet); everything else goes exactly as the query has it.
        QCOMPARE(requestLine,
                 QByteArray("GET /cgi/send_bug.cgi?") + UpperHex(query) + QByteArray(" HTTP/1.1"));
        QVERIFY(head.contains("\r\nHost: 127.0.0.1:"));
    }

    void aFailedSendIsNotReported() {
        std::string deadBase;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            deadBase = "http://127.0.0.1:" + std::to_string(probe.serverPort()) + "/";
        }
        TDialogException dialog;
        dialog.SetSiteBase(deadBase);
        QString sendingAtEnd = QStringLiteral("unset"), answer = QStringLiteral("unset");
        WhileOpen(dialog, [&] {
            QTest::mouseClick(Child<QPushButton>(&dialog, "btnSend"), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(Text(dialog, "labelSending"), QString(), 10000);
            sendingAtEnd = Text(dialog, "labelSending");
            answer = Child<QTextBrowser>(&dialog, "WebBrowser")->toPlainText();
            QTest::mouseClick(Child<QPushButton>(&dialog, "btnSend"), Qt::LeftButton);
        });
        QCOMPARE(dialog.ShowReport(ExampleReport()), int(QDialog::Accepted));
        QCOMPARE(sendingAtEnd, QString());
        QCOMPARE(answer, QString());
    }

    void showingAgainStartsFromTheFirstPage() {
        TDialogException dialog;
        QString sending, page, caption;
        WhileOpen(dialog, [&] {
            QTest::mouseClick(Child<QPushButton>(&dialog, "btnSee"), Qt::LeftButton);
            dialog.reject();
        });
        dialog.ShowReport(ExampleReport());
        WhileOpen(dialog, [&] {
            sending = Text(dialog, "labelSending");
            page = PageName(dialog);
            caption = Child<QPushButton>(&dialog, "btnSend")->text();
            dialog.reject();
        });
        dialog.ShowReport(ExampleReport());
        QCOMPARE(page, QStringLiteral("tsPleaseSend"));
        QCOMPARE(sending, QStringLiteral("We are sorry for the inconvenience."));
        QCOMPARE(caption, QStringLiteral("&Send"));
    }

    // A restore from minimised (a spontaneous show) keeps the page the user is on.
    void aRestoreKeepsThePage() {
        TDialogException dialog;
        QString page;
        WhileOpen(dialog, [&] {
            QTest::mouseClick(Child<QPushButton>(&dialog, "btnSee"), Qt::LeftButton);
            QShowEvent restored;
            QSpontaneKeyEvent::setSpontaneous(&restored);
            qApp->notify(&dialog, &restored);  // notify keeps the spontaneous mark
            page = PageName(dialog);
            dialog.reject();
        });
        dialog.ShowReport(ExampleReport());
        QVERIFY(page != QStringLiteral("tsPleaseSend"));
    }

    void theCompanyLinkOpensTheHomePageAndTheWindowStays() {
        TDialogException dialog;
        bool visibleAfter = false;
        WhileOpen(dialog, [&] {
            QTest::mouseClick(Child<QLabel>(&dialog, "labelWww"), Qt::LeftButton);
            visibleAfter = dialog.isVisible();
            dialog.reject();
        });
        dialog.ShowReport(ExampleReport());
        QVERIFY(visibleAfter);
        QCOMPARE(opened, QStringList{QStringLiteral("https://quorvanta.example/")});
    }

    void theHandlerIsInstalledByTheWindowAndRemovedWithIt() {
        std::exception_ptr seen;
        SetApplicationExceptionHandler([&seen](std::exception_ptr e) { seen = e; });
        {
            TDialogException dialog;
            // The window replaced the handler: the test's handler sees nothing.
            dialog.SetTerminateHook([] {});
            WhileOpen(dialog, [&dialog] { dialog.reject(); });
            Thrower thrower;
            QEvent raise(QEvent::User);
            QCoreApplication::sendEvent(&thrower, &raise);
            QVERIFY(!seen);
        }
        QVERIFY(!SetApplicationExceptionHandler({}));
    }
};

int main(int argc, char** argv) {
    // As the program does: the report says where an exception was raised and who called.
    SetExceptionFactsSource(&CaptureExceptionFacts);
    TApplication application(argc, argv);
    DialogExceptionTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "dialogexception_test.moc"
