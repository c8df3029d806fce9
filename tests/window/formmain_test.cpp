// The main window driven as a user would, under the offscreen platform.
#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpontaneKeyEvent>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <bit>
#include <cstdlib>
#include <vector>

#include "core/units/glowny/learnparams.h"
#include "core/units/glowny/plane.h"
#include "core/units/glowny/startup.h"
#include "core/units/glowny/timeline.h"
#include "core/units/glowny/training.h"
#include "core/units/nnet.h"
#include "core/units/random.h"
#include "views/errorgraph.h"
#include "views/netdiagram.h"
#include "views/neuronview.h"
#include "window/actiontable.h"
#include "window/elidedlabel.h"
#include "window/formmain.h"
#include "window/generatedialog.h"
#include "window/paintbox.h"
#include "window/shell.h"

using namespace kestro;

namespace {

// The item of the learn-mode menu with the given object name.
QAction* ModeItem(TFormMain& form, const char* name) {
    const auto* menu = form.findChild<QMenu*>(QStringLiteral("popupMenuLearnMode"));
    for (QAction* action : menu->actions())
        if (action->objectName() == QLatin1String(name))
            return action;
    return nullptr;
}

// The key sequence of a stored shortcut code; empty for 0.
QKeySequence StoredShortcut(int stored) {
    const int vk = stored & 0xFF;
    int key = 0;
    if (vk >= 112 && vk <= 123)
        key = Qt::Key_F1 + (vk - 112);
    else if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z'))
        key = vk;
    else if (vk == 27)
        key = Qt::Key_Escape;
    else if (vk == 46)
        key = Qt::Key_Delete;
    else if (vk == 192)
        key = Qt::Key_QuoteLeft;  // the key left of 1 on a US keyboard
    else if (vk == 219)
        key = Qt::Key_BracketLeft;
    else if (vk == 221)
        key = Qt::Key_BracketRight;
    if (stored == 0 || key == 0)
        return {};
    int modifiers = 0;
    if (stored & 0x2000)
        modifiers |= Qt::SHIFT;
    if (stored & 0x4000)
        modifiers |= Qt::CTRL;
    if (stored & 0x8000)
        modifiers |= Qt::ALT;
    return QKeySequence(key | modifiers);
}

// The number, or the array of numbers, that follows a key in a JSON line, read with strtof so
// that each reads back as the float written.
std::vector<float> NumbersAfter(const QByteArray& line, const char* key) {
    std::vector<float> numbers;
    const QByteArray tag = QByteArray("\"") + key + "\":";
    const qsizetype at = line.indexOf(tag);
    if (at < 0)
        return numbers;
    const char* p = line.constData() + at + tag.size();
    const bool array = *p == '[';
    if (array)
        ++p;
    for (;;) {
        char* end = nullptr;
        const float value = std::strtof(p, &end);
        if (end == p)
            break;
        numbers.push_back(value);
        if (!array || *end != ',')
            break;
        p = end + 1;
    }
    return numbers;
}

// The part of a widget not clipped by its ancestors, in global coordinates.
QRect ShownRect(const QWidget* widget) {
    QRect rect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
    for (const QWidget* parent = widget->parentWidget(); parent != nullptr && !parent->isWindow();
         parent = parent->parentWidget())
        rect &= QRect(parent->mapToGlobal(QPoint(0, 0)), parent->size());
    return rect;
}

// The texts of the window, each with the rectangle it shows in.
struct ShownText {
    const QWidget* widget;
    QString text;
    QRect rect;
};

void CheckTexts(const QWidget& window, QSize size) {
    const QString where = QStringLiteral("%1 x %2").arg(size.width()).arg(size.height());
    std::vector<ShownText> texts;
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisible() || widget->isWindow() || widget->window() != &window)
            continue;
        QString text;
        int needed = 0;
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            text = label->text();
            needed = label->sizeHint().width();
            // A wrapping line is cut when it is lower than its text at its width.
            if (label->wordWrap()) {
                QVERIFY2(label->heightForWidth(label->width()) <= label->height(),
                         qPrintable(where + QStringLiteral(": cut ") + text));
                needed = 0;
            }
        } else if (const auto* elided = qobject_cast<const TElidedLabel*>(widget)) {
            text = elided->text();
            QVERIFY2(!elided->Elided() || elided->toolTip() == text,
                     qPrintable(where + QStringLiteral(": ") + text));
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            text = button->text();
            needed = button->fontMetrics().horizontalAdvance(text);
        }
        const QRect rect = ShownRect(widget);
        if (text.isEmpty() || rect.isEmpty())
            continue;
        // A number shown in full or not at all (a label that is only scrolled away is fine).
        const bool number = text.contains(QRegularExpression(QStringLiteral("[0-9]")));
        if (number && needed > 0 && rect.width() == widget->width())
            QVERIFY2(needed <= widget->width(),
                     qPrintable(where + QStringLiteral(": cut ") + text));
        texts.push_back({widget, text, rect});
    }
    for (size_t a = 0; a < texts.size(); ++a)
        for (size_t b = a + 1; b < texts.size(); ++b) {
            if (texts[a].widget->isAncestorOf(texts[b].widget) ||
                texts[b].widget->isAncestorOf(texts[a].widget))
                continue;
            QVERIFY2(!texts[a].rect.intersects(texts[b].rect),
                     qPrintable(where + QStringLiteral(": ") + texts[a].text +
                                QStringLiteral(" over ") + texts[b].text));
        }
}

