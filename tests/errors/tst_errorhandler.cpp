#include "errors/errorhandler.h"
#include "errors/trap.h"
#include "support/fakes.h"

#include <QTest>

#include <stdexcept>

using namespace quillmer;
using quillmer::test::FakeMessageBox;
using quillmer::test::FakePointer;

class TestErrorHandler : public QObject
{
    Q_OBJECT

private slots:
    void decides_data();
    void decides();
    void overflowMessageIsTwoLines();
    void databaseMessageCarriesTheDescription();
    void neverFailsItself();
    void trapGoesOnOrLeaves();
    void trapTurnsExceptionsIntoErrors();
};

void TestErrorHandler::decides_data()
{
    QTest::addColumn<qint32>("number");
    QTest::addColumn<bool>("goOn");
    QTest::addColumn<int>("messages");

    QTest::newRow("0 no pending failure") << 0 << true << 0;
    QTest::newRow("6 overflow") << 6 << false << 1;
    QTest::newRow("11") << 11 << true << 0;
    QTest::newRow("13") << 13 << true << 0;
    QTest::newRow("53 file not found") << 53 << true << 0;
    QTest::newRow("91") << 91 << false << 0;
    QTest::newRow("94") << 94 << true << 0;
    QTest::newRow("380") << 380 << true << 0;
    QTest::newRow("429") << 429 << true << 0;
    QTest::newRow("3265") << 3265 << true << 0;
    QTest::newRow("3704") << 3704 << false << 0;
    QTest::newRow("35773") << 35773 << false << 0;
    QTest::newRow("0x80004005") << qint32(0x80004005) << false << 1;
    QTest::newRow("0x80040E23") << qint32(0x80040E23) << false << 1;
    QTest::newRow("0x80040E37") << qint32(0x80040E37) << false << 1;
    QTest::newRow("0x80020005") << qint32(0x80020005) << true << 0;
    QTest::newRow("0x80040E14") << qint32(0x80040E14) << false << 0;
    QTest::newRow("-1") << -1 << true << 0;
}

void TestErrorHandler::decides()
{
    QFETCH(qint32, number);
    QFETCH(bool, goOn);
    QFETCH(int, messages);

    FakeMessageBox box;
    FakePointer pointer;
    pointer.setBusy();
    ErrorHandler handler(box, pointer);
    QCOMPARE(handler.HandleError(number, QStringLiteral("desc"), QStringLiteral("any:label")), goOn);
    QCOMPARE(box.shown.size(), messages);
    for (const auto& shown : box.shown) {
        QCOMPARE(shown.icon, MessageIcon::Critical);
        QCOMPARE(shown.buttons, MessageButtons::Ok);
        QVERIFY(!shown.text.contains(QLatin1String("any:label")));
    }
    QVERIFY(!pointer.busy);
}

void TestErrorHandler::overflowMessageIsTwoLines()
{
    FakeMessageBox box;
    FakePointer pointer;
    ErrorHandler(box, pointer).HandleError(6, QStringLiteral("Overflow"), QString());
    QCOMPARE(box.texts(), QStringList{QStringLiteral(
                              "Error: OverFlow of Controls.\r\nYou have exceeded the control limits.")});
}

void TestErrorHandler::databaseMessageCarriesTheDescription()
{
    FakeMessageBox box;
    FakePointer pointer;
    ErrorHandler(box, pointer)
        .HandleError(qint32(0x80004005), QStringLiteral("[Provider] Unspecified error"), QString());
    QCOMPARE(box.texts(),
             QStringList{QStringLiteral("Following error occured while accessing database:\r\n\r\n"
                                        "[Provider] Unspecified error\r\n\r\n"
                                        "Please contact the database administrator.")});
}

void TestErrorHandler::neverFailsItself()
{
    FakeMessageBox box;
    box.failing = true;
    FakePointer pointer;
    pointer.failing = true;
    ErrorHandler handler(box, pointer);
    QCOMPARE(handler.HandleError(6, QString(), QString()), false);
    QCOMPARE(handler.HandleError(53, QString(), QString()), true);
    QCOMPARE(pointer.defaultCalls, 2);
}

void TestErrorHandler::trapGoesOnOrLeaves()
{
    FakeMessageBox box;
    FakePointer pointer;
    ErrorHandler handler(box, pointer);
    Trap trap(handler, QStringLiteral("test"));

    int ran = 0;
    QVERIFY(trap.step([&] { ++ran; }));
    QVERIFY(!trap.lastError());

    // 53 lets the procedure go on with its next step.
    QVERIFY(trap.step([&] { throw AppError(err::FileNotFound); }));
    QCOMPARE(trap.lastError()->number(), err::FileNotFound);
    QCOMPARE(trap.lastError()->description(), QStringLiteral("File not found"));

    // 91 makes it leave.
    QVERIFY(!trap.step([&] { throw AppError(err::ObjectNotSet); }));

    // stepAlways asks (the box is shown) but never stops the procedure.
    trap.stepAlways([&] { throw AppError(err::Overflow); });
    QCOMPARE(box.shown.size(), 1);
    trap.stepAlways([&] { ++ran; });
    QCOMPARE(ran, 2);

    // A trap that also puts a pointer back after a failure, whatever the answer.
    FakePointer window;
    window.setBusy();
    Trap resetting(handler, QStringLiteral("test"), window);
    QVERIFY(resetting.step([] {}));
    QVERIFY(window.busy);
    QVERIFY(!resetting.step([&] { throw AppError(err::ObjectNotSet); }));
    QVERIFY(!window.busy);

    ignoreFailures([] { throw std::runtime_error("skipped"); });
}

void TestErrorHandler::trapTurnsExceptionsIntoErrors()
{
    auto e = captureError([] { throw std::runtime_error("boom"); });
    QVERIFY(e);
    QCOMPARE(e->number(), err::InvalidCall);
    QCOMPARE(e->description(), QStringLiteral("boom"));

    e = captureError([] { throw std::bad_alloc(); });
    QCOMPARE(e->number(), err::OutOfMemory);

    e = captureError([] { throw 42; });
    QCOMPARE(e->number(), err::InvalidCall);

    e = captureError([] { throw AppError(err::CannotCreateObject); });
    QCOMPARE(e->number(), 429);
    QCOMPARE(e->description(), QStringLiteral("ActiveX component can't create object"));
}

QTEST_GUILESS_MAIN(TestErrorHandler)
#include "tst_errorhandler.moc"
