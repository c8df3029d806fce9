// The main window: owns all working state and is a one-way view of it. A user action calls an
// operation of the core on the state; UpdateControls then writes the widgets from the state.
#pragma once

#include <QMainWindow>
#include <QMargins>
#include <QPoint>
#include <QSize>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/units/glowny/startup.h"
#include "core/units/glowny/state.h"
#include "window/actionid.h"

class QAbstractButton;
class QAction;
class QActionGroup;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QMenu;
class QPushButton;
class QScrollBar;
class QShortcut;
class QSplitter;
class QTabWidget;
class QTimer;
class QUndoStack;
class QToolButton;
class QWidget;

class FormMainTest;

namespace kestro {

class TElidedLabel;
class TPaintBox;
class TGeneratePointsDlg;
class TdlgAbout;
class FormTrainingHost;

class TFormMain : public QMainWindow {
    Q_OBJECT

  public:
    // seed: the random generator's seed; without one it is seeded from the clock, so that every
    // start differs.
    explicit TFormMain(QWidget* parent = nullptr, std::optional<uint32_t> seed = std::nullopt);
    ~TFormMain() override;

    // The action with the given id.
    QAction* Action(ActionId id) const { return actions_[static_cast<size_t>(id)]; }

    // The working state (read by tests).
    const KestroState& State() const { return *state_; }

    // The About box that actionAbout shows (created once at start, after this window).
    void SetAboutBox(TdlgAbout* aboutBox) { aboutBox_ = aboutBox; }

    // The directory of the program file, with its trailing separator.
    std::string programDirectory;

    // Picks a file name for Open / Save; tests replace them to answer the dialogs.
    std::function<QString()> askOpenFileName;
    std::function<QString()> askSaveFileName;
    // Asks for a new seed, showing the current one; tests replace it.
    std::function<std::optional<uint32_t>(uint32_t)> askSeed;
    // Picks a session file to open or (save) to write; tests replace it.
    std::function<QString(bool save)> askSessionFileName;
    // Picks the file an export writes to (title, filter, default suffix); tests replace it.
    std::function<QString(const QString&, const QString&, const QString&)> askExportFileName;
    // The seed the random generator was last seeded with.
    uint32_t Seed() const { return seed_; }
    // What closing answers when points changed by hand would be lost; tests replace it.
    enum class CloseAnswer { Save, Discard, Cancel };
    std::function<CloseAnswer()> askSaveBeforeClosing;
    // Tells the user something in a message box (a warning when `warning`); tests replace it.
    std::function<void(bool warning, const QString& title, const QString& text)> tellUser;

    // --- action handlers (ActionTable names them) ---
    void ActionMaximizeExecute();
    void actionMinimizeExecute();
    void actionStopExecute();
    void actionResetExecute();
    void actionNauczExecute();
    void actionLoadPointsExecute();
    void actionSavePointsExecute();
    void actionGenerateExecute();
    void actionGenerateNowExecute();
    void actionClearPointsExecute();
    void actionExitExecute();
    void actionDistanceUpExecute();
    void actionDistanceDownExecute();
    void actionAboutExecute();
    void actionViewCoordinatesExecute();
    void actionHelpF1Execute();
    void actionHelpOnlineExecute();
    void actionHelpVersionExecute();
    void actionHelpSupportExecute();
    void actionHelpWebExecute();
    void actionErrorExecute();
    void actionUndoExecute();
    void actionRedoExecute();
    void actionViewWeightColorsExecute();
    void actionSeedExecute();
    void actionExportPictureExecute();
    void actionRestartExecute();
    void actionOpenSessionExecute();
    void actionSaveSessionExecute();
    void actionExportHistoriesExecute();
    void actionExportNetworkExecute();
    void actionStepExecute();
    void actionContinueHereExecute();
    void actionBackToNowExecute();
    void actionViewWrongOnlyExecute();
    void actionViewLiveAnswerExecute();
    void actionViewStatusBarExecute();
    // Opens and saves a session without the dialogs.
    void OpenSession(const QString& fileName);
    void SaveSession(const QString& fileName);
    void actionViewFirstLayerLinesExecute();

