#pragma once

#include "errors/errorhandler.h"
#include "errors/services.h"
#include "platform/windowfinder.h"

#include <QString>
#include <QWidget>

class QLabel;
class QProgressBar;
class QTimer;

namespace quillmer::app {

// What the splash window asks of the program around it.
class SplashHost
{
public:
    virtual ~SplashHost() = default;
    // The splash window's load handler: fills the start-up settings.
    virtual void LoadStartupSettings() = 0;
    // Loads and shows the main window.
    virtual void ShowMainWindow() = 0;
};

// The window titles of the sibling check, blanks included.
inline const QString SiblingWindowTitle = QStringLiteral("Orv PDF     ");
inline const QString SiblingApplicationTitle = QStringLiteral("Orv PDF");
inline const QString ToolWindowTitle = QStringLiteral("Quillmer-Powerful PDF Conversion Tool");

// frmSplash: shown for four seconds at start-up while the settings load and
// the bar and the wait texts run; then it hands over to the main window, or
// brings an open window of the sibling product to the front and ends the
// program.
class FrmSplash : public QWidget
{
    Q_OBJECT
public:
    FrmSplash(SplashHost& host, ProgramExit& ender, platform::WindowFinder& finder,
              ErrorHandler& errors, QWidget* parent = nullptr);
    ~FrmSplash() override;

    // The three timers' ticks: Timer1 hands over (first tick at 4000 ms),
    // Timer2 changes the wait text (500 ms), Timer3 moves the bar (100 ms).
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();

    // 1 when a window titled exactly "Orv PDF     " was found and brought to
    // the front (restored first when minimised), else 0.
    qint16 FindSiblingWindow();
    // Brings a "Quillmer-Powerful PDF Conversion Tool" window to the front if
    // one exists; never fails.
    void BringToolWindowToFront();

    // Stops the three timers and closes the window.
    void Unload();

    static QString loadingText()
    {
        return QStringLiteral("Please wait... loading application settings...");
    }
    static QString shortWaitText() { return QStringLiteral("Please wait..."); }
    static QString longWaitText()
    {
        return QStringLiteral("Please wait......Initializing Application");
    }
    static QString loadedText() { return QStringLiteral("Application Loaded Successfully"); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();

    SplashHost& m_host;
    ProgramExit& m_ender;
    platform::WindowFinder& m_finder;
    ErrorHandler& m_errors;
    bool m_loaded = false;
    bool m_handingOver = false;

    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QTimer* Timer3 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* lblConversion = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Image1 = nullptr;

    bool bConversion = false; // Timer2 shows the long text next
    qint16 iCount = 0;        // milliseconds counted by Timer2
};

} // namespace quillmer::app
