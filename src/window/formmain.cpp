// The main window's construction: layout, actions, menus and the start-up defaults.
#include "window/formmain.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/units/errors.h"
#include "core/units/glowny/training.h"
#include "core/units/info.h"
#include "core/units/product.h"
#include "core/units/random.h"
#include "core/units/weblinks.h"
#include "views/qtext.h"
#include "window/actiontable.h"
#include "window/generatedialog.h"
#include "window/icons.h"
#include "window/paintbox.h"
#include "window/shell.h"
#include "window/traininghost.h"

namespace kestro {

namespace {

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

TFormMain::TFormMain(QWidget* parent)
    : QMainWindow(parent), state_(std::make_unique<KestroState>()) {
    setGeometry(421, 139, 593, 643);
    setMinimumSize(300, 300);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(13);
    setFont(font);
    CreateActions();
    CreateMenus();
    CreateLayout();
    FormCreate();
}

QAction* TFormMain::Action(std::string_view name) const {
    const auto found = actions_.find(name);
    KESTRO_ASSERT(found != actions_.end());
    return found->second;
}

void TFormMain::FormCreate() {
    setWindowTitle(QText(ProductTitle));
    QApplication::setApplicationDisplayName(QString());
    RandomizeFromClock();
    pageControl->setCurrentIndex(0);
    programDirectory = (QCoreApplication::applicationDirPath() + QLatin1Char('/')).toStdString();
    // A hint stays up 6 seconds.
    for (QWidget* child : findChildren<QWidget*>())
        child->setToolTipDuration(6000);
    imageLogo->setPixmap(ApplicationIcon().pixmap(32, 32));
    imageLogo->setToolTip(QStringLiteral("About Kestro Neural Network"));
    *state_ = KestroState{};
    ResetHistories(state_->histories);
}

void TFormMain::CreateActions() {
    for (const ActionSpec& entry : ActionTable) {
        auto* action = new QAction(QText(entry.caption), this);
        action->setObjectName(QText(entry.name));
        if (!entry.hint.empty())
            action->setToolTip(QText(entry.hint));
        action->setShortcut(ShortcutKeys(entry.shortcut));
        if (entry.icon >= 0)
            action->setIcon(ActionIcon(entry.icon));
        // Shortcuts work wherever the main window has the focus, menu item or not.
        addAction(action);
        actions_[entry.name] = action;
    }
    Action("actionStop")->setEnabled(false);

    connect(Action("ActionMaximize"), &QAction::triggered, this, &TFormMain::ActionMaximizeExecute);
    connect(Action("actionMinimize"), &QAction::triggered, this, &TFormMain::actionMinimizeExecute);
    connect(Action("actionStop"), &QAction::triggered, this, &TFormMain::actionStopExecute);
    connect(Action("actionReset"), &QAction::triggered, this, &TFormMain::actionResetExecute);
    connect(Action("actionNaucz"), &QAction::triggered, this, &TFormMain::actionNauczExecute);
    connect(Action("actionLoadPoints"), &QAction::triggered, this,
            &TFormMain::actionLoadPointsExecute);
    connect(Action("actionSavePoints"), &QAction::triggered, this,
            &TFormMain::actionSavePointsExecute);
    connect(Action("actionGenerate"), &QAction::triggered, this, &TFormMain::actionGenerateExecute);
    connect(Action("actionGenerateNow"), &QAction::triggered, this,
            &TFormMain::actionGenerateNowExecute);
    connect(Action("actionClearPoints"), &QAction::triggered, this,
            &TFormMain::actionClearPointsExecute);
    connect(Action("actionExit"), &QAction::triggered, this, &TFormMain::actionExitExecute);
    connect(Action("actionSelectClass1"), &QAction::triggered, this,
            [this] { panelColorClick(panelColor1); });
    connect(Action("actionSelectClass2"), &QAction::triggered, this,
            [this] { panelColorClick(panelColor2); });
    connect(Action("actionSelectClassShape"), &QAction::triggered, this,
            [this] { panelColorClick(panelColorS); });
    connect(Action("actionSelectClassDelete"), &QAction::triggered, this,
            [this] { panelColorClick(panelColorD); });
    connect(Action("actionDistanceUp"), &QAction::triggered, this,
            &TFormMain::actionDistanceUpExecute);
    connect(Action("actionDistanceDown"), &QAction::triggered, this,
            &TFormMain::actionDistanceDownExecute);
    connect(Action("actionViewCoordinates"), &QAction::triggered, this,
            &TFormMain::actionViewCoordinatesExecute);
    connect(Action("actionError"), &QAction::triggered, this, &TFormMain::actionErrorExecute);
    connect(Action("actionHelpF1"), &QAction::triggered, this, &TFormMain::actionHelpF1Execute);
    connect(Action("actionAbout"), &QAction::triggered, this, &TFormMain::actionAboutExecute);
    // The web actions hand their address to the desktop and return at once.
    connect(Action("actionHelpOnline"), &QAction::triggered, this,
            [] { ShellOpen(OnlineHelpAddress(SiteBase())); });
    connect(Action("actionHelpVersion"), &QAction::triggered, this, [] {
        ShellOpen(VersionCheckAddress(SiteBase(), LocalInfo().VersionInfo.FileVersion));
    });
    connect(Action("actionHelpSupport"), &QAction::triggered, this,
            [] { ShellOpen(SupportAddress(SiteBase())); });
    connect(Action("actionHelpWeb"), &QAction::triggered, this,
            [] { ShellOpen(ProductPageAddress(SiteBase())); });

    // The five view modes: one radio group; each action carries (rasterMode, showPoints).
    struct ViewMode {
        std::string_view action;
        int32_t rasterMode;
        bool showPoints;
    };
    constexpr ViewMode viewModes[] = {{"actionDrawPoints", 0, true},
                                      {"actionDrawAnswerPoints", 1, true},
                                      {"actionDrawAreasPoints", -1, true},
                                      {"actionDrawAnswer", 1, false},
                                      {"actionDrawAreas", -1, false}};
    viewModeGroup_ = new QActionGroup(this);
    for (const ViewMode& mode : viewModes) {
        QAction* action = Action(mode.action);
        action->setCheckable(true);
        viewModeGroup_->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, mode] { SetViewMode(mode.rasterMode, mode.showPoints); });
    }
    miViewCoordinateAxis = Action("actionViewCoordinates");
    miViewCoordinateAxis->setCheckable(true);
    miViewCoordinateAxis->setChecked(true);
}

