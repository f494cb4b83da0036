#include "jobs/selection.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/pathboxes.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <deque>

using namespace quillmer;

using quillmer::test::readFile;

namespace {

struct Fixture
{
    QTemporaryDir dir;
    test::PathBoxesInMemory boxes;
    test::FakeFileDialog dialogs;
    test::FakeMessageBox box;
    test::FakePointer pointer;
    ErrorHandler errors{box, pointer};
    SettingsFile settings{dir.path(), box, errors};
    StartupSettings startup;
    SourceTargetSelection selection{boxes, dialogs, box, errors, settings, startup, dir.path()};

    Fixture()
    {
        QFile ini(dir.filePath(QStringLiteral("SETTINGS.INI")));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[SETTINGS]\r\nOPENFILE=1\r\n");
        ini.close();
        settings.CheckSettingsFile();
        startup = LoadStartupSettings(settings, dir.path());
    }
    QByteArray ini() const { return readFile(dir.filePath(QStringLiteral("SETTINGS.INI"))); }
    void chooseSource(std::optional<QString> path)
    {
        dialogs.answers.push_back(std::move(path));
        selection.cmdSelectFile_Click();
    }
    void chooseTarget(std::optional<QString> path)
    {
        dialogs.answers.push_back(std::move(path));
        selection.cmdBrowseOutput_Click();
    }
};

} // namespace

class TestSelection : public QObject
{
    Q_OBJECT

private slots:
    void sourceDialogIsSetUp()
    {
        Fixture f;
        f.chooseSource(std::nullopt);
        const FileDialogRequest r = f.dialogs.asked.at(0);
        QCOMPARE(r.mode, FileDialogRequest::Mode::Open);
        QCOMPARE(r.title, QStringLiteral("Select Source File"));
        QCOMPARE(r.filter, QStringLiteral("Microsoft Excel (*.xls)|*.xls"));
        QCOMPARE(r.initialFolder, f.dir.path());
        QCOMPARE(r.maxFileNameLength, 4096);
        QVERIFY(r.hideReadOnly && r.pathMustExist && !r.confirmOverwrite);
    }

    void acceptedSourceProposesATarget()
    {
        Fixture f;
        const QString book = f.dir.filePath(QStringLiteral("Q1.XLS"));
        QFile(book).open(QIODevice::WriteOnly);
        f.boxes.target = QStringLiteral("/old/target.pdf");
        f.chooseSource(book);
        QCOMPARE(f.boxes.source, book);
        QCOMPARE(f.boxes.target, f.dir.filePath(QStringLiteral("Q1.pdf")));
        QCOMPARE(f.startup.RecentFolder, book);
        QVERIFY(f.ini().contains("PATH=" + book.toUtf8() + "\r\n"));
        // A proposal is not a choice: nothing about the target is remembered.
        QCOMPARE(f.startup.RecentOutputFolder, f.dir.path());
        QVERIFY(!f.ini().contains("OUTPUTPATH"));
        QVERIFY(f.box.shown.isEmpty());

        // The next dialog starts in the chosen file's folder.
        f.chooseSource(std::nullopt);
        QCOMPARE(f.dialogs.asked.at(1).initialFolder, f.dir.path());
    }

    void refusedSourceIsStillRemembered()
    {
        Fixture f;
        f.boxes.source = QStringLiteral("/earlier/a.xls");
        f.boxes.target = QStringLiteral("/earlier/a.pdf");
        f.chooseSource(QStringLiteral("/data/Book.xlsx"));
        QCOMPARE(f.box.texts(),
                 QStringList{QStringLiteral(
                     "Invalid file selected. Please select valid Excel file only.")});
        QCOMPARE(f.box.shown[0].icon, MessageIcon::Critical);
        QCOMPARE(f.boxes.source, QString());
        QCOMPARE(f.boxes.target, QStringLiteral("/earlier/a.pdf"));
        QCOMPARE(f.startup.RecentFolder, QStringLiteral("/data/Book.xlsx"));
        QCOMPARE(f.ini(), QByteArray("[SETTINGS]\r\nOPENFILE=1\r\nPATH=/data/Book.xlsx\r\n"));
    }

