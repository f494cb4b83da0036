#include "app/frmsplash.h"
#include "errors/services.h"
#include "platform/x11windowfinder.h"
#include "splashfakes.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/officeprocesses.h"
#include "support/registrytext.h"
#include "x11testwindows.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace quillmer;
using test::X11TestWindows;

namespace {

struct Rig : test::SplashRig
{
    platform::X11WindowFinder finder;
};

const QString program = QStringLiteral(QUILLMER_PROGRAM_DIR "/Quillmer");

// Real key presses (XTEST) to whichever window has the input focus.
void pressKeys(const QStringList& keys)
{
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), QStringList{"key"} + keys), 0);
}

} // namespace

// The sibling check and the hand-over on a real X server (the test run's
// Xvfb, without a window manager), with real windows of another program.
class TestHandOver : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        X11TestWindows windows;
        if (!windows.connected())
            QSKIP("no X11 display");
    }

    void aMinimisedSiblingIsRestoredAndTheProgramEnds()
    {
        X11TestWindows windows;
        const uint32_t sibling = windows.create(app::SiblingWindowTitle, true);
        windows.create(QStringLiteral("Some editor"));
        Rig rig;
        app::FrmSplash splash(rig.host, rig.ender, rig.finder, rig.errors);
        splash.Timer1_Timer();
        windows.sync();
        QVERIFY(windows.isViewable(sibling));
        QVERIFY(windows.isTopmostViewable(sibling));
        QCOMPARE(windows.inputFocus(), sibling);
        QCOMPARE(rig.ender.calls, 1);
        QCOMPARE(rig.host.mainShown, 0);
        QVERIFY(rig.box.shown.isEmpty());
    }

    void theToolWindowComesToTheFrontLast()
    {
        X11TestWindows windows;
        const uint32_t tool = windows.create(app::ToolWindowTitle, true);
        const uint32_t sibling = windows.create(app::SiblingWindowTitle);
        Rig rig;
        app::FrmSplash splash(rig.host, rig.ender, rig.finder, rig.errors);
        splash.Timer1_Timer();
        windows.sync();
        QVERIFY(windows.isViewable(sibling));
        QVERIFY(windows.isViewable(tool));
        QVERIFY(windows.isTopmostViewable(tool));
        QCOMPARE(windows.inputFocus(), tool);
        QCOMPARE(rig.ender.calls, 1);
    }

    void titlesWithoutTheFiveBlanksDoNotCount()
    {
        X11TestWindows windows;
        const uint32_t plain = windows.create(app::SiblingApplicationTitle, true);
        const uint32_t oneBlank = windows.create(QStringLiteral("Orv PDF "), true);
        Rig rig;
        app::FrmSplash splash(rig.host, rig.ender, rig.finder, rig.errors);
        splash.show();
        splash.Timer1_Timer();
        windows.sync();
        QCOMPARE(rig.ender.calls, 0);
        QCOMPARE(rig.host.mainShown, 1);
        QVERIFY(!splash.isVisible());
        QVERIFY(!windows.isViewable(plain));
        QVERIFY(!windows.isViewable(oneBlank));
    }

    // The program itself: the splash, and at four seconds the main window.
    // Arguments change nothing, Qt's own included.
    void theProgramHandsOverToItsMainWindow()
    {
        platform::X11WindowFinder finder;
        QElapsedTimer clock;
        QProcess quillmer;
        quillmer.setProgram(program);
        quillmer.setArguments({QStringLiteral("-platform"), QStringLiteral("offscreen"),
                               QStringLiteral("--no-such-option"), QStringLiteral("book.xls")});
        clock.start();
        quillmer.start();
        QVERIFY(quillmer.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(finder.findWindow(QStringLiteral("Ferrowind XL")).has_value(),
                                 30000);
        QVERIFY(!finder.findWindow(ApplicationTitle).has_value());
        QTRY_VERIFY_WITH_TIMEOUT(finder.findWindow(ApplicationTitle).has_value(), 30000);
        const qint64 handOver = clock.elapsed();
        // The hand-over timer started after the program did.
        QVERIFY2(handOver >= 4000, qPrintable(QString::number(handOver)));
        qInfo("main window found %lld ms after the start", handOver);

        X11TestWindows windows;
        const auto viewableSplash = [&] {
            const auto splash = finder.findWindow(QStringLiteral("Ferrowind XL"));
            return splash && windows.isViewable(*splash);
        };
        QTRY_VERIFY_WITH_TIMEOUT(!viewableSplash(), 10000);
        QVERIFY(windows.isViewable(*finder.findWindow(ApplicationTitle)));
        QCOMPARE(quillmer.state(), QProcess::Running);

        // The first conversion's office is ready, headless and without the
        // display, so it can neither show a window nor take the focus.
        const pid_t pid = pid_t(quillmer.processId());
        QTRY_COMPARE_WITH_TIMEOUT(test::ourOfficeProcesses(pid).size(), 1, 30000);
        const QByteArrayList environment =
            test::environmentOf(test::ourOfficeProcesses(pid).first());
        QVERIFY(!environment.isEmpty());
        QVERIFY(!std::any_of(environment.begin(), environment.end(),
                             [](const QByteArray& v) { return v.startsWith("DISPLAY="); }));

        // Its printer driver waits for the spool.
        QTRY_COMPARE_WITH_TIMEOUT(test::printerDrivers(pid).size(), 1, 30000);
        const pid_t driver = test::printerDrivers(pid).first();

        // Esc asks the exit question; Enter answers Yes. The office and the
        // driver end with the program.
        QVERIFY(QProcess::execute("xdotool",
                                  {"windowfocus", "--sync",
                                   QString::number(*finder.findWindow(ApplicationTitle))}) == 0);
        pressKeys({"Escape"});
        QTRY_VERIFY_WITH_TIMEOUT(finder.findWindow(ApplicationTitle).has_value(), 5000);
        QTest::qWait(300);
        pressKeys({"Return"});
        QVERIFY(quillmer.waitForFinished(5000));
        QCOMPARE(quillmer.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(test::ourOfficeProcesses(pid).isEmpty(), 2000);
        QTRY_VERIFY_WITH_TIMEOUT(!test::processRuns(driver), 2000);
    }

    // An office that takes its time to start holds up neither the splash nor
    // the main window, and a program that is killed takes it along.
    void theSpareOfficeStartsOnItsOwn()
    {
        QTemporaryDir folder;
        QVERIFY(QFile::copy(program, folder.filePath("Quillmer")));
        QVERIFY(QFile::copy(QStringLiteral(QUILLMER_PROGRAM_DIR "/SETTINGS.INI"),
                            folder.filePath("SETTINGS.INI")));
        test::writeFile(folder.filePath("registry.reg"),
                        test::programRegistryWithOffice(folder.filePath("office")));
        test::writeScript(folder.filePath("office/soffice.bin"), "while :; do sleep 1; done\n");

        platform::X11WindowFinder finder;
        QProcess quillmer;
        quillmer.start(folder.filePath("Quillmer"), {});
        QVERIFY(quillmer.waitForStarted());
        const pid_t pid = pid_t(quillmer.processId());
        QTRY_VERIFY_WITH_TIMEOUT(finder.findWindow(QStringLiteral("Ferrowind XL")).has_value(),
                                 30000);
        QTRY_VERIFY_WITH_TIMEOUT(finder.findWindow(ApplicationTitle).has_value(), 30000);
        // The office is still starting: it has not answered, and never will.
        QCOMPARE(test::ourOfficeProcesses(pid).size(), 1);

        quillmer.kill();
        QVERIFY(quillmer.waitForFinished());
        QTRY_VERIFY_WITH_TIMEOUT(test::ourOfficeProcesses(pid).isEmpty(), 2000);
    }

    void theProgramEndsWhenTheSiblingIsOpen()
    {
        X11TestWindows windows;
        const uint32_t sibling = windows.create(app::SiblingWindowTitle, true);
        platform::X11WindowFinder finder;
        bool mainSeen = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this,
                [&] { mainSeen = mainSeen || finder.findWindow(ApplicationTitle).has_value(); });
        watch.start(20);

        QProcess quillmer;
        quillmer.start(program, {});
        QVERIFY(quillmer.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(quillmer.state() == QProcess::NotRunning, 30000);
        watch.stop();
        QCOMPARE(quillmer.exitStatus(), QProcess::NormalExit);
        QCOMPARE(quillmer.exitCode(), 0);
        QVERIFY(!mainSeen);
        QTRY_VERIFY_WITH_TIMEOUT(test::ourOfficeProcesses(pid_t(quillmer.processId())).isEmpty(),
                                 2000);
        windows.sync();
        QVERIFY(windows.isViewable(sibling));
        QVERIFY(windows.isTopmostViewable(sibling));
        QCOMPARE(windows.inputFocus(), sibling);
    }
};

QTEST_MAIN(TestHandOver)
#include "tst_handover.moc"
