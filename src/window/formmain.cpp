// The main window's construction: actions, menus and layout.
#include "window/formmain.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMoveEvent>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>

#include "core/units/errors.h"
#include "core/units/glowny/training.h"
#include "core/units/info.h"
#include "core/units/product.h"
#include "core/units/random.h"
#include "core/units/weblinks.h"
#include "views/errorgraph.h"
#include "views/qtext.h"
#include "views/signalview.h"
#include "window/actiontable.h"
#include "window/colorpanel.h"
#include "window/elidedlabel.h"
#include "window/flowlayout.h"
#include "window/generatedialog.h"
#include "window/icons.h"
#include "window/paintbox.h"
#include "window/seeddialog.h"
#include "window/shell.h"
#include "window/traininghost.h"

namespace kestro {

namespace {

// The outer frame's designed place and size, and its smallest size.
constexpr QRect DesignedFrame(421, 139, 593, 643);
constexpr QSize MinimumFrame(300, 300);

// The left panel's width: the pages are laid out for it.
constexpr int LeftPanelWidth = 185;

// Steps of the point set that Undo can take back; each holds at most one set of MaxPoints.
constexpr int UndoSteps = 100;

// A page in a scroll area without a frame, scrolling only when the page does not fit.
// The application's style, but drop-down lists open as lists of their maximum visible rows.
class ListPopupStyle : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// A page that scrolls vertically when the window is too low for it.
QScrollArea* Scrolling(QWidget* page) {
    auto* area = new QScrollArea;
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setWidget(page);
    return area;
}

// A fixed-size label with the given text.
QLabel* MakeLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return label;
}

// A horizontal scroll bar of the Learn tab in its own panel, with its legend and value label.
QWidget* MakeScrollPanel(const ScrollBarInfo& info, QScrollBar*& bar, QLabel*& valueLabel,
                         QWidget* parent) {
    auto* panel = new QWidget(parent);
    auto* layout = new QGridLayout(panel);
    layout->setContentsMargins(0, 2, 0, 2);
    layout->setVerticalSpacing(1);
    layout->addWidget(new QLabel(QText(info.caption), panel), 0, 0);
    valueLabel = new QLabel(panel);
    valueLabel->setAlignment(Qt::AlignRight);
    layout->addWidget(valueLabel, 0, 1);
    bar = new QScrollBar(Qt::Horizontal, panel);
    bar->setObjectName(QText(info.name));
    bar->setRange(info.min, info.max);
    bar->setPageStep(info.largeChange);
    bar->setValue(info.position);
    layout->addWidget(bar, 1, 0, 1, 2);
    return panel;
}

// A button that shows an action: a click triggers it, and it is enabled exactly when the action is.
void BindButton(QAbstractButton* button, QAction* action) {
    QObject::connect(button, &QAbstractButton::clicked, action, &QAction::trigger);
    QObject::connect(action, &QAction::changed, button,
                     [button, action] { button->setEnabled(action->isEnabled()); });
    button->setEnabled(action->isEnabled());
}

}  // namespace

TFormMain::TFormMain(QWidget* parent, std::optional<uint32_t> seed)
    : QMainWindow(parent), state_(std::make_unique<KestroState>()) {
    PlaceWindow(QMargins());
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(13);
    setFont(font);
    CreateActions();
    CreateMenus();
    CreateLayout();
    host_ = std::make_unique<FormTrainingHost>(*this);
    askSeed = [this](uint32_t current) { return TSeedDialog::Ask(this, current); };
    askSessionFileName = [this](bool save) {
        QFileDialog dialog(this,
                           save ? QStringLiteral("Save Session") : QStringLiteral("Open Session"),
                           QString(), QStringLiteral("Sessions (*.kestro);;All Files (*)"));
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog.setDefaultSuffix(QStringLiteral("kestro"));
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().front()
                   : QString();
    };
    askExportFileName = [this](const QString& title, const QString& filter, const QString& suffix) {
        QFileDialog dialog(this, title, QString(), filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(suffix);
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().front()
                   : QString();
    };
    askSaveBeforeClosing = [this] {
        switch (QMessageBox::question(
            this, QText(ProductName), QStringLiteral("Save the points before closing?"),
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save)) {
            case QMessageBox::Save:
                return CloseAnswer::Save;
            case QMessageBox::Discard:
                return CloseAnswer::Discard;
            default:
                return CloseAnswer::Cancel;
        }
    };
    tellUser = [this](bool warning, const QString& title, const QString& text) {
        if (warning)
            QMessageBox::warning(this, title, text);
        else
            QMessageBox::information(this, title, text);
    };
    FormCreate(seed);
}

void TFormMain::PlaceWindow(const QMargins& frame) {
    // The designed place and size are those of the outer frame; the frame's width is left out
    // of the inner size where the platform reports it, and the whole window stays on the screen.
    const QSize frameSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    setMinimumSize(MinimumFrame - frameSize);
    QRect outer = DesignedFrame;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        outer.setSize(outer.size().boundedTo(available.size()));
        outer.moveLeft(
            std::clamp(outer.left(), available.left(), available.right() + 1 - outer.width()));
        outer.moveTop(
            std::clamp(outer.top(), available.top(), available.bottom() + 1 - outer.height()));
    }
    resize(outer.size() - frameSize);
    move(outer.topLeft());  // a window's position is that of its frame
}