    void cancelChangesNothing()
    {
        Fixture f;
        f.boxes.source = QStringLiteral("/s.xls");
        f.boxes.target = QStringLiteral("/t.pdf");
        const QByteArray before = f.ini();
        f.chooseSource(std::nullopt);
        f.chooseTarget(std::nullopt);
        QCOMPARE(f.boxes.source, QStringLiteral("/s.xls"));
        QCOMPARE(f.boxes.target, QStringLiteral("/t.pdf"));
        QCOMPARE(f.ini(), before);
        QCOMPARE(f.startup.RecentFolder, f.dir.path());
        QVERIFY(f.box.shown.isEmpty());
    }

    void targetIsTakenOnlyWhenItIsAPdf()
    {
        Fixture f;
        f.startup.RecentOutputFolder = QStringLiteral("/home/u/Out/a.pdf");
        f.boxes.target = QStringLiteral("/proposed.pdf");
        f.chooseTarget(QStringLiteral("/home/u/Out/report")); // no extension is added
        QCOMPARE(f.box.texts(),
                 QStringList{QStringLiteral("Invalid Output file. Please select valid PDF file.")});
        QCOMPARE(f.boxes.target, QStringLiteral("/proposed.pdf"));
        QCOMPARE(f.startup.RecentOutputFolder, QStringLiteral("/home/u/Out/a.pdf"));
        QVERIFY(!f.ini().contains("OUTPUTPATH"));

        const FileDialogRequest r = f.dialogs.asked.at(0);
        QCOMPARE(r.mode, FileDialogRequest::Mode::Save);
        QCOMPARE(r.title, QStringLiteral("Save As"));
        QCOMPARE(r.filter, QStringLiteral("PDF File (*.pdf)|*.pdf"));
        QCOMPARE(r.initialFolder, QStringLiteral("/home/u/Out"));
        QVERIFY(r.confirmOverwrite && r.pathMustExist);

        f.chooseTarget(QStringLiteral("/home/u/New/Report.PDF"));
        QCOMPARE(f.boxes.target, QStringLiteral("/home/u/New/Report.PDF"));
        QCOMPARE(f.startup.RecentOutputFolder, QStringLiteral("/home/u/New/Report.PDF"));
        QVERIFY(f.ini().contains("OUTPUTPATH=/home/u/New/Report.PDF\r\n"));
        f.chooseTarget(std::nullopt);
        QCOMPARE(f.dialogs.asked.at(2).initialFolder, QStringLiteral("/home/u/New"));
    }

    // A remembered target without any folder part cannot give the dialog a
    // start folder: the failure is reported and the dialog keeps the one it had.
    void targetWithoutFolderKeepsTheLastStart()
    {
        Fixture f;
        f.startup.RecentOutputFolder = QStringLiteral("/keep/x.pdf");
        f.chooseTarget(std::nullopt);
        f.startup.RecentOutputFolder = QStringLiteral("nofolder.pdf");
        f.chooseTarget(std::nullopt);
        QCOMPARE(f.dialogs.asked.size(), 2);
        QCOMPARE(f.dialogs.asked.at(1).initialFolder, QStringLiteral("/keep"));
        QVERIFY(f.box.shown.isEmpty());
    }

    void extensionRules()
    {
        QVERIFY(
            SourceTargetSelection::hasExtension(QStringLiteral("a.XlS"), QStringLiteral(".xls")));
        QVERIFY(
            !SourceTargetSelection::hasExtension(QStringLiteral("a.xlsx"), QStringLiteral(".xls")));
        QVERIFY(
            !SourceTargetSelection::hasExtension(QStringLiteral("xls"), QStringLiteral(".xls")));
        QCOMPARE(SourceTargetSelection::proposedTarget(QStringLiteral("/d/Q1.XLS")),
                 QStringLiteral("/d/Q1.pdf"));
    }
};

QTEST_GUILESS_MAIN(TestSelection)
#include "tst_selection.moc"
