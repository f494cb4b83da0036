#include "app/frmsplash.h"

#include "errors/trap.h"
#include "ui/theme.h"

#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

namespace quillmer::app {

namespace {

QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
              const QFont& font)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(geometry);
    l->setFont(font);
    return l;
}

QTimer* timer(QObject* parent, const char* name, int interval)
{
    auto* t = new QTimer(parent);
    t->setObjectName(QLatin1String(name));
    t->setInterval(interval);
    t->setTimerType(Qt::PreciseTimer);
    return t;
}

} // namespace

FrmSplash::FrmSplash(SplashHost& host, ProgramExit& ender, platform::WindowFinder& finder,
                     ErrorHandler& errors, QWidget* parent)
    : QWidget(parent), m_host(host), m_ender(ender), m_finder(finder), m_errors(errors)
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QStringLiteral("Ferrowind XL"));
    setWindowIcon(QIcon(ui::builtInPicture(QStringLiteral("quillmer-icon.gif"))));
    setFixedSize(700, 250);
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0xF4, 0xFB, 0xF4));
    palette.setColor(QPalette::WindowText, QColor(0, 64, 0));
    palette.setColor(QPalette::Highlight, QColor(46, 125, 50));
    setPalette(palette);
    setAutoFillBackground(true);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 700, 90);
    Image1->setPixmap(ui::builtInPicture(QStringLiteral("splash.gif")));

    const QFont text = ui::designFont(QStringLiteral("Verdana"), 8.25, false);
    Label2 = label(this, "Label2", QStringLiteral("Excel to PDF Converter"),
                   QRect(20, 100, 500, 30), ui::designFont(QStringLiteral("Arial"), 15.75, true));
    Label1 = label(this, "Label1", QStringLiteral("Ver 2.8"), QRect(580, 106, 100, 22),
                   ui::designFont(QStringLiteral("Arial"), 9.75, true));
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblConversion = label(this, "lblConversion", loadingText(), QRect(20, 142, 660, 18), text);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(20, 164, 660, 18);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    label(this, "lblNotice1", QStringLiteral("Copyright \u00a9 the Quillmer developers."),
          QRect(20, 200, 660, 16), text);
    label(this, "lblNotice2",
          QStringLiteral("Quillmer prints your workbooks with LibreOffice Calc and makes the PDF "
                         "with Ghostscript."),
          QRect(20, 218, 660, 16), text);

    Timer1 = timer(this, "Timer1", 4000);
    Timer2 = timer(this, "Timer2", 500);
    Timer3 = timer(this, "Timer3", 100);
    connect(Timer1, &QTimer::timeout, this, &FrmSplash::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &FrmSplash::Timer2_Timer);
    connect(Timer3, &QTimer::timeout, this, &FrmSplash::Timer3_Timer);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

FrmSplash::~FrmSplash() = default;

void FrmSplash::showEvent(QShowEvent* event)
{
    // Loading runs the load handler before the window is displayed; the
    // three timers start counting when it is loaded.
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
        Timer1->start();
        Timer2->start();
        Timer3->start();
    }
    QWidget::showEvent(event);
}

void FrmSplash::Form_Load()
{
    m_host.LoadStartupSettings();
}

void FrmSplash::Timer3_Timer()
{
    if (ProgressBar1->value() == 100)
        ProgressBar1->setValue(0);
    ProgressBar1->setValue(ProgressBar1->value() + 2);
}

void FrmSplash::Timer2_Timer()
{
    iCount = static_cast<qint16>(iCount + 500);
    if (bConversion) {
        lblConversion->setText(longWaitText());
        bConversion = false;
    } else {
        lblConversion->setText(shortWaitText());
        bConversion = true;
    }
    if (iCount >= 4000) {
        lblConversion->setText(loadedText());
        Timer2->stop();
    }
}

void FrmSplash::Timer1_Timer()
{
    // A message box of the error handler must not let a second tick in.
    if (m_handingOver)
        return;
    m_handingOver = true;
    // A failing step is reported and the tick goes on with the next one.
    Trap trap(m_errors, QStringLiteral("tmr_Timer()"));
    qint16 found = 0;
    trap.stepAlways([&] { found = FindSiblingWindow(); });
    if (found == 1) {
        trap.stepAlways([&] { m_finder.activateApplication(SiblingApplicationTitle); });
        trap.stepAlways([&] { BringToolWindowToFront(); });
        trap.stepAlways([&] { m_ender.EndProgram(); });
        return;
    }
    trap.stepAlways([&] {
        show();
        activateWindow();
    });
    trap.stepAlways([&] { m_host.ShowMainWindow(); });
    trap.stepAlways([&] { Unload(); });
}

qint16 FrmSplash::FindSiblingWindow()
{
    const std::optional<platform::WindowHandle> window = m_finder.findWindow(SiblingWindowTitle);
    if (!window)
        return 0;
    if (m_finder.isIconic(*window))
        m_finder.restoreWindow(*window);
    m_finder.setForegroundWindow(*window);
    return 1;
}

void FrmSplash::BringToolWindowToFront()
{
    captureError([&] {
        const std::optional<platform::WindowHandle> window = m_finder.findWindow(ToolWindowTitle);
        if (!window)
            return;
        if (m_finder.isIconic(*window))
            m_finder.restoreWindow(*window);
        m_finder.setForegroundWindow(*window);
    });
}

void FrmSplash::Unload()
{
    Timer1->stop();
    Timer2->stop();
    Timer3->stop();
    close();
}

} // namespace quillmer::app