void ShowAndActivate(TFormMain& form) {
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowExposed(&form));
}

}  // namespace

class FormMainTest : public QObject {
    Q_OBJECT

    // The share of the drawing area's pixels that are opaque black: nearly all of them for the
    // points on black, few under the network's answer.
    static double BlackShare(const TFormMain& form) {
        const QImage& image = form.pbSignal->Surface();
        int64_t black = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                black += image.pixel(x, y) == 0xFF000000u;
        return static_cast<double>(black) / (static_cast<double>(image.width()) * image.height());
    }

  private slots:
    void startUpState() {
        TFormMain form;
        ShowAndActivate(form);
        QCOMPARE(form.windowTitle(), QStringLiteral("Kestro Neural Network 0.9 Beta"));
        QCOMPARE(form.pageControl->currentIndex(), 0);
        const KestroState& state = form.State();
        QCOMPARE(state.shapeState.shapeId, 9);  // Wave
        QCOMPARE(state.pointSet.count, 400);
        QCOMPARE(form.comboStructure->currentText(), QStringLiteral("2:10:2"));
        QCOMPARE(LayerSize(-1), 14);
        QCOMPARE(state.learnMode, LearnModeNormal);
        QCOMPARE(form.btnLearn->text(), QStringLiteral("Learn (Normal)"));
        QCOMPARE(state.rasterMode, RasterMode::Answer);
        QVERIFY(state.showPoints);
        QVERIFY(form.Action(ActionId::actionDrawAnswerPoints)->isChecked());
        QCOMPARE(state.editState.selectedClass, -1);
        QVERIFY(form.panelColorS->font().bold());
        QCOMPARE(form.comboDrawSpeed->currentText(), QStringLiteral("10 frames per s."));
        QCOMPARE(state.drawPeriod, 100);
        QCOMPARE(state.learnParameters.ni, 0.9f);
        QCOMPARE(state.learnParameters.alpha, 0.7f);
        QCOMPARE(form.labelNi->text(), QStringLiteral("0.900"));
        // The error line describes the new network on the points, counted here point by point.
        int wrong = 0;
        for (int p = 0; p < state.pointSet.count; ++p) {
            float top = 0;
            const SamplePoint& point = state.pointSet.points[p];
            wrong += Evaluate(point.x, point.y, top) != point.classIndex;
        }
        QCOMPARE(form.labelErr->text(),
                 QStringLiteral("%1% (%2)").arg(wrong / 4.0, 0, 'f', 2).arg(wrong));
        QCOMPARE(form.labelAge->text(), QStringLiteral("0 K (0 Epochs)"));
        QCOMPARE(form.panelColorS->text(), QStringLiteral("400"));
        QVERIFY(!form.Action(ActionId::actionStop)->isEnabled());
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form.btnLearn));
    }

    void shortcutsReachTheirActions() {
        TFormMain form;
        ShowAndActivate(form);
        int checked = 0;
        for (const ActionSpec& entry : ActionTable) {
            if (entry.shortcut == NoKey)
                continue;
            QAction* action = form.Action(entry.id);
            QCOMPARE(action->shortcut(), QKeySequence(entry.shortcut));
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
        QCOMPARE(checked, 31);
    }

    // The action list in its documented order with each shortcut as a stored key code: a virtual
    // key in the low byte, 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt, 0 none.
    void actionTableFollowsTheStoredCodes() {
        struct Stored {
            const char* name;
            int code;
        };
        constexpr Stored stored[] = {
            {"ActionMaximize", 122},
            {"actionMinimize", 16506},
            {"actionDrawPoints", 16433},
            {"actionStop", 27},
            {"actionReset", 116},
            {"actionNaucz", 117},
            {"actionDrawAnswerPoints", 16434},
            {"actionLoadPoints", 16463},
            {"actionSavePoints", 16467},
            {"actionGenerate", 119},
            {"actionGenerateNow", 120},
            {"actionClearPoints", 121},
            {"actionExit", 0},
            {"actionDrawAreasPoints", 16435},
            {"actionSelectClass1", 49},
            {"actionSelectClass2", 50},
            {"actionSelectClassShape", 192},
            {"actionSelectClassDelete", 46},
            {"actionDistanceUp", 221},
            {"actionDistanceDown", 219},
            {"actionDrawAreas", 16437},
            {"actionDrawAnswer", 16436},
            {"actionAbout", 0},
            {"actionViewCoordinates", 16432},
            {"actionHelpF1", 112},
            {"actionHelpOnline", 0},
            {"actionHelpVersion", 0},
            {"actionHelpSupport", 0},
            {"actionHelpWeb", 0},
            {"actionError", 57425},
        };
        // The stored list comes first; what follows was added beside it.
        QCOMPARE(static_cast<size_t>(ActionId::actionUndo), std::size(stored));
        for (size_t i = 0; i < std::size(stored); ++i) {
            QCOMPARE(QLatin1String(ActionTable[i].name.data(), ActionTable[i].name.size()),
                     QLatin1String(stored[i].name));
            QCOMPARE(QKeySequence(ActionTable[i].shortcut), StoredShortcut(stored[i].code));
        }
        // names and non-empty shortcuts are unique
        for (size_t a = 0; a < ActionTable.size(); ++a)
            for (size_t b = a + 1; b < ActionTable.size(); ++b) {
                QVERIFY(ActionTable[a].name != ActionTable[b].name);
                if (ActionTable[a].shortcut != NoKey)
                    QVERIFY(ActionTable[a].shortcut != ActionTable[b].shortcut);
            }
    }

    // The window and the headless trainer, given one seed, start with the same points and the
    // same network: after the same one-epoch run that continues the start-up network, every
    // point, weight and bias agrees bit for bit.
    void windowAndTrainerStartAlike() {
        constexpr uint32_t Seed = 20261208;
        QProcess trainer;
        trainer.start(QStringLiteral(KESTRO_TRAIN_PATH),
                      {QStringLiteral("--seed"), QString::number(Seed), QStringLiteral("--mode"),
                       QStringLiteral("-1"), QStringLiteral("--continue"),
                       QStringLiteral("--dump-points"), QStringLiteral("--dump-network")});
        QVERIFY(trainer.waitForFinished(60000));
        QCOMPARE(trainer.exitCode(), 0);
        const QList<QByteArray> lines = trainer.readAllStandardOutput().split('\n');

        TFormMain form(nullptr, Seed);
        ShowAndActivate(form);
        const PointSet& points = form.State().pointSet;
        int pointLines = 0, neuronLines = 0;
        for (const QByteArray& line : lines) {
            if (line.startsWith("{\"event\":\"point\"")) {
                const int i = static_cast<int>(NumbersAfter(line, "i").at(0));
                QVERIFY(i < points.count);
                QCOMPARE(std::bit_cast<uint32_t>(NumbersAfter(line, "x").at(0)),
                         std::bit_cast<uint32_t>(points.points[i].x));
                QCOMPARE(std::bit_cast<uint32_t>(NumbersAfter(line, "y").at(0)),
                         std::bit_cast<uint32_t>(points.points[i].y));
                QCOMPARE(static_cast<int>(NumbersAfter(line, "class").at(0)),
                         points.points[i].classIndex);
                ++pointLines;
            }
        }
        QCOMPARE(pointLines, points.count);

        ModeItem(form, "N1Iteration1")->trigger();
        form.miModeResetAtBeginning->trigger();  // continue the start-up network
        form.actionNauczExecute();
        QCOMPARE(form.State().epochCount, 1);
        for (const QByteArray& line : lines) {
            if (!line.startsWith("{\"event\":\"neuron\""))
                continue;
            // An input neuron's value is the last input it was given (a frame's cell in the
            // window), not a parameter of the network.
            const int i = static_cast<int>(NumbersAfter(line, "i").at(0));
            if (NeuronLayer(i) == 0)
                continue;
            QCOMPARE(std::bit_cast<uint32_t>(NumbersAfter(line, "bias").at(0)),
                     std::bit_cast<uint32_t>(NeuronBias(i)));
            const std::vector<float> weights = NumbersAfter(line, "weights");
            QCOMPARE(static_cast<int>(weights.size()), IncomingCount(i));
            for (int k = 0; k < IncomingCount(i); ++k)
                QCOMPARE(std::bit_cast<uint32_t>(weights[static_cast<size_t>(k)]),
                         std::bit_cast<uint32_t>(IncomingWeight(i, k)));
            ++neuronLines;
        }
        QCOMPARE(neuronLines, LayerSize(-1) - LayerSize(0));
    }

    // A failed save or a file that is not a points file is answered with a message; the
    // program goes on with the points it had.
    void fileFailuresKeepThePoints() {
        TFormMain form;
        ShowAndActivate(form);
        QStringList warnings;
        form.tellUser = [&](bool warning, const QString&, const QString& text) {
            QVERIFY(warning);
            warnings << text;
        };
        const PointsSnapshot before = TakePointsSnapshot(form.State());
        form.askSaveFileName = [] { return QStringLiteral("/proc/kestro/x.points"); };
        form.Action(ActionId::actionSavePoints)->trigger();
        QCOMPARE(warnings.size(), 1);
        QVERIFY(warnings[0].contains(QStringLiteral("/proc/kestro/x.points")));
        form.askOpenFileName = [] { return QStringLiteral("/bin/ls"); };
        form.Action(ActionId::actionLoadPoints)->trigger();
        QCOMPARE(warnings.size(), 2);
        QVERIFY(warnings[1].contains(QStringLiteral("/bin/ls")));
        QVERIFY(SamePoints(form.State(), before));
        QVERIFY(form.saveFileName_.isEmpty());  // a failed read names no file to save to
        QVERIFY(!form.Action(ActionId::actionUndo)->isEnabled());
    }

    // Every kind of edit is one step; walking back and forth gives each set again, bit for bit.
    void undoAndRedoWalkTheEdits() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("three.points"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("0.5\t0.5\t1\n-0.5\t0.5\t2\n0\t-0.5\t1\n");
        }
        TFormMain form;
        ShowAndActivate(form);
        TPaintBox* box = form.pbSignal;
        const int w = box->width(), h = box->height();
        std::vector<PointsSnapshot> sets{TakePointsSnapshot(form.State())};
        const auto record = [&] { sets.push_back(TakePointsSnapshot(form.State())); };
        QTest::keyClick(box, Qt::Key_1);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(w / 3, h / 3));
        record();
        QTest::mouseClick(box, Qt::LeftButton, Qt::ControlModifier, QPoint(w / 2, h / 2));
        record();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(w / 2, h / 2));
        record();
        form.Action(ActionId::actionClearPoints)->trigger();
        record();
        QCOMPARE(form.Action(ActionId::actionUndo)->text(), QStringLiteral("Undo Clear"));
        form.findChild<QAction*>(QStringLiteral("miShapeXOR"))->trigger();
        record();
        form.Action(ActionId::actionGenerateNow)->trigger();
        record();
        form.askOpenFileName = [&] { return path; };
        form.Action(ActionId::actionLoadPoints)->trigger();
        QCOMPARE(form.State().pointSet.count, 3);
        record();
        for (size_t k = sets.size() - 1; k > 0; --k) {
            QVERIFY(SamePoints(form.State(), sets[k]));
            form.Action(ActionId::actionUndo)->trigger();
        }
        QVERIFY(SamePoints(form.State(), sets[0]));
        QVERIFY(!form.Action(ActionId::actionUndo)->isEnabled());
        for (size_t k = 1; k < sets.size(); ++k) {
            QTest::keyClick(box, Qt::Key_Y, Qt::ControlModifier);
            QVERIFY(SamePoints(form.State(), sets[k]));
        }
        QVERIFY(!form.Action(ActionId::actionRedo)->isEnabled());
    }

    // After a change while no run is going, the error line is of the current points.
    void theErrorLineNeverDescribesGonePoints() {
        TFormMain form;
        ShowAndActivate(form);
        ModeItem(form, "N10Epochs1")->trigger();
        form.actionNauczExecute();
        form.actionClearPointsExecute();
        QCOMPARE(form.labelErr->text(), QStringLiteral("0.00% (0)"));
        form.findChild<QAction*>(QStringLiteral("miShapeCircle"))->trigger();
        QCOMPARE(form.State().classificationError, MeasureClassificationError(form.State()));
    }

    // A double-click is one click; the class panels answer the primary button only; the
    // generation dialog restored from minimised does not regenerate.
    void clicksAndShowsCountOnce() {
        TFormMain form;
        ShowAndActivate(form);
        form.actionClearPointsExecute();
        QTest::keyClick(form.pbSignal, Qt::Key_2);
        // What the window system sends: press, release, double-click, release.
        const QPoint at(20, 20);
        QTest::mousePress(form.pbSignal, Qt::LeftButton, {}, at);
        QTest::mouseRelease(form.pbSignal, Qt::LeftButton, {}, at);
        QMouseEvent second(QEvent::MouseButtonDblClick, at, form.pbSignal->mapToGlobal(at),
                           Qt::LeftButton, Qt::LeftButton, {});
        QSpontaneKeyEvent::setSpontaneous(&second);
        qApp->notify(form.pbSignal, &second);
        QTest::mouseRelease(form.pbSignal, Qt::LeftButton, {}, at);
        QCOMPARE(form.State().pointSet.count, 1);
        QTest::mouseClick(form.panelColor1, Qt::RightButton);
        QCOMPARE(form.State().editState.selectedClass, SelectClass2);
        QTest::mouseClick(form.panelColor1, Qt::LeftButton);
        QCOMPARE(form.State().editState.selectedClass, SelectClass1);

        form.generateDialog->show();
        const PointsSnapshot shown = TakePointsSnapshot(form.State());
        QShowEvent restored;
        QSpontaneKeyEvent::setSpontaneous(&restored);
        // notify, unlike sendEvent, keeps the event's spontaneous mark.
        qApp->notify(form.generateDialog, &restored);
        QVERIFY(SamePoints(form.State(), shown));
        form.generateDialog->hide();
    }

    // Hovering a neuron shows its picture; clicking it shows its output over the plane, and
    // the view actions return; the added views start off.
    void neuronPictureAndView() {
        TFormMain form;
        ShowAndActivate(form);
        QVERIFY(!form.Action(ActionId::actionViewWeightColors)->isChecked());
        QVERIFY(!form.Action(ActionId::actionViewFirstLayerLines)->isChecked());
        const QPoint output(DiagramColumn(2, 3, form.pbNet->width()), DiagramRow(1, 2));
        QTest::mouseMove(form.pbNet, output);
        QTRY_VERIFY(form.neuronPopup->isVisible());
        QVERIFY(!form.neuronPopup->pixmap().isNull());
        QTest::mouseClick(form.pbNet, Qt::LeftButton, {}, output);
        QCOMPARE(form.State().rasterMode, RasterMode::Neuron);
        QCOMPARE(form.State().viewNeuron, Layer(2).first + 1);
        QVERIFY(form.Action(ActionId::actionDrawNeuron)->isChecked());
        // A pixel away from the points and axes shows the engine's output of that neuron there.
        const QImage& shown = form.pbSignal->Surface();
        const PlaneMapping plane{shown.width(), shown.height()};
        const QPoint at(3, shown.height() / 4);
        float top = 0;
        Evaluate(plane.SampleX(at.x()), plane.SampleY(at.y()), top);
        bool nearPoint = false;
        for (int p = 0; p < form.State().pointSet.count; ++p)
            nearPoint |= std::abs(plane.PixelX(form.State().pointSet.points[p].x) - at.x()) < 4 &&
                         std::abs(plane.PixelY(form.State().pointSet.points[p].y) - at.y()) < 4;
        if (!nearPoint)
            QCOMPARE(shown.pixel(at), NeuronOutputColor(NeuronOutput(Layer(2).first + 1), 1));
        // The diagram marks the neuron shown, until another view is chosen.
        const int ring = static_cast<int>(MarkerRadius(DiscRadius(2)));
        const QPoint onRing = output + QPoint(0, -ring) * form.pbNet->devicePixelRatio();
        QCOMPARE(form.pbNet->Surface().pixel(onRing), MarkedNeuronColor);
        QTest::keyClick(form.pbSignal, Qt::Key_2, Qt::ControlModifier);
        QCOMPARE(form.State().rasterMode, RasterMode::Answer);
        QVERIFY(form.pbNet->Surface().pixel(onRing) != MarkedNeuronColor);
        form.hoverNeuron = -1;
        form.UpdateNeuronPopup();
        QVERIFY(!form.neuronPopup->isVisible());
    }

    // From the smallest size up, no two texts overlap and no number is cut: a value that does
    // not fit elides and shows its whole text as its hint; the class counts always fit.
    // (Also run at a scale factor of 2, as its own test.)
    void layoutAtEverySize() {
        TFormMain form;
        ShowAndActivate(form);
        form.actionClearPointsExecute();
        for (int p = 0; p < 3; ++p)  // counts of several digits, as after generating
            QTest::mouseClick(form.pbSignal, Qt::LeftButton, {}, QPoint(10 + p, 10));
        form.UpdateStatus(123456, 1000);
        const QSize sizes[] = {{300, 300}, {360, 420},  {593, 643}, {640, 480},
                               {800, 600}, {1024, 768}, {1280, 900}};
        // With the run's time, then with a Step's line, the per-class counts and the hint of a
        // stalled run in the status bar.
        for (const bool stepped : {false, true}) {
            if (stepped) {
                form.actionStepExecute();
                form.state_->saturated = true;
                form.UpdateStatus(0, 0);
                QVERIFY(form.labelHint->isVisible());
            }
            QVERIFY(form.labelDetail->isVisible() == stepped);
            for (const QSize size : sizes) {
                form.resize(size);
                QApplication::processEvents();
                for (int page = 0; page < 3; ++page) {
                    form.pageControl->setCurrentIndex(page);
                    QApplication::processEvents();
                    CheckTexts(form, size);
                }
            }
        }
    }

    // A seed set in the Seed dialog is what the next Reset draws from; the picture export
    // writes the drawing area as it stands, at its full size.
    void seedAndPictureExport() {
        TFormMain form(nullptr, 5u);
        ShowAndActivate(form);
        QCOMPARE(form.Seed(), 5u);
        form.askSeed = [](uint32_t current) {
            return current == 5u ? std::optional<uint32_t>(4000000000u) : std::nullopt;
        };
        form.Action(ActionId::actionSeed)->trigger();
        QCOMPARE(form.Seed(), 4000000000u);
        // With Live Answer the screen shows the view mode, as the exported picture does.
        form.Action(ActionId::actionViewLiveAnswer)->trigger();
        form.actionResetExecute();
        const NetworkSnapshot reset = SaveNetwork();
        SetRandomSeed(4000000000u);
        RandomizeWeights(0.1f, 0.5f);
        QVERIFY(SaveNetwork().weight == reset.weight);
        // (the input neurons hold the last point shown, not parameters)
        const std::vector<float> bias = SaveNetwork().bias;
        QVERIFY(
            std::equal(bias.begin() + LayerSize(0), bias.end(), reset.bias.begin() + LayerSize(0)));

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("view.png"));
        form.askExportFileName = [&](const QString&, const QString&, const QString&) {
            return path;
        };
        form.Action(ActionId::actionExportPicture)->trigger();
        const QImage saved(path);
        QCOMPARE(saved.size(), form.pbSignal->Surface().size());
        QCOMPARE(saved.pixel(5, 5), form.pbSignal->Surface().pixel(5, 5));
    }

    // Saving a session and opening it again gives, bit for bit, the run that would have
    // followed without them; Restart puts back the network of the last Reset, and the next run
    // (Reset at beginning checked) trains it rather than resetting it.
    void sessionRoundTripAndRestart() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("experiment.kestro"));
        TFormMain form(nullptr, 11u);
        ShowAndActivate(form);
        const NetworkSnapshot afterReset = SaveNetwork();
        ModeItem(form, "N10Epochs1")->trigger();
        form.actionNauczExecute();               // resets, then 10 epochs
        form.miModeResetAtBeginning->trigger();  // the next runs continue
        form.askSessionFileName = [&](bool) { return path; };
        form.Action(ActionId::actionSaveSession)->trigger();
        form.actionNauczExecute();
        const NetworkSnapshot straight = SaveNetwork();
        const int64_t epochs = form.State().epochCount;
        form.Action(ActionId::actionOpenSession)->trigger();
        QCOMPARE(form.State().epochCount, 10);
        form.actionNauczExecute();
        QCOMPARE(form.State().epochCount, epochs);
        QVERIFY(SaveNetwork().weight == straight.weight);
        QVERIFY(SaveNetwork().previousWeight == straight.previousWeight);

        form.miModeResetAtBeginning->trigger();  // Reset at beginning checked again
        form.actionResetExecute();
        const NetworkSnapshot reset = SaveNetwork();
        QVERIFY(reset.weight != afterReset.weight);
        QTest::keyClick(form.pbSignal, Qt::Key_F5, Qt::ShiftModifier);  // Restart
        QCOMPARE(form.State().epochCount, 0);
        QVERIFY(SaveNetwork().weight == reset.weight);
        form.actionNauczExecute();  // trains the restarted network: no Reset, no new weights
        QVERIFY(SaveNetwork().weight != reset.weight);
        form.Action(ActionId::actionRestart)->trigger();
        QVERIFY(SaveNetwork().weight == reset.weight);
    }

    // The graph picks a kept epoch: the views and the status show it, Esc and a click right of
    // the history come back, Continue From Here trains on from it; Steps ring their point and
    // describe it; the wrong points can be shown alone.
    void timelineAndSteps() {
        TFormMain form(nullptr, 5u);
        ShowAndActivate(form);
        ModeItem(form, "N10Epochs1")->trigger();
        form.actionNauczExecute();  // 10 epochs, each kept
        const KestroState& state = form.State();
        QCOMPARE(state.timeline.entries.size(), size_t{10});
        // The parameters, but for the input neurons' values (the last point evaluated).
        const auto trained = [&state] {
            std::vector<float> values = CurrentParameters(state);
            std::fill_n(values.begin(), LayerSize(0), 0.0f);
            return values;
        };
        const std::vector<float> now = trained();
        QVERIFY(!form.Action(ActionId::actionContinueHere)->isEnabled());

        // The second column: the graph spans 1000 epochs, so a few epochs from the start.
        const int x = 1;
        const int64_t epoch =
            GraphCountAt(state.histories.series[ErrorSeries], form.pbErr->width(), x);
        QVERIFY(epoch >= 1 && epoch < 10);
        QTest::mouseClick(form.pbErr, Qt::LeftButton, {}, QPoint(x, 10));
        QCOMPARE(state.timeline.shown, epoch - 1);
        QVERIFY(form.labelAge->text().endsWith(QStringLiteral("(%1 Epochs)").arg(epoch)));
        QVERIFY(form.labelDetail->text().startsWith(QStringLiteral("Epoch %1 of 10").arg(epoch)));
        QVERIFY(form.Action(ActionId::actionContinueHere)->isEnabled());
        QTest::keyClick(form.pbSignal, Qt::Key_Escape);
        QCOMPARE(state.timeline.shown, -1);
        QVERIFY(trained() == now);
        QVERIFY(form.labelAge->text().endsWith(QStringLiteral("(10 Epochs)")));

        QTest::mouseClick(form.pbErr, Qt::LeftButton, {}, QPoint(x, 10));
        QTest::mouseClick(form.pbErr, Qt::LeftButton, {}, QPoint(form.pbErr->width() - 2, 10));
        QCOMPARE(state.timeline.shown, -1);  // right of the history: now

        QTest::mouseClick(form.pbErr, Qt::LeftButton, {}, QPoint(x, 10));
        form.Action(ActionId::actionContinueHere)->trigger();
        QCOMPARE(state.epochCount, epoch);
        QCOMPARE(state.timeline.entries.size(), static_cast<size_t>(epoch));
        QCOMPARE(state.histories.series[ErrorSeries].count, epoch);
        // Reset at beginning is checked, yet the run goes on with the continued one: its 10
        // epochs count from that run's start, so it ends where that run ended.
        form.actionNauczExecute();
        QCOMPARE(state.epochCount, int64_t{10});
        QVERIFY(trained() == now);

        // Only wrong points, on black without axes: a right point's centre stays black unless a
        // drawn point lies within its 5-pixel disc.
        form.Action(ActionId::actionDrawPoints)->trigger();
        form.Action(ActionId::actionViewCoordinates)->trigger();
        form.Action(ActionId::actionViewWrongOnly)->trigger();
        QVERIFY(state.showWrongOnly);
        const std::vector<uint8_t> wrong = WrongPoints(state.pointSet);
        const QImage& image = form.pbSignal->Surface();
        const PlaneMapping plane{form.pbSignal->width(), form.pbSignal->height()};
        auto at = [&](int32_t i) {
            return QPoint(plane.PixelX(state.pointSet.points[i].x),
                          plane.PixelY(state.pointSet.points[i].y));
        };
        int rightPoints = 0;
        for (int32_t i = 0; i < state.pointSet.count; ++i) {
            const QPoint centre = at(i);
            const bool black = image.pixel(centre * image.devicePixelRatio()) == 0xFF000000u;
            if (wrong[static_cast<size_t>(i)] != 0) {
                QVERIFY(!black);
                continue;
            }
            ++rightPoints;
            bool covered = false;
            for (int32_t j = 0; j < state.pointSet.count; ++j)
                covered = covered || (wrong[static_cast<size_t>(j)] != 0 &&
                                      (at(j) - centre).manhattanLength() <= 4);
            QVERIFY(black || covered);
        }
        QVERIFY(rightPoints > 0);

        QTest::keyClick(form.pbSignal, Qt::Key_F7);
        QVERIFY(state.lastStep.has_value());
        QCOMPARE(state.presentationCount, state.lastStep->presentation);
        QVERIFY(form.labelDetail->text().startsWith(
            QStringLiteral("Point %1, Class ").arg(state.lastStep->point + 1)));
        QVERIFY(form.labelClasses->text().startsWith(QStringLiteral("Class 1: ")));
    }

    // A value label exactly as wide as its text shows the whole text, as a wider one does.
    void elidedLabelShowsATextThatFitsExactly() {
        for (const QString& text :
             {QStringLiteral("0 K (1 Epochs)"), QStringLiteral("1.50% (3)")}) {
            TElidedLabel label;
            QFont font(QStringLiteral("Tahoma"));  // the window's font
            font.setPixelSize(13);
            label.setFont(font);
            label.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            label.setText(text);
            label.resize(label.sizeHint());
            QVERIFY(!label.Elided());
            const QImage exact = label.grab().toImage();
            label.resize(label.sizeHint() + QSize(40, 0));
            const QImage wide = label.grab().toImage().copy(QRect(QPoint(0, 0), exact.size()));
            QCOMPARE(exact, wide);
        }
        // Too narrow for the whole: the shorter form when it fits, else the whole cut; the whole
        // as the hint either way.
        TElidedLabel label;
        label.setText(QStringLiteral("Class 1: 3 of 208 wrong, Class 2: 1 of 192"),
                      QStringLiteral("Wrong: 3/208, 1/192"));
        label.show();  // a shown label gets its resize events at once
        const int compact =
            label.fontMetrics().horizontalAdvance(QStringLiteral("Wrong: 3/208, 1/192"));
        label.resize(compact, label.sizeHint().height());
        QCOMPARE(label.ShownText(), QStringLiteral("Wrong: 3/208, 1/192"));
        QCOMPARE(label.toolTip(), label.text());
        label.resize(compact - 1, label.sizeHint().height());
        QVERIFY(label.ShownText().startsWith(QStringLiteral("Class 1:")));
        QVERIFY(label.ShownText().endsWith(QChar(0x2026)));
        label.resize(label.sizeHint());
        QCOMPARE(label.ShownText(), label.text());
        QVERIFY(label.toolTip().isEmpty());
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
        QVERIFY(form.Action(ActionId::actionNaucz)->isEnabled());
        QVERIFY(form.Action(ActionId::actionReset)->isEnabled());
        QVERIFY(form.comboStructure->isEnabled());
        QVERIFY(!form.Action(ActionId::actionStop)->isEnabled());
        QCOMPARE(form.labelAge->text(), QStringLiteral("0 K (1 Epochs)"));
    }

    void stopEndsAContinuousRun() {
        TFormMain form;
        ShowAndActivate(form);
        ModeItem(form, "miModeForever")->trigger();
        bool stopWasEnabled = false;
        QTimer::singleShot(300, &form, [&] {
            stopWasEnabled = form.Action(ActionId::actionStop)->isEnabled();
            QVERIFY(!form.Action(ActionId::actionNaucz)->isEnabled());
            QVERIFY(!form.comboStructure->isEnabled());
            QTest::keyClick(form.pbSignal, Qt::Key_Escape);
        });
        form.actionNauczExecute();
        QVERIFY(stopWasEnabled);
        QVERIFY(form.State().epochCount > 1);
        QVERIFY(!form.State().learning);
        QVERIFY(form.Action(ActionId::actionNaucz)->isEnabled());
    }

    void exitDuringARunEndsTheRunAndClosesTheWindow() {
        TFormMain form;
        ShowAndActivate(form);
        ModeItem(form, "miModeForever")->trigger();
        QTimer::singleShot(200, &form, [&] { form.Action(ActionId::actionExit)->trigger(); });
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
            form.Action(ActionId::actionDrawPoints)->trigger();
            unchanged = form.pbSignal->Surface() == before;
            QCOMPARE(form.State().rasterMode, RasterMode::None);
            form.Action(ActionId::actionStop)->trigger();
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
        form.Action(ActionId::ActionMaximize)->trigger();
        QTRY_VERIFY(form.isMaximized());
        form.Action(ActionId::ActionMaximize)->trigger();
        QTRY_VERIFY(!form.isMaximized());
        QTRY_COMPARE(form.size(), start);
        form.resize(100, 100);
        // The smallest size is the outer frame's, where the platform reports a frame.
        QVERIFY(form.frameGeometry().width() >= 300 && form.frameGeometry().height() >= 300);
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
        const KestroState& state = form.State();
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

    // Edits, resets, loads, structure choices and resizes fall back to the points on black,
    // also at start; Live Answer makes the drawing area follow them in the view mode.
    void pointsAloneUntilLiveAnswer() {
        TFormMain form(nullptr, 5u);
        ShowAndActivate(form);
        const auto points = [&form] { return BlackShare(form) > 0.9; };
        const auto answer = [&form] { return BlackShare(form) < 0.3; };
        QVERIFY(points());
        QTest::keyClick(form.pbSignal, Qt::Key_1);
        const auto click = [&form] {
            QTest::mouseClick(form.pbSignal, Qt::LeftButton, {}, QPoint(20, 20));
        };
        const int count = form.State().pointSet.count;
        click();
        QCOMPARE(form.State().pointSet.count, count + 1);
        QVERIFY(points());

        form.Action(ActionId::actionViewLiveAnswer)->trigger();
        QVERIFY(form.State().liveAnswer);
        QVERIFY(answer());
        click();
        QVERIFY(answer());
        form.actionResetExecute();
        QVERIFY(answer());
        form.resize(form.width() + 40, form.height() + 30);
        QTRY_VERIFY(form.pbSignal->Surface().width() == form.pbSignal->width());
        QVERIFY(answer());
        form.comboStructure->setCurrentIndex(3);
        form.comboStructureChange(3);
        QVERIFY(answer());

        form.Action(ActionId::actionViewLiveAnswer)->trigger();
        QVERIFY(answer());  // the picture stays until the next change
        form.comboStructureChange(10);
        QVERIFY(points());
        form.actionResetExecute();
        QVERIFY(points());
        form.Action(ActionId::actionDrawAnswer)->trigger();  // a view action draws its mode
        QVERIFY(answer());
        form.resize(form.width() - 40, form.height() - 30);
        QTRY_VERIFY(form.pbSignal->Surface().width() == form.pbSignal->width());
        QVERIFY(points());
    }

    // Closing asks before it loses points changed by hand since they were opened, saved or
    // generated, and stays open when the question or the save is cancelled.
    void closeAsksBeforeLosingHandEdits() {
        QTemporaryDir dir;
        int asked = 0;
        const auto check = [&](TFormMain::CloseAnswer answer, bool edit, bool undo, bool closes) {
            TFormMain form(nullptr, 7u);
            ShowAndActivate(form);
            asked = 0;
            form.askSaveBeforeClosing = [&] {
                ++asked;
                return answer;
            };
            const QString path = dir.filePath(QStringLiteral("kept.points"));
            form.askSaveFileName = [&] { return path; };
            if (edit)
                QTest::mouseClick(form.pbSignal, Qt::LeftButton, {}, QPoint(30, 30));
            if (undo)
                form.actionUndoExecute();
            QCOMPARE(form.close(), closes);
            QCOMPARE(form.isVisible(), !closes);
            QCOMPARE(form.State().stopRequested, closes);
            if (answer == TFormMain::CloseAnswer::Save && edit && !undo) {
                TFormMain reader(nullptr, 8u);
                reader.LoadPoints(path);
                QCOMPARE(reader.State().pointSet.count, form.State().pointSet.count);
            }
        };
        check(TFormMain::CloseAnswer::Cancel, false, false, true);  // generated points
        QCOMPARE(asked, 0);
        check(TFormMain::CloseAnswer::Cancel, true, true, true);  // the edit undone
        QCOMPARE(asked, 0);
        check(TFormMain::CloseAnswer::Cancel, true, false, false);
        QCOMPARE(asked, 1);
        check(TFormMain::CloseAnswer::Discard, true, false, true);
        QCOMPARE(asked, 1);
        check(TFormMain::CloseAnswer::Save, true, false, true);
        QCOMPARE(asked, 1);
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
        const ShellOpenHook previous = SetShellOpenHook([&](const QString& t) {
            opened << t;
            return true;
        });
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
        // No viewer could open it: a message says where the page is; nothing else is told.
        QStringList told;
        form.tellUser = [&](bool, const QString&, const QString& text) { told << text; };
        SetShellOpenHook([](const QString&) { return false; });
        QTest::keyClick(form.comboStructure, Qt::Key_F1);
        QCOMPARE(told.size(), 1);
        QVERIFY(told[0].endsWith(QDir::toNativeSeparators(page.fileName())));
        SetShellOpenHook([&](const QString& t) {
            opened << t;
            return true;
        });
        for (ActionId id : {ActionId::actionHelpOnline, ActionId::actionHelpVersion,
                            ActionId::actionHelpSupport, ActionId::actionHelpWeb})
            form.Action(id)->trigger();
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
        const KestroState& state = form.State();
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
        form.Action(ActionId::actionSavePoints)->trigger();
        QCOMPARE(form.openFileName_, path);
        form.actionClearPointsExecute();
        form.askOpenFileName = [&] { return path; };
        form.Action(ActionId::actionLoadPoints)->trigger();
        QCOMPARE(form.saveFileName_, path);
        const PointSet& loaded = form.State().pointSet;
        QCOMPARE(loaded.count, saved.count);
        for (int p = 0; p < saved.count; ++p) {
            QVERIFY(std::fabs(loaded.points[p].x - saved.points[p].x) <= 5e-7f);
            QVERIFY(std::fabs(loaded.points[p].y - saved.points[p].y) <= 5e-7f);
            QCOMPARE(loaded.points[p].classIndex, saved.points[p].classIndex);
        }
        // A cancelled dialog or a missing file changes nothing
        form.askOpenFileName = [] { return QString(); };
        form.Action(ActionId::actionLoadPoints)->trigger();
        form.askOpenFileName = [&] { return dir.filePath(QStringLiteral("missing.points")); };
        form.Action(ActionId::actionLoadPoints)->trigger();
        QCOMPARE(form.State().pointSet.count, saved.count);
    }
};

QTEST_MAIN(FormMainTest)
#include "formmain_test.moc"
