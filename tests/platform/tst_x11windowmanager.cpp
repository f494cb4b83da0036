#include "platform/x11windowfinder.h"
#include "x11testwindows.h"

#include <QProcess>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>

using namespace quillmer;
using platform::X11WindowFinder;
using test::X11TestWindows;

// The look-ups on a desktop with a window manager (Openbox, started here on
// the test run's Xvfb server and stopped at the end): the manager lists the
// windows, iconifies them, and restores and activates them on request. One
// connection makes every window, so that no window id is used twice while
// the manager may still remember it.
class TestX11WindowManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        X11TestWindows& windows = m_windows;
        if (!windows.connected())
            QSKIP("no X11 display");
        X11WindowFinder finder;
        QVERIFY(!finder.windowManagerRunning());
        m_manager.setProgram(QStringLiteral("openbox"));
        m_manager.setArguments({QStringLiteral("--sm-disable")});
        // The manager never outlives this test, even when the test crashes.
        m_manager.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_manager.start();
        QVERIFY2(m_manager.waitForStarted(), "openbox (Debian package openbox) is needed");
        QTRY_VERIFY_WITH_TIMEOUT(finder.windowManagerRunning(), 30000);
        // The manager announces itself before it manages windows: a window
        // mapped in between stays unmanaged. Wait until one is managed.
        bool managing = false;
        for (int attempt = 0; attempt < 30 && !managing; ++attempt) {
            const uint32_t probe = windows.create(QStringLiteral("Quillmer probe"));
            managing = QTest::qWaitFor([&] { return windows.managedWindows().contains(probe); }, 1000);
            windows.destroy(probe);
        }
        QVERIFY(managing);
    }

    void cleanup()
    {
        // Each test starts once the manager has let go of the last test's
        // windows.
        m_windows.destroyAll();
        X11WindowFinder finder;
        QTRY_VERIFY(finder.clientWindows().isEmpty());
    }

    void cleanupTestCase()
    {
        if (m_manager.state() == QProcess::NotRunning)
            return;
        m_manager.terminate();
        QVERIFY(m_manager.waitForFinished(30000));
        X11WindowFinder finder;
        QVERIFY(!finder.windowManagerRunning());
    }

    void managedWindowsAreFoundByTheirTitle()
    {
        X11TestWindows& windows = m_windows;
        const uint32_t sibling = windows.create(QStringLiteral("Orv PDF     "));
        const uint32_t plain = windows.create(QStringLiteral("Orv PDF"));
        X11WindowFinder finder;
        // The manager frames them, and lists the clients.
        QTRY_COMPARE(finder.findWindow(QStringLiteral("Orv PDF     ")), sibling);
        QTRY_COMPARE(finder.findWindow(QStringLiteral("Orv PDF")), plain);
    }

    void aMinimisedWindowIsRestoredAndActivated()
    {
        X11TestWindows& windows = m_windows;
        const uint32_t sibling = windows.create(QStringLiteral("Orv PDF     "));
        X11WindowFinder finder;
        QTRY_COMPARE(finder.findWindow(QStringLiteral("Orv PDF     ")), sibling);
        QTRY_VERIFY(windows.isViewable(sibling)); // managed and shown
        windows.iconify(sibling);
        QTRY_VERIFY(finder.isIconic(sibling));
        QVERIFY(!windows.isViewable(sibling));
        const uint32_t other = windows.create(QStringLiteral("Another window"));
        QTRY_VERIFY(windows.isViewable(other));
        finder.setForegroundWindow(other);
        QTRY_COMPARE(windows.activeWindow(), other);

        finder.restoreWindow(sibling);
        finder.setForegroundWindow(sibling);
        QTRY_VERIFY(!finder.isIconic(sibling));
        QTRY_VERIFY(windows.isViewable(sibling));
        QTRY_COMPARE(windows.activeWindow(), sibling);
        QTRY_COMPARE(finder.clientWindows().value(0), sibling); // topmost
    }

    void activationByTitleGoesThroughTheManager()
    {
        X11TestWindows& windows = m_windows;
        const uint32_t sibling = windows.create(QStringLiteral("Orv PDF     "));
        const uint32_t other = windows.create(QStringLiteral("Another window"));
        X11WindowFinder finder;
        QTRY_VERIFY(windows.isViewable(other));
        finder.setForegroundWindow(other);
        QTRY_COMPARE(windows.activeWindow(), other);
        finder.activateApplication(QStringLiteral("Orv PDF"));
        QTRY_COMPARE(windows.activeWindow(), sibling);
    }

private:
    X11TestWindows m_windows;
    QProcess m_manager;
};

QTEST_GUILESS_MAIN(TestX11WindowManager)
#include "tst_x11windowmanager.moc"