void TFormMain::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    // The first time the window manager's frame is known, the designed outer size applies.
    const QRect frame = frameGeometry(), inner = geometry();
    if (!framePlaced_ && frame != inner) {
        framePlaced_ = true;
        if (!isMaximized() && !isFullScreen())
            PlaceWindow(QMargins(inner.left() - frame.left(), inner.top() - frame.top(),
                                 frame.right() - inner.right(), frame.bottom() - inner.bottom()));
    }
}

void TFormMain::FormCreate(std::optional<uint32_t> seed) {
    setWindowTitle(QText(ProductTitle));
    QApplication::setApplicationDisplayName(QString());
    if (seed)
        SetRandomSeed(*seed);
    else
        RandomizeFromClock();
    seed_ = RandomSeed();
    pageControl->setCurrentIndex(0);
    programDirectory = (QCoreApplication::applicationDirPath() + QLatin1Char('/')).toStdString();
    // A hint stays up 6 seconds.
    for (QWidget* child : findChildren<QWidget*>())
        child->setToolTipDuration(6000);
    imageLogo->setPixmap(ApplicationIcon().pixmap(32, 32));
    imageLogo->setToolTip(QStringLiteral("About ") + QText(ProductName));
    *state_ = KestroState{};
    ResetHistories(state_->histories);
    UpdateControls();
}

void TFormMain::CreateActions() {
    for (const ActionSpec& entry : ActionTable) {
        auto* action = new QAction(QText(entry.caption), this);
        action->setObjectName(QText(entry.name));
        if (!entry.hint.empty())
            action->setToolTip(QText(entry.hint));
        action->setShortcut(QKeySequence(entry.shortcut));
        if (!entry.icon.empty())
            action->setIcon(ActionIcon(entry.icon));
        // Shortcuts work wherever the main window has the focus, menu item or not.
        addAction(action);
        if (entry.handler)
            connect(action, &QAction::triggered, this, entry.handler);
        actions_[static_cast<size_t>(entry.id)] = action;
    }
    Action(ActionId::actionStop)->setEnabled(false);
    Action(ActionId::actionViewCoordinates)->setCheckable(true);
    Action(ActionId::actionViewWeightColors)->setCheckable(true);
    Action(ActionId::actionViewFirstLayerLines)->setCheckable(true);
    Action(ActionId::actionViewWrongOnly)->setCheckable(true);
    Action(ActionId::actionViewLiveAnswer)->setCheckable(true);
    Action(ActionId::actionViewStatusBar)->setCheckable(true);
    Action(ActionId::actionViewStatusBar)->setChecked(true);
    shortcutBackToNow_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    shortcutBackToNow_->setEnabled(false);
    connect(shortcutBackToNow_, &QShortcut::activated, this, &TFormMain::actionBackToNowExecute);

    // Undo and Redo of the point set: enabled while there is a step, named after it.
    undoStack_ = new QUndoStack(this);
    undoStack_->setUndoLimit(UndoSteps);
    QAction* undo = Action(ActionId::actionUndo);
    QAction* redo = Action(ActionId::actionRedo);
    redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    undo->setEnabled(false);
    redo->setEnabled(false);
    connect(undoStack_, &QUndoStack::canUndoChanged, undo, &QAction::setEnabled);
    connect(undoStack_, &QUndoStack::canRedoChanged, redo, &QAction::setEnabled);
    connect(undoStack_, &QUndoStack::undoTextChanged, undo, [undo](const QString& text) {
        undo->setText(text.isEmpty() ? QStringLiteral("Undo") : QStringLiteral("Undo ") + text);
    });
    connect(undoStack_, &QUndoStack::redoTextChanged, redo, [redo](const QString& text) {
        redo->setText(text.isEmpty() ? QStringLiteral("Redo") : QStringLiteral("Redo ") + text);
    });

    // The view modes: one radio group; each action carries its index in ViewModes.
    viewModeGroup_ = new QActionGroup(this);
    for (size_t i = 0; i < ViewModes.size(); ++i) {
        QAction* action = Action(ViewModes[i].action);
        action->setCheckable(true);
        action->setData(static_cast<int>(i));
        viewModeGroup_->addAction(action);
    }
    connect(viewModeGroup_, &QActionGroup::triggered, this, &TFormMain::viewModeClick);
    // The class selections: each action carries its panel's tag.
    for (const ClassActionSpec& item : ClassActions) {
        QAction* action = Action(item.action);
        action->setData(item.tag);
        connect(action, &QAction::triggered, this,
                [this, tag = item.tag] { panelColorClick(tag); });
    }
}

