#include "errors/apperror.h"
#include "support/errornumber.h"
#include "ui/links.h"
#include "ui/theme.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmer;

class TestTheme : public QObject
{
    Q_OBJECT

private slots:
    void colourReferencesKeepRedInTheLowestByte_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("color");
        QTest::newRow("theme back") << ui::ThemeBackColor << QColor(157, 223, 160);
        QTest::newRow("theme fore") << ui::ThemeForeColor << QColor(0, 64, 0);
        QTest::newRow("red, blanks around") << QStringLiteral("  255 ") << QColor(255, 0, 0);
        QTest::newRow("blue") << QStringLiteral("16711680") << QColor(0, 0, 255);
        QTest::newRow("white") << QStringLiteral("16777215") << QColor(255, 255, 255);
        QTest::newRow("fraction rounds") << QStringLiteral("16383.6") << QColor(0, 64, 0);
    }

    void colourReferencesKeepRedInTheLowestByte()
    {
        QFETCH(QString, text);
        QFETCH(QColor, color);
        QCOMPARE(ui::colorFromColorRef(text), color);
    }

    void textThatIsNoColourFails_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::newRow("word") << QStringLiteral("green") << int(err::TypeMismatch);
        QTest::newRow("empty") << QString() << int(err::TypeMismatch);
        QTest::newRow("beyond 32 bits") << QStringLiteral("99999999999") << int(err::Overflow);
        QTest::newRow("negative") << QStringLiteral("-1") << int(err::InvalidPropertyValue);
        QTest::newRow("above white")
            << QStringLiteral("16777216") << int(err::InvalidPropertyValue);
    }

    void textThatIsNoColourFails()
    {
        QFETCH(QString, text);
        QFETCH(int, number);
        QCOMPARE(test::errorNumber([&] { ui::colorFromColorRef(text); }), number);
    }

    void picturesLoadOrFailWithTheirNumber()
    {
        QTemporaryDir dir;
        QCOMPARE(ui::loadPicture(QStringLiteral(QUILLMER_PROGRAM_DIR "/images/faq.gif")).size(),
                 QSize(56, 56));
        QCOMPARE(ui::builtInPicture(QStringLiteral("splash.gif")).size(), QSize(700, 90));
        QCOMPARE(ui::builtInPicture(QStringLiteral("quillmer-icon.gif")).size(), QSize(32, 32));

        QCOMPARE(test::errorNumber(
                     [&] { ui::loadPicture(dir.filePath(QStringLiteral("missing.gif"))); }),
                 err::FileNotFound);
        QFile garbage(dir.filePath(QStringLiteral("garbage.gif")));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write("GIF89a but not really a picture");
        garbage.close();
        QCOMPARE(test::errorNumber([&] { ui::loadPicture(garbage.fileName()); }), 481);
        // A folder in the picture's place is no picture either.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("home.gif")));
        QVERIFY_THROWS_EXCEPTION(AppError,
                                 ui::loadPicture(dir.filePath(QStringLiteral("home.gif"))));
    }

    void missingFontsGetTheirMetricStandIns()
    {
        if (!QFontDatabase::hasFamily(QStringLiteral("Verdana")))
            QCOMPARE(ui::fontFamily(QStringLiteral("Verdana")), QStringLiteral("DejaVu Sans"));
        if (!QFontDatabase::hasFamily(QStringLiteral("Arial")))
            QCOMPARE(ui::fontFamily(QStringLiteral("Arial")), QStringLiteral("Liberation Sans"));
        if (!QFontDatabase::hasFamily(QStringLiteral("MS Sans Serif")))
            QCOMPARE(ui::fontFamily(QStringLiteral("MS Sans Serif")),
                     QStringLiteral("Liberation Sans"));
        // The stand-ins are installed (scripts/packages.txt), so the window
        // gets them rather than whatever fontconfig would pick.
        for (const QString& family : {QStringLiteral("Verdana"), QStringLiteral("Arial"),
                                      QStringLiteral("MS Sans Serif")}) {
            const QFont font = ui::designFont(family, 8.25, true);
            QCOMPARE(QFontInfo(font).family(), ui::fontFamily(family));
            QVERIFY(font.bold());
            QCOMPARE(font.pointSizeF(), 8.25);
        }
    }

    void linkTargets()
    {
        QCOMPARE(ui::helpPageUrl(QStringLiteral("/opt/Quill mer")),
                 QUrl::fromLocalFile(QStringLiteral("/opt/Quill mer/help/QuillmerExcel.html")));
        QCOMPARE(ui::homePageUrl().toString(),
                 QStringLiteral("http://www.quillmer.example/index.aspx"));
        QCOMPARE(ui::feedbackPageUrl().toString(),
                 QStringLiteral("http://www.quillmer.example/frm_feedback.aspx?pg=1"));
    }
};

QTEST_MAIN(TestTheme)
#include "tst_theme.moc"