    // Loads and saves without the dialogs; the actions call these after their dialogs.
    void LoadPoints(const QString& fileName);
    void SavePoints(const QString& fileName);

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    friend class FormTrainingHost;
    friend class ::FormMainTest;

    void FormCreate(std::optional<uint32_t> seed);
    // Places the window at its designed outer frame, inside the screen; frame: the widths of
    // the window manager's frame, empty while unknown.
    void PlaceWindow(const QMargins& frame);
    void FormShow();
    void CreateActions();
    void CreateMenus();
    void CreateShapeMenu(QMenu* shape);
    // The learn-mode pop-up of sbtnLearnMode.
    void CreateLearnModeMenu();
    void CreateLayout();
    QWidget* CreateTopPanel();
    QLayout* CreateStatusLabels();
    void CreateStatusBar();
    QWidget* CreateLeftPanel();
    QWidget* CreateLearnTab();
    QWidget* CreateDrawTab();
    QWidget* CreateShapePanel();

    // --- handlers of the controls ---
    void viewModeClick(QAction* item);
    void panelColorClick(int32_t tag);
    void miLearnModeClick(QAction* item);
    void miModeResetAtBeginningClick();
    void miPresetClick(QAction* item);
    void scrollBarNiChange(int position);
    void scrollBarNiMinChange(int position);
    void scrollBarAlphaChange(int position);
    void scrollBarDownChange(int position);
    void checkAutoDecreaseClick(bool checked);
    void checkMomentumClick(bool checked);
    void sbtnLearnModeClick();
    void comboStructureChange(int index);
    void comboDrawSpeedChange(int index);
    void comboPaceChange(int index);
    void pbSignalMouseDown(Qt::KeyboardModifiers modifiers);
    void pbSignalClick(QPoint position);
    void pbSignalMouseMove();
    void pbSignalResize();
    void pbNetMouseMove(QPoint position);
    void pbNetClick(QPoint position);
    // The error graph picks the kept network of the checkpoint under the cursor (final: the
    // button is up, so the full picture is drawn at once).
    void pbErrPick(QPoint position, bool final);
    void pbErrReleased();
    // Continue From Here, Back to Now and its key, by whether a picked epoch is shown.
    void UpdateTimelineActions();
    // Shows or refreshes the picture of the neuron under the cursor over the diagram.
    void UpdateNeuronPopup();
    void timerDrawTimer();

    // Writes every control from the state; signals are blocked meanwhile.
    void UpdateControls();
    // The Learn tab's controls.
    void UpdateLearnControls();
    // The learn mode, structure, draw speed, series, view, shape and class choices.
    void UpdateChoiceControls();
    // The refresh after every change of the point set.
    void PointsChanged(bool redrawAlways);
    // Records a change of the point set as one undo step named text; before: the points as
    // they were. Nothing is recorded when they did not change; returns whether a step was.
    // The undo stack is clean where the points are those last opened, saved or generated:
    // closing asks before it loses points changed by hand since.
    bool PushPointsStep(const QString& text, PointsSnapshot before);
    // The same for a generation, a shape or Clear, after which closing does not ask.
    void PushGeneratedStep(const QString& text, PointsSnapshot before);
    // Exchanges the points with a step's and refreshes (undo and redo).
    void SwapPointsStep(PointsSnapshot& snapshot);
    // Runs one generation with the dialog's options and refreshes; beeps when it failed.
    void GenerateAndRefresh();
    void UpdateStatus(int64_t totalMs, int64_t intervalMs);
    // Shows a status bar line with the text, or hides it when the text is empty.
    static void SetStatusLine(QLabel* line, const QString& text);
    void DrawSignalView(RasterMode raster, int cellSize, bool showPoints);
    void DrawSamplePoints(bool cursorCheck);
    void DrawNetworkDiagram();
    void DrawErrorGraph();
    // The cursor over pbSignal, if it is there.
    std::optional<QPoint> SignalCursor() const;