namespace {

// A place in a menu's list: an action, or a separator.
struct MenuEntry {
    std::optional<ActionId> action;
};
constexpr MenuEntry Separator{};

// Adds the entries to the menu in order.
void AddEntries(QMenu* menu, const TFormMain& form, std::initializer_list<MenuEntry> entries) {
    for (const MenuEntry& entry : entries) {
        if (entry.action)
            menu->addAction(form.Action(*entry.action));
        else
            menu->addSeparator();
    }
}

// A menu of the menu bar with its object name.
QMenu* AddMenu(QMenuBar* bar, const QString& title, const QString& name) {
    QMenu* menu = bar->addMenu(title);
    menu->setObjectName(name);
    return menu;
}

}  // namespace

void TFormMain::CreateMenus() {
    using enum ActionId;
    QMenuBar* bar = menuBar();
    AddEntries(AddMenu(bar, QStringLiteral("Network"), QStringLiteral("miNetwork")), *this,
               {{actionStop},
                {actionReset},
                {actionRestart},
                {actionSeed},
                Separator,
                {actionNaucz},
                {actionStep},
                Separator,
                {actionContinueHere},
                {actionBackToNow},
                Separator,
                {actionExit}});

    CreateShapeMenu(AddMenu(bar, QStringLiteral("Shape"), QStringLiteral("miShape")));

    QMenu* points = AddMenu(bar, QStringLiteral("Points"), QStringLiteral("miPoints"));
    AddEntries(points, *this,
               {{actionLoadPoints},
                {actionSavePoints},
                Separator,
                {actionOpenSession},
                {actionSaveSession},
                Separator,
                {actionExportPicture},
                {actionExportHistories},
                {actionExportNetwork},
                Separator});
    QMenu* selectClass = points->addMenu(QStringLiteral("Select Class"));
    selectClass->setObjectName(QStringLiteral("miSelectClass"));
    AddEntries(selectClass, *this,
               {{actionSelectClassShape}, {actionSelectClass1}, {actionSelectClass2}});
    AddEntries(points, *this,
               {{actionSelectClassDelete},
                Separator,
                {actionGenerate},
                {actionGenerateNow},
                {actionClearPoints},
                Separator,
                {actionUndo},
                {actionRedo}});

    AddEntries(AddMenu(bar, QStringLiteral("View"), QStringLiteral("miView")), *this,
               {{ActionMaximize},
                {actionMinimize},
                Separator,
                {actionViewCoordinates},
                Separator,
                {actionDrawPoints},
                {actionDrawAnswerPoints},
                {actionDrawAreasPoints},
                {actionDrawAnswer},
                {actionDrawAreas},
                Separator,
                {actionDrawNeuron},
                {actionViewWeightColors},
                {actionViewFirstLayerLines},
                {actionViewWrongOnly},
                Separator,
                {actionViewLiveAnswer},
                {actionViewStatusBar}});

    AddEntries(AddMenu(bar, QStringLiteral("Help"), QStringLiteral("miHelp")), *this,
               {{actionHelpF1},
                {actionHelpOnline},
                Separator,
                {actionHelpVersion},
                {actionHelpSupport},
                Separator,
                {actionHelpWeb},
                {actionAbout}});
    CreateLearnModeMenu();
}

void TFormMain::CreateShapeMenu(QMenu* shape) {
    shapeGroup_ = new QActionGroup(this);
    for (const ShapeMenuItem& item : ShapeMenu) {
        if (item.separatorBefore)
            shape->addSeparator();
        QAction* action = shape->addAction(QText(item.caption));
        action->setObjectName(QText(item.itemName));
        action->setCheckable(true);
        action->setVisible(item.visible);
        action->setData(item.tag);
        shapeGroup_->addAction(action);
    }
    connect(shapeGroup_, &QActionGroup::triggered, this, &TFormMain::miPresetClick);
}

