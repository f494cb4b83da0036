// The job list, the Browse buttons and the option controls as a person uses
// them in the real main window: typing, pasting and clicking, with the file
// dialogs and message boxes answered by fakes.
#include "mainwindowrig.h"
#include "support/fakes.h"
#include "support/files.h"
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
using test::writeFile;
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

    // Files dropped on the list, a folder on the window, a file on a path
    // box: each workbook becomes a row with the proposed target; a folder
    // gives its own workbooks in name order. The boxes and SETTINGS.INI stay.
    void droppedFilesAndFoldersBecomeRows()
    {
        Rig rig;
        Window w(rig);
        const QString d = rig.dir.path();
        for (const char* name :
             {"b.xls", "A.XLS", "f/c.xls", "f/B2.xls", "f/a1.xls", "f/sub/deep.xls", "Q1.xls"})
            writeFile(d + "/" + name, "workbook");
        w.type("txtfilepath", QStringLiteral("/typed/src.xls"));
        const QByteArray ini = rig.ini();

        QVERIFY(w.drop(w.listArea(), QStringList{d + "/b.xls", d + "/A.XLS"}));
        QVERIFY(w.drop(&w.main, QStringList{d + "/f"}));
        QVERIFY(w.drop(w.box("txtfilepath"), QStringList{d + "/Q1.xls"}));
        // Only local files are taken.
        QVERIFY(!w.drop(w.listArea(), QList<QUrl>{QUrl("https://example.org/x.xls")}));

        QStringList names, targets;
        for (int row = 0; row < w.rows(); ++row) {
            names << w.cell(row, 0);
            targets << w.cell(row, 2);
            QCOMPARE(w.cell(row, 1).chopped(4) + ".pdf", targets.last());
        }
        QCOMPARE(names, (QStringList{"b.xls", "A.XLS", "a1.xls", "B2.xls", "c.xls", "Q1.xls"}));
        QCOMPARE(targets[1], d + "/A.pdf");
        QCOMPARE(targets[2], d + "/f/a1.pdf");
        QCOMPARE(rig.box.texts(),
                 (QStringList{"2 workbooks added to the list.", "3 workbooks added to the list.",
                              "1 workbook added to the list."}));
        QCOMPARE(rig.box.shown[0].icon, MessageIcon::Information);
        QCOMPARE(w.box("txtfilepath")->text(), QStringLiteral("/typed/src.xls"));
        QCOMPARE(w.box("txtfilepathOutput")->text(), QString());
        QCOMPARE(rig.ini(), ini);
    }

    // Duplicates (of a listed row, and within the drop) and files that are
    // not workbooks are named in the one message; a long list is cut short.
    void aMixedDropIsSummedUpOnce()
    {
        Rig rig;
        Window w(rig);
        const QString d = rig.dir.path();
        w.type("txtfilepath", QStringLiteral("/listed/Book1.xls"));
        w.click("cmdAddToList");
        const QStringList folder{"Book2.xls", "c.csv", "d.xlsx", "e.ods",
                                 "f.txt",     "g.pdf", "h.xlsm"};
        for (const QString& name : folder)
            writeFile(d + "/f/" + name, "x");
        for (const char* name : {"x/BOOK1.XLS", "y/book2.XLS", "notes.txt"})
            writeFile(d + "/" + name, "x");

        QVERIFY(w.drop(w.listArea(), QStringList{d + "/notes.txt", d + "/x/BOOK1.XLS", d + "/f",
                                                 d + "/y/book2.XLS"}));
        QCOMPARE(w.rows(), 2);
        QCOMPARE(w.cell(1, 1), d + "/f/Book2.xls");
        QCOMPARE(rig.box.texts(),
                 QStringList{"1 workbook added to the list.\n"
                             "Already in the list, not added again: BOOK1.XLS, book2.XLS.\n"
                             "Not .xls workbooks, passed over: notes.txt, c.csv, d.xlsx, e.ods, "
                             "f.txt and 2 more."});
    }

    // A full list takes nothing more; the one message says so instead of
    // an error per file.
    void aDropOntoAFullList()
    {
        Rig rig;
        Window w(rig);
        const QString d = rig.dir.path();
        for (int i = 1; i < JobList::MaxRows; ++i)
            w.main.jobList().append(QStringLiteral("/b/%1.xls").arg(i), QString());
        for (const char* name : {"last.xls", "over1.xls", "over2.xls"})
            writeFile(d + "/" + name, "x");
        QVERIFY(
            w.drop(w.listArea(), QStringList{d + "/last.xls", d + "/over1.xls", d + "/over2.xls"}));
        QCOMPARE(w.rows(), JobList::MaxRows);
        QCOMPARE(w.cell(JobList::MaxRows - 1, 0), QStringLiteral("last.xls"));
        QCOMPARE(rig.box.texts(), QStringList{"1 workbook added to the list.\n"
                                              "The list is full (32767 rows), not added: "
                                              "over1.xls, over2.xls."});
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
        QCOMPARE(w.box("txtfilepathOutput")->text(),
                 rig.dir.filePath(QStringLiteral("out/Q1 final.pdf")));
        QCOMPARE(rig.dialogs.asked.at(0).title, QStringLiteral("Select Source File"));
        QCOMPARE(rig.dialogs.asked.at(1).title, QStringLiteral("Save As"));
        // The first target dialog starts in the folder above the program folder.
        QCOMPARE(rig.dialogs.asked.at(1).initialFolder, QFileInfo(rig.dir.path()).path());
        // Both choices are on disk.
        QCOMPARE(rig.ini(),
                 "[SETTINGS]\r\nOPENFILE=1\r\nPATH=" + book.toUtf8() + "\r\nOUTPUTPATH=" +
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
                 QStringList{QStringLiteral(
                     "Invalid file selected. Please select valid Excel file only.")});
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