void TFormMain::CreateMenus() {
    QMenuBar* bar = menuBar();
    QMenu* network = bar->addMenu(QStringLiteral("Network"));
    network->setObjectName(QStringLiteral("miNetwork"));
    network->addAction(Action("actionStop"));
    network->addAction(Action("actionReset"));
    network->addSeparator();
    network->addAction(Action("actionNaucz"));
    network->addSeparator();
    network->addAction(Action("actionExit"));

    QMenu* shape = bar->addMenu(QStringLiteral("Shape"));
    shape->setObjectName(QStringLiteral("miShape"));
    shapeGroup_ = new QActionGroup(this);
    for (const ShapeMenuItem& item : ShapeMenu) {
        if (item.separatorBefore)
            shape->addSeparator();
        QAction* action = shape->addAction(QText(item.caption));
        action->setObjectName(QText(item.itemName));
        action->setCheckable(true);
        action->setVisible(item.visible);
        shapeGroup_->addAction(action);
        shapeTags_[action] = item.tag;
        connect(action, &QAction::triggered, this, [this, action] { miPresetClick(action); });
    }

    QMenu* points = bar->addMenu(QStringLiteral("Points"));
    points->setObjectName(QStringLiteral("miPoints"));
    points->addAction(Action("actionLoadPoints"));
    points->addAction(Action("actionSavePoints"));
    points->addSeparator();
    QMenu* selectClass = points->addMenu(QStringLiteral("Select Class"));
    selectClass->setObjectName(QStringLiteral("miSelectClass"));
    selectClass->addAction(Action("actionSelectClassShape"));
    selectClass->addAction(Action("actionSelectClass1"));
    selectClass->addAction(Action("actionSelectClass2"));
    points->addAction(Action("actionSelectClassDelete"));
    points->addSeparator();
    points->addAction(Action("actionGenerate"));
    points->addAction(Action("actionGenerateNow"));
    points->addAction(Action("actionClearPoints"));

    QMenu* view = bar->addMenu(QStringLiteral("View"));
    view->setObjectName(QStringLiteral("miView"));
    view->addAction(Action("ActionMaximize"));
    view->addAction(Action("actionMinimize"));
    view->addSeparator();
    view->addAction(miViewCoordinateAxis);
    view->addSeparator();
    for (const char* name : {"actionDrawPoints", "actionDrawAnswerPoints", "actionDrawAreasPoints",
                             "actionDrawAnswer", "actionDrawAreas"})
        view->addAction(Action(name));

    QMenu* help = bar->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("miHelp"));
    help->addAction(Action("actionHelpF1"));
    help->addAction(Action("actionHelpOnline"));
    help->addSeparator();
    help->addAction(Action("actionHelpVersion"));
    help->addAction(Action("actionHelpSupport"));
    help->addSeparator();
    help->addAction(Action("actionHelpWeb"));
    help->addAction(Action("actionAbout"));

    // The learn-mode pop-up of sbtnLearnMode.
    popupMenuLearnMode = new QMenu(this);
    popupMenuLearnMode->setObjectName(QStringLiteral("popupMenuLearnMode"));
    miModeResetAtBeginning = popupMenuLearnMode->addAction(QText(ResetAtBeginningCaption));
    miModeResetAtBeginning->setObjectName(QText(ResetAtBeginningName));
    miModeResetAtBeginning->setCheckable(true);
    miModeResetAtBeginning->setChecked(true);
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
        connect(action, &QAction::triggered, this, [this, action] { miLearnModeClick(action); });
    }
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

    connect(pbErr, &TPaintBox::resized, this, &TFormMain::DrawErrorGraph);

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
    btnLearn->setIcon(Action("actionNaucz")->icon());
    btnLearn->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    btnLearn->setFocusPolicy(Qt::StrongFocus);
    BindButton(btnLearn, Action("actionNaucz"));
    sbtnLearnMode = new QToolButton(panelTop);
    sbtnLearnMode->setObjectName(QStringLiteral("sbtnLearnMode"));
    sbtnLearnMode->setFixedSize(22, 53);
    sbtnLearnMode->setAutoRaise(true);
    sbtnLearnMode->setIcon(LearnModeArrow());
    connect(sbtnLearnMode, &QToolButton::clicked, this, &TFormMain::sbtnLearnModeClick);
    btnStop = new QPushButton(QStringLiteral("Stop"), panelTop);
    btnStop->setObjectName(QStringLiteral("btnStop"));
    btnStop->setFixedHeight(53);
    BindButton(btnStop, Action("actionStop"));
    layout->addWidget(btnLearn);
    layout->addWidget(sbtnLearnMode);
    layout->addSpacing(4);
    layout->addWidget(btnStop);
    layout->addSpacing(8);

    auto* status = new QGridLayout;
    status->setHorizontalSpacing(4);
    status->setVerticalSpacing(0);
    auto* errorLegend = MakeLabel(QStringLiteral("Error:"), panelTop);
    errorLegend->setToolTip(QStringLiteral("Classification Error"));
    labelErr = new QLabel(panelTop);
    labelNi = new QLabel(panelTop);
    labelAge = new QLabel(panelTop);
    status->addWidget(errorLegend, 0, 0);
    status->addWidget(labelErr, 0, 1);
    status->addWidget(MakeLabel(QStringLiteral("ni:"), panelTop), 1, 0);
    status->addWidget(labelNi, 1, 1);
    status->addWidget(MakeLabel(QStringLiteral("Age:"), panelTop), 2, 0);
    status->addWidget(labelAge, 2, 1);
    layout->addLayout(status);
    layout->addStretch(1);
    labelTime = new QLabel(panelTop);
    labelTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(labelTime);
    imageLogo = new QLabel(panelTop);
    imageLogo->setObjectName(QStringLiteral("imageLogo"));
    imageLogo->setFixedSize(49, 53);
    imageLogo->setAlignment(Qt::AlignCenter);
    imageLogo->setCursor(Qt::PointingHandCursor);
    imageLogo->installEventFilter(this);
    layout->addWidget(imageLogo);
    return panelTop;
}