void TFormMain::CreateLearnModeMenu() {
    // The learn-mode pop-up of sbtnLearnMode.
    popupMenuLearnMode = new QMenu(this);
    popupMenuLearnMode->setObjectName(QStringLiteral("popupMenuLearnMode"));
    miModeResetAtBeginning = popupMenuLearnMode->addAction(QText(ResetAtBeginningCaption));
    miModeResetAtBeginning->setObjectName(QText(ResetAtBeginningName));
    miModeResetAtBeginning->setCheckable(true);
    connect(miModeResetAtBeginning, &QAction::triggered, this,
            &TFormMain::miModeResetAtBeginningClick);
    learnModeGroup_ = new QActionGroup(this);
    for (const LearnModeItem& item : LearnModeItems) {
        if (item.separatorBefore)
            popupMenuLearnMode->addSeparator();
        QAction* action = popupMenuLearnMode->addAction(QText(item.caption));
        action->setObjectName(QText(item.name));
        action->setData(item.tag);
        action->setCheckable(true);
        learnModeGroup_->addAction(action);
    }
    connect(learnModeGroup_, &QActionGroup::triggered, this, &TFormMain::miLearnModeClick);
}

void TFormMain::CreateLayout() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(CreateTopPanel());

    auto* middle = new QWidget(central);
    auto* middleLayout = new QHBoxLayout(middle);
    middleLayout->setContentsMargins(0, 0, 0, 0);
    middleLayout->setSpacing(0);
    middleLayout->addWidget(CreateLeftPanel());
    middleLayout->addWidget(CreateShapePanel(), 1);

    pbErr = new TPaintBox(central);
    pbErr->setObjectName(QStringLiteral("pbErr"));
    pbErr->setMinimumHeight(50);
    splitterHorizontal = new QSplitter(Qt::Vertical, central);
    splitterHorizontal->setObjectName(QStringLiteral("splitterHorizontal"));
    splitterHorizontal->setHandleWidth(3);
    splitterHorizontal->setChildrenCollapsible(false);
    splitterHorizontal->setOpaqueResize(true);
    splitterHorizontal->addWidget(middle);
    splitterHorizontal->addWidget(pbErr);
    splitterHorizontal->setStretchFactor(0, 1);
    splitterHorizontal->setStretchFactor(1, 0);
    splitterHorizontal->setSizes({480, 100});
    middle->setMinimumHeight(50);
    layout->addWidget(splitterHorizontal, 1);
    setCentralWidget(central);
    CreateStatusBar();

    connect(pbErr, &TPaintBox::resized, this, &TFormMain::DrawErrorGraph);
    // Clicking or dragging on the graph picks a kept epoch.
    pbErr->setToolTip(QStringLiteral("Click or drag to see the network of an earlier epoch"));
    connect(pbErr, &TPaintBox::pressed, this, [this](QPoint p) { pbErrPick(p, false); });
    connect(pbErr, &TPaintBox::dragged, this, [this](QPoint p) { pbErrPick(p, false); });
    connect(pbErr, &TPaintBox::released, this, &TFormMain::pbErrReleased);

    timerDraw = new QTimer(this);
    timerDraw->setInterval(200);
    connect(timerDraw, &QTimer::timeout, this, &TFormMain::timerDrawTimer);
}

QWidget* TFormMain::CreateTopPanel() {
    panelTop = new QWidget(this);
    panelTop->setObjectName(QStringLiteral("panelTop"));
    panelTop->setFixedHeight(57);
    auto* layout = new QHBoxLayout(panelTop);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);

    btnLearn = new QToolButton(panelTop);
    btnLearn->setText(QStringLiteral("Learn"));
    btnLearn->setObjectName(QStringLiteral("btnLearn"));
    btnLearn->setFixedSize(103, 53);
    btnLearn->setIcon(Action(ActionId::actionNaucz)->icon());
    btnLearn->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    btnLearn->setFocusPolicy(Qt::StrongFocus);
    BindButton(btnLearn, Action(ActionId::actionNaucz));
    sbtnLearnMode = new QToolButton(panelTop);
    sbtnLearnMode->setObjectName(QStringLiteral("sbtnLearnMode"));
    sbtnLearnMode->setFixedSize(22, 53);
    sbtnLearnMode->setAutoRaise(true);
    sbtnLearnMode->setIcon(LearnModeArrow());
    connect(sbtnLearnMode, &QToolButton::clicked, this, &TFormMain::sbtnLearnModeClick);
    btnStop = new QPushButton(QStringLiteral("Stop"), panelTop);
    btnStop->setObjectName(QStringLiteral("btnStop"));
    btnStop->setFixedHeight(53);
    // Stop gives way down to its caption's width in a narrow window.
    btnStop->setMinimumWidth(btnStop->fontMetrics().horizontalAdvance(btnStop->text()) + 12);
    BindButton(btnStop, Action(ActionId::actionStop));
    layout->addWidget(btnLearn);
    layout->addWidget(sbtnLearnMode);
    layout->addSpacing(4);
    layout->addWidget(btnStop);
    layout->addSpacing(8);

    layout->addLayout(CreateStatusLabels());
    // The run time and speed take the room left, right-aligned; they elide when narrow.
    layout->addSpacing(6);
    labelTime = new TElidedLabel(panelTop);
    labelTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(labelTime, 1);
    imageLogo = new QLabel(panelTop);
    imageLogo->setObjectName(QStringLiteral("imageLogo"));
    imageLogo->setFixedSize(49, 53);
    imageLogo->setAlignment(Qt::AlignCenter);
    imageLogo->setCursor(Qt::PointingHandCursor);
    imageLogo->installEventFilter(this);
    layout->addWidget(imageLogo);
    return panelTop;
}

