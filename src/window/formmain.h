// The main window: owns all working state and wires the controls, actions and menus to the
// operations of the core and the renderers of the views.
#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/units/glowny/state.h"

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QLabel;
class QMenu;
class QButtonGroup;
class QPushButton;
class QScrollBar;
class QSplitter;
class QTabWidget;
class QTimer;
class QToolButton;
class QWidget;

namespace kestro {

class TPaintBox;
class TGeneratePointsDlg;
class TdlgAbout;
class FormTrainingHost;

class TFormMain : public QMainWindow {
    Q_OBJECT

  public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    // The action of the given name (see ActionTable); asserts that it exists.
    QAction* Action(std::string_view name) const;

    // The working state (read by tests).
    KestroState& State() { return *state_; }

    // The About box that actionAbout shows (created once at start, after this window).
    void SetAboutBox(TdlgAbout* aboutBox) { aboutBox_ = aboutBox; }

    // The directory of the program file, with its trailing separator.
    std::string programDirectory;

    // --- controls ---
    QWidget* panelTop = nullptr;
    QToolButton* btnLearn = nullptr;
    QToolButton* sbtnLearnMode = nullptr;
    QPushButton* btnStop = nullptr;
    QLabel* labelErr = nullptr;
    QLabel* labelNi = nullptr;
    QLabel* labelAge = nullptr;
    QLabel* labelTime = nullptr;
    QLabel* imageLogo = nullptr;
    QTabWidget* pageControl = nullptr;
    QWidget* tsGeneral = nullptr;
    QWidget* tsLearn = nullptr;
    QWidget* tsDraw = nullptr;
    QComboBox* comboStructure = nullptr;
    TPaintBox* pbNet = nullptr;
    QScrollBar* scrollBarNi = nullptr;
    QScrollBar* scrollBarDown = nullptr;
    QScrollBar* scrollBarNiMin = nullptr;
    QScrollBar* scrollBarAlpha = nullptr;
    QWidget* panelNi = nullptr;
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
    QCheckBox* checkDrawErrK = nullptr;
    QCheckBox* checkDrawErrW = nullptr;
    QCheckBox* checkDrawErr = nullptr;
    QCheckBox* checkDrawNi = nullptr;
    QLabel* panelColorS = nullptr;
    QLabel* panelColor1 = nullptr;
    QLabel* panelColor2 = nullptr;
    QLabel* panelColorD = nullptr;
    QPushButton* btnGenerate = nullptr;
    QPushButton* btnClear = nullptr;
    TPaintBox* pbSignal = nullptr;
    QSplitter* splitterHorizontal = nullptr;
    TPaintBox* pbErr = nullptr;
    QMenu* popupMenuLearnMode = nullptr;
    QAction* miModeResetAtBeginning = nullptr;
    QAction* miViewCoordinateAxis = nullptr;
    QTimer* timerDraw = nullptr;
    TGeneratePointsDlg* generateDialog = nullptr;
    // The file dialogs' last files ("each dialog starts at the file last used by the other").
    QString openFileName;
    QString saveFileName;

    // --- handlers (also run by the start-up sequence and by tests) ---
    void FormShow();
    void actionNauczExecute();
    void actionStopExecute();
    void actionResetExecute();
    void miLearnModeClick(QAction* item);
    void miModeResetAtBeginningClick();
    void miPresetClick(QAction* item);
    void panelColorClick(QLabel* sender);
    void actionGenerateNowExecute();
    void actionClearPointsExecute();
    void actionLoadPointsExecute();
    void actionSavePointsExecute();
    // Loads and saves without the dialogs; the actions call these after their dialogs.
    void LoadPoints(const QString& fileName);
    void SavePoints(const QString& fileName);
    // Picks a file name for Open / Save; tests replace them to answer the dialogs.
    std::function<QString()> askOpenFileName;
    std::function<QString()> askSaveFileName;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    friend class FormTrainingHost;

    void FormCreate();
    void CreateActions();
    void CreateMenus();
    void CreateLayout();
    QWidget* CreateTopPanel();
    QWidget* CreateLeftPanel();
    QWidget* CreateLearnTab();
    QWidget* CreateDrawTab();
    QWidget* CreateShapePanel();

    void ActionMaximizeExecute();
    void actionMinimizeExecute();
    void actionExitExecute();
    void actionErrorExecute();
    void actionHelpF1Execute();
    void actionAboutExecute();
    void actionDistanceUpExecute();
    void actionDistanceDownExecute();
    void actionGenerateExecute();
    void actionViewCoordinatesExecute();
    void SetViewMode(int32_t rasterMode, bool showPoints);
    void scrollBarNiChange();
    void scrollBarNiMinChange();
    void scrollBarAlphaChange();
    void scrollBarDownChange();
    void checkAutoDecreaseClick();
    void checkMomentumClick();
    void sbtnLearnModeClick();
    void comboStructureChange();
    void comboDrawSpeedChange();
    void pbSignalMouseDown(Qt::KeyboardModifiers modifiers);
    void pbSignalClick(QPoint position);
    void pbSignalMouseMove();
    void timerDrawTimer();

    // The refresh after every change of the point set.
    void PointsChanged(bool redrawSignal);
    // Runs one generation with the dialog's options and refreshes; beeps when it failed.
    void GenerateAndRefresh();
    void UpdateEpochDownRateLabel();
    void UpdateStatus(int64_t totalMs, int64_t intervalMs);
    void DrawSignalView(int32_t step, int showPoints);
    void DrawSamplePoints(bool cursorCheck);
    void DrawNetworkDiagram();
    void DrawErrorGraph();
    // The cursor over pbSignal, if it is there.
    std::optional<QPoint> SignalCursor() const;
    void SetPanelSelected(QLabel* panel, bool selected);

    std::unique_ptr<KestroState> state_;
    std::unique_ptr<FormTrainingHost> host_;
    std::map<std::string_view, QAction*> actions_;
    QActionGroup* viewModeGroup_ = nullptr;
    QActionGroup* learnModeGroup_ = nullptr;
    QActionGroup* shapeGroup_ = nullptr;
    std::map<QAction*, int32_t> shapeTags_;
    bool shown_ = false;
    TdlgAbout* aboutBox_ = nullptr;
};

}  // namespace kestro
