// The main window's handlers: thin glue between the controls and the core operations.
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageWriter>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>
#include <QWindow>
#include <chrono>

#include "core/units/errors.h"
#include "core/units/glowny/exports.h"
#include "core/units/glowny/netcopy.h"
#include "core/units/glowny/pointsfile.h"
#include "core/units/glowny/session.h"
#include "core/units/glowny/startup.h"
#include "core/units/glowny/training.h"
#include "core/units/info.h"
#include "core/units/random.h"
#include "core/units/report.h"
#include "core/units/weblinks.h"
#include "views/errorgraph.h"
#include "views/netdiagram.h"
#include "views/neuronview.h"
#include "views/qtext.h"
#include "views/signalview.h"
#include "window/about.h"
#include "window/actiontable.h"
#include "window/elidedlabel.h"
#include "window/formmain.h"
#include "window/generatedialog.h"
#include "window/paintbox.h"
#include "window/pointsstep.h"
#include "window/shell.h"
#include "window/traininghost.h"

namespace kestro {

namespace {

// The neuron picture's logical size.
constexpr int NeuronPictureSize = 100;

// The system beep.
void Beep() {
    QApplication::beep();
}

}  // namespace

FormTrainingHost::FormTrainingHost(TFormMain& form) : form_(form) {}

int64_t FormTrainingHost::NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void FormTrainingHost::DispatchEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void FormTrainingHost::WaitUntil(int64_t ms) {
    // A timer wakes the wait at the deadline; any user event (Stop, a close) wakes it sooner.
    QTimer wake;
    wake.setSingleShot(true);
    for (int64_t left = ms - NowMs(); left > 0 && !form_.state_->stopRequested;
         left = ms - NowMs()) {
        wake.start(static_cast<int>(left));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

void FormTrainingHost::DrawSignalView(RasterMode raster, int32_t cellSize, bool showPoints) {
    form_.DrawSignalView(raster, cellSize, showPoints);
}

void FormTrainingHost::RefreshStatus(int64_t totalMs, int64_t intervalMs) {
    form_.UpdateStatus(totalMs, intervalMs);
}

void FormTrainingHost::RunStarting() {
    focus_ = QApplication::focusWidget();
    if (form_.btnStop->isEnabled())
        form_.btnStop->setFocus();
}

void FormTrainingHost::SetRunControls(bool running) {
    form_.comboStructure->setEnabled(!running);
    using enum ActionId;
    for (ActionId id : {actionReset, actionNaucz, actionGenerateNow, actionClearPoints,
                        actionGenerate, actionRestart, actionOpenSession, actionStep})
        form_.Action(id)->setEnabled(!running);
    form_.Action(actionStop)->setEnabled(running);
    form_.UpdateTimelineActions();
    if (running)
        form_.btnStop->setFocus();
}

void FormTrainingHost::ClearErrorGraph() {
    form_.pbErr->Fill(OpaqueBlack);
}

void FormTrainingHost::ClearViews() {
    form_.pbErr->Fill(OpaqueBlack);
    form_.pbErr->RepaintNow();
    form_.pbSignal->Fill(OpaqueBlack);
    form_.pbSignal->RepaintNow();
}

void FormTrainingHost::RunEnded() {
    if (focus_ && focus_->isEnabled() && focus_->isVisible())
        focus_->setFocus();
    focus_ = nullptr;
}

TFormMain::~TFormMain() = default;

void TFormMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TFormMain::FormShow() {
    // The very start-up the headless trainer runs; the widgets then show its result.
    if (!StartUp(*state_, *host_))
        Beep();
    UpdateControls();
    btnLearn->setFocus();
}

void TFormMain::closeEvent(QCloseEvent* event) {
    // Points changed by hand since they were last opened, saved or generated are not lost
    // without asking; a cancelled question (or a save that did not happen) keeps the window.
    if (!undoStack_->isClean() && state_->pointSet.count > 0) {
        switch (askSaveBeforeClosing()) {
            case CloseAnswer::Save:
                actionSavePointsExecute();
                if (!undoStack_->isClean()) {
                    event->ignore();
                    return;
                }
                break;
            case CloseAnswer::Discard:
                break;
            case CloseAnswer::Cancel:
                event->ignore();
                return;
        }
    }
    // FormClose: a run in progress ends after its epoch.
    state_->stopRequested = true;
    event->accept();
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    // The logo is a link to the About box: a primary-button click on it opens the box.
    const bool press = event->type() == QEvent::MouseButtonPress;
    const bool release = event->type() == QEvent::MouseButtonRelease;
    if (watched == imageLogo && (press || release)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return QMainWindow::eventFilter(watched, event);
        if (release && imageLogo->rect().contains(mouse->position().toPoint()))
            Action(ActionId::actionAbout)->trigger();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- The widgets from the state ---

void TFormMain::UpdateControls() {
    UpdateLearnControls();
    UpdateChoiceControls();
}

void TFormMain::UpdateLearnControls() {
    const KestroState& state = *state_;
    const LearnControls& controls = state.controls;
    // Each block writes one group of controls; blocked signals keep the writes from
    // re-entering the handlers.
    {
        const QSignalBlocker b1(scrollBarNi), b2(scrollBarDown), b3(scrollBarNiMin),
            b4(scrollBarAlpha);
        scrollBarNi->setValue(controls.niPosition);
        scrollBarDown->setValue(controls.downPosition);
        scrollBarNiMin->setValue(controls.niMinPosition);
        scrollBarAlpha->setValue(controls.alphaPosition);
    }
    labelNiStart->setText(QText(ScrollBarLabel(ScrollBarNiInfo, controls.niPosition)));
    labelDown->setText(QText(ScrollBarLabel(ScrollBarDownInfo, controls.downPosition)));
    labelNiMin->setText(QText(ScrollBarLabel(ScrollBarNiMinInfo, controls.niMinPosition)));
    labelAlpha->setText(QText(ScrollBarLabel(ScrollBarAlphaInfo, controls.alphaPosition)));
    const EpochDownRateTexts rate = EpochDownRateLabel(state.learnParameters);
    labelDRateP->setText(QText(rate.label));
    labelDRateP->setToolTip(QText(rate.hint));
    {
        const QSignalBlocker b1(checkAutoDecrease), b2(checkMomentum), b3(checkPremphaseErr),
            b4(checkVerify), b5(radioGroupOrder);
        checkAutoDecrease->setChecked(controls.autoDecrease);
        checkMomentum->setChecked(controls.momentum);
        checkPremphaseErr->setChecked(controls.premphase);
        checkVerify->setChecked(controls.verify);
        if (QAbstractButton* order = radioGroupOrder->button(controls.orderIndex))
            order->setChecked(true);
    }
    panelNiDown->setVisible(controls.autoDecrease);
    panelNiMin->setVisible(controls.autoDecrease);
    labelDRateP->setVisible(controls.autoDecrease);
    panelAlpha->setVisible(controls.momentum);
}

void TFormMain::UpdateChoiceControls() {
    const KestroState& state = *state_;
    const LearnControls& controls = state.controls;
    // Learn mode, Reset at beginning and the Learn button's caption.
    miModeResetAtBeginning->setChecked(controls.resetAtBeginning);
    for (QAction* item : learnModeGroup_->actions())
        item->setChecked(item->data().toInt() == state.learnMode);
    if (const LearnModeItem* mode = FindLearnModeItem(state.learnMode))
        btnLearn->setText(QText(LearnButtonCaption(*mode, controls.resetAtBeginning)));

    {
        const QSignalBlocker b1(comboStructure), b2(comboDrawSpeed), b3(comboPace);
        comboStructure->setCurrentIndex(state.structureIndex);
        for (size_t i = 0; i < DrawSpeedItems.size(); ++i)
            if (DrawSpeedItems[i].period == state.drawPeriod)
                comboDrawSpeed->setCurrentIndex(static_cast<int>(i));
        for (size_t i = 0; i < PaceItems.size(); ++i)
            if (PaceItems[i].epochsPerSecond == state.pace)
                comboPace->setCurrentIndex(static_cast<int>(i));
    }
    {
        const QSignalBlocker b1(checkDrawErrK), b2(checkDrawErrW), b3(checkDrawErr),
            b4(checkDrawNi);
        checkDrawErrK->setChecked(state.showMse);
        checkDrawErrW->setChecked(state.showVerify);
        checkDrawErr->setChecked(state.showError);
        checkDrawNi->setChecked(state.showNi);
    }

    // View mode, axes, shape and class panel.
    for (QAction* item : viewModeGroup_->actions()) {
        const ViewModeSpec& mode = ViewModes[static_cast<size_t>(item->data().toInt())];
        item->setChecked(mode.raster == state.rasterMode && mode.showPoints == state.showPoints);
    }
    Action(ActionId::actionViewCoordinates)->setChecked(state.showAxes);
    Action(ActionId::actionViewWeightColors)->setChecked(state.showWeightColors);
    Action(ActionId::actionViewFirstLayerLines)->setChecked(state.showFirstLayerLines);
    Action(ActionId::actionViewWrongOnly)->setChecked(state.showWrongOnly);
    Action(ActionId::actionViewLiveAnswer)->setChecked(state.liveAnswer);
    for (QAction* item : shapeGroup_->actions())
        item->setChecked(item->data().toInt() == state.shapeState.shapeId);
    for (size_t i = 0; i < ClassActions.size(); ++i)
        if (ClassActions[i].tag == state.editState.selectedClass) {
            const QSignalBlocker blocker(panelsColor);
            panelsColor->button(static_cast<int>(i))->setChecked(true);
        }
}

// --- Network ---

void TFormMain::actionNauczExecute() {
    Learn(*state_, *host_);
}

void TFormMain::actionStopExecute() {
    RequestStop(*state_);
}

void TFormMain::actionResetExecute() {
    ResetNetwork(*state_, *host_);
}

void TFormMain::actionExitExecute() {
    // closeEvent sets StopRequested once closing is not cancelled.
    close();
}

void TFormMain::ActionMaximizeExecute() {
    if (isMaximized()) {
        showNormal();
    } else {
        showMaximized();
    }
}

void TFormMain::actionMinimizeExecute() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible())
            window->showMinimized();
}

void TFormMain::actionErrorExecute() {
    RaiseTestError();
}

// --- Help ---

void TFormMain::actionHelpF1Execute() {
    // Without a help page F1 does nothing; a page that no viewer could open is pointed to.
    const LocalHelpOpened help = OpenLocalHelp(programDirectory);
    if (!help.path.empty() && !help.opened)
        tellUser(false, QStringLiteral("Help"),
                 QStringLiteral("No program could open the help. It is the file\n%1")
                     .arg(QDir::toNativeSeparators(QString::fromStdString(help.path))));
}

// The web actions hand their address to the desktop and return at once.
void TFormMain::actionHelpOnlineExecute() {
    ShellOpen(OnlineHelpAddress(SiteBase()));
}

void TFormMain::actionHelpVersionExecute() {
    ShellOpen(VersionCheckAddress(SiteBase(), LocalInfo().VersionInfo.FileVersion));
}

void TFormMain::actionHelpSupportExecute() {
    ShellOpen(SupportAddress(SiteBase()));
}

void TFormMain::actionHelpWebExecute() {
    ShellOpen(ProductPageAddress(SiteBase()));
}

void TFormMain::actionAboutExecute() {
    // Modal: a run in progress waits until the box is closed.
    if (aboutBox_)
        aboutBox_->exec();
}

// --- Learn tab and learn modes ---

void TFormMain::scrollBarNiChange(int position) {
    ScrollBarNiChange(state_->learnParameters, position);
    state_->controls.niPosition = position;
    UpdateControls();
}

void TFormMain::scrollBarNiMinChange(int position) {
    ScrollBarNiMinChange(state_->learnParameters, position);
    state_->controls.niMinPosition = position;
    UpdateControls();
}

void TFormMain::scrollBarAlphaChange(int position) {
    ScrollBarAlphaChange(state_->learnParameters, position);
    state_->controls.alphaPosition = position;
    UpdateControls();
}

void TFormMain::scrollBarDownChange(int position) {
    ScrollBarDownChange(state_->learnParameters, position);
    state_->controls.downPosition = position;
    UpdateEpochDownRate(state_->learnParameters, state_->pointSet.count);
    UpdateControls();
}

void TFormMain::checkAutoDecreaseClick(bool checked) {
    state_->controls.autoDecrease = checked;
    UpdateControls();
}

void TFormMain::checkMomentumClick(bool checked) {
    state_->controls.momentum = checked;
    CheckMomentumClick(state_->learnParameters, checked, state_->controls.alphaPosition);
    UpdateControls();
}

void TFormMain::sbtnLearnModeClick() {
    const QPoint corner(-sbtnLearnMode->x(), sbtnLearnMode->height());
    popupMenuLearnMode->popup(sbtnLearnMode->mapToGlobal(corner));
}

void TFormMain::miLearnModeClick(QAction* item) {
    const LearnModeItem* mode = FindLearnModeItem(item->data().toInt());
    KESTRO_ASSERT(mode != nullptr);
    state_->learnMode = mode->tag;
    UpdateControls();
}

void TFormMain::miModeResetAtBeginningClick() {
    // The action toggles its own check when triggered from the menu.
    state_->controls.resetAtBeginning = miModeResetAtBeginning->isChecked();
    UpdateControls();
}

void TFormMain::comboStructureChange(int index) {
    ChangeStructure(*state_, index);
    // The new network's error, its diagram, and the points alone.
    RefreshAfterNetworkChange(*state_, *host_, SignalRedraw::AfterEdit);
}

void TFormMain::comboDrawSpeedChange(int index) {
    ComboDrawSpeedChange(state_->drawPeriod, index);
}

void TFormMain::comboPaceChange(int index) {
    ComboPaceChange(state_->pace, index);
}

void TFormMain::UpdateStatus(int64_t totalMs, int64_t intervalMs) {
    const QString separator = QLocale().decimalPoint();
    const StatusTexts texts =
        MakeStatusTexts(*state_, totalMs, intervalMs, separator.toStdString());
    labelTime->setText(QText(texts.time));
    labelNi->setText(QText(texts.ni));
    labelErr->setText(QText(texts.error));
    labelAge->setText(QText(texts.age));
    panelColorS->setText(QString::number(texts.counts.total));
    panelColor1->setText(QString::number(texts.counts.class1));
    panelColor2->setText(QString::number(texts.counts.class2));
    SetStatusLine(labelDetail, QText(texts.detail));
    SetStatusLine(labelClasses, QText(texts.classes));
    SetStatusLine(labelHint, QText(texts.hint));
    UpdateTimelineActions();
    // Labels repaint now too, so that a run shows them while it keeps the event loop busy.
    for (QWidget* label : {static_cast<QWidget*>(labelTime), static_cast<QWidget*>(labelNi),
                           static_cast<QWidget*>(labelErr), static_cast<QWidget*>(labelAge)})
        label->repaint();
    DrawNetworkDiagram();
    DrawErrorGraph();
}

// --- View ---

void TFormMain::viewModeClick(QAction* item) {
    const ViewModeSpec& mode = ViewModes[static_cast<size_t>(item->data().toInt())];
    state_->rasterMode = mode.raster;
    state_->showPoints = mode.showPoints;
    // The neuron view without a neuron picked shows the first output neuron.
    if (mode.raster == RasterMode::Neuron &&
        (state_->viewNeuron < LayerSize(0) || state_->viewNeuron >= LayerSize(-1)))
        state_->viewNeuron = LayerCount() > 1 ? Layer(LayerCount() - 1).first : -1;
    DrawNetworkDiagram();
    if (!state_->learning)
        DrawSignalView(state_->rasterMode, 1, state_->showPoints);
}

void TFormMain::actionViewCoordinatesExecute() {
    // The action is checkable: triggering it has toggled the check.
    state_->showAxes = Action(ActionId::actionViewCoordinates)->isChecked();
    if (!state_->learning)
        DrawSignalView(state_->rasterMode, 1, state_->showPoints);
}

std::optional<QPoint> TFormMain::SignalCursor() const {
    const QPoint position = pbSignal->mapFromGlobal(QCursor::pos());
    if (!pbSignal->underMouse() && !pbSignal->rect().contains(position))
        return std::nullopt;
    return position;
}

namespace {

// The latest Step when it is what the diagram shows, else null.
const PresentationRecord* LastStepFor(const KestroState& state) {
    return state.lastStep ? &*state.lastStep : nullptr;
}

// Where neuron i's incoming list starts among the weights listed neuron after neuron.
size_t IncomingListStart(int32_t i) {
    size_t start = 0;
    for (int32_t j = 0; j < i; ++j)
        start += static_cast<size_t>(IncomingCount(j));
    return start;
}

SignalViewInput MakeSignalInput(const KestroState& state, std::optional<QPoint> cursor) {
    SignalViewInput input;
    input.points = &state.pointSet;
    input.showAxes = state.showAxes;
    input.cursor = cursor;
    input.brushRadius = state.editState.brushRadius;
    input.selectedClass = state.editState.selectedClass;
    input.presentationCount = static_cast<int32_t>(
        std::min<int64_t>(state.presentationCount, std::numeric_limits<int32_t>::max()));
    return input;
}

}  // namespace

void TFormMain::DrawSignalView(RasterMode raster, int cellSize, bool showPoints) {
    lastPicture_ = {raster, cellSize, showPoints};
    SignalViewInput input = MakeSignalInput(*state_, SignalCursor());
    input.raster = raster;
    input.cellSize = cellSize;
    input.showPoints = showPoints;
    input.firstLayerLines = state_->showFirstLayerLines;
    input.neuron = state_->viewNeuron;
    // A picked epoch's network rings the points it answers wrongly; only those are shown when
    // the right ones are hidden.
    std::vector<uint8_t> wrong, right;
    if (state_->showWrongOnly || state_->timeline.shown >= 0) {
        wrong = WrongPoints(state_->pointSet);
        if (state_->timeline.shown >= 0)
            input.answeredWrong = wrong.data();
    }
    if (state_->showWrongOnly) {
        right.resize(wrong.size());
        for (size_t i = 0; i < wrong.size(); ++i)
            right[i] = wrong[i] == 0 ? 1 : 0;
        input.hidden = right.data();
    }
    if (state_->lastStep)
        input.ringedPoint = state_->lastStep->point;
    NetworkCopy network;
    if (raster == RasterMode::Neuron || input.firstLayerLines) {
        network = CopyNetwork();
        input.network = &network;
    }
    if (kestro::DrawSignalView(input, pbSignal->Surface()))
        timerDraw->start();
    pbSignal->RepaintNow();
    // The neuron picture over the diagram follows the network at the frame rate.
    if (neuronPopup->isVisible())
        UpdateNeuronPopup();
}

void TFormMain::actionViewWeightColorsExecute() {
    state_->showWeightColors = Action(ActionId::actionViewWeightColors)->isChecked();
    DrawNetworkDiagram();
}

void TFormMain::actionViewLiveAnswerExecute() {
    state_->liveAnswer = Action(ActionId::actionViewLiveAnswer)->isChecked();
    // Turned on, the picture follows at once; turned off, it stays until the next change.
    if (state_->liveAnswer && !state_->learning)
        DrawSignalView(state_->rasterMode, 1, state_->showPoints);
}

void TFormMain::actionViewStatusBarExecute() {
    statusBar()->setVisible(Action(ActionId::actionViewStatusBar)->isChecked());
}

void TFormMain::SetStatusLine(QLabel* line, const QString& text) {
    line->setText(text);
    line->setVisible(!text.isEmpty());
}

void TFormMain::actionViewFirstLayerLinesExecute() {
    state_->showFirstLayerLines = Action(ActionId::actionViewFirstLayerLines)->isChecked();
    if (!state_->learning)
        DrawSignalView(state_->rasterMode, 1, state_->showPoints);
}

void TFormMain::pbNetMouseMove(QPoint position) {
    const DiagramHit hit =
        HitTestDiagram(CurrentNetworkSummary(), pbNet->width(), position.x(), position.y());
    hoverNeuron = hit.neuron;
    hoverIncoming = hit.incoming;
    hoverPosition = position;
    UpdateNeuronPopup();
}

void TFormMain::pbNetClick(QPoint position) {
    const DiagramHit hit =
        HitTestDiagram(CurrentNetworkSummary(), pbNet->width(), position.x(), position.y());
    if (hit.neuron < LayerSize(0) || hit.incoming >= 0)
        return;  // an input neuron, a connection or nothing
    state_->viewNeuron = hit.neuron;
    state_->rasterMode = RasterMode::Neuron;
    UpdateControls();
    DrawNetworkDiagram();
    if (!state_->learning)
        DrawSignalView(state_->rasterMode, 1, state_->showPoints);
}

namespace {

// What the diagram says of the neuron (incoming < 0) or connection under the cursor, with what
// the latest Step did to it on a second line or after the weight.
QString DiagramHoverText(const KestroState& state, int32_t neuron, int32_t incoming) {
    const int32_t layer = NeuronLayer(neuron);
    const int32_t number = neuron - Layer(layer).first + 1;
    const PresentationRecord* step = LastStepFor(state);
    if (incoming >= 0) {
        const int32_t source = IncomingSource(neuron, incoming);
        QString text = QStringLiteral("Weight %1 of layer %2 to %3 of layer %4: %5")
                           .arg(source - Layer(layer - 1).first + 1)
                           .arg(layer - 1)
                           .arg(number)
                           .arg(layer)
                           .arg(static_cast<double>(IncomingWeight(neuron, incoming)), 0, 'f', 4);
        const size_t w = IncomingListStart(neuron) + static_cast<size_t>(incoming);
        if (step != nullptr && w < step->weightChange.size())
            text += QStringLiteral(", changed by %1")
                        .arg(static_cast<double>(step->weightChange[w]), 0, 'g', 4);
        return text;
    }
    QString text;
    if (layer == 0)
        text = number == 1 ? QStringLiteral("Input x") : QStringLiteral("Input y");
    else
        text = QStringLiteral("%1 %2 of layer %3, bias %4")
                   .arg(layer == LayerCount() - 1 ? QStringLiteral("Output")
                                                  : QStringLiteral("Neuron"))
                   .arg(number)
                   .arg(layer)
                   .arg(static_cast<double>(NeuronBias(neuron)), 0, 'f', 4);
    const auto i = static_cast<size_t>(neuron);
    if (step != nullptr && i < step->delta.size()) {
        text += QStringLiteral("\nStep: output %1, delta %2")
                    .arg(static_cast<double>(step->output[i]), 0, 'f', 4)
                    .arg(static_cast<double>(step->delta[i]), 0, 'g', 4);
        if (layer > 0)
            text += QStringLiteral(", bias changed by %1")
                        .arg(static_cast<double>(step->biasChange[i]), 0, 'g', 4);
    }
    return text;
}

// The neuron's output over the plane (+1 in the class-1 colour, -1 in the class-2 colour) at
// the given pixel ratio, with the text (one or two lines) below it.
QPixmap NeuronPopupPicture(int32_t neuron, const QString& text, qreal ratio, const QFont& font,
                           const QPalette& palette) {
    const int size = static_cast<int>(NeuronPictureSize * ratio + 0.5);
    // Cells of 2 logical pixels: a smooth function, at a quarter of the evaluations.
    QImage picture =
        NeuronPicture(CopyNetwork(), neuron, size, std::max(1, static_cast<int>(2 * ratio + 0.5)));
    picture.setDevicePixelRatio(ratio);
    const QFontMetrics metrics(font);
    const QStringList lines = text.split(QLatin1Char('\n'));
    int textWidth = 0;
    for (const QString& line : lines)
        textWidth = std::max(textWidth, metrics.horizontalAdvance(line));
    const int textHeight = metrics.height() * static_cast<int>(lines.size()) + 2;
    const int width = std::max(NeuronPictureSize, textWidth + 4);
    QPixmap shown(QSize(static_cast<int>(width * ratio + 0.5),
                        static_cast<int>((NeuronPictureSize + textHeight) * ratio + 0.5)));
    shown.setDevicePixelRatio(ratio);
    shown.fill(palette.color(QPalette::ToolTipBase));
    QPainter painter(&shown);
    painter.setFont(font);
    painter.drawImage(QPoint((width - NeuronPictureSize) / 2, 0), picture);
    painter.setPen(palette.color(QPalette::ToolTipText));
    painter.drawText(QRect(0, NeuronPictureSize, width, textHeight), Qt::AlignCenter, text);
    return shown;
}

}  // namespace

void TFormMain::UpdateNeuronPopup() {
    const int32_t neuron = hoverNeuron;
    if (neuron < 0 || neuron >= LayerSize(-1)) {
        neuronPopup->hide();
        return;
    }
    const QString text = DiagramHoverText(*state_, neuron, hoverIncoming);
    if (NeuronLayer(neuron) > 0 && hoverIncoming < 0)
        neuronPopup->setPixmap(
            NeuronPopupPicture(neuron, text, devicePixelRatioF(), font(), palette()));
    else
        neuronPopup->setText(text);
    neuronPopup->adjustSize();
    neuronPopup->move(pbNet->mapToGlobal(QPoint(pbNet->width() + 4, hoverPosition.y() - 10)));
    neuronPopup->show();
}

void TFormMain::DrawSamplePoints(bool cursorCheck) {
    const SignalViewInput input = MakeSignalInput(*state_, SignalCursor());
    if (kestro::DrawSamplePoints(input, cursorCheck, pbSignal->Surface()))
        timerDraw->start();
    pbSignal->RepaintNow();
}

void TFormMain::DrawNetworkDiagram() {
    DiagramOptions options;
    NetworkCopy network;
    if (state_->showWeightColors) {
        network = CopyNetwork();
        options.weightColors = true;
        options.network = &network;
    }
    if (state_->lastStep)
        options.step = &*state_->lastStep;
    // The neuron whose output the drawing area shows is marked.
    if (state_->rasterMode == RasterMode::Neuron)
        options.markedNeuron = state_->viewNeuron;
    kestro::DrawNetworkDiagram(CurrentNetworkSummary(), SystemDiagramColors(), pbNet->Surface(),
                               options);
    pbNet->RepaintNow();
}

void TFormMain::DrawErrorGraph() {
    const ErrorHistory* series = state_->histories.series;
    ErrorGraphInput input;
    input.meanSquaredError.history = &series[MseSeries];
    input.meanSquaredError.visible = state_->showMse;
    input.verifyError.history = &series[VerifySeries];
    input.verifyError.visible = state_->showVerify;
    input.classificationError.history = &series[ErrorSeries];
    input.classificationError.visible = state_->showError;
    input.ni.history = &series[NiSeries];
    input.ni.visible = state_->showNi;
    const Timeline& timeline = state_->timeline;
    if (timeline.shown >= 0)
        input.markerCount = timeline.entries[static_cast<size_t>(timeline.shown)].historyCount;
    kestro::DrawErrorGraph(input, pbErr->Surface());
    pbErr->RepaintNow();
}

void TFormMain::timerDrawTimer() {
    const QPoint position = pbSignal->mapFromGlobal(QCursor::pos());
    if (position.x() < 0 || position.y() < 0 || position.x() > pbSignal->width() ||
        position.y() > pbSignal->height()) {
        timerDraw->stop();
        DrawSamplePoints(false);
    }
}

// --- Points ---

void TFormMain::panelColorClick(int32_t tag) {
    SelectClass(state_->editState, tag);
    UpdateControls();
}

void TFormMain::pbSignalMouseDown(Qt::KeyboardModifiers modifiers) {
    state_->editState.sprayModifier = modifiers.testFlag(Qt::ControlModifier);
}

void TFormMain::pbSignalClick(QPoint position) {
    PointsSnapshot before = TakePointsSnapshot(*state_);
    const ClickResult result =
        ClickPoints(state_->pointSet, state_->editState, state_->shapeState, position.x(),
                    position.y(), pbSignal->width(), pbSignal->height());
    if (!result.handled)
        return;
    if (result.Changed()) {
        const QString text = result.removed > 0 ? QStringLiteral("Delete Points")
                             : result.added > 1 ? QStringLiteral("Spray")
                                                : QStringLiteral("Add Point");
        PushPointsStep(text, std::move(before));
    }
    PointsChanged(false);
}

void TFormMain::pbSignalResize() {
    if (!host_)
        return;
    // The user resized the window or moved the splitter: the points alone (or, with Live
    // Answer, the view mode). The status bar gained or lost a line: the same picture again.
    const bool byUser = size() != layoutWindowSize_ || pbErr->height() != layoutGraphHeight_;
    layoutWindowSize_ = size();
    layoutGraphHeight_ = pbErr->height();
    if (byUser)
        DrawAfterEdit(*state_, *host_);
    else
        DrawSignalView(lastPicture_.raster, lastPicture_.cellSize, lastPicture_.showPoints);
}

void TFormMain::pbSignalMouseMove() {
    if (state_->editState.selectedClass == SelectDelete)
        DrawSamplePoints(true);
}

void TFormMain::actionDistanceUpExecute() {
    BrushRadiusUp(state_->editState);
    if (state_->editState.selectedClass == SelectDelete)
        DrawSamplePoints(true);
}

void TFormMain::actionDistanceDownExecute() {
    BrushRadiusDown(state_->editState);
    if (state_->editState.selectedClass == SelectDelete)
        DrawSamplePoints(true);
}

void TFormMain::actionClearPointsExecute() {
    PointsSnapshot before = TakePointsSnapshot(*state_);
    if (ClearPoints(state_->pointSet))
        PushGeneratedStep(QStringLiteral("Clear"), std::move(before));
    PointsChanged(true);
}

void TFormMain::PointsChanged(bool redrawAlways) {
    // What the last file read said no longer describes the points.
    SetStatusLine(labelMessage, QString());
    RefreshAfterPointsChange(*state_, *host_, redrawAlways);
    UpdateControls();
}

bool TFormMain::PushPointsStep(const QString& text, PointsSnapshot before) {
    if (SamePoints(*state_, before))
        return false;
    undoStack_->push(new TPointsStep(text, std::move(before),
                                     [this](PointsSnapshot& other) { SwapPointsStep(other); }));
    return true;
}

void TFormMain::PushGeneratedStep(const QString& text, PointsSnapshot before) {
    if (PushPointsStep(text, std::move(before)))
        undoStack_->setClean();
}

void TFormMain::SwapPointsStep(PointsSnapshot& snapshot) {
    SwapPoints(*state_, snapshot);
    PointsChanged(true);
}

void TFormMain::actionSeedExecute() {
    const std::optional<uint32_t> seed = askSeed(seed_);
    if (!seed)
        return;
    // The next Reset Network or shape pick draws from the new seed.
    SetRandomSeed(*seed);
    seed_ = *seed;
}

void TFormMain::actionExportPictureExecute() {
    const QString fileName =
        askExportFileName(QStringLiteral("Export Picture"), QStringLiteral("PNG pictures (*.png)"),
                          QStringLiteral("png"));
    if (fileName.isEmpty())
        return;
    // The view as it would be drawn now at full resolution, whatever a run has shown so far;
    // drawn aside, so the screen is left as it is.
    SignalViewInput input = MakeSignalInput(*state_, std::nullopt);
    input.raster = state_->rasterMode;
    input.showPoints = state_->showPoints;
    input.firstLayerLines = state_->showFirstLayerLines;
    input.neuron = state_->viewNeuron;
    const NetworkCopy network = CopyNetwork();
    input.network = &network;
    QImage picture(pbSignal->Surface().size(), QImage::Format_ARGB32);
    kestro::DrawSignalView(input, picture);
    QImageWriter writer(fileName, "png");
    if (!writer.write(picture))
        tellUser(true, QStringLiteral("Export Picture"),
                 QStringLiteral("Cannot write the picture \"%1\": %2")
                     .arg(fileName, writer.errorString()));
}

void TFormMain::actionRestartExecute() {
    RestartNetwork(*state_, *host_);
    UpdateControls();
}

void TFormMain::actionOpenSessionExecute() {
    const QString fileName = askSessionFileName(false);
    if (!fileName.isEmpty())
        OpenSession(fileName);
}

void TFormMain::actionSaveSessionExecute() {
    const QString fileName = askSessionFileName(true);
    if (!fileName.isEmpty())
        SaveSession(fileName);
}

void TFormMain::OpenSession(const QString& fileName) {
    PointsSnapshot before = TakePointsSnapshot(*state_);
    const FileResult result = LoadSessionFile(fileName.toStdU16String(), *state_);
    if (result.status != FileStatus::Done) {
        if (result.status != FileStatus::NotAFile)
            tellUser(true, QStringLiteral("Open Session"), QString::fromStdString(result.message));
        return;
    }
    // One undo step, as Open Points is: Undo brings back the points from before.
    PushPointsStep(QStringLiteral("Open Session"), std::move(before));
    undoStack_->setClean();
    SetStatusLine(labelMessage, QString());
    UpdateControls();
    UpdateStatus(0, 0);
    DrawAfterEdit(*state_, *host_);
}

void TFormMain::SaveSession(const QString& fileName) {
    const FileResult result = SaveSessionFile(fileName.toStdU16String(), *state_);
    if (result.status != FileStatus::Done) {
        tellUser(true, QStringLiteral("Save Session"), QString::fromStdString(result.message));
        return;
    }
    undoStack_->setClean();
}

namespace {

// Asks for the file of an export and writes it; a failure is told with the reason.
template <typename Write>
void Export(TFormMain& form, const QString& title, const QString& filter, const QString& suffix,
            Write write) {
    const QString fileName = form.askExportFileName(title, filter, suffix);
    if (fileName.isEmpty())
        return;
    const FileResult result = write(std::filesystem::path(fileName.toStdU16String()));
    if (result.status != FileStatus::Done)
        form.tellUser(true, title, QString::fromStdString(result.message));
}

}  // namespace

void TFormMain::actionExportHistoriesExecute() {
    Export(*this, QStringLiteral("Export Error History"), QStringLiteral("CSV files (*.csv)"),
           QStringLiteral("csv"),
           [this](const std::filesystem::path& path) { return ExportHistoriesCsv(path, *state_); });
}

void TFormMain::actionExportNetworkExecute() {
    Export(*this, QStringLiteral("Export Network"), QStringLiteral("JSON files (*.json)"),
           QStringLiteral("json"),
           [this](const std::filesystem::path& path) { return ExportNetworkJson(path, *state_); });
}

void TFormMain::actionUndoExecute() {
    undoStack_->undo();
}

void TFormMain::actionRedoExecute() {
    undoStack_->redo();
}

void TFormMain::GenerateAndRefresh() {
    const bool done = GeneratePoints(state_->generateOptions, state_->shapeState, state_->pointSet,
                                     state_->verifySet);
    PointsChanged(true);
    if (!done)
        Beep();
}

void TFormMain::miPresetClick(QAction* item) {
    PointsSnapshot before = TakePointsSnapshot(*state_);
    const bool done = PickShape(item->data().toInt(), state_->generateOptions, state_->shapeState,
                                state_->pointSet, state_->verifySet);
    PushGeneratedStep(QStringLiteral("Shape ") + item->text().remove(QLatin1Char('&')),
                      std::move(before));
    PointsChanged(true);
    if (!done)
        Beep();
}

void TFormMain::actionGenerateExecute() {
    // Every regeneration while the dialog is open is one step.
    PointsSnapshot before = TakePointsSnapshot(*state_);
    generateDialog->exec();
    PushGeneratedStep(QStringLiteral("Generate Points"), std::move(before));
}

void TFormMain::actionGenerateNowExecute() {
    PointsSnapshot before = TakePointsSnapshot(*state_);
    GenerateAndRefresh();
    PushGeneratedStep(QStringLiteral("Generate Points"), std::move(before));
}

namespace {

const QString PointsFilter =
    QStringLiteral("Points (*.points);;Text Documents (*.txt);;All Files (*)");

}  // namespace

void TFormMain::actionLoadPointsExecute() {
    QString fileName;
    if (askOpenFileName) {
        fileName = askOpenFileName();
    } else {
        QFileDialog dialog(this, QStringLiteral("Open"), openFileName_, PointsFilter);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            fileName = dialog.selectedFiles().front();
    }
    // The default extension: a name typed without one that names no file means name.points.
    if (!fileName.isEmpty() && !QFileInfo::exists(fileName) &&
        QFileInfo(fileName).suffix().isEmpty())
        fileName += QStringLiteral(".points");
    if (!fileName.isEmpty())
        LoadPoints(fileName);
}

void TFormMain::actionSavePointsExecute() {
    QString fileName;
    if (askSaveFileName) {
        fileName = askSaveFileName();
    } else {
        QFileDialog dialog(this, QStringLiteral("Save As"), saveFileName_, PointsFilter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("points"));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            fileName = dialog.selectedFiles().front();
    }
    if (!fileName.isEmpty())
        SavePoints(fileName);
}

// A failed load or save is the outside world's doing, not the program's: the user is told, and
// the points stay as they were.
void TFormMain::LoadPoints(const QString& fileName) {
    PointsSnapshot before = TakePointsSnapshot(*state_);
    const FileResult result = OpenPointsFile(*state_, *host_, fileName.toStdU16String());
    switch (result.status) {
        case FileStatus::NotAFile:
            return;
        case FileStatus::Failed:
        case FileStatus::Refused:
            tellUser(true, QStringLiteral("Open Points"), QString::fromStdString(result.message));
            return;
        case FileStatus::Done:
            break;
    }
    PushPointsStep(QStringLiteral("Open Points"), std::move(before));
    UpdateControls();
    openFileName_ = fileName;
    saveFileName_ = fileName;
    undoStack_->setClean();
    // Skipped lines are said in the status bar; no message box interrupts the user.
    SetStatusLine(labelMessage, result.skippedLines > 0
                                    ? QStringLiteral("Loaded %1 points; %2 lines could not be read")
                                          .arg(result.points)
                                          .arg(result.skippedLines)
                                    : QString());
}

void TFormMain::SavePoints(const QString& fileName) {
    const FileResult result = SavePointsFile(fileName.toStdU16String(), state_->pointSet);
    if (result.status != FileStatus::Done) {
        tellUser(true, QStringLiteral("Save Points As"), QString::fromStdString(result.message));
        return;
    }
    openFileName_ = fileName;
    saveFileName_ = fileName;
    undoStack_->setClean();
}

}  // namespace kestro