// The three status lines: legends and values.
QLayout* TFormMain::CreateStatusLabels() {
    auto* status = new QGridLayout;
    status->setHorizontalSpacing(4);
    status->setVerticalSpacing(0);
    auto* errorLegend = MakeLabel(QStringLiteral("Error:"), panelTop);
    errorLegend->setToolTip(QStringLiteral("Classification Error"));
    // The values give way first when the window is narrow: they elide and show their whole
    // text as their hint.
    labelErr = new TElidedLabel(panelTop);
    labelNi = new TElidedLabel(panelTop);
    labelAge = new TElidedLabel(panelTop);
    status->addWidget(errorLegend, 0, 0);
    status->addWidget(labelErr, 0, 1);
    status->addWidget(MakeLabel(QStringLiteral("ni:"), panelTop), 1, 0);
    status->addWidget(labelNi, 1, 1);
    status->addWidget(MakeLabel(QStringLiteral("Age:"), panelTop), 2, 0);
    status->addWidget(labelAge, 2, 1);
    return status;
}

// The status bar along the window's bottom: what a picked epoch or the latest Step shows, the
// wrong answers per class, the hint of a stalled run and what the last file read said, each on
// a line of its own that wraps rather than cuts; empty lines are hidden.
void TFormMain::CreateStatusBar() {
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("statusBar"));
    bar->setSizeGripEnabled(false);
    auto* lines = new QWidget(bar);
    auto* layout = new QVBoxLayout(lines);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(0);
    const auto line = [&](const QString& name) {
        auto* label = new QLabel(lines);
        label->setObjectName(name);
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        label->hide();
        layout->addWidget(label);
        return label;
    };
    labelDetail = line(QStringLiteral("labelDetail"));
    labelClasses = line(QStringLiteral("labelClasses"));
    labelHint = line(QStringLiteral("labelHint"));
    QPalette hintPalette = labelHint->palette();
    hintPalette.setColor(QPalette::WindowText, QColor(192, 0, 0));
    labelHint->setPalette(hintPalette);
    labelMessage = line(QStringLiteral("labelMessage"));
    // One line high at least, so that the bar does not come and go with its texts.
    lines->setMinimumHeight(lines->fontMetrics().height() + 2);
    bar->addWidget(lines, 1);
    setStatusBar(bar);
}

