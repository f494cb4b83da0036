#include "convertboxes.h"
#include "frontend/batchrun.h"
#include "support/errornumber.h"
#include "support/fakes.h"
#include "support/pathboxes.h"

#include <QTest>
#include <utility>

using namespace quillmer;
using Box = ConvertBoxes::Box;

namespace {

// Stands in for the conversion of each row: notes the call and the row's
// status at that moment and how many jobs it was told would follow, then
// marks the row "Completed", or raises the error scripted for the row.
class RecordingConverter : public JobConverter
{
public:
    explicit RecordingConverter(JobList& list) : m_list(list) {}

    struct Call
    {
        QString source, target;
        qint16 row, sheet;
        QString statusThen;
        int jobsAfter;
    };

    void expectJobs(int count) override { m_jobsAfter = count; }

    void ConversionPipeline(const QString& source, const QString& target, qint16 row,
                            qint16 sheet) override
    {
        calls.append({source, target, row, sheet, m_list.job(row).status,
                      std::exchange(m_jobsAfter, -1)});
        if (during)
            during(row);
        if (errors.contains(row))
            throw AppError(errors.value(row));
        m_list.UpdateListViewStatus(row, JobStatus::Completed);
    }

    QList<qint16> rows() const
    {
        QList<qint16> out;
        for (const Call& c : calls)
            out << c.row;
        return out;
    }

    QList<Call> calls;
    QHash<qint16, qint32> errors;
    std::function<void(qint16)> during;

private:
    JobList& m_list;
    int m_jobsAfter = -1;
};

struct Rig
{
    test::Boxes boxes;
    quillmer::test::FakeMessageBox messages;
    quillmer::test::FakePointer pointer;
    ErrorHandler errors{messages, pointer};
    JobList list;
    test::PathBoxesInMemory paths;
    JobHandlers handlers{list, paths, messages, errors};
    RecordingConverter converter{list};
    BatchRun run{
        BatchRunContext{boxes, paths, list, handlers, converter, messages, pointer, errors}};

    QStringList statuses() const
    {
        QStringList out;
        for (qint16 row = 1; row <= list.count(); ++row)
            out << list.job(row).status;
        return out;
    }
};

} // namespace

