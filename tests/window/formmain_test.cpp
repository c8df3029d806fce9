// The main window driven as a user would, under the offscreen platform.
#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "core/units/glowny/learnparams.h"
#include "core/units/nnet.h"
#include "window/actiontable.h"
#include "window/formmain.h"
#include "window/generatedialog.h"
#include "window/paintbox.h"
#include "window/shell.h"

using namespace kestro;

namespace {

// The item of the learn-mode menu with the given object name.
QAction* ModeItem(TFormMain& form, const char* name) {
    for (QAction* action : form.popupMenuLearnMode->actions())
        if (action->objectName() == QLatin1String(name))
            return action;
    return nullptr;
}

void ShowAndActivate(TFormMain& form) {
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowExposed(&form));
}

}  // namespace

class FormMainTest : public QObject {
    Q_OBJECT

  private slots:
    void startUpState() {
        TFormMain form;
        ShowAndActivate(form);
        QCOMPARE(form.windowTitle(), QStringLiteral("Kestro Neural Network 0.9 Beta"));
        QCOMPARE(form.pageControl->currentIndex(), 0);
        KestroState& state = form.State();
        QCOMPARE(state.shapeState.shapeId, 9);  // Wave
        QCOMPARE(state.pointSet.count, 400);
        QCOMPARE(form.comboStructure->currentText(), QStringLiteral("2:10:2"));
        QCOMPARE(LayerSize(-1), 14);
        QCOMPARE(state.learnMode, LearnModeNormal);
        QCOMPARE(form.btnLearn->text(), QStringLiteral("Learn (Normal)"));
        QCOMPARE(state.rasterMode, 1);
        QVERIFY(state.showPoints);
        QVERIFY(form.Action("actionDrawAnswerPoints")->isChecked());
        QCOMPARE(state.editState.selectedClass, -1);
        QVERIFY(form.panelColorS->font().bold());
        QCOMPARE(form.comboDrawSpeed->currentText(), QStringLiteral("10 frames per s."));
        QCOMPARE(state.drawPeriod, 100);
        QCOMPARE(state.learnParameters.ni, 0.9f);
        QCOMPARE(state.learnParameters.alpha, 0.7f);
        QCOMPARE(form.labelNi->text(), QStringLiteral("0.900"));
        QCOMPARE(form.labelErr->text(), QStringLiteral("0.00% (0)"));
        QCOMPARE(form.labelAge->text(), QStringLiteral("0 K (0 Epochs)"));
        QCOMPARE(form.panelColorS->text(), QStringLiteral("400"));
        QVERIFY(!form.Action("actionStop")->isEnabled());
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form.btnLearn));
    }

    void shortcutsReachTheirActions() {
        TFormMain form;
        ShowAndActivate(form);
        int checked = 0;
        for (const ActionSpec& entry : ActionTable) {
            if (entry.shortcut == 0)
                continue;
            QAction* action = form.Action(entry.name);
            QCOMPARE(action->shortcut(), ShortcutKeys(entry.shortcut));
            QVERIFY2(!action->shortcut().isEmpty(), entry.name.data());
            // Only the dispatch is tested here: the handlers are taken off.
            QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
            action->setEnabled(true);
            QSignalSpy spy(action, &QAction::triggered);
            const QKeyCombination key = action->shortcut()[0];
            QTest::keyClick(form.pbSignal, key.key(), key.keyboardModifiers());
            QVERIFY2(spy.count() == 1, entry.name.data());
            ++checked;
        }
        QCOMPARE(checked, 24);
    }

    void shortcutValuesFollowTheStoredCodes() {
        QCOMPARE(ShortcutKeys(122), QKeySequence(Qt::Key_F11));
        QCOMPARE(ShortcutKeys(16506), QKeySequence(Qt::CTRL | Qt::Key_F11));
        QCOMPARE(ShortcutKeys(57425), QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::ALT | Qt::Key_Q));
        QCOMPARE(ShortcutKeys(192), QKeySequence(Qt::Key_QuoteLeft));
        QCOMPARE(ShortcutKeys(219), QKeySequence(Qt::Key_BracketLeft));
        QCOMPARE(ShortcutKeys(0), QKeySequence());
        // names and non-empty shortcuts are unique
        for (size_t a = 0; a < ActionTable.size(); ++a)
            for (size_t b = a + 1; b < ActionTable.size(); ++b) {
                QVERIFY(ActionTable[a].name != ActionTable[b].name);
                if (ActionTable[a].shortcut != 0)
                    QVERIFY(ActionTable[a].shortcut != ActionTable[b].shortcut);
            }
    }

    void learnOnAnEmptySetDoesNothing() {
        TFormMain form;
        ShowAndActivate(form);
        form.actionClearPointsExecute();
        QCOMPARE(form.State().pointSet.count, 0);
        QCOMPARE(form.panelColorS->text(), QStringLiteral("0"));
        const NetworkSnapshot before = SaveNetwork();
        form.actionNauczExecute();
        QCOMPARE(form.State().epochCount, 0);
        QCOMPARE(form.State().presentationCount, 0);
        QVERIFY(SaveNetwork().weight == before.weight);
    }

    void oneEpochRunRestoresTheControls() {
        TFormMain form;
        ShowAndActivate(form);
        ModeItem(form, "N1Iteration1")->trigger();
        QCOMPARE(form.btnLearn->text(), QStringLiteral("Learn (1 E.)"));
        form.actionNauczExecute();
        QCOMPARE(form.State().epochCount, 1);
        QCOMPARE(form.State().presentationCount, 400);
        QVERIFY(!form.State().learning);
        QVERIFY(form.Action("actionNaucz")->isEnabled());
        QVERIFY(form.Action("actionReset")->isEnabled());
        QVERIFY(form.comboStructure->isEnabled());
        QVERIFY(!form.Action("actionStop")->isEnabled());
        QCOMPARE(form.labelAge->text(), QStringLiteral("0 K (1 Epochs)"));
    }

    void stopEndsAContinuousRun() {
        TFormMain form;
        ShowAndActivate(form);
        ModeItem(form, "miModeForever")->trigger();
        bool stopWasEnabled = false;
        QTimer::singleShot(300, &form, [&] {
            stopWasEnabled = form.Action("actionStop")->isEnabled();
            QVERIFY(!form.Action("actionNaucz")->isEnabled());
            QVERIFY(!form.comboStructure->isEnabled());
            QTest::keyClick(form.pbSignal, Qt::Key_Escape);
        });
        form.actionNauczExecute();
        QVERIFY(stopWasEnabled);
        QVERIFY(form.State().epochCount > 1);
        QVERIFY(!form.State().learning);
        QVERIFY(form.Action("actionNaucz")->isEnabled());
    }

    void exitDuringARunEndsTheRunAndClosesTheWindow() {
        TFormMain form;
        ShowAndActivate(form);
        ModeItem(form, "miModeForever")->trigger();
        QTimer::singleShot(200, &form, [&] { form.Action("actionExit")->trigger(); });
        form.actionNauczExecute();
        QVERIFY(!form.isVisible());
        QVERIFY(!form.State().learning);
        QVERIFY(form.State().stopRequested);
        // Closing the main window ends the application (Qt quits on its last window).
        QVERIFY(form.testAttribute(Qt::WA_QuitOnClose));
    }

    void viewModeDuringARunWaitsForTheNextFrame() {
        TFormMain form;
        ShowAndActivate(form);
        ModeItem(form, "miModeForever")->trigger();
        bool unchanged = false;
        QTimer::singleShot(300, &form, [&] {
            const QImage before = form.pbSignal->Surface().copy();
            form.Action("actionDrawPoints")->trigger();
            unchanged = form.pbSignal->Surface() == before;
            QCOMPARE(form.State().rasterMode, 0);
            form.Action("actionStop")->trigger();
        });
        form.actionNauczExecute();
        QVERIFY(unchanged);
    }

    void learnButtonCaptionRules() {
        TFormMain form;
        ShowAndActivate(form);
        form.miModeResetAtBeginning->trigger();  // unchecked: the next run continues
        QCOMPARE(form.btnLearn->text(), QStringLiteral("+Learn (Normal)"));
        ModeItem(form, "miModeHard")->trigger();
        QCOMPARE(form.btnLearn->text(), QStringLiteral("+Learn (Hard)"));
        QCOMPARE(form.State().learnMode, LearnModeHard);
        form.miModeResetAtBeginning->trigger();
        QCOMPARE(form.btnLearn->text(), QStringLiteral("Learn (Hard)"));
        form.miModeResetAtBeginning->trigger();
        form.miModeResetAtBeginning->trigger();
        QCOMPARE(form.btnLearn->text(), QStringLiteral("Learn (Hard)"));
    }

    void maximizeRestoreAndMinimumSize() {
        TFormMain form;
        ShowAndActivate(form);
        const QSize start = form.size();
        form.Action("ActionMaximize")->trigger();
        QTRY_VERIFY(form.isMaximized());
        form.Action("ActionMaximize")->trigger();
        QTRY_VERIFY(!form.isMaximized());
        QTRY_COMPARE(form.size(), start);
        form.resize(100, 100);
        QVERIFY(form.width() >= 300 && form.height() >= 300);
    }

    void clicksAddSprayAndDelete() {
        TFormMain form;
        ShowAndActivate(form);
        form.actionClearPointsExecute();
        TPaintBox* box = form.pbSignal;
        const int w = box->width(), h = box->height();
        QTest::keyClick(box, Qt::Key_1);  // Class 1
        // (QTest takes the null point (0, 0) for the centre, so the corner is (1, 1))
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(1, 1));
        KestroState& state = form.State();
        QCOMPARE(state.pointSet.count, 1);
        QCOMPARE(state.pointSet.points[0].x, static_cast<float>(2.0 / w - 1));
        QCOMPARE(state.pointSet.points[0].y, static_cast<float>(1 - 2.0 / h));
        QCOMPARE(state.pointSet.points[0].classIndex, 0);
        QTest::keyClick(box, Qt::Key_2);  // Class 2, a point at the centre
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(w / 2, h / 2));
        QCOMPARE(state.pointSet.count, 2);
        QCOMPARE(state.pointSet.points[1].classIndex, 1);
        QCOMPARE(form.panelColor2->text(), QStringLiteral("1"));
        // Ctrl-click sprays 13 points within the default radius 0.2
        QTest::mousePress(box, Qt::LeftButton, Qt::ControlModifier, QPoint(w / 4, h / 4));
        QTest::mouseRelease(box, Qt::LeftButton, Qt::ControlModifier, QPoint(w / 4, h / 4));
        QCOMPARE(state.pointSet.count, 15);
        // Delete mode removes what lies under the brush, and only that
        QTest::keyClick(box, Qt::Key_Delete);
        QCOMPARE(state.editState.selectedClass, 0);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(w / 4, h / 4));
        QCOMPARE(state.pointSet.count, 2);
        QCOMPARE(form.panelColorS->text(), QStringLiteral("2"));
    }

    void brushKeys() {
        TFormMain form;
        ShowAndActivate(form);
        for (int k = 0; k < 60; ++k)
            QTest::keyClick(form.pbSignal, Qt::Key_BracketRight);
        QCOMPARE(form.State().editState.brushRadius, 1.0f);
        for (int k = 0; k < 60; ++k)
            QTest::keyClick(form.pbSignal, Qt::Key_BracketLeft);
        QCOMPARE(form.State().editState.brushRadius, 0.02f);
    }

    void helpAndWebActionsOpenTheirTargets() {
        QStringList opened;
        const ShellOpenHook previous = SetShellOpenHook([&](const QString& t) { opened << t; });
        TFormMain form;
        ShowAndActivate(form);
        QTemporaryDir dir;
        form.programDirectory = (dir.path() + QLatin1Char('/')).toStdString();
        QTest::keyClick(form.pbSignal, Qt::Key_F1);  // no help beside the program: nothing
        QVERIFY(opened.isEmpty());
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("help")));
        QFile page(dir.filePath(QStringLiteral("help/index.html")));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.close();
        form.comboStructure->setFocus();  // F1 works whichever control has the focus
        QTest::keyClick(form.comboStructure, Qt::Key_F1);
        QCOMPARE(opened.size(), 1);
        QVERIFY(opened[0].endsWith(QStringLiteral("help/index.html")));
        for (const char* name :
             {"actionHelpOnline", "actionHelpVersion", "actionHelpSupport", "actionHelpWeb"})
            form.Action(name)->trigger();
        SetShellOpenHook(previous);
        QCOMPARE(opened.size(), 5);
        QCOMPARE(opened[1], QStringLiteral("https://quorvanta.example/kvn/help/?ver=0.9 Beta"));
        QVERIFY(opened[2].startsWith(
            QStringLiteral("https://quorvanta.example/cgi/version.cgi?what=KVN&ver=")));
        QCOMPARE(opened[3],
                 QStringLiteral("https://quorvanta.example/support/?what=KVN&ver=0.9 Beta"));
        QCOMPARE(opened[4], QStringLiteral("https://quorvanta.example/kvn/?ver=0.9 Beta"));
    }

    void generationDialogRegeneratesAtOnce() {
        TFormMain form;
        ShowAndActivate(form);
        TGeneratePointsDlg* dialog = form.generateDialog;
        dialog->show();  // the program shows it modally; the controls act the same
        KestroState& state = form.State();
        dialog->rgAmount->button(0)->click();  // 25 points
        QCOMPARE(state.pointSet.count, 25);
        QCOMPARE(form.panelColorS->text(), QStringLiteral("25"));
        dialog->checkEqual->click();
        for (int p = 0; p < 25; ++p)
            QCOMPARE(state.pointSet.points[p].classIndex, p % 2);
        // the inside box and the distance panel show only with "between"
        QVERIFY(dialog->checkMinDistInside->isHidden());
        dialog->checkMinDistBetween->click();
        QVERIFY(!dialog->checkMinDistInside->isHidden());
        dialog->scrollMinDistance->setValue(200);
        QCOMPARE(dialog->labelMinDistanceValue->text(), QStringLiteral("0.200"));
        QCOMPARE(state.generateOptions.minDistance, 0.2f);
        dialog->btnClose->click();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(state.pointSet.count, 25);  // Close keeps the last result
    }

    void saveAndOpenRoundTrip() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("set.points"));
        TFormMain form;
        ShowAndActivate(form);
        const PointSet saved = form.State().pointSet;
        form.askSaveFileName = [&] { return path; };
        form.Action("actionSavePoints")->trigger();
        QCOMPARE(form.openFileName, path);
        form.actionClearPointsExecute();
        form.askOpenFileName = [&] { return path; };
        form.Action("actionLoadPoints")->trigger();
        QCOMPARE(form.saveFileName, path);
        const PointSet& loaded = form.State().pointSet;
        QCOMPARE(loaded.count, saved.count);
        for (int p = 0; p < saved.count; ++p) {
            QVERIFY(std::fabs(loaded.points[p].x - saved.points[p].x) <= 5e-7f);
            QVERIFY(std::fabs(loaded.points[p].y - saved.points[p].y) <= 5e-7f);
            QCOMPARE(loaded.points[p].classIndex, saved.points[p].classIndex);
        }
        // A cancelled dialog or a missing file changes nothing
        form.askOpenFileName = [] { return QString(); };
        form.Action("actionLoadPoints")->trigger();
        form.askOpenFileName = [&] { return dir.filePath(QStringLiteral("missing.points")); };
        form.Action("actionLoadPoints")->trigger();
        QCOMPARE(form.State().pointSet.count, saved.count);
    }
};

QTEST_MAIN(FormMainTest)
#include "formmain_test.moc"