QWidget* TFormMain::CreateLeftPanel() {
    auto* panelLeft = new QWidget(this);
    panelLeft->setObjectName(QStringLiteral("panelLeft"));
    panelLeft->setFixedWidth(LeftPanelWidth);
    auto* layout = new QVBoxLayout(panelLeft);
    layout->setContentsMargins(0, 0, 0, 0);
    pageControl = new QTabWidget(panelLeft);
    pageControl->setObjectName(QStringLiteral("pageControl"));
    // Three tabs fit the 185-pixel panel with a slightly smaller font.
    QFont tabFont = pageControl->tabBar()->font();
    tabFont.setPixelSize(12);
    pageControl->tabBar()->setFont(tabFont);
    pageControl->tabBar()->setUsesScrollButtons(false);
    layout->addWidget(pageControl);

    auto* tsGeneral = new QWidget;
    auto* general = new QVBoxLayout(tsGeneral);
    general->setContentsMargins(2, 2, 2, 0);
    general->setSpacing(2);
    general->addWidget(new QLabel(QStringLiteral("Network Structure"), tsGeneral));
    comboStructure = new QComboBox(tsGeneral);
    comboStructure->setObjectName(QStringLiteral("comboStructure"));
    comboStructure->setMaxVisibleItems(20);
    // A list of 20 rows, not the style's menu as tall as the screen.
    auto* listStyle = new ListPopupStyle;
    listStyle->setParent(comboStructure);
    comboStructure->setStyle(listStyle);
    for (std::string_view text : StructureTexts)
        comboStructure->addItem(QText(text));
    connect(comboStructure, &QComboBox::activated, this, &TFormMain::comboStructureChange);
    general->addWidget(comboStructure);
    pbNet = new TPaintBox(tsGeneral);
    pbNet->setObjectName(QStringLiteral("pbNet"));
    pbNet->setFixedSize(177, 330);
    general->addWidget(pbNet);
    connect(pbNet, &TPaintBox::resized, this, &TFormMain::DrawNetworkDiagram);
    connect(pbNet, &TPaintBox::mouseMoved, this, &TFormMain::pbNetMouseMove);
    connect(pbNet, &TPaintBox::clicked, this, &TFormMain::pbNetClick);
    connect(pbNet, &TPaintBox::left, this, [this] {
        hoverNeuron = -1;
        UpdateNeuronPopup();
    });
    // The picture of the neuron under the cursor, beside the diagram.
    neuronPopup = new QLabel(this, Qt::ToolTip);
    neuronPopup->setObjectName(QStringLiteral("neuronPopup"));
    neuronPopup->setFrameStyle(QFrame::Box);
    neuronPopup->setAlignment(Qt::AlignCenter);
    neuronPopup->setMargin(3);
    neuronPopup->hide();
    general->addStretch(1);
    // Each page scrolls when the window is too low for it; the panel widens by a scroll bar's
    // width while the page shown needs one, so that the page keeps its full width.
    const auto fit = [this, panelLeft] {
        const auto* area = static_cast<QScrollArea*>(pageControl->currentWidget());
        const QScrollBar* bar = area->verticalScrollBar();
        panelLeft->setFixedWidth(LeftPanelWidth +
                                 (bar->maximum() > 0 ? bar->sizeHint().width() : 0));
    };
    const std::pair<QWidget*, QString> pages[] = {{tsGeneral, QStringLiteral("Network")},
                                                  {CreateLearnTab(), QStringLiteral("Learn")},
                                                  {CreateDrawTab(), QStringLiteral("Draw")}};
    for (const auto& [page, caption] : pages) {
        QScrollArea* area = Scrolling(page);
        connect(area->verticalScrollBar(), &QScrollBar::rangeChanged, this, fit,
                Qt::QueuedConnection);
        pageControl->addTab(area, caption);
    }
    connect(pageControl, &QTabWidget::currentChanged, this, fit, Qt::QueuedConnection);
    return panelLeft;
}