class TestBatchRun : public QObject
{
    Q_OBJECT

private slots:
    // Each refusal: its message, the focus on the box, the default pointer,
    // and nothing else changes.
    void checks_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("adjust");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("box");
        const int from = int(Box::From), to = int(Box::To), adjust = int(Box::Adjust);
        QTest::newRow("from empty") << ""
                                    << "2"
                                    << "100" << BatchRun::fromMessage() << from;
        QTest::newRow("from 1-3") << "1-3"
                                  << "2"
                                  << "100" << BatchRun::fromMessage() << from;
        QTest::newRow("to letters") << "1"
                                    << "5a"
                                    << "100" << BatchRun::toMessage() << to;
        QTest::newRow("to nan") << "1"
                                << "nan"
                                << "100" << BatchRun::toMessage() << to;
        QTest::newRow("scale letters") << "1"
                                       << "2"
                                       << "abc" << BatchRun::adjustMessage() << adjust;
        QTest::newRow("scale blanks") << "1"
                                      << "2"
                                      << "   " << BatchRun::adjustMessage() << adjust;
        QTest::newRow("scale empty") << "1"
                                     << "2"
                                     << "" << BatchRun::adjustMessage() << adjust;
        QTest::newRow("scale inf") << "1"
                                   << "2"
                                   << "inf" << BatchRun::adjustMessage() << adjust;
        QTest::newRow("scale 9") << "1"
                                 << "2"
                                 << "9" << BatchRun::rangeMessage() << adjust;
        QTest::newRow("scale 9.5") << "1"
                                   << "2"
                                   << "9.5" << BatchRun::rangeMessage() << adjust;
        QTest::newRow("scale 401") << "1"
                                   << "2"
                                   << "401" << BatchRun::rangeMessage() << adjust;
        QTest::newRow("scale -50") << "1"
                                   << "2"
                                   << "-50" << BatchRun::rangeMessage() << adjust;
    }
    void checks()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, adjust);
        QFETCH(QString, message);
        QFETCH(int, box);
        Rig rig;
        rig.boxes.texts = {{Box::From, from}, {Box::To, to}, {Box::Adjust, adjust}};
        rig.list.append("/w/Book1.xls", "/w/Book1.pdf");
        rig.paths.source = "/w/Book2.xls";
        rig.paths.target = "/w/Book2.pdf";
        rig.run.cmdConvert_Click();
        QCOMPARE(rig.messages.texts(), QStringList{message});
        QCOMPARE(rig.messages.shown[0].icon, MessageIcon::Information);
        QCOMPARE(rig.boxes.focused, QList<Box>{Box(box)});
        QCOMPARE(rig.pointer.busyCalls, 1);
        QVERIFY(!rig.pointer.busy);
        QVERIFY(rig.converter.calls.isEmpty());
        QCOMPARE(rig.statuses(), QStringList{QString()});
        QCOMPARE(rig.paths.source, QString("/w/Book2.xls"));
        QCOMPARE(rig.paths.target, QString("/w/Book2.pdf"));
    }

    void scaleLimitsPass()
    {
        for (const char* scale : {"10", "400", " 250 "}) {
            Rig rig;
            rig.boxes.texts[Box::Adjust] = scale;
            rig.list.append("/w/Book1.xls", "/w/Book1.pdf");
            rig.run.cmdConvert_Click();
            QVERIFY(rig.messages.shown.isEmpty());
            QCOMPARE(rig.converter.rows(), QList<qint16>{1});
        }
    }

    // "All Pages" with an empty first-page box: the box is disabled and
    // refuses the focus; HandleError lets the run end as the check says.
    void disabledBoxCannotTakeTheFocus()
    {
        Rig rig;
        rig.boxes.allPages();
        rig.boxes.texts[Box::From] = "";
        rig.list.append("/w/Book1.xls", "/w/Book1.pdf");
        rig.run.cmdConvert_Click();
        QCOMPARE(rig.messages.texts(), QStringList{BatchRun::fromMessage()});
        QVERIFY(rig.boxes.focused.isEmpty());
        QVERIFY(!rig.pointer.busy);
        QVERIFY(rig.converter.calls.isEmpty());
        QCOMPARE(rig.statuses(), QStringList{QString()});

        // Both boxes disabled but numeric: the run goes on.
        rig.boxes.texts[Box::From] = "1";
        rig.run.cmdConvert_Click();
        QCOMPARE(rig.converter.rows(), QList<qint16>{1});
    }

    void emptyListConvertsNothing()
    {
        Rig rig;
        rig.run.cmdConvert_Click();
        QVERIFY(rig.messages.shown.isEmpty());
        QVERIFY(rig.converter.calls.isEmpty());
        QCOMPARE(rig.pointer.busyCalls, 1);
        QVERIFY(!rig.pointer.busy);
    }

    // The pair in the path boxes becomes the last row and is converted; the
    // boxes are emptied. Each row shows "Converting..." when its turn comes,
    // and the conversion knows how many follow it.
    void pendingPairJoinsTheList()
    {
        Rig rig;
        rig.list.append("/w/First.xls", "/w/First.pdf");
        rig.paths.source = "/v/Second.xls";
        rig.paths.target = ""; // no target: the pair is added as it is
        rig.run.cmdConvert_Click();
        QCOMPARE(rig.list.count(), qint16(2));
        QCOMPARE(rig.paths.source, QString());
        QCOMPARE(rig.paths.target, QString());
        QCOMPARE(rig.converter.rows(), (QList<qint16>{1, 2}));
        const auto& second = rig.converter.calls[1];
        QCOMPARE(second.source, QString("/v/Second.xls"));
        QCOMPARE(second.target, QString());
        QCOMPARE(second.sheet, qint16(1));
        QCOMPARE(second.statusThen, JobStatus::Converting);
        QCOMPARE(rig.converter.calls[0].jobsAfter, 1);
        QCOMPARE(second.jobsAfter, 0);
        QCOMPARE(rig.statuses(), (QStringList{JobStatus::Completed, JobStatus::Completed}));
        QVERIFY(rig.messages.shown.isEmpty()); // no summary
    }

    // A duplicate is refused with its message; the boxes are emptied anyway
    // and the list is converted.
    void duplicatePairIsRefusedAndTheRunGoesOn()
    {
        Rig rig;
        rig.list.append("/w/Book1.xls", "/w/Book1.pdf");
        rig.paths.source = "/other/BOOK1.XLS";
        rig.paths.target = "/other/b.pdf";
        rig.run.cmdConvert_Click();
        QCOMPARE(rig.messages.texts(), QStringList{"File already added."});
        QCOMPARE(rig.list.count(), qint16(1));
        QCOMPARE(rig.paths.source, QString());
        QCOMPARE(rig.paths.target, QString());
        QCOMPARE(rig.converter.rows(), QList<qint16>{1});
        QCOMPARE(rig.converter.calls[0].source, QString("/w/Book1.xls"));
    }

    // Every press converts every row again, whatever its status.
    void secondPressConvertsEveryRowAgain()
    {
        Rig rig;
        rig.list.append("/w/A.xls", "/w/A.pdf");
        rig.list.append("/w/B.xls", "/w/B.pdf");
        rig.converter.errors = {{2, err::FileNotFound}}; // B fails the first time
        rig.run.cmdConvert_Click();
        rig.list.UpdateListViewStatus(2, JobStatus::Failed);
        rig.converter.errors.clear();
        rig.run.cmdConvert_Click();
        QCOMPARE(rig.converter.rows(), (QList<qint16>{1, 2, 1, 2}));
        for (const auto& call : rig.converter.calls)
            QCOMPARE(call.statusThen, JobStatus::Converting);
        QCOMPARE(rig.statuses(), (QStringList{JobStatus::Completed, JobStatus::Completed}));
        QCOMPARE(rig.pointer.busyCalls, 2);
    }

    // An error from a conversion goes to HandleError: when it lets the run
    // go on, the next row is converted with the default pointer; when it
    // does not (error 6), the run ends there.
    void conversionErrors()
    {
        Rig goOn;
        for (const char* name : {"/w/A.xls", "/w/B.xls", "/w/C.xls"})
            goOn.list.append(name, "");
        goOn.converter.errors = {{1, err::ObjectDefined}};
        goOn.run.cmdConvert_Click();
        QCOMPARE(goOn.converter.rows(), (QList<qint16>{1, 2, 3}));
        QVERIFY(goOn.messages.shown.isEmpty());
        QVERIFY(!goOn.pointer.busy);
        QCOMPARE(goOn.statuses(),
                 (QStringList{JobStatus::Converting, JobStatus::Completed, JobStatus::Completed}));

        Rig leave;
        for (const char* name : {"/w/A.xls", "/w/B.xls"})
            leave.list.append(name, "");
        leave.converter.errors = {{1, err::Overflow}};
        leave.run.cmdConvert_Click();
        QCOMPARE(leave.converter.rows(), QList<qint16>{1});
        QCOMPARE(leave.messages.texts(), QStringList{ErrorHandler::overflowMessage()});
        QVERIFY(!leave.pointer.busy);
        QCOMPARE(leave.statuses(), (QStringList{JobStatus::Converting, QString()}));
    }

    // The row count is read once: rows added or removed while the run goes
    // on change nothing about which row numbers are visited; a row that is
    // gone cannot be read and the run goes on.
    void rowCountIsReadOnce()
    {
        Rig added;
        added.list.append("/w/A.xls", "");
        added.converter.during = [&](qint16) { added.list.append("/w/Late.xls", ""); };
        added.run.cmdConvert_Click();
        QCOMPARE(added.converter.rows(), QList<qint16>{1});
        QCOMPARE(added.list.count(), qint16(2));

        Rig cleared;
        for (const char* name : {"/w/A.xls", "/w/B.xls", "/w/C.xls"})
            cleared.list.append(name, "");
        cleared.converter.during = [&](qint16) { cleared.list.clear(); };
        cleared.run.cmdConvert_Click();
        QCOMPARE(cleared.converter.rows(), QList<qint16>{1});
        QVERIFY(cleared.messages.shown.isEmpty());
        QVERIFY(!cleared.pointer.busy);
    }

    void rowTextsForTheConversion()
    {
        JobList list;
        list.append("/w/report.xls", "/w/x.pdf");
        JobListStatus status(list);
        QCOMPARE(status.rowText(1), QString("report.xls"));
        status.UpdateListViewStatus(1, JobStatus::Failed);
        status.UpdateListViewStatus(5, JobStatus::Failed); // ignored
        QCOMPARE(list.job(1).status, JobStatus::Failed);
        for (qint16 row : {qint16(0), qint16(2)}) {
            QCOMPARE(test::errorNumber([&] { status.rowText(row); }), err::SubscriptOutOfRange);
        }
    }
};

QTEST_GUILESS_MAIN(TestBatchRun)
#include "tst_batchrun.moc"
