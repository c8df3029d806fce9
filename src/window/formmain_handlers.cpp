// The main window's handlers: thin glue between the controls and the core operations.
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <chrono>

#include "core/units/errors.h"
#include "core/units/glowny/pointsfile.h"
#include "core/units/glowny/startup.h"
#include "core/units/glowny/training.h"
#include "core/units/report.h"
#include "views/errorgraph.h"
#include "views/netdiagram.h"
#include "views/signalview.h"
#include "window/about.h"
#include "window/formmain.h"
#include "window/generatedialog.h"
#include "window/paintbox.h"
#include "window/shell.h"
#include "window/traininghost.h"

namespace kestro {

namespace {

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

void FormTrainingHost::DrawSignalView(int32_t step, bool showPoints) {
    form_.DrawSignalView(step, showPoints ? 1 : 0);
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
    for (const char* name :
         {"actionReset", "actionNaucz", "actionGenerateNow", "actionClearPoints", "actionGenerate"})
        form_.Action(name)->setEnabled(!running);
    form_.Action("actionStop")->setEnabled(running);
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
    host_ = std::make_unique<FormTrainingHost>(*this);
    for (QAction* action : shapeGroup_->actions())
        if (shapeTags_[action] == ShapeWave)
            action->trigger();
    for (QAction* action : learnModeGroup_->actions())
        if (action->data().toInt() == LearnModeNormal)
            action->trigger();
    Action("actionDrawAnswerPoints")->trigger();
    panelColorClick(panelColorS);
    comboStructure->setCurrentIndex(DefaultStructureIndex);
    comboStructureChange();
    comboDrawSpeed->setCurrentIndex(DefaultDrawSpeedIndex);
    comboDrawSpeedChange();
    checkAutoDecreaseClick();
    checkMomentumClick();
    scrollBarNiChange();
    scrollBarDownChange();
    scrollBarNiMinChange();
    scrollBarAlphaChange();
    actionResetExecute();
    btnLearn->setFocus();
}

void TFormMain::closeEvent(QCloseEvent* event) {
    // FormClose: a run in progress ends after its epoch; closing is never refused.
    state_->stopRequested = true;
    event->accept();
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == imageLogo) {
            Action("actionAbout")->trigger();
            return true;
        }
        for (QLabel* panel : {panelColorS, panelColor1, panelColor2, panelColorD})
            if (watched == panel) {
                panelColorClick(panel);
                return true;
            }
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- Network ---

void TFormMain::actionNauczExecute() {
    if (!host_)
        return;
    Learn(*state_, *host_);
}

void TFormMain::actionStopExecute() {
    RequestStop(*state_);
}

void TFormMain::actionResetExecute() {
    if (!host_)
        return;
    ResetNetwork(*state_, *host_);
}

void TFormMain::actionExitExecute() {
    state_->stopRequested = true;
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

void TFormMain::actionHelpF1Execute() {
    OpenLocalHelp(programDirectory);
}

void TFormMain::actionAboutExecute() {
    // Modal: a run in progress waits until the box is closed.
    if (aboutBox_)
        aboutBox_->exec();
}

// --- Learn tab and learn modes ---

void TFormMain::scrollBarNiChange() {
    labelNiStart->setText(
        QString::fromStdString(ScrollBarNiChange(state_->learnParameters, scrollBarNi->value())));
    state_->controls.niPosition = scrollBarNi->value();
}

void TFormMain::scrollBarNiMinChange() {
    labelNiMin->setText(QString::fromStdString(
        ScrollBarNiMinChange(state_->learnParameters, scrollBarNiMin->value())));
    state_->controls.niMinPosition = scrollBarNiMin->value();
}

void TFormMain::scrollBarAlphaChange() {
    labelAlpha->setText(QString::fromStdString(
        ScrollBarAlphaChange(state_->learnParameters, scrollBarAlpha->value())));
    state_->controls.alphaPosition = scrollBarAlpha->value();
}

void TFormMain::scrollBarDownChange() {
    labelDown->setText(QString::fromStdString(
        ScrollBarDownChange(state_->learnParameters, scrollBarDown->value())));
    state_->controls.downPosition = scrollBarDown->value();
    UpdateEpochDownRateLabel();
}

void TFormMain::checkAutoDecreaseClick() {
    const bool on = checkAutoDecrease->isChecked();
    state_->controls.autoDecrease = on;
    panelNiDown->setVisible(on);
    panelNiMin->setVisible(on);
    labelDRateP->setVisible(on);
}

void TFormMain::checkMomentumClick() {
    const bool on = checkMomentum->isChecked();
    state_->controls.momentum = on;
    panelAlpha->setVisible(on);
    if (on) {
        scrollBarAlphaChange();
    } else {
        CheckMomentumClick(state_->learnParameters, false, scrollBarAlpha->value());
    }
}

void TFormMain::sbtnLearnModeClick() {
    const QPoint corner(-sbtnLearnMode->x(), sbtnLearnMode->height());
    popupMenuLearnMode->popup(sbtnLearnMode->mapToGlobal(corner));
}

void TFormMain::miLearnModeClick(QAction* item) {
    const LearnModeItem* mode = FindLearnModeItem(item->data().toInt());
    KESTRO_ASSERT(mode != nullptr);
    state_->learnMode = mode->tag;
    item->setChecked(true);
    btnLearn->setText(
        QString::fromStdString(LearnButtonCaption(*mode, miModeResetAtBeginning->isChecked())));
}

void TFormMain::miModeResetAtBeginningClick() {
    // The action toggles its own check when triggered from the menu.
    const bool checked = miModeResetAtBeginning->isChecked();
    state_->controls.resetAtBeginning = checked;
    btnLearn->setText(
        QString::fromStdString(ToggledLearnButtonCaption(btnLearn->text().toStdString(), checked)));
}

void TFormMain::comboStructureChange() {
    ComboStructureChange(comboStructure->currentIndex());
    DrawNetworkDiagram();
}

void TFormMain::comboDrawSpeedChange() {
    ComboDrawSpeedChange(state_->drawPeriod, comboDrawSpeed->currentIndex());
}

void TFormMain::UpdateEpochDownRateLabel() {
    const EpochDownRateTexts texts =
        UpdateEpochDownRate(state_->learnParameters, state_->pointSet.count);
    labelDRateP->setText(QString::fromStdString(texts.label));
    labelDRateP->setToolTip(QString::fromStdString(texts.hint));
}

void TFormMain::UpdateStatus(int64_t totalMs, int64_t intervalMs) {
    const QString separator = QLocale().decimalPoint();
    const StatusTexts texts =
        MakeStatusTexts(*state_, totalMs, intervalMs, separator.toStdString());
    labelTime->setText(QString::fromStdString(texts.time));
    labelNi->setText(QString::fromStdString(texts.ni));
    labelErr->setText(QString::fromStdString(texts.error));
    labelAge->setText(QString::fromStdString(texts.age));
    panelColorS->setText(QString::number(texts.counts.total));
    panelColor1->setText(QString::number(texts.counts.class1));
    panelColor2->setText(QString::number(texts.counts.class2));
    // Labels repaint now too, so that a run shows them while it keeps the event loop busy.
    for (QWidget* label : {static_cast<QWidget*>(labelTime), static_cast<QWidget*>(labelNi),
                           static_cast<QWidget*>(labelErr), static_cast<QWidget*>(labelAge)})
        label->repaint();
    DrawNetworkDiagram();
    DrawErrorGraph();
}

// --- View ---

void TFormMain::SetViewMode(int32_t rasterMode, bool showPoints) {
    state_->rasterMode = rasterMode;
    state_->showPoints = showPoints;
    if (!state_->learning)
        DrawSignalView(state_->rasterMode, state_->showPoints ? 1 : 0);
}

void TFormMain::actionViewCoordinatesExecute() {
    // The action is checkable: triggering it has toggled the check.
    if (!state_->learning)
        DrawSignalView(state_->rasterMode, state_->showPoints ? 1 : 0);
}

std::optional<QPoint> TFormMain::SignalCursor() const {
    const QPoint position = pbSignal->mapFromGlobal(QCursor::pos());
    if (!pbSignal->underMouse() && !pbSignal->rect().contains(position))
        return std::nullopt;
    return position;
}

namespace {

SignalViewInput MakeSignalInput(const KestroState& state, bool axes, std::optional<QPoint> cursor) {
    SignalViewInput input;
    input.points = &state.pointSet;
    input.showAxes = axes;
    input.cursor = cursor;
    input.brushRadius = state.editState.brushRadius;
    input.selectedClass = state.editState.selectedClass;
    input.presentationCount = static_cast<int32_t>(
        std::min<int64_t>(state.presentationCount, std::numeric_limits<int32_t>::max()));
    return input;
}

}  // namespace

void TFormMain::DrawSignalView(int32_t step, int showPoints) {
    SignalViewInput input =
        MakeSignalInput(*state_, miViewCoordinateAxis->isChecked(), SignalCursor());
    input.step = step;
    input.showPoints = showPoints;
    if (kestro::DrawSignalView(input, pbSignal->Surface()))
        timerDraw->start();
    pbSignal->RepaintNow();
}

void TFormMain::DrawSamplePoints(bool cursorCheck) {
    const SignalViewInput input =
        MakeSignalInput(*state_, miViewCoordinateAxis->isChecked(), SignalCursor());
    if (kestro::DrawSamplePoints(input, cursorCheck, pbSignal->Surface()))
        timerDraw->start();
    pbSignal->RepaintNow();
}

void TFormMain::DrawNetworkDiagram() {
    kestro::DrawNetworkDiagram(CurrentNetworkSummary(), SystemDiagramColors(), pbNet->Surface());
    pbNet->RepaintNow();
}

void TFormMain::DrawErrorGraph() {
    const ErrorHistory* series = state_->histories.series;
    ErrorGraphInput input;
    input.meanSquaredError.history = &series[MseSeries];
    input.meanSquaredError.visible = checkDrawErrK->isChecked();
    input.verifyError.history = &series[VerifySeries];
    input.verifyError.visible = checkDrawErrW->isChecked();
    input.classificationError.history = &series[ErrorSeries];
    input.classificationError.visible = checkDrawErr->isChecked();
    input.ni.history = &series[NiSeries];
    input.ni.visible = checkDrawNi->isChecked();
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

void TFormMain::SetPanelSelected(QLabel* panel, bool selected) {
    panel->setFrameShadow(selected ? QFrame::Sunken : QFrame::Raised);
    QFont font = panel->font();
    font.setBold(selected);
    panel->setFont(font);
}

void TFormMain::panelColorClick(QLabel* sender) {
    for (QLabel* panel : {panelColorS, panelColor1, panelColor2, panelColorD})
        SetPanelSelected(panel, false);
    if (sender == nullptr)
        return;
    SetPanelSelected(sender, true);
    SelectClass(state_->editState, sender->property("tag").toInt());
}

void TFormMain::pbSignalMouseDown(Qt::KeyboardModifiers modifiers) {
    state_->editState.sprayModifier = modifiers.testFlag(Qt::ControlModifier);
}

void TFormMain::pbSignalClick(QPoint position) {
    const ClickResult result =
        ClickPoints(state_->pointSet, state_->editState, state_->shapeState, position.x(),
                    position.y(), pbSignal->width(), pbSignal->height());
    if (!result.handled)
        return;
    PointsChanged(false);
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
    ClearPoints(state_->pointSet);
    PointsChanged(true);
}

void TFormMain::PointsChanged(bool redrawSignal) {
    UpdateEpochDownRateLabel();
    UpdateStatus(0, 0);
    if (redrawSignal || !state_->learning)
        DrawSignalView(0, 1);
}

void TFormMain::GenerateAndRefresh() {
    const bool done = GeneratePoints(state_->generateOptions, state_->shapeState, state_->pointSet,
                                     state_->verifySet);
    PointsChanged(true);
    if (!done)
        Beep();
}

void TFormMain::miPresetClick(QAction* item) {
    item->setChecked(true);
    const bool done = PickShape(shapeTags_[item], state_->generateOptions, state_->shapeState,
                                state_->pointSet, state_->verifySet);
    PointsChanged(true);
    if (!done)
        Beep();
}

void TFormMain::actionGenerateExecute() {
    generateDialog->exec();
}

void TFormMain::actionGenerateNowExecute() {
    GenerateAndRefresh();
}

namespace {

const QString PointsFilter =
    QStringLiteral("Points (*.points);;Text Documents (*.txt);;All Files (*)");

}  // namespace

void TFormMain::actionLoadPointsExecute() {
    const QString fileName = askOpenFileName
                                 ? askOpenFileName()
                                 : QFileDialog::getOpenFileName(this, QStringLiteral("Open"),
                                                                openFileName, PointsFilter);
    if (!fileName.isEmpty())
        LoadPoints(fileName);
}

void TFormMain::actionSavePointsExecute() {
    QString fileName;
    if (askSaveFileName) {
        fileName = askSaveFileName();
    } else {
        QFileDialog dialog(this, QStringLiteral("Save As"), saveFileName, PointsFilter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("points"));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            fileName = dialog.selectedFiles().front();
    }
    if (!fileName.isEmpty())
        SavePoints(fileName);
}

void TFormMain::LoadPoints(const QString& fileName) {
    if (!host_)
        return;
    const FileResult result = OpenPointsFile(*state_, *host_, fileName.toStdU16String());
    if (result.status == FileStatus::NotAFile)
        return;
    UpdateEpochDownRateLabel();
    saveFileName = fileName;
    if (result.status == FileStatus::Failed)
        throw Exception("EFOpenError", result.message);
}

void TFormMain::SavePoints(const QString& fileName) {
    const FileResult result = SavePointsFile(fileName.toStdU16String(), state_->pointSet);
    if (result.status == FileStatus::Failed)
        throw Exception("EFCreateError", result.message);
    openFileName = fileName;
}

}  // namespace kestro
