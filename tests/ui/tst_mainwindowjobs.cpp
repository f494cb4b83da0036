// The job list, the Browse buttons and the option controls as a person uses
// them in the real main window: typing, pasting and clicking, with the file
// dialogs and message boxes answered by fakes.
#include "support/fakes.h"
#include "mainwindowrig.h"

#include "ui/frmmain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

using namespace quillmer;

using test::child;
using Rig = test::MainWindowRig;
using Window = test::MainWindowUser;

class TestMainWindowJobs : public QObject
{
    Q_OBJECT

private slots:
    void typedPairsBecomeRows()
    {
        Rig rig;
        Window w(rig);
        w.type("txtfilepath", QStringLiteral("/data/a/Book1.xls"));
        w.type("txtfilepathOutput", QStringLiteral("/out/Book1.pdf"));
        w.click("cmdAddToList");
        // A source without any folder and an empty target.
        w.type("txtfilepath", QStringLiteral("Loose.xls"));
        w.click("cmdAddToList");
        QCOMPARE(w.rows(), 2);
        QCOMPARE(w.cell(0, 0), QStringLiteral("Book1.xls"));
        QCOMPARE(w.cell(0, 1), QStringLiteral("/data/a/Book1.xls"));
        QCOMPARE(w.cell(0, 2), QStringLiteral("/out/Book1.pdf"));
        QCOMPARE(w.cell(1, 0), QStringLiteral("Loose.xls"));
        QCOMPARE(w.cell(1, 2), QString());
        QCOMPARE(w.box("txtfilepath")->text(), QString());
        QVERIFY(rig.box.shown.isEmpty());

        // The same file name from another folder, in other letters.
        w.type("txtfilepath", QStringLiteral("/elsewhere/BOOK1.XLS"));
        w.click("cmdAddToList");
        QCOMPARE(rig.box.texts(), QStringList{QStringLiteral("File already added.")});
        QCOMPARE(w.rows(), 2);
        QCOMPARE(w.box("txtfilepath")->text(), QString());

        // Blanks only.
        w.type("txtfilepath", QStringLiteral("   "));
        w.click("cmdAddToList");
        QCOMPARE(rig.box.texts().last(), QStringLiteral("Please select a PDF File"));
        QCOMPARE(w.box("txtfilepath")->text(), QStringLiteral("   "));

        w.click("cmdClearList");
        QCOMPARE(w.rows(), 0);
        QCOMPARE(w.box("txtfilepath")->text(), QStringLiteral("   "));
    }

    void browsingFillsTheBoxesAndRemembers()
    {
        Rig rig;
        Window w(rig);
        const QString book = rig.dir.filePath(QStringLiteral("Q1.XLS"));
        rig.dialogs.answers = {book, rig.dir.filePath(QStringLiteral("out/Q1 final.pdf"))};
        w.click("cmdSelectFile");
        QCOMPARE(w.box("txtfilepath")->text(), book);
        QCOMPARE(w.box("txtfilepathOutput")->text(), rig.dir.filePath(QStringLiteral("Q1.pdf")));
        w.click("cmdBrowseOutput");
        QCOMPARE(w.box("txtfilepathOutput")->text(), rig.dir.filePath(QStringLiteral("out/Q1 final.pdf")));
        QCOMPARE(rig.dialogs.asked.at(0).title, QStringLiteral("Select Source File"));
        QCOMPARE(rig.dialogs.asked.at(1).title, QStringLiteral("Save As"));
        // The first target dialog starts in the folder above the program folder.
        QCOMPARE(rig.dialogs.asked.at(1).initialFolder, QFileInfo(rig.dir.path()).path());
        // Both choices are on disk.
        QCOMPARE(rig.ini(), "[SETTINGS]\r\nOPENFILE=1\r\nPATH=" + book.toUtf8() + "\r\nOUTPUTPATH=" +
                                rig.dir.filePath(QStringLiteral("out/Q1 final.pdf")).toUtf8() + "\r\n");
    }

    void refusedSourceIsRememberedAndCleared()
    {
        Rig rig;
        Window w(rig);
        w.type("txtfilepath", QStringLiteral("/typed/earlier.xls"));
        w.type("txtfilepathOutput", QStringLiteral("/typed/earlier.pdf"));
        rig.dialogs.answers = {QStringLiteral("/data/Book.xlsx")};
        w.click("cmdSelectFile");
        QCOMPARE(rig.box.texts(),
                 QStringList{QStringLiteral("Invalid file selected. Please select valid Excel file only.")});
        QCOMPARE(w.box("txtfilepath")->text(), QString());
        QCOMPARE(w.box("txtfilepathOutput")->text(), QStringLiteral("/typed/earlier.pdf"));
        QCOMPARE(rig.startup.RecentFolder, QStringLiteral("/data/Book.xlsx"));
        QVERIFY(rig.ini().contains("PATH=/data/Book.xlsx\r\n"));
    }