QWidget* TFormMain::CreateLeftPanel() {
    auto* panelLeft = new QWidget(this);
    panelLeft->setObjectName(QStringLiteral("panelLeft"));
    panelLeft->setFixedWidth(185);
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

    tsGeneral = new QWidget;
    auto* general = new QVBoxLayout(tsGeneral);
    general->setContentsMargins(2, 4, 2, 2);
    general->addWidget(new QLabel(QStringLiteral("Network Structure"), tsGeneral));
    comboStructure = new QComboBox(tsGeneral);
    comboStructure->setObjectName(QStringLiteral("comboStructure"));
    comboStructure->setMaxVisibleItems(20);
    for (std::string_view text : StructureTexts)
        comboStructure->addItem(QText(text));
    connect(comboStructure, &QComboBox::activated, this, &TFormMain::comboStructureChange);
    general->addWidget(comboStructure);
    pbNet = new TPaintBox(tsGeneral);
    pbNet->setObjectName(QStringLiteral("pbNet"));
    pbNet->setFixedSize(177, 330);
    general->addWidget(pbNet);
    general->addStretch(1);
    pageControl->addTab(tsGeneral, QStringLiteral("Network"));

    tsLearn = CreateLearnTab();
    pageControl->addTab(tsLearn, QStringLiteral("Learn"));
    tsDraw = CreateDrawTab();
    pageControl->addTab(tsDraw, QStringLiteral("Draw"));
    return panelLeft;
}

