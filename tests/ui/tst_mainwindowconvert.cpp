// The Convert button of the real main window, as a person uses it: the
// checks with their focus moves, and three workbooks typed into the path
// boxes and converted by real LibreOffice and Ghostscript.
#include "frontend/batchrun.h"
#include "mainwindowrig.h"
#include "support/fakes.h"
#include "support/officeprocesses.h"
#include "support/pdftools.h"
#include "ui/frmmain.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
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

class TestMainWindowConvert : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(test::ourOfficeProcesses(), QList<pid_t>()); }

    // A refused scale puts the focus in its box. With "All Pages" the page
    // boxes are disabled: an empty first page is still refused, and the
    // focus stays where it was.
    void refusalsAndTheFocus()
    {
        Rig rig;
        Window w(rig);
        w.click("chkFromTo");
        w.retype("txtAdjust", "9");
        w.click("cmdConvert");
        QCOMPARE(rig.box.texts(), QStringList{BatchRun::rangeMessage()});
        QCOMPARE(QApplication::focusWidget(), w.box("txtAdjust"));
        QVERIFY(!rig.pointer.busy);

        w.retype("txtAdjust", "100");
        w.click("chkAllPages");
        QVERIFY(!w.box("txtFrom")->isEnabled());
        w.box("txtFrom")->setText(QString());
        w.click("cmdConvert");
        QCOMPARE(rig.box.texts().last(), BatchRun::fromMessage());
        // The click put the focus on the button, and there it stays.
        QCOMPARE(QApplication::focusWidget(), child<QWidget>(w.main, "cmdConvert"));
        QVERIFY(!rig.pointer.busy);
        QCOMPARE(rig.pointer.busyCalls, 2);
    }

    // Three workbooks (the third still waiting in the path boxes), A5
    // landscape at half size, page 1 only, each PDF opened afterwards.
    void threeWorkbooksBecomeThreePdfs()
    {
        Rig rig;
        Window w(rig);
        const QString corpus = QStringLiteral(QUILLMER_CORPUS "/xls/");
        const QStringList books{"poi_SampleSS.xls", "edr_TestUnicodeChars.xls",
                                "poi_SimpleWithColours.xls"};
        QStringList targets;
        for (const QString& book : books) {
            targets << rig.dir.filePath(QString(book).replace(".xls", ".pdf"));
            w.retype("txtfilepath", corpus + book);
            w.retype("txtfilepathOutput", targets.last());
            if (book != books.last())
                w.click("cmdAddToList");
        }
        child<QComboBox>(w.main, "cboPaperSize")->setCurrentText("A5");
        w.click("optLandscape");
        w.retype("txtAdjust", "50");
        w.click("chkFromTo");
        w.retype("txtFrom", "1");
        w.retype("txtTo", "1");
        auto* open = child<QCheckBox>(w.main, "chkOpenDocEditing");
        if (!open->isChecked())
            w.click("chkOpenDocEditing");

        w.click("cmdConvert");

        QCOMPARE(w.rows(), 3);
        QStringList messages;
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(w.cell(row, 3), JobStatus::Completed);
            messages << books[row].toUpper() + " Converted Successfully.";
            const QList<QSizeF> sizes = test::pageSizes(targets[row]);
            QCOMPARE(sizes.size(), 1);
            QVERIFY2(test::nearSize(sizes[0], QSizeF(595.28, 419.53)), qPrintable(targets[row]));
        }
        QCOMPARE(rig.box.texts(), messages);
        QCOMPARE(rig.shell.opened, (QStringList{targets[0], targets[1], targets[2]}));
        QCOMPARE(w.box("txtfilepath")->text(), QString());
        QCOMPARE(w.box("txtfilepathOutput")->text(), QString());
        QVERIFY(!rig.pointer.busy);
        QCOMPARE(rig.ender.calls, 0);
    }
};

QTEST_MAIN(TestMainWindowConvert)
#include "tst_mainwindowconvert.moc"
