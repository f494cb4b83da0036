#include "app/frmsplash.h"
#include "splashfakes.h"
#include "support/fakes.h"

#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

using namespace quillmer;

namespace {

using Rig = test::SplashRig;

template <typename T> T* child(QWidget& window, const char* name)
{
    return window.findChild<T*>(QLatin1String(name));
}

QString text(app::FrmSplash& splash)
{
    return child<QLabel>(splash, "lblConversion")->text();
}

} // namespace

// The timers' ticks are called directly: no test waits for real time.
class TestSplash : public QObject
{
    Q_OBJECT

private slots:
    void designAndLoad()
    {
        Rig rig;
        platform::NullWindowFinder finder;
        app::FrmSplash splash(rig.host, rig.ender, finder, rig.errors);
        QCOMPARE(splash.objectName(), QStringLiteral("frmSplash"));
        QCOMPARE(splash.windowTitle(), QStringLiteral("Ferrowind XL"));
        QCOMPARE(child<QLabel>(splash, "Label2")->text(), QStringLiteral("Excel to PDF Converter"));
        QCOMPARE(child<QLabel>(splash, "Label1")->text(), QStringLiteral("Ver 2.8"));
        QCOMPARE(text(splash), QStringLiteral("Please wait... loading application settings..."));
        QCOMPARE(child<QLabel>(splash, "Image1")->pixmap().size(), QSize(700, 90));
        auto* bar = child<QProgressBar>(splash, "ProgressBar1");
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
        QCOMPARE(bar->value(), 0);
        const QList<QPair<const char*, int>> timers = {
            {"Timer1", 4000}, {"Timer2", 500}, {"Timer3", 100}};
        for (const auto& [name, interval] : timers) {
            QCOMPARE(child<QTimer>(splash, name)->interval(), interval);
            QVERIFY(!child<QTimer>(splash, name)->isSingleShot());
            QVERIFY(!child<QTimer>(splash, name)->isActive());
        }
        QCOMPARE(rig.host.loads, 0);

        // Showing loads the window: the settings, then the three timers.
        splash.show();
        QCOMPARE(rig.host.loads, 1);
        for (const auto& [name, interval] : timers)
            QVERIFY(child<QTimer>(splash, name)->isActive());
        splash.hide();
        splash.show();
        QCOMPARE(rig.host.loads, 1);
    }

    void barClimbsByTwoAndWraps()
    {
        Rig rig;
        platform::NullWindowFinder finder;
        app::FrmSplash splash(rig.host, rig.ender, finder, rig.errors);
        auto* bar = child<QProgressBar>(splash, "ProgressBar1");
        for (int tick = 1; tick <= 50; ++tick) {
            splash.Timer3_Timer();
            QCOMPARE(bar->value(), 2 * tick);
            if (tick == 40)
                QCOMPARE(bar->value(), 80); // where it stands at the hand-over
        }
        splash.Timer3_Timer();
        QCOMPARE(bar->value(), 2);
        splash.Timer3_Timer();
        QCOMPARE(bar->value(), 4);
    }

    void waitTextsAlternateUntilLoaded()
    {
        Rig rig;
        platform::NullWindowFinder finder;
        app::FrmSplash splash(rig.host, rig.ender, finder, rig.errors);
        splash.show();
        const QString shortText = QStringLiteral("Please wait...");
        const QString longText = QStringLiteral("Please wait......Initializing Application");
        const QStringList expected = {shortText, longText, shortText, longText,
                                      shortText, longText, shortText};
        for (const QString& want : expected) {
            splash.Timer2_Timer();
            QCOMPARE(text(splash), want);
            QVERIFY(child<QTimer>(splash, "Timer2")->isActive());
        }
        splash.Timer2_Timer(); // 4000 ms
        QCOMPARE(text(splash), QStringLiteral("Application Loaded Successfully"));
        QVERIFY(!child<QTimer>(splash, "Timer2")->isActive());
        QVERIFY(child<QTimer>(splash, "Timer1")->isActive());
        QVERIFY(child<QTimer>(splash, "Timer3")->isActive());
    }

    void withoutASiblingTheMainWindowTakesOver()
    {
        Rig rig;
        platform::NullWindowFinder finder;
        app::FrmSplash splash(rig.host, rig.ender, finder, rig.errors);
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        splash.Timer1_Timer();
        QCOMPARE(rig.host.mainShown, 1);
        QCOMPARE(rig.ender.calls, 0);
        QVERIFY(!splash.isVisible());
        for (const char* name : {"Timer1", "Timer2", "Timer3"})
            QVERIFY(!child<QTimer>(splash, name)->isActive());
        QVERIFY(rig.box.shown.isEmpty());
    }

    // Failures in the hand-over tick go to the error handler, and the tick
    // goes on with its next step whatever the handler answers.
    void aFailingMainWindowIsReportedAndTheSplashStillCloses()
    {
        Rig rig;
        rig.host.failShowingMain = true; // error 6: a message, and "leave"
        platform::NullWindowFinder finder;
        app::FrmSplash splash(rig.host, rig.ender, finder, rig.errors);
        splash.show();
        splash.Timer1_Timer();
        QCOMPARE(rig.box.texts(), QStringList{ErrorHandler::overflowMessage()});
        QVERIFY(!splash.isVisible());
        QVERIFY(!child<QTimer>(splash, "Timer1")->isActive());
    }

    void aFailingActivationIsReportedAndTheProgramStillEnds()
    {
        Rig rig;
        test::ScriptedFinder finder;
        finder.windows = {{app::SiblingWindowTitle, 7}, {app::ToolWindowTitle, 9}};
        finder.iconic = {7};
        finder.activationError = err::Overflow;
        app::FrmSplash splash(rig.host, rig.ender, finder, rig.errors);
        splash.Timer1_Timer();
        QCOMPARE(finder.calls, (QStringList{
                                   QStringLiteral("find Orv PDF     "),
                                   QStringLiteral("restore 7"),
                                   QStringLiteral("foreground 7"),
                                   QStringLiteral("activate Orv PDF"),
                                   QStringLiteral("find Quillmer-Powerful PDF Conversion Tool"),
                                   QStringLiteral("foreground 9"),
                               }));
        QCOMPARE(rig.box.texts(), QStringList{ErrorHandler::overflowMessage()});
        QCOMPARE(rig.ender.calls, 1);
        QCOMPARE(rig.host.mainShown, 0);
    }

    void theToolWindowNeverReportsAFailure()
    {
        Rig rig;
        test::ScriptedFinder finder;
        finder.windows = {{app::SiblingWindowTitle, 7}};
        finder.failingLookups = {app::ToolWindowTitle};
        app::FrmSplash splash(rig.host, rig.ender, finder, rig.errors);
        splash.Timer1_Timer();
        QCOMPARE(rig.ender.calls, 1);
        QCOMPARE(rig.pointer.defaultCalls, 0); // nothing reached the error handler
        QVERIFY(rig.box.shown.isEmpty());
    }

    void aFailingSiblingLookupIsReportedAndTheMainWindowShows()
    {
        Rig rig;
        test::ScriptedFinder finder;
        finder.failingLookups = {app::SiblingWindowTitle};
        app::FrmSplash splash(rig.host, rig.ender, finder, rig.errors);
        splash.Timer1_Timer();
        QCOMPARE(rig.pointer.defaultCalls, 1); // reported; error 5 lets the tick go on
        QCOMPARE(rig.host.mainShown, 1);
        QCOMPARE(rig.ender.calls, 0);
    }
};

QTEST_MAIN(TestSplash)
#include "tst_splash.moc"