    std::unique_ptr<KestroState> state_;
    QUndoStack* undoStack_ = nullptr;
    std::unique_ptr<FormTrainingHost> host_;
    std::array<QAction*, ActionCount> actions_{};
    QActionGroup* viewModeGroup_ = nullptr;
    QActionGroup* learnModeGroup_ = nullptr;
    QActionGroup* shapeGroup_ = nullptr;
    bool shown_ = false;
    // The latest picture drawn on pbSignal, and the window size and graph height it was laid
    // out for: a resize of pbSignal alone comes from the status bar, not from the user.
    struct SignalPicture {
        RasterMode raster = RasterMode::None;
        int cellSize = 1;
        bool showPoints = true;
    } lastPicture_;
    QSize layoutWindowSize_;
    int layoutGraphHeight_ = -1;
    // The picked epoch's picture is a coarse frame still to be drawn in full.
    bool pickedCoarse_ = false;
    // Esc outside a run: back to now (Stop holds Esc during a run).
    QShortcut* shortcutBackToNow_ = nullptr;
    bool framePlaced_ = false;
    uint32_t seed_ = 0;
    TdlgAbout* aboutBox_ = nullptr;
    // The file dialogs' last files (each dialog starts at the file last used by the other).
    QString openFileName_;
    QString saveFileName_;

    // --- controls ---
    QWidget* panelTop = nullptr;
    QToolButton* btnLearn = nullptr;
    QToolButton* sbtnLearnMode = nullptr;
    QPushButton* btnStop = nullptr;
    TElidedLabel* labelErr = nullptr;
    TElidedLabel* labelNi = nullptr;
    TElidedLabel* labelAge = nullptr;
    TElidedLabel* labelTime = nullptr;
    QLabel* imageLogo = nullptr;
    QTabWidget* pageControl = nullptr;
    QComboBox* comboStructure = nullptr;
    TPaintBox* pbNet = nullptr;
    QScrollBar* scrollBarNi = nullptr;
    QScrollBar* scrollBarDown = nullptr;
    QScrollBar* scrollBarNiMin = nullptr;
    QScrollBar* scrollBarAlpha = nullptr;
    QWidget* panelNiDown = nullptr;
    QWidget* panelNiMin = nullptr;
    QWidget* panelAlpha = nullptr;
    QLabel* labelNiStart = nullptr;
    QLabel* labelDown = nullptr;
    QLabel* labelNiMin = nullptr;
    QLabel* labelAlpha = nullptr;
    QLabel* labelDRateP = nullptr;
    QCheckBox* checkAutoDecrease = nullptr;
    QCheckBox* checkMomentum = nullptr;
    QButtonGroup* radioGroupOrder = nullptr;
    QCheckBox* checkPremphaseErr = nullptr;
    QCheckBox* checkVerify = nullptr;
    QComboBox* comboDrawSpeed = nullptr;
    QComboBox* comboPace = nullptr;
    QCheckBox* checkDrawErrK = nullptr;
    QCheckBox* checkDrawErrW = nullptr;
    QCheckBox* checkDrawErr = nullptr;
    QCheckBox* checkDrawNi = nullptr;
    // The class panels, an exclusive group whose ids are the panels' tags.
    QButtonGroup* panelsColor = nullptr;
    QAbstractButton* panelColorS = nullptr;
    QAbstractButton* panelColor1 = nullptr;
    QAbstractButton* panelColor2 = nullptr;
    QAbstractButton* panelColorD = nullptr;
    TPaintBox* pbSignal = nullptr;
    QSplitter* splitterHorizontal = nullptr;
    TPaintBox* pbErr = nullptr;
    QMenu* popupMenuLearnMode = nullptr;
    QAction* miModeResetAtBeginning = nullptr;
    QTimer* timerDraw = nullptr;
    TGeneratePointsDlg* generateDialog = nullptr;
    // The status bar's lines: a picked epoch or the latest Step, the wrong answers per class,
    // the hint of a stalled run, and what the last points file read said.
    QLabel* labelDetail = nullptr;
    QLabel* labelClasses = nullptr;
    QLabel* labelHint = nullptr;
    QLabel* labelMessage = nullptr;
    // The picture and value of the neuron or connection under the cursor over the diagram.
    QLabel* neuronPopup = nullptr;
    int32_t hoverNeuron = -1;
    int32_t hoverIncoming = -1;
    QPoint hoverPosition;
};

}  // namespace kestro
