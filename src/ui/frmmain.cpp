#include "ui/frmmain.h"

#include "errors/trap.h"
#include "ui/activation.h"
#include "ui/controls.h"
#include "ui/pathboxes.h"
#include "ui/theme.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QTreeView>

namespace quillmer::ui {

namespace {

// Design geometry is in twips, 15 to a pixel.
QRect twips(int left, int top, int width, int height)
{
    const auto px = [](int t) { return qRound(t / 15.0); };
    return QRect(px(left), px(top), px(width), px(height));
}

void setDesignBackground(QWidget* w, QPalette::ColorRole role)
{
    QPalette palette = w->palette();
    palette.setColor(role, DesignBackColor);
    w->setPalette(palette);
    if (role == QPalette::Window)
        w->setAutoFillBackground(true);
}

template <typename T> T* make(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* w = new T(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(geometry);
    return w;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
              const QFont& font)
{
    auto* l = make<QLabel>(parent, name, geometry);
    l->setText(text);
    l->setFont(font);
    return l;
}

QLineEdit* textBox(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
                   const QFont& font, int maxLength = 32767)
{
    auto* t = make<QLineEdit>(parent, name, geometry);
    t->setText(text);
    t->setFont(font);
    t->setMaxLength(maxLength);
    return t;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
                    const QFont& font)
{
    auto* b = make<QPushButton>(parent, name, geometry);
    b->setText(text);
    b->setFont(font);
    b->setAutoDefault(false);
    setDesignBackground(b, QPalette::Button);
    return b;
}

template <typename T>
T* choice(QWidget* parent, const char* name, const QString& text, bool checked,
          const QRect& geometry, const QFont& font)
{
    auto* c = make<T>(parent, name, geometry);
    c->setText(text);
    c->setChecked(checked);
    c->setFont(font);
    // Check boxes and option buttons carry their container's colour; drawn
    // transparent, they show the frame's shading as their own background.
    QPalette palette = c->palette();
    palette.setColor(QPalette::Window, DesignBackColor);
    c->setPalette(palette);
    return c;
}

QGroupBox* frame(QWidget* parent, const char* name, const QString& caption, const QRect& geometry,
                 const QFont& font)
{
    auto* f = make<QGroupBox>(parent, name, geometry);
    f->setTitle(caption);
    f->setFont(font);
    setDesignBackground(f, QPalette::Window);
    return f;
}

ClickablePicture* picture(QWidget* parent, const char* name, const QString& builtIn,
                          const QString& toolTip, const QRect& geometry)
{
    auto* p = make<ClickablePicture>(parent, name, geometry);
    p->setPixmap(builtInPicture(builtIn));
    p->setToolTip(toolTip);
    return p;
}

} // namespace

FrmMain::FrmMain(const MainWindowContext& context, QWidget* parent)
    : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(ApplicationTitle);
    setWindowIcon(QIcon(builtInPicture(QStringLiteral("quillmer-icon.gif"))));
    setFixedSize(658, 460);
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    createControls();
    m_pathBoxes = std::make_unique<LineEditPathBoxes>(txtfilepath, txtfilepathOutput);
    m_jobHandlers = std::make_unique<JobHandlers>(*m_jobList, *m_pathBoxes, m_context.messages,
                                                  m_context.errors);
    m_selection = std::make_unique<SourceTargetSelection>(
        *m_pathBoxes, m_context.dialogs, m_context.messages, m_context.errors, m_context.settings,
        m_context.startup, m_context.programFolder);
    createConversion();
    wireControls();
    createDrop();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

FrmMain::~FrmMain() = default;

void FrmMain::createControls()
{
    const QFont defaultFont = designFont(QStringLiteral("MS Sans Serif"), 8.25, false);
    const QFont verdana = designFont(QStringLiteral("Verdana"), 8.25, false);
    const QFont arialBold = designFont(QStringLiteral("Arial"), 8.25, true);
    setFont(defaultFont);
    setDesignBackground(this, QPalette::Window);

    picMain = make<QWidget>(this, "picMain", twips(0, -30, 10500, 7500));
    setDesignBackground(picMain, QPalette::Window);

    // The banner lies on the panel, under the frame that covers its foot.
    Image1 = make<QLabel>(picMain, "Image1", twips(0, 0, 3495, 1785));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Frame2 = frame(picMain, "Frame2", QStringLiteral("Select File:"), twips(180, 1260, 9555, 4755),
                   designFont(QStringLiteral("MS Sans Serif"), 8.25, true));
    Label12 = label(Frame2, "Label12", QStringLiteral("Select Source File:"),
                    twips(120, 210, 1605, 195), verdana);
    txtfilepath = textBox(Frame2, "txtfilepath", QString(), twips(180, 420, 7725, 345), verdana);
    cmdSelectFile = button(Frame2, "cmdSelectFile", QStringLiteral("&Browse"),
                           twips(8010, 420, 1125, 315), arialBold);
    Label11 = label(Frame2, "Label11", QStringLiteral("Select Target Location:"),
                    twips(120, 810, 1980, 195), verdana);
    txtfilepathOutput =
        textBox(Frame2, "txtfilepathOutput", QString(), twips(150, 1020, 7755, 345), verdana);
    cmdBrowseOutput = button(Frame2, "cmdBrowseOutput", QStringLiteral("B&rowse"),
                             twips(8010, 1020, 1125, 315), arialBold);
    cmdAddToList = button(Frame2, "cmdAddToList", QStringLiteral("&Add To List"),
                          twips(6930, 1560, 1125, 315), arialBold);
    cmdClearList = button(Frame2, "cmdClearList", QStringLiteral("C&lear List"),
                          twips(8190, 1560, 1125, 315), arialBold);

    lvwGeneral = make<QTreeView>(Frame2, "lvwGeneral", twips(120, 1920, 9210, 1260));
    lvwGeneral->setFont(defaultFont);
    lvwGeneral->setRootIsDecorated(false);
    lvwGeneral->setItemsExpandable(false);
    lvwGeneral->setUniformRowHeights(true);
    lvwGeneral->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwGeneral->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_jobList = new JobList(this);
    lvwGeneral->setModel(m_jobList);
    lvwGeneral->setColumnWidth(0, 110);
    lvwGeneral->setColumnWidth(1, 195);
    lvwGeneral->setColumnWidth(2, 195);

    Frame1 = frame(Frame2, "Frame1", QStringLiteral("Print Size"), twips(2580, 3240, 3405, 1245),
                   defaultFont);
    optPotrait = choice<QRadioButton>(Frame1, "optPotrait", QStringLiteral("Potrait"), true,
                                      twips(180, 210, 1155, 285), verdana);
    optLandscape = choice<QRadioButton>(Frame1, "optLandscape", QStringLiteral("Landscape"), false,
                                        twips(1320, 210, 1365, 255), verdana);
    Label3 = label(Frame1, "Label3", QStringLiteral("Adjust"), twips(240, 570, 540, 195), verdana);
    txtAdjust =
        textBox(Frame1, "txtAdjust", QStringLiteral("100"), twips(870, 540, 645, 285), verdana, 3);
    Label6 = label(Frame1, "Label6", QStringLiteral("%"), twips(1560, 600, 240, 225), verdana);
    Label8 =
        label(Frame1, "Label8", QStringLiteral("Paper Size:"), twips(210, 960, 990, 195), verdana);
    cboPaperSize = make<QComboBox>(Frame1, "cboPaperSize", twips(1350, 900, 1515, 315));
    cboPaperSize->setFont(defaultFont);
    cboPaperSize->addItems({QStringLiteral("A4"), QStringLiteral("Legal"), QStringLiteral("A5"),
                            QStringLiteral("Letter"), QStringLiteral("B4"), QStringLiteral("B5")});

    chkShowGridlines =
        choice<QCheckBox>(Frame2, "chkShowGridlines", QStringLiteral("Show Gridlines"), true,
                          twips(6150, 3390, 2025, 225), verdana);
    chkHeader = choice<QCheckBox>(Frame2, "chkHeader", QStringLiteral("Show Headers"), false,
                                  twips(6150, 3690, 3075, 225), verdana);

    // Lies over the lower left of Frame2, beside Frame1.
    Frame3 = frame(picMain, "Frame3", QStringLiteral("Print Range"), twips(270, 4500, 2385, 1245),
                   defaultFont);
    chkAllPages = choice<QRadioButton>(Frame3, "chkAllPages", QStringLiteral("All Pages"), true,
                                       twips(150, 210, 1155, 285), verdana);
    chkFromTo = choice<QRadioButton>(Frame3, "chkFromTo", QStringLiteral("Select Page Range"),
                                     false, twips(150, 510, 1965, 255), verdana);
    Label4 = label(Frame3, "Label4", QStringLiteral("From"), twips(420, 810, 435, 195), verdana);
    txtFrom =
        textBox(Frame3, "txtFrom", QStringLiteral("1"), twips(960, 780, 435, 285), verdana, 3);
    Label2 = label(Frame3, "Label2", QStringLiteral("To"), twips(1440, 810, 210, 195), verdana);
    txtTo = textBox(Frame3, "txtTo", QStringLiteral("2"), twips(1770, 780, 465, 285), verdana, 3);
    lblFrom = label(Frame3, "lblFrom", QStringLiteral("xsd"), QRect(), verdana);
    lblFrom->hide();

    chkOpenDocEditing = choice<QCheckBox>(picMain, "chkOpenDocEditing",
                                          QStringLiteral("Open File After Conversion"), true,
                                          twips(6330, 5580, 2955, 195), verdana);
    // The rule from (90, 6270) to (9780, 6270).
    Line3 = make<LineControl>(picMain, "Line3", QRect(QPoint(6, 418), QPoint(652, 418)));
    cmdConvert = button(picMain, "cmdConvert", QStringLiteral("&Convert"),
                        twips(7230, 6480, 1125, 315), arialBold);
    cmdExit = button(picMain, "cmdExit", QStringLiteral("C&lose"), twips(8520, 6480, 1125, 315),
                     arialBold);

    lblCaption =
        label(picMain, "lblCaption", QStringLiteral("XL Ver 2007"), twips(4290, 630, 1740, 360),
              designFont(QStringLiteral("MS Sans Serif"), 13.5, true));
    cmdHomeLink = picture(picMain, "cmdHomeLink", QStringLiteral("home.gif"),
                          QStringLiteral("OrvPDF Home Page"), twips(7050, 300, 1125, 1125));
    cmdContactUs = picture(picMain, "cmdContactUs", QStringLiteral("contact.gif"),
                           QStringLiteral("Contact Us"), twips(8025, 330, 1155, 1125));
    cmdHelp = picture(picMain, "cmdHelp", QStringLiteral("faq.gif"), QStringLiteral("Help"),
                      twips(8940, 330, 1140, 1125));

    // The theme does not touch these: they keep their own colours, whatever
    // their containers get.
    for (QWidget* w :
         std::initializer_list<QWidget*>{txtfilepath, txtfilepathOutput, txtAdjust, txtFrom, txtTo,
                                         cboPaperSize, Label3, Label8, lblCaption})
        keepOwnColors(w);
    QPalette caption = lblCaption->palette();
    caption.setColor(QPalette::WindowText, CaptionColor);
    lblCaption->setPalette(caption);

    QWidget::setTabOrder(txtfilepath, cmdSelectFile);
    QWidget::setTabOrder(cmdSelectFile, txtfilepathOutput);
    QWidget::setTabOrder(txtfilepathOutput, cmdBrowseOutput);
    QWidget::setTabOrder(cmdBrowseOutput, cmdAddToList);
    QWidget::setTabOrder(cmdAddToList, cmdClearList);
    QWidget::setTabOrder(cmdClearList, lvwGeneral);
    QWidget::setTabOrder(lvwGeneral, optPotrait);
    QWidget::setTabOrder(optPotrait, optLandscape);
    QWidget::setTabOrder(optLandscape, txtAdjust);
    QWidget::setTabOrder(txtAdjust, cboPaperSize);
    QWidget::setTabOrder(cboPaperSize, chkShowGridlines);
    QWidget::setTabOrder(chkShowGridlines, chkHeader);
    QWidget::setTabOrder(chkHeader, chkAllPages);
    QWidget::setTabOrder(chkAllPages, chkFromTo);
    QWidget::setTabOrder(chkFromTo, txtFrom);
    QWidget::setTabOrder(txtFrom, txtTo);
    QWidget::setTabOrder(txtTo, chkOpenDocEditing);
    QWidget::setTabOrder(chkOpenDocEditing, cmdConvert);
    QWidget::setTabOrder(cmdConvert, cmdExit);
}

void FrmMain::wireControls()
{
    connect(cmdSelectFile, &QPushButton::clicked, this, [this] { cmdSelectFile_Click(); });
    connect(cmdBrowseOutput, &QPushButton::clicked, this, [this] { cmdBrowseOutput_Click(); });
    connect(cmdAddToList, &QPushButton::clicked, this, [this] { cmdAddToList_Click(); });
    connect(cmdClearList, &QPushButton::clicked, this, [this] { cmdClearList_Click(); });
    connect(cmdConvert, &QPushButton::clicked, this, [this] { cmdConvert_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
    connect(chkAllPages, &QRadioButton::clicked, this, [this] { chkAllPages_Click(); });
    connect(chkFromTo, &QRadioButton::clicked, this, [this] { chkFromTo_Click(); });
    connect(chkOpenDocEditing, &QCheckBox::clicked, this, [this] { chkOpenDocEditing_Click(); });
    connect(cmdHelp, &ClickablePicture::clicked, this, [this] { cmdHelp_Click(); });
    connect(cmdHomeLink, &ClickablePicture::clicked, this, [this] { cmdHomeLink_Click(); });
    connect(cmdContactUs, &ClickablePicture::clicked, this, [this] { cmdContactUs_Click(); });
    txtFrom->installEventFilter(this);
    txtTo->installEventFilter(this);

    // Enter presses the source Browse button, or the push button that has
    // the focus; Esc presses Close.
    for (int key : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        auto* enter = new QShortcut(QKeySequence(key), this);
        connect(enter, &QShortcut::activated, this, &FrmMain::pressDefaultButton);
    }
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, cmdExit, &QPushButton::click);

    auto* activation = new ActivationTracker(this);
    connect(activation, &ActivationTracker::activated, this, &FrmMain::Form_Activate);
}

void FrmMain::pressDefaultButton()
{
    auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
    if (focused && isAncestorOf(focused))
        focused->click();
    else
        cmdSelectFile->click();
}

bool FrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == txtFrom || watched == txtTo) && event->type() == QEvent::KeyPress) {
        // Every character that typing produces passes the box's key handler
        // first; a code set to 0 drops it. X11 gives Tab and Delete the
        // characters 9 and 127, but they type nothing: the box handles them.
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (text.size() == 1 && text != QLatin1String("\t") && text != QLatin1String("\x7f")) {
            qint16 keyAscii = static_cast<qint16>(text.at(0).unicode());
            ignoreFailures([&] {
                if (watched == txtFrom)
                    txtFrom_KeyPress(keyAscii);
                else
                    txtTo_KeyPress(keyAscii);
            });
            if (keyAscii == 0)
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FrmMain::showEvent(QShowEvent* event)
{
    // Loading happens once, before the window is first displayed.
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    QWidget::showEvent(event);
}

void FrmMain::closeEvent(QCloseEvent* event)
{
    Form_QueryUnload(event);
}

QWidget* FrmMain::control(const char* name)
{
    if (qstrcmp(name, "frmMain") == 0)
        return this;
    QWidget* w = findChild<QWidget*>(QLatin1String(name));
    if (!w)
        throw AppError(err::ObjectNotSet);
    return w;
}

void FrmMain::DoColorChange(const QString& sBackColor)
{
    for (const ThemeTarget& target : backColorTargets())
        ignoreFailures([&] {
            setBackColor(control(target.control), target.slot, colorFromColorRef(sBackColor));
        });
}

void FrmMain::DoForeColorChange(const QString& sForeColor)
{
    for (const ThemeTarget& target : foreColorTargets())
        ignoreFailures([&] {
            setForeColor(control(target.control), target.slot, colorFromColorRef(sForeColor));
        });
    ignoreFailures([&] { SetImages(); });
}

void FrmMain::SetImages()
{
    for (const PictureTarget& target : pictureTargets()) {
        const QPixmap picture = loadPicture(m_context.programFolder + QLatin1String(target.file));
        auto* shown = qobject_cast<QLabel*>(control(target.control));
        if (!shown)
            throw AppError(err::TypeMismatch);
        shown->setPixmap(picture);
    }
}

void FrmMain::selectOption(QRadioButton* option)
{
    option->setChecked(true);
    if (option == chkAllPages)
        chkAllPages_Click();
    else if (option == chkFromTo)
        chkFromTo_Click();
}

void FrmMain::deselectOption(QRadioButton* option)
{
    // An option button of a group cannot be cleared by itself.
    const bool exclusive = option->autoExclusive();
    option->setAutoExclusive(false);
    option->setChecked(false);
    option->setAutoExclusive(exclusive);
}

void FrmMain::setCheckValue(QCheckBox* box, bool checked)
{
    if (box->isChecked() == checked)
        return;
    box->setChecked(checked);
    if (box == chkOpenDocEditing)
        chkOpenDocEditing_Click();
}

void FrmMain::Form_Load()
{
    DoColorChange(ThemeBackColor);
    DoForeColorChange(ThemeForeColor);
    // From here on a failing step is skipped and the next one runs.
    const StartupSettings& startup = m_context.startup;
    ignoreFailures([&] { txtfilepath->setText(QString()); });
    ignoreFailures([&] {
        if (cboPaperSize->count() == 0)
            throw AppError(err::InvalidPropertyValue);
        cboPaperSize->setCurrentIndex(0);
    });
    ignoreFailures([&] { txtFrom->setText(startup.PageRange); });
    if (startup.ConvertPageFrom == 0) {
        ignoreFailures([&] { selectOption(chkAllPages); });
        ignoreFailures([&] { deselectOption(chkFromTo); });
        ignoreFailures([&] { lblFrom->setEnabled(false); });
        ignoreFailures([&] { txtFrom->setEnabled(false); });
    } else {
        ignoreFailures([&] { deselectOption(chkAllPages); });
        ignoreFailures([&] { selectOption(chkFromTo); });
        ignoreFailures([&] { lblFrom->setEnabled(true); });
        ignoreFailures([&] { txtFrom->setEnabled(true); });
    }
    ignoreFailures([&] { txtfilepathOutput->setText(QString()); });
    ignoreFailures([&] { setCheckValue(chkOpenDocEditing, startup.Launch != 0); });
}

void FrmMain::Form_Activate()
{
    // Re-applies the flags the option handlers last left; failing steps are
    // skipped.
    const StartupSettings& startup = m_context.startup;
    if (startup.ConvertPageFrom != 0) {
        ignoreFailures([&] { chkFromTo->setEnabled(true); });
        ignoreFailures([&] { selectOption(chkFromTo); });
        ignoreFailures([&] { deselectOption(chkAllPages); });
        ignoreFailures([&] { lblFrom->setEnabled(true); });
        ignoreFailures([&] { txtFrom->setEnabled(true); });
        ignoreFailures([&] { txtTo->setEnabled(true); });
    } else {
        ignoreFailures([&] { selectOption(chkAllPages); });
        ignoreFailures([&] { chkFromTo->setEnabled(true); });
        ignoreFailures([&] { deselectOption(chkFromTo); });
        ignoreFailures([&] { lblFrom->setEnabled(false); });
        ignoreFailures([&] { txtFrom->setEnabled(false); });
        ignoreFailures([&] { txtTo->setEnabled(false); });
    }
    ignoreFailures([&] { setCheckValue(chkOpenDocEditing, startup.Launch != 0); });
}

QString FrmMain::exitQuestion()
{
    return QStringLiteral("Do you really want to exit the application?");
}

MessageAnswer FrmMain::askExitQuestion()
{
    return m_context.messages.show(exitQuestion(), MessageIcon::Question, MessageButtons::YesNo);
}

void FrmMain::Form_QueryUnload(QCloseEvent* event)
{
    Trap trap(m_context.errors, QStringLiteral("frmMain:Form_QueryUnload"));
    bool asked = false;
    MessageAnswer answer = MessageAnswer::No;
    trap.step([&] {
        answer = askExitQuestion();
        asked = true;
    });
    if (asked && answer != MessageAnswer::Yes) {
        event->ignore();
        return;
    }
    // Yes, or a failure while asking (reported above), which never cancels
    // the close: the window unloads and the program ends.
    event->accept();
    Form_Unload();
}

void FrmMain::Form_Unload()
{
    ignoreFailures([&] { m_context.ender.EndProgram(); });
}

void FrmMain::cmdExit_Click()
{
    // Failures here are skipped silently: a question that cannot be asked
    // leaves the window as it was.
    MessageAnswer answer = MessageAnswer::No;
    if (captureError([&] { answer = askExitQuestion(); }))
        return;
    if (answer == MessageAnswer::Yes)
        ignoreFailures([&] { m_context.ender.EndProgram(); });
}

void FrmMain::cmdHelp_Click()
{
    ignoreFailures(
        [&] { m_context.shell.ShellOpen(helpPageUrl(m_context.programFolder).toString()); });
}

void FrmMain::cmdHomeLink_Click()
{
    ignoreFailures([&] { m_context.shell.ShellOpen(homePageUrl().toString()); });
}

void FrmMain::cmdContactUs_Click()
{
    ignoreFailures([&] { m_context.shell.ShellOpen(feedbackPageUrl().toString()); });
}

} // namespace quillmer::ui