QWidget* TFormMain::CreateLearnTab() {
    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(2, 4, 2, 4);
    layout->setSpacing(2);
    QWidget* panelNi = MakeScrollPanel(ScrollBarNiInfo, scrollBarNi, labelNiStart, tab);
    layout->addWidget(panelNi);
    checkAutoDecrease = new QCheckBox(QStringLiteral("Auto Decrease"), tab);
    layout->addWidget(checkAutoDecrease);
    panelNiDown = MakeScrollPanel(ScrollBarDownInfo, scrollBarDown, labelDown, tab);
    layout->addWidget(panelNiDown);
    labelDRateP = new QLabel(tab);
    labelDRateP->setAlignment(Qt::AlignRight);
    layout->addWidget(labelDRateP);
    panelNiMin = MakeScrollPanel(ScrollBarNiMinInfo, scrollBarNiMin, labelNiMin, tab);
    layout->addWidget(panelNiMin);
    checkMomentum = new QCheckBox(QStringLiteral("Momentum"), tab);
    layout->addWidget(checkMomentum);
    panelAlpha = MakeScrollPanel(ScrollBarAlphaInfo, scrollBarAlpha, labelAlpha, tab);
    layout->addWidget(panelAlpha);

    auto* order = new QGroupBox(QStringLiteral("Order"), tab);
    // One pixel smaller than the window's font, so that "Swapping Permutation" fits the panel.
    QFont orderFont = order->font();
    orderFont.setPixelSize(12);
    order->setFont(orderFont);
    auto* orderLayout = new QVBoxLayout(order);
    orderLayout->setSpacing(0);
    orderLayout->setContentsMargins(4, 4, 4, 4);
    radioGroupOrder = new QButtonGroup(order);
    for (size_t i = 0; i < PresentationOrderItems.size(); ++i) {
        auto* button = new QRadioButton(QText(PresentationOrderItems[i]), order);
        radioGroupOrder->addButton(button, static_cast<int>(i));
        orderLayout->addWidget(button);
    }
    layout->addWidget(order);
    checkPremphaseErr = new QCheckBox(QStringLiteral("Premphase Errors"), tab);
    layout->addWidget(checkPremphaseErr);
    checkVerify = new QCheckBox(QStringLiteral("Verify"), tab);
    layout->addWidget(checkVerify);
    layout->addStretch(1);

    // One sentence each on what the control does.
    const std::pair<QWidget*, const char*> hints[] = {
        {panelNi, "The learning rate: how far one presentation moves the weights"},
        {checkAutoDecrease, "Lower ni after every epoch, down to its minimum"},
        {panelNiDown, "The share of ni kept per presented point while it decreases"},
        {panelNiMin, "The lowest value the decrease takes ni to"},
        {checkMomentum, "Add a share of each weight's previous change to its next one"},
        {panelAlpha, "The share of the previous change that momentum adds"},
        {order, "The order in which an epoch presents the points"},
        {checkPremphaseErr,
         "Before each epoch, present once more every point answered wrongly the last time"},
        {checkVerify,
         "Measure the error on 400 further points spread over the plane (the verify error)"},
    };
    for (const auto& [widget, hint] : hints)
        widget->setToolTip(QString::fromUtf8(hint));
    const char* const orderHints[] = {
        "Every epoch presents the points in their stored order",
        "Every presentation draws a point at random",
        "A point drawn at random that was answered right is drawn again once",
        "A point drawn at random that was answered right is drawn again, up to 10 times",
        "A fixed order of the points in which one pair swaps places after every epoch",
    };
    static_assert(std::size(orderHints) == PresentationOrderItems.size());
    for (size_t i = 0; i < PresentationOrderItems.size(); ++i)
        radioGroupOrder->button(static_cast<int>(i))->setToolTip(QString::fromUtf8(orderHints[i]));

    connect(scrollBarNi, &QScrollBar::valueChanged, this, &TFormMain::scrollBarNiChange);
    connect(scrollBarNiMin, &QScrollBar::valueChanged, this, &TFormMain::scrollBarNiMinChange);
    connect(scrollBarAlpha, &QScrollBar::valueChanged, this, &TFormMain::scrollBarAlphaChange);
    connect(scrollBarDown, &QScrollBar::valueChanged, this, &TFormMain::scrollBarDownChange);
    connect(checkAutoDecrease, &QCheckBox::toggled, this, &TFormMain::checkAutoDecreaseClick);
    connect(checkMomentum, &QCheckBox::toggled, this, &TFormMain::checkMomentumClick);
    // The run reads these controls live through the state.
    connect(radioGroupOrder, &QButtonGroup::idClicked, this,
            [this](int id) { state_->controls.orderIndex = id; });
    connect(checkPremphaseErr, &QCheckBox::toggled, this,
            [this](bool on) { state_->controls.premphase = on; });
    connect(checkVerify, &QCheckBox::toggled, this,
            [this](bool on) { state_->controls.verify = on; });
    return tab;
}

QWidget* TFormMain::CreateDrawTab() {
    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(2, 4, 2, 4);
    layout->addWidget(new QLabel(QStringLiteral("Draw 2D Graph"), tab));
    comboDrawSpeed = new QComboBox(tab);
    comboDrawSpeed->setObjectName(QStringLiteral("comboDrawSpeed"));
    for (const DrawSpeedItem& item : DrawSpeedItems)
        comboDrawSpeed->addItem(QText(item.caption));
    connect(comboDrawSpeed, &QComboBox::activated, this, &TFormMain::comboDrawSpeedChange);
    layout->addWidget(comboDrawSpeed);
    // How fast a run goes, so that it can be watched; the results are those of full speed.
    layout->addWidget(new QLabel(QStringLiteral("Pace"), tab));
    comboPace = new QComboBox(tab);
    comboPace->setObjectName(QStringLiteral("comboPace"));
    comboPace->setToolTip(QStringLiteral("At most this many epochs per second during a run"));
    for (const PaceItem& item : PaceItems)
        comboPace->addItem(QText(item.caption));
    connect(comboPace, &QComboBox::activated, this, &TFormMain::comboPaceChange);
    layout->addWidget(comboPace);

    // One row per series: a 17 x 17 swatch in the series colour, then its check box, which
    // shows the series when the state's flag is set.
    struct Row {
        QCheckBox*& box;
        const char* caption;
        const char* hint;
        bool KestroState::*shown;
        uint32_t colour;  // canvas colour, red in the low byte
    };
    Row rows[] = {
        {checkDrawErrK, "Mean Squared Error", "", &KestroState::showMse, MeanSquaredErrorColor},
        {checkDrawErrW, "Verify Error", "", &KestroState::showVerify, VerifyErrorColor},
        {checkDrawErr, "Error", "Classification Error", &KestroState::showError,
         ClassificationErrorColor},
        {checkDrawNi, "ni", "", &KestroState::showNi, NiColor}};
    for (Row& row : rows) {
        auto* line = new QHBoxLayout;
        line->setSpacing(4);
        auto* swatch = new QLabel(tab);
        swatch->setFixedSize(17, 17);
        swatch->setAutoFillBackground(true);
        QPalette palette = swatch->palette();
        palette.setColor(QPalette::Window, QColor::fromRgba(ArgbFromCanvasColor(row.colour)));
        swatch->setPalette(palette);
        swatch->setFrameStyle(QFrame::Box);
        row.box = new QCheckBox(QString::fromUtf8(row.caption), tab);
        if (*row.hint)
            row.box->setToolTip(QString::fromUtf8(row.hint));
        connect(row.box, &QCheckBox::toggled, this, [this, shown = row.shown](bool on) {
            state_.get()->*shown = on;
            DrawErrorGraph();
        });
        line->addWidget(swatch);
        line->addWidget(row.box, 1);
        layout->addLayout(line);
    }
    layout->addStretch(1);
    return tab;
}

