#include "splashfakes.h"
#include "support/fakes.h"
#include "x11testwindows.h"

#include "app/frmsplash.h"
#include "errors/services.h"
#include "platform/x11windowfinder.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>

using namespace quillmer;
using test::X11TestWindows;

namespace {

struct Rig
{
    test::FakeMessageBox box;
    test::FakePointer pointer;
    ErrorHandler errors{box, pointer};
    test::RecordingHost host;
    platform::X11WindowFinder finder;
};

const QString program = QStringLiteral(QUILLMER_PROGRAM_DIR "/Quillmer");

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
        app::FrmSplash splash(rig.host, rig.finder, rig.errors);
        splash.Timer1_Timer();
        windows.sync();
        QVERIFY(windows.isViewable(sibling));
        QVERIFY(windows.isTopmostViewable(sibling));
        QCOMPARE(windows.inputFocus(), sibling);
        QCOMPARE(rig.host.ends, 1);
        QCOMPARE(rig.host.mainShown, 0);
        QVERIFY(rig.box.shown.isEmpty());
    }

    void theToolWindowComesToTheFrontLast()
    {
        X11TestWindows windows;
        const uint32_t tool = windows.create(app::ToolWindowTitle, true);
        const uint32_t sibling = windows.create(app::SiblingWindowTitle);
        Rig rig;
        app::FrmSplash splash(rig.host, rig.finder, rig.errors);
        splash.Timer1_Timer();
        windows.sync();
        QVERIFY(windows.isViewable(sibling));
        QVERIFY(windows.isViewable(tool));
        QVERIFY(windows.isTopmostViewable(tool));
        QCOMPARE(windows.inputFocus(), tool);
        QCOMPARE(rig.host.ends, 1);
    }

    void titlesWithoutTheFiveBlanksDoNotCount()
    {
        X11TestWindows windows;
        const uint32_t plain = windows.create(app::SiblingApplicationTitle, true);
        const uint32_t oneBlank = windows.create(QStringLiteral("Orv PDF "), true);
        Rig rig;
        app::FrmSplash splash(rig.host, rig.finder, rig.errors);
        splash.show();
        splash.Timer1_Timer();
        windows.sync();
        QCOMPARE(rig.host.ends, 0);
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
        QTRY_VERIFY_WITH_TIMEOUT(finder.findWindow(QStringLiteral("Ferrowind XL")).has_value(), 30000);
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
        quillmer.kill();
        QVERIFY(quillmer.waitForFinished());
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
        windows.sync();
        QVERIFY(windows.isViewable(sibling));
        QVERIFY(windows.isTopmostViewable(sibling));
        QCOMPARE(windows.inputFocus(), sibling);
    }
};

QTEST_MAIN(TestHandOver)
#include "tst_handover.moc"