QWidget* TFormMain::CreateLearnTab() {
    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    panelNi = MakeScrollPanel(ScrollBarNiInfo, scrollBarNi, labelNiStart, tab);
    layout->addWidget(panelNi);
    checkAutoDecrease = new QCheckBox(QStringLiteral("Auto Decrease"), tab);
    checkAutoDecrease->setChecked(true);
    layout->addWidget(checkAutoDecrease);
    panelNiDown = MakeScrollPanel(ScrollBarDownInfo, scrollBarDown, labelDown, tab);
    layout->addWidget(panelNiDown);
    labelDRateP = new QLabel(tab);
    labelDRateP->setAlignment(Qt::AlignRight);
    layout->addWidget(labelDRateP);
    panelNiMin = MakeScrollPanel(ScrollBarNiMinInfo, scrollBarNiMin, labelNiMin, tab);
    layout->addWidget(panelNiMin);
    checkMomentum = new QCheckBox(QStringLiteral("Momentum"), tab);
    checkMomentum->setChecked(true);
    layout->addWidget(checkMomentum);
    panelAlpha = MakeScrollPanel(ScrollBarAlphaInfo, scrollBarAlpha, labelAlpha, tab);
    layout->addWidget(panelAlpha);

    auto* order = new QGroupBox(QStringLiteral("Order"), tab);
    auto* orderLayout = new QVBoxLayout(order);
    orderLayout->setSpacing(0);
    radioGroupOrder = new QButtonGroup(order);
    for (size_t i = 0; i < PresentationOrderItems.size(); ++i) {
        auto* button = new QRadioButton(QText(PresentationOrderItems[i]), order);
        radioGroupOrder->addButton(button, static_cast<int>(i));
        orderLayout->addWidget(button);
    }
    radioGroupOrder->button(OrderSwappingPermutation)->setChecked(true);
    layout->addWidget(order);
    checkPremphaseErr = new QCheckBox(QStringLiteral("Premphase Errors"), tab);
    layout->addWidget(checkPremphaseErr);
    checkVerify = new QCheckBox(QStringLiteral("Verify"), tab);
    checkVerify->setChecked(true);
    layout->addWidget(checkVerify);
    layout->addStretch(1);

    connect(scrollBarNi, &QScrollBar::valueChanged, this, &TFormMain::scrollBarNiChange);
    connect(scrollBarNiMin, &QScrollBar::valueChanged, this, &TFormMain::scrollBarNiMinChange);
    connect(scrollBarAlpha, &QScrollBar::valueChanged, this, &TFormMain::scrollBarAlphaChange);
    connect(scrollBarDown, &QScrollBar::valueChanged, this, &TFormMain::scrollBarDownChange);
    connect(checkAutoDecrease, &QCheckBox::clicked, this, &TFormMain::checkAutoDecreaseClick);
    connect(checkMomentum, &QCheckBox::clicked, this, &TFormMain::checkMomentumClick);
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
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(new QLabel(QStringLiteral("Draw 2D Graph"), tab));
    comboDrawSpeed = new QComboBox(tab);
    comboDrawSpeed->setObjectName(QStringLiteral("comboDrawSpeed"));
    for (const DrawSpeedItem& item : DrawSpeedItems)
        comboDrawSpeed->addItem(QText(item.caption));
    connect(comboDrawSpeed, &QComboBox::activated, this, &TFormMain::comboDrawSpeedChange);
    layout->addWidget(comboDrawSpeed);

    // One row per series: a 17 x 17 swatch in the series colour, then its check box.
    struct Row {
        QCheckBox*& box;
        const char* caption;
        const char* hint;
        bool checked;
        QColor colour;
    };
    Row rows[] = {{checkDrawErrK, "Mean Squared Error", "", true, QColor(0, 128, 0)},
                  {checkDrawErrW, "Verify Error", "", true, QColor(128, 0, 0)},
                  {checkDrawErr, "Error", "Classification Error", true, QColor(255, 0, 0)},
                  {checkDrawNi, "ni", "", false, QColor(255, 255, 0)}};
    for (Row& row : rows) {
        auto* line = new QHBoxLayout;
        auto* swatch = new QLabel(tab);
        swatch->setFixedSize(17, 17);
        swatch->setAutoFillBackground(true);
        QPalette palette = swatch->palette();
        palette.setColor(QPalette::Window, row.colour);
        swatch->setPalette(palette);
        swatch->setFrameStyle(QFrame::Box);
        row.box = new QCheckBox(QString::fromUtf8(row.caption), tab);
        row.box->setChecked(row.checked);
        if (*row.hint)
            row.box->setToolTip(QString::fromUtf8(row.hint));
        connect(row.box, &QCheckBox::clicked, this, &TFormMain::DrawErrorGraph);
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
    auto* panelSetTop = new QWidget(panelShape);
    panelSetTop->setFixedHeight(29);
    auto* top = new QHBoxLayout(panelSetTop);
    top->setContentsMargins(2, 3, 2, 3);
    top->setSpacing(2);
    top->addStretch(1);

    // The class panels: tag, hint, colour and caption colour.
    struct Panel {
        QLabel*& label;
        const char* name;
        int tag;
        const char* hint;
        QColor colour;
        QColor text;
    };
    Panel panels[] = {
        {panelColorS, "panelColorS", SelectShapeClass, "Shape Determined Class",
         QColor(192, 192, 192), Qt::black},
        {panelColor1, "panelColor1", SelectClass1, "Class 1", QColor(255, 255, 0), Qt::black},
        {panelColor2, "panelColor2", SelectClass2, "Class 2", QColor(0, 0, 255), Qt::white},
        {panelColorD, "panelColorD", SelectDelete, "Delete Points", QColor(255, 255, 255),
         Qt::black}};
    for (Panel& p : panels) {
        p.label = new QLabel(panelSetTop);
        p.label->setObjectName(QString::fromUtf8(p.name));
        p.label->setFixedSize(38, 23);
        p.label->setAlignment(Qt::AlignCenter);
        p.label->setLineWidth(2);
        p.label->setFrameStyle(QFrame::Panel | QFrame::Raised);
        p.label->setAutoFillBackground(true);
        QPalette palette = p.label->palette();
        palette.setColor(QPalette::Window, p.colour);
        palette.setColor(QPalette::WindowText, p.text);
        p.label->setPalette(palette);
        p.label->setToolTip(QString::fromUtf8(p.hint));
        p.label->setCursor(Qt::PointingHandCursor);
        p.label->setProperty("tag", p.tag);
        p.label->installEventFilter(this);
        top->addWidget(p.label);
    }
    panelColorD->setText(QStringLiteral("Del."));
    btnGenerate = new QPushButton(QStringLiteral("Gen."), panelSetTop);
    btnGenerate->setToolTip(QStringLiteral("Generate Points"));
    BindButton(btnGenerate, Action("actionGenerate"));
    btnClear = new QPushButton(QStringLiteral("Clear"), panelSetTop);
    btnClear->setToolTip(QStringLiteral("Clear Points"));
    BindButton(btnClear, Action("actionClearPoints"));
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
    connect(pbSignal, &TPaintBox::resized, this, [this] { DrawSignalView(0, 1); });
    connect(pbSignal, &TPaintBox::mouseDown, this, &TFormMain::pbSignalMouseDown);
    connect(pbSignal, &TPaintBox::clicked, this, &TFormMain::pbSignalClick);
    connect(pbSignal, &TPaintBox::mouseMoved, this, &TFormMain::pbSignalMouseMove);

    generateDialog = new TGeneratePointsDlg(
        state_->generateOptions, [this] { GenerateAndRefresh(); }, this);
    return panelShape;
}

}  // namespace kestro
