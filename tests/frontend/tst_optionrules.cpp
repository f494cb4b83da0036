#include "frontend/optionrules.h"

#include <QTest>

using namespace quillmer;

namespace {

// Types keys into a box through its filter, as the window does.
QString type(const QString& keys, char16_t (*filter)(const QString&, char16_t))
{
    QString text;
    for (QChar c : keys) {
        const char16_t passed = filter(text, c.unicode());
        if (passed == 8)
            text.chop(1);
        else if (passed)
            text += QChar(passed);
    }
    return text;
}

char16_t toFilter(const QString& text, char16_t key)
{
    return txtTo_KeyPress(text, key, QLocale(QLocale::English, QLocale::UnitedStates));
}

} // namespace

class TestOptionRules : public QObject
{
    Q_OBJECT

private slots:
    void numericTest_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "en_US" << "100" << true << 100.0;
        QTest::newRow("blanks") << "en_US" << "  10  " << true << 10.0;
        QTest::newRow("fraction") << "en_US" << "9.5" << true << 9.5;
        QTest::newRow("sign") << "en_US" << "-3" << true << -3.0;
        QTest::newRow("exponent") << "en_US" << "1e2" << true << 100.0;
        QTest::newRow("groups") << "en_US" << "1,000" << true << 1000.0;
        QTest::newRow("german decimal") << "de_DE" << "9,5" << true << 9.5;
        QTest::newRow("german dot is a group") << "de_DE" << "9.5" << false << 0.0;
        QTest::newRow("empty") << "en_US" << "" << false << 0.0;
        QTest::newRow("blanks only") << "en_US" << "   " << false << 0.0;
        QTest::newRow("letters") << "en_US" << "abc" << false << 0.0;
        QTest::newRow("range text") << "en_US" << "1-3" << false << 0.0;
        QTest::newRow("two decimals") << "en_US" << "1.2.3" << false << 0.0;
        QTest::newRow("digit then letter") << "en_US" << "5a" << false << 0.0;
        QTest::newRow("nan") << "en_US"
                             << "nan" << false << 0.0;
        QTest::newRow("inf") << "en_US"
                             << "inf" << false << 0.0;
        QTest::newRow("-inf") << "en_US"
                              << " -inf " << false << 0.0;
    }

    void numericTest()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QFETCH(double, value);
        const QLocale l(locale);
        QCOMPARE(IsNumeric(text, l), numeric);
        if (numeric)
            QCOMPARE(*toNumber(text, l), value);
    }

    void firstPageFilter_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("shown");
        QTest::newRow("separator into empty box") << "-," << "";
        QTest::newRow("1 - , 3") << "1-,3" << "1-3";
        QTest::newRow("comma list") << "1,2,3" << "1,2,3";
        QTest::newRow("letters and controls") << QStringLiteral("1a\x16" "b2") << "12";
        QTest::newRow("backspace") << QStringLiteral("12\b3") << "13";
        QTest::newRow("after backspace a separator may follow") << QStringLiteral("1-\b,") << "1,";
    }

    void firstPageFilter()
    {
        QFETCH(QString, keys);
        QFETCH(QString, shown);
        QCOMPARE(type(keys, txtFrom_KeyPress), shown);
    }

    void lastPageFilter_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("shown");
        QTest::newRow("one letter after a number") << "5ab" << "5a";
        QTest::newRow("letter into empty box") << "x" << "";
        QTest::newRow("hyphen anywhere") << "5a--" << "5a--";
        QTest::newRow("digits") << "123" << "123";
    }

    void lastPageFilter()
    {
        QFETCH(QString, keys);
        QFETCH(QString, shown);
        QCOMPARE(type(keys, toFilter), shown);
    }

    void openAfterConversionSetting()
    {
        // 0 -> ticked 2 -> cleared 0 -> ticked 2
        qint16 launch = 0;
        launch = launchAfterClick(launch, true);
        QCOMPARE(launch, qint16(2));
        launch = launchAfterClick(launch, false);
        QCOMPARE(launch, qint16(0));
        launch = launchAfterClick(launch, true);
        QCOMPARE(launch, qint16(2));
        // A value from the settings file is kept when ticked again.
        QCOMPARE(launchAfterClick(5, true), qint16(5));
        QCOMPARE(launchAfterClick(1, true), qint16(1));
    }
};

QTEST_GUILESS_MAIN(TestOptionRules)
#include "tst_optionrules.moc"