    void pageBoxesFilterTypedKeys()
    {
        Rig rig;
        Window w(rig);
        w.click("chkFromTo");
        QLineEdit* from = w.box("txtFrom");
        QLineEdit* to = w.box("txtTo");
        from->clear();
        w.type("txtFrom", QStringLiteral("-,"));
        QCOMPARE(from->text(), QString());
        w.type("txtFrom", QStringLiteral("1-,3"));
        QCOMPARE(from->text(), QStringLiteral("1-3"));
        from->clear();
        w.type("txtFrom", QStringLiteral("1a2b34"));
        QCOMPARE(from->text(), QStringLiteral("123")); // at most three characters

        to->clear();
        w.type("txtTo", QStringLiteral("5ab"));
        QCOMPARE(to->text(), QStringLiteral("5a"));
        w.type("txtTo", QStringLiteral("-"));
        QCOMPARE(to->text(), QStringLiteral("5a-"));

        // Pasting is not typing: the filters do not see it.
        from->clear();
        from->insert(QStringLiteral("x,y"));
        QCOMPARE(from->text(), QStringLiteral("x,y"));
    }

    void pageRangeChoiceEnablesTheBoxes()
    {
        Rig rig;
        Window w(rig);
        QLineEdit* from = w.box("txtFrom");
        QLineEdit* to = w.box("txtTo");
        QVERIFY(!from->isEnabled() && !to->isEnabled());
        w.click("chkFromTo");
        QVERIFY(from->isEnabled() && to->isEnabled());
        from->setText(QStringLiteral("3"));
        to->setText(QStringLiteral("5"));
        rig.startup.ConvertPageFrom = 7;
        w.click("chkAllPages");
        QVERIFY(!from->isEnabled() && !to->isEnabled());
        QVERIFY(!child<QLabel>(w.main, "lblFrom")->isEnabled());
        QCOMPARE(rig.startup.ConvertPageFrom, qint16(0));
        QCOMPARE(from->text(), QStringLiteral("3"));
        w.click("chkFromTo");
        QCOMPARE(to->text(), QStringLiteral("5"));
        QCOMPARE(rig.startup.ConvertPageFrom, qint16(0));
    }

    void openAfterConversionRemembersTheTick()
    {
        Rig rig("[SETTINGS]\r\nOPENFILE=0\r\n");
        QCOMPARE(rig.startup.Launch, qint16(0));
        Window w(rig);
        auto* box = child<QCheckBox>(w.main, "chkOpenDocEditing");
        QVERIFY(!box->isChecked());
        QList<qint16> seen;
        for (int i = 0; i < 3; ++i) {
            w.click("chkOpenDocEditing");
            seen << rig.startup.Launch;
        }
        QCOMPARE(seen, (QList<qint16>{2, 0, 2}));
        // Never written back.
        QCOMPARE(rig.ini(), QByteArray("[SETTINGS]\r\nOPENFILE=0\r\n"));
    }

    void optionsAreReadFromTheControls()
    {
        Rig rig;
        Window w(rig);
        ConversionOptions o = w.main.currentOptions();
        QCOMPARE(o.paperSize, QStringLiteral("A4"));
        QVERIFY(!o.landscape);
        QCOMPARE(o.scale, QStringLiteral("100"));
        QCOMPARE(o.showGridlines, 1);
        QCOMPARE(o.showHeaders, 0);
        QVERIFY(o.allPages);
        QCOMPARE(o.firstPage, QStringLiteral("1"));
        QCOMPARE(o.lastPage, QStringLiteral("2"));
        QCOMPARE(o.openAfterConversion, 1);

        child<QComboBox>(w.main, "cboPaperSize")->setCurrentText(QStringLiteral("Letter"));
        w.click("optLandscape");
        w.box("txtAdjust")->setText(QStringLiteral("75"));
        w.click("chkShowGridlines");
        w.click("chkHeader");
        w.click("chkFromTo");
        w.box("txtTo")->setText(QStringLiteral("9"));
        child<QCheckBox>(w.main, "chkOpenDocEditing")->setCheckState(Qt::PartiallyChecked);
        o = w.main.currentOptions();
        QCOMPARE(o.paperSize, QStringLiteral("Letter"));
        QVERIFY(o.landscape);
        QCOMPARE(o.scale, QStringLiteral("75"));
        QCOMPARE(o.showGridlines, 0);
        QCOMPARE(o.showHeaders, 1);
        QVERIFY(!o.allPages);
        QCOMPARE(o.lastPage, QStringLiteral("9"));
        QCOMPARE(o.openAfterConversion, 2);
    }
};

QTEST_MAIN(TestMainWindowJobs)
#include "tst_mainwindowjobs.moc"
