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
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>

namespace quillmer::ui {

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
        m_context.startup, m_context.folders.program);
    createConversion();
    wireControls();
    createDrop();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

FrmMain::~FrmMain() = default;

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
        const QPixmap picture = loadPicture(m_context.folders.files + QLatin1String(target.file));
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
    // From here on a failing step is skipped and the next one runs. Of the
    // steps, only the paper list and the click handlers they raise can fail.
    const StartupSettings& startup = m_context.startup;
    txtfilepath->clear();
    ignoreFailures([&] {
        if (cboPaperSize->count() == 0)
            throw AppError(err::InvalidPropertyValue);
        cboPaperSize->setCurrentIndex(0);
    });
    txtFrom->setText(startup.PageRange);
    const bool allPages = startup.ConvertPageFrom == 0;
    if (allPages) {
        ignoreFailures([&] { selectOption(chkAllPages); });
        deselectOption(chkFromTo);
    } else {
        deselectOption(chkAllPages);
        ignoreFailures([&] { selectOption(chkFromTo); });
    }
    lblFrom->setEnabled(!allPages);
    txtFrom->setEnabled(!allPages);
    txtfilepathOutput->clear();
    ignoreFailures([&] { setCheckValue(chkOpenDocEditing, startup.Launch != 0); });
}

void FrmMain::Form_Activate()
{
    // Re-applies the flags the option handlers last left; a handler that
    // fails is skipped.
    const StartupSettings& startup = m_context.startup;
    const bool pageRange = startup.ConvertPageFrom != 0;
    if (pageRange) {
        chkFromTo->setEnabled(true);
        ignoreFailures([&] { selectOption(chkFromTo); });
        deselectOption(chkAllPages);
    } else {
        ignoreFailures([&] { selectOption(chkAllPages); });
        chkFromTo->setEnabled(true);
        deselectOption(chkFromTo);
    }
    lblFrom->setEnabled(pageRange);
    txtFrom->setEnabled(pageRange);
    txtTo->setEnabled(pageRange);
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
        [&] { m_context.shell.ShellOpen(helpPageUrl(m_context.folders.files).toString()); });
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
