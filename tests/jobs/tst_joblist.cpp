#include "engine/jobstatus.h"
#include "errors/apperror.h"
#include "jobs/jobhandlers.h"
#include "support/fakes.h"
#include "support/pathboxes.h"

#include <QSignalSpy>
#include <QTest>

using namespace quillmer;

namespace {

struct Fixture
{
    JobList list;
    test::PathBoxesInMemory boxes;
    test::FakeMessageBox box;
    test::FakePointer pointer;
    ErrorHandler errors{box, pointer};
    JobHandlers handlers{list, boxes, box, errors};

    void add(const QString& source, const QString& target = QString())
    {
        boxes.source = source;
        boxes.target = target;
        handlers.cmdAddToList_Click();
    }
};

} // namespace

class TestJobList : public QObject
{
    Q_OBJECT

private slots:
    void showsFourKeyedColumns()
    {
        JobList list;
        QCOMPARE(list.columnCount(), 4);
        QStringList headers, keys;
        for (int c = 0; c < 4; ++c) {
            headers << list.headerData(c, Qt::Horizontal).toString();
            keys << JobList::columnKey(c);
        }
        QCOMPARE(headers,
                 (QStringList{"Excel File", "Source Location", "Target Location", "Status"}));
        QCOMPARE(keys, (QStringList{"flName", "source", "detination", "status"}));
    }

    void addsRowsInOrderAndEmptiesTheBoxes()
    {
        Fixture f;
        f.add(QStringLiteral("/data/a/Book1.xls"), QStringLiteral("/out/Book1.pdf"));
        f.add(QStringLiteral("Loose.xls"), QString()); // no folder, no target
        QCOMPARE(f.list.count(), 2);
        QCOMPARE(f.list.job(1).fileName, QStringLiteral("Book1.xls"));
        QCOMPARE(f.list.job(1).source, QStringLiteral("/data/a/Book1.xls"));
        QCOMPARE(f.list.job(1).target, QStringLiteral("/out/Book1.pdf"));
        QCOMPARE(f.list.job(1).status, QString());
        QCOMPARE(f.list.job(2).fileName, QStringLiteral("Loose.xls"));
        QCOMPARE(f.list.job(2).target, QString());
        QCOMPARE(f.list.data(f.list.index(1, JobList::FileNameColumn)).toString(),
                 QStringLiteral("Loose.xls"));
        QCOMPARE(f.boxes.source, QString());
        QCOMPARE(f.boxes.target, QString());
        QVERIFY(f.box.shown.isEmpty());
    }

    void refusesDuplicatesAcrossFoldersAndCase()
    {
        Fixture f;
        f.add(QStringLiteral("/x/Other.xls"));
        f.add(QStringLiteral("/c/a/Book1.xls"), QStringLiteral("/c/a/Book1.pdf"));
        f.add(QStringLiteral("/d/b/BOOK1.XLS"), QStringLiteral("/d/b/BOOK1.pdf"));
        QCOMPARE(f.list.count(), 2);
        QCOMPARE(f.box.texts(), QStringList{QStringLiteral("File already added.")});
        QCOMPARE(f.box.shown[0].icon, MessageIcon::Information);
        // The boxes are emptied even though the pair was refused.
        QCOMPARE(f.boxes.source, QString());

        // After clearing, the same pair goes in.
        f.handlers.cmdClearList_Click();
        QCOMPARE(f.list.count(), 0);
        f.add(QStringLiteral("/d/b/BOOK1.XLS"));
        QCOMPARE(f.list.count(), 1);
    }

    void refusesABlankSource()
    {
        Fixture f;
        f.boxes.source = QStringLiteral("   ");
        f.boxes.target = QStringLiteral("/out/x.pdf");
        f.handlers.cmdAddToList_Click();
        QCOMPARE(f.box.texts(), QStringList{QStringLiteral("Please select a PDF File")});
        QCOMPARE(f.list.count(), 0);
        QCOMPARE(f.boxes.source, QStringLiteral("   "));
        QCOMPARE(f.boxes.target, QStringLiteral("/out/x.pdf"));
    }

    void statusGoesOnlyToExistingRows()
    {
        Fixture f;
        f.add(QStringLiteral("/a.xls"));
        f.add(QStringLiteral("/b.xls"));
        QSignalSpy changed(&f.list, &JobList::dataChanged);
        f.list.UpdateListViewStatus(2, JobStatus::Converting);
        f.list.UpdateListViewStatus(0, JobStatus::Failed);
        f.list.UpdateListViewStatus(3, JobStatus::Failed);
        f.list.UpdateListViewStatus(-1, JobStatus::Failed);
        QCOMPARE(f.list.job(1).status, QString());
        QCOMPARE(f.list.job(2).status, QStringLiteral("Converting..."));
        QCOMPARE(changed.count(), 1);
        QVERIFY(f.box.shown.isEmpty());
    }

    // The list holds as many rows as a 16-bit row number can reach.
    void aFullListRefusesTheNextRow()
    {
        Fixture f;
        for (int i = 0; i < JobList::MaxRows; ++i)
            f.list.append(QStringLiteral("/b/%1.xls").arg(i), QString());
        f.add(QStringLiteral("/b/one-more.xls"), QStringLiteral("/b/one-more.pdf"));
        QCOMPARE(int(f.list.count()), JobList::MaxRows);
        QCOMPARE(f.box.texts(),
                 QStringList{QStringLiteral(
                     "Error: OverFlow of Controls.\r\nYou have exceeded the control limits.")});
        // Nothing is lost: the pair stays in the boxes.
        QCOMPARE(f.boxes.source, QStringLiteral("/b/one-more.xls"));
    }
};

QTEST_GUILESS_MAIN(TestJobList)
#include "tst_joblist.moc"