QWidget* TFormMain::CreateShapePanel() {
    auto* panelShape = new QWidget(this);
    panelShape->setObjectName(QStringLiteral("panelShape"));
    auto* layout = new QVBoxLayout(panelShape);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // The class panels and the two buttons, right-aligned; in a narrow window they wrap into
    // further rows rather than being squeezed.
    auto* panelSetTop = new QWidget(panelShape);
    auto* top = new TFlowLayout(panelSetTop, 2);
    top->setContentsMargins(2, 3, 2, 3);

    // The class panels: an exclusive group whose ids are their tags, each bound to its action.
    struct Panel {
        QAbstractButton*& button;
        const char* name;
        ActionId action;
        const char* hint;
        QColor colour;
        QColor text;
    };
    const Panel panels[] = {{panelColorS, "panelColorS", ActionId::actionSelectClassShape,
                             "Shape Determined Class", QColor(192, 192, 192), Qt::black},
                            {panelColor1, "panelColor1", ActionId::actionSelectClass1, "Class 1",
                             QColor::fromRgba(RasterColors[0]), Qt::black},
                            {panelColor2, "panelColor2", ActionId::actionSelectClass2, "Class 2",
                             QColor::fromRgba(RasterColors[1]), Qt::white},
                            {panelColorD, "panelColorD", ActionId::actionSelectClassDelete,
                             "Delete Points", Qt::white, Qt::black}};
    panelsColor = new QButtonGroup(panelSetTop);
    panelsColor->setExclusive(true);
    static_assert(std::size(panels) == ClassActions.size());
    for (const Panel& p : panels) {
        p.button = new TColorPanel(p.colour, p.text, panelSetTop);
        p.button->setObjectName(QString::fromUtf8(p.name));
        p.button->setFixedSize(38, 23);
        p.button->setToolTip(QString::fromUtf8(p.hint));
        QAction* action = Action(p.action);
        // The panels stand in the order of ClassActions; a panel's id is its place there.
        panelsColor->addButton(p.button, static_cast<int>(&p - panels));
        // A click selects through the action; the state then checks the panel.
        connect(p.button, &QAbstractButton::clicked, action, &QAction::trigger);
        top->addWidget(p.button);
    }
    panelColorD->setText(QStringLiteral("Del."));
    auto* btnGenerate = new QPushButton(QStringLiteral("Gen."), panelSetTop);
    btnGenerate->setToolTip(QStringLiteral("Generate Points"));
    BindButton(btnGenerate, Action(ActionId::actionGenerate));
    auto* btnClear = new QPushButton(QStringLiteral("Clear"), panelSetTop);
    btnClear->setToolTip(QStringLiteral("Clear Points"));
    BindButton(btnClear, Action(ActionId::actionClearPoints));
    for (QPushButton* button : {btnGenerate, btnClear}) {
        button->setFixedSize(38, 23);
        button->setFocusPolicy(Qt::NoFocus);
        top->addWidget(button);
    }
    layout->addWidget(panelSetTop);

    pbSignal = new TPaintBox(panelShape);
    pbSignal->setObjectName(QStringLiteral("pbSignal"));
    pbSignal->setMinimumSize(50, 50);
    pbSignal->setCursor(Qt::CrossCursor);
    layout->addWidget(pbSignal, 1);
    connect(pbSignal, &TPaintBox::resized, this, &TFormMain::pbSignalResize);
    connect(pbSignal, &TPaintBox::mouseDown, this, &TFormMain::pbSignalMouseDown);
    connect(pbSignal, &TPaintBox::clicked, this, &TFormMain::pbSignalClick);
    connect(pbSignal, &TPaintBox::mouseMoved, this, &TFormMain::pbSignalMouseMove);

    generateDialog = new TGeneratePointsDlg(
        state_->generateOptions, [this] { GenerateAndRefresh(); }, this);
    return panelShape;
}

}  // namespace kestro
