// The About box, the shell "open" hook, the local help and the web links it opens.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "core/units/info.h"
#include "core/units/weblinks.h"
#include "window/about.h"
#include "window/shell.h"
#include "windowtestenvironment.h"

using namespace kestro;

class AboutTest : public QObject {
    Q_OBJECT

  private:
    WindowTestEnvironment environment;
    QStringList& opened = environment.opened;

    template <typename T>
    static T* Child(QObject* parent, const char* name) {
        T* child = parent->findChild<T*>(QString::fromLatin1(name));
        if (!child)
            qFatal("no child %s", name);
        return child;
    }

  private slots:
    void initTestCase() { QVERIFY(environment.GatherInfo()); }

    void init() { environment.RecordShell(); }

    void cleanup() { WindowTestEnvironment::RestoreShell(); }

    void captionsHintsAndVersion() {
        TdlgAbout about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About Kestro Neural Network"));
        QCOMPARE(Child<QLabel>(&about, "labelProgramName")->text(),
                 QStringLiteral("Kestro Neural Network"));
        QCOMPARE(Child<QLabel>(&about, "labelSlogan")->text(),
                 QStringLiteral("Classification results live view"));
        QCOMPARE(Child<QLabel>(&about, "labelVersion")->text(),
                 QStringLiteral("Version: 0.9 Beta (0.9.0.22)"));
        QCOMPARE(Child<QLabel>(&about, "labelNote")->text(), QString());
        QCOMPARE(Child<QLabel>(&about, "labelWebCompany")->text(),
                 QStringLiteral("Quorvanta Software"));
        QVERIFY(Child<QLabel>(&about, "labelCopyright")->text().endsWith(QLatin1Char(' ')));
        QCOMPARE(Child<QPushButton>(&about, "OKBtn")->text(), QStringLiteral("OK"));

        const QString productHint = QStringLiteral("Open Kestro Neural Network web page");
        for (const char* name : {"imageLogo90", "labelProgramName", "labelSlogan"})
            QCOMPARE(Child<QLabel>(&about, name)->toolTip(), productHint);
        const QString companyHint =
            QStringLiteral("Open web page ") + QString::fromStdString(HomePageAddress(SiteBase()));
        QCOMPARE(Child<QLabel>(&about, "labelWebCompany")->toolTip(), companyHint);
        QCOMPARE(Child<QLabel>(&about, "imageCompanyLogo")->toolTip(), companyHint);
    }

    void placesFontsAndLook() {
        TdlgAbout about;
        QCOMPARE(about.size(), QSize(382, 228));
        QCOMPARE(about.minimumSize(), about.maximumSize());
        QCOMPARE(about.font().pixelSize(), 11);
        QCOMPARE(about.palette().color(QPalette::Window), QColor(Qt::white));

        auto* logo = Child<QLabel>(&about, "imageLogo90");
        QCOMPARE(logo->geometry(), QRect(20, 50, 90, 90));
        QVERIFY(logo->hasScaledContents());
        QVERIFY(!logo->pixmap().isNull());
        auto* name = Child<QLabel>(&about, "labelProgramName");
        QCOMPARE(name->pos(), QPoint(116, 72));
        QCOMPARE(name->font().pixelSize(), 21);
        QCOMPARE(name->font().family(), QStringLiteral("Verdana"));
        QCOMPARE(name->palette().color(QPalette::WindowText), QColor(0x3E, 0x3E, 0x86));
        auto* slogan = Child<QLabel>(&about, "labelSlogan");
        QCOMPARE(slogan->pos(), QPoint(116, 97));
        QCOMPARE(slogan->font().pixelSize(), 13);
        QVERIFY(slogan->font().italic());
        auto* version = Child<QLabel>(&about, "labelVersion");
        QCOMPARE(version->pos(), QPoint(8, 186));
        QCOMPARE(version->font().pixelSize(), 16);

        // The company link starts where the copyright notice (with its blank) ends.
        auto* copyright = Child<QLabel>(&about, "labelCopyright");
        auto* company = Child<QLabel>(&about, "labelWebCompany");
        QCOMPARE(copyright->pos(), QPoint(8, 208));
        QCOMPARE(company->x(), 8 + copyright->fontMetrics().horizontalAdvance(copyright->text()));
        QCOMPARE(company->y(), 208);
        QVERIFY(copyright->text().size() > 1);

        auto* companyLogo = Child<QLabel>(&about, "imageCompanyLogo");
        QCOMPARE(companyLogo->size(), QSize(120, 50));
        QCOMPARE(companyLogo->geometry().right(), 382 - 8 - 1);
        QCOMPARE(companyLogo->y(), 8);
        auto* ok = Child<QPushButton>(&about, "OKBtn");
        QCOMPARE(ok->size(), QSize(90, 30));
        QVERIFY(ok->isDefault());
        QVERIFY(ok->geometry().right() > 300 && ok->geometry().bottom() > 200);
        for (const char* clickable : {"imageLogo90", "labelProgramName", "labelSlogan",
                                      "labelWebCompany", "imageCompanyLogo"})
            QCOMPARE(Child<QLabel>(&about, clickable)->cursor().shape(), Qt::PointingHandCursor);
    }

