#include "errors/apperror.h"
#include "platform/x11windowfinder.h"
#include "support/errornumber.h"
#include "x11testwindows.h"

#include <QTest>

using namespace quillmer;
using platform::X11WindowFinder;
using test::X11TestWindows;

// Runs under the Xvfb server of the test run, without a window manager: the
// finder then maps, raises and focuses windows itself.
class TestX11WindowFinder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        X11TestWindows windows;
        if (!windows.connected())
            QSKIP("no X11 display");
        X11WindowFinder finder;
        QVERIFY(finder.connected());
        QVERIFY(!finder.windowManagerRunning());
    }

    void titlesCompareExactlyWithTheirBlanks()
    {
        X11TestWindows windows;
        const uint32_t padded = windows.create(QStringLiteral("Orv PDF     "));
        const uint32_t plain = windows.create(QStringLiteral("Orv PDF"));
        X11WindowFinder finder;
        QCOMPARE(finder.findWindow(QStringLiteral("Orv PDF     ")), padded);
        QCOMPARE(finder.findWindow(QStringLiteral("Orv PDF")), plain);
        QCOMPARE(finder.findWindow(QStringLiteral("Orv PDF  ")), std::nullopt);
        QCOMPARE(finder.findWindow(QStringLiteral("orv pdf")), std::nullopt);
    }

    void titleFallsBackToWmNameAndFindsFramedClients()
    {
        X11TestWindows windows;
        const uint32_t legacy =
            windows.create(QStringLiteral("Quillmer-Powerful PDF Conversion Tool"), false,
                           X11TestWindows::TitleProperty::WmNameOnly);
        const uint32_t framed = windows.createFramed(QStringLiteral("Framed \u00e9t\u00e9"));
        X11WindowFinder finder;
        QCOMPARE(finder.findWindow(QStringLiteral("Quillmer-Powerful PDF Conversion Tool")),
                 legacy);
        QCOMPARE(finder.findWindow(QStringLiteral("Framed \u00e9t\u00e9")), framed);
        QCOMPARE(finder.windowTitle(framed), QStringLiteral("Framed \u00e9t\u00e9"));
    }

    void minimisedWindowIsRestoredAndBroughtToFront()
    {
        X11TestWindows windows;
        const uint32_t sibling = windows.create(QStringLiteral("Orv PDF     "), true);
        const uint32_t normal = windows.create(QStringLiteral("Another window"));
        X11WindowFinder finder;
        QVERIFY(finder.isIconic(sibling));
        QVERIFY(!finder.isIconic(normal));
        QVERIFY(!windows.isViewable(sibling));

        finder.restoreWindow(sibling);
        finder.setForegroundWindow(sibling);
        windows.sync();
        QVERIFY(windows.isViewable(sibling));
        QVERIFY(windows.isTopmostViewable(sibling));
        QCOMPARE(windows.inputFocus(), sibling);

        // Bringing another to the front puts it over the first.
        finder.setForegroundWindow(normal);
        windows.sync();
        QVERIFY(windows.isTopmostViewable(normal));
        QCOMPARE(windows.inputFocus(), normal);
    }

    void activationPrefersTheExactTitleThenAPrefix()
    {
        X11TestWindows windows;
        const uint32_t plain = windows.create(QStringLiteral("Orv PDF"));
        const uint32_t padded = windows.create(QStringLiteral("Orv PDF     "));
        X11WindowFinder finder;
        finder.activateApplication(QStringLiteral("Orv PDF"));
        windows.sync();
        QCOMPARE(windows.inputFocus(), plain);

        windows.destroy(plain);
        finder.activateApplication(QStringLiteral("Orv PDF"));
        windows.sync();
        QCOMPARE(windows.inputFocus(), padded);

        QCOMPARE(test::errorNumber(
                     [&] { finder.activateApplication(QStringLiteral("No such window")); }),
                 err::InvalidCall);
    }

    void aWindowThatIsGoneFails()
    {
        X11TestWindows windows;
        const uint32_t w = windows.create(QStringLiteral("Short-lived"), true);
        windows.destroy(w);
        X11WindowFinder finder;
        QVERIFY(!finder.isIconic(w));
        QCOMPARE(finder.windowTitle(w), QString());
        QVERIFY_THROWS_EXCEPTION(AppError, finder.restoreWindow(w));
    }

    void withoutADisplayNothingIsFound()
    {
        X11TestWindows windows;
        windows.create(QStringLiteral("Orv PDF     "));
        X11WindowFinder unreachable(QStringLiteral(":4711"));
        QVERIFY(!unreachable.connected());
        QCOMPARE(unreachable.findWindow(QStringLiteral("Orv PDF     ")), std::nullopt);
        QVERIFY(unreachable.clientWindows().isEmpty());

        // Qt's offscreen platform has no display, even when one is running.
        auto offscreen = platform::openDesktopWindowFinder(QStringLiteral("offscreen"));
        QCOMPARE(offscreen->findWindow(QStringLiteral("Orv PDF     ")), std::nullopt);
        QVERIFY_THROWS_EXCEPTION(AppError,
                                 offscreen->activateApplication(QStringLiteral("Orv PDF")));
        auto x11 = platform::openDesktopWindowFinder(QStringLiteral("xcb"));
        QVERIFY(x11->findWindow(QStringLiteral("Orv PDF     ")).has_value());
    }
};

QTEST_GUILESS_MAIN(TestX11WindowFinder)
#include "tst_x11windowfinder.moc"