    void clicksOpenTheProductAndCompanyPages() {
        TdlgAbout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        const QString product = QString::fromStdString(ProductPageAddress(SiteBase()));
        const QString home = QString::fromStdString(HomePageAddress(SiteBase()));
        for (const char* name : {"imageLogo90", "labelProgramName", "labelSlogan"})
            QTest::mouseClick(Child<QLabel>(&about, name), Qt::LeftButton);
        for (const char* name : {"labelWebCompany", "imageCompanyLogo"})
            QTest::mouseClick(Child<QLabel>(&about, name), Qt::LeftButton);
        // A right click is not a click on a link.
        QTest::mouseClick(Child<QLabel>(&about, "labelSlogan"), Qt::RightButton);
        QCOMPARE(opened, (QStringList{product, product, product, home, home}));
        QCOMPARE(product, QStringLiteral("https://quorvanta.example/kvn/?ver=0.9 Beta"));
        QVERIFY(about.isVisible());
    }

    void escapeAndEnterCloseTheModalBox_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::newRow("Esc") << int(Qt::Key_Escape) << int(QDialog::Rejected);
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(QDialog::Accepted);
    }

    void escapeAndEnterCloseTheModalBox() {
        QFETCH(int, key);
        QFETCH(int, result);
        TdlgAbout about;
        bool wasVisible = false;
        QTimer::singleShot(0, &about, [&] {
            wasVisible = about.isVisible() && about.isModal();
            QTest::keyClick(&about, static_cast<Qt::Key>(key));
        });
        QTimer::singleShot(10000, &about, [&] { about.done(-1); });
        QCOMPARE(about.exec(), result);
        QVERIFY(wasVisible);
        QVERIFY(!about.isVisible());
        // It can be shown again.
        QTimer::singleShot(0, &about, [&] { QTest::keyClick(&about, Qt::Key_Escape); });
        QCOMPARE(about.exec(), int(QDialog::Rejected));
    }

    void localHelpOpensOnlyAnExistingPage() {
        QTemporaryDir program;
        const std::string dir = program.path().toStdString() + "/";
        OpenLocalHelp(dir);
        QVERIFY(opened.isEmpty());
        QVERIFY(QDir(program.path()).mkpath(QStringLiteral("help")));
        QFile page(program.path() + QStringLiteral("/help/index.html"));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.write("<html></html>");
        page.close();
        OpenLocalHelp(dir);
        QCOMPARE(opened, QStringList{program.path() + QStringLiteral("/help/index.html")});
        QCOMPARE(ShellTargetUrl(opened.first()),
                 QUrl::fromLocalFile(program.path() + QStringLiteral("/help/index.html")));
    }

    void theBuiltProgramFindsItsHelpBesideItself() {
        // The test runs beside the built program's folder: src/help/index.html there.
        const QString built =
            QCoreApplication::applicationDirPath() + QStringLiteral("/../src/help/index.html");
        QVERIFY2(QFileInfo(built).isFile(), qPrintable(built));
        OpenLocalHelp(
            (QCoreApplication::applicationDirPath() + QStringLiteral("/../src/")).toStdString());
        QCOMPARE(opened.size(), 1);
        QFile page(opened.first());
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QByteArray html = page.readAll();
        QVERIFY(html.contains("Kestro Neural Network"));
        QVERIFY(html.contains("Shift+Ctrl+Alt+Q") || html.contains("F1"));
    }

    void webAddressesGoToTheDesktopUnchanged() {
        const std::string base = SiteBase();
        const std::string fileVersion = LocalInfo().VersionInfo.FileVersion;
        ShellOpen(OnlineHelpAddress(base));
        ShellOpen(VersionCheckAddress(base, fileVersion));
        ShellOpen(SupportAddress(base));
        ShellOpen(ProductPageAddress(base));
        QCOMPARE(opened,
                 (QStringList{QStringLiteral("https://quorvanta.example/kvn/help/?ver=0.9 Beta"),
                              QStringLiteral("https://quorvanta.example/cgi/version.cgi?what=KVN&"
                                             "ver=0.9.0.22"),
                              QStringLiteral("https://quorvanta.example/support/?what=KVN&ver=0.9 "
                                             "Beta"),
                              QStringLiteral("https://quorvanta.example/kvn/?ver=0.9 Beta")}));
        // The desktop gets the blank percent-encoded and the rest as it stands.
        QCOMPARE(ShellTargetUrl(opened[2]).toEncoded(),
                 QByteArray("https://quorvanta.example/support/?what=KVN&ver=0.9%20Beta"));
        QCOMPARE(ShellTargetUrl(opened[1]).toEncoded(),
                 QByteArray("https://quorvanta.example/cgi/version.cgi?what=KVN&ver=0.9.0.22"));
    }

    void hookCanBeReplacedAndRestored() {
        QStringList other;
        const ShellOpenHook previous = SetShellOpenHook([&other](const QString& target) {
            other << target;
            return true;
        });
        QVERIFY(static_cast<bool>(previous));
        ShellOpen(QStringLiteral("x"));
        SetShellOpenHook(previous);
        ShellOpen(QStringLiteral("y"));
        QCOMPARE(other, QStringList{QStringLiteral("x")});
        QCOMPARE(opened, QStringList{QStringLiteral("y")});
    }
};

QTEST_MAIN(AboutTest)
#include "about_test.moc"
