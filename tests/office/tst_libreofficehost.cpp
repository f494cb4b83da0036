#include "errors/apperror.h"
#include "office/libreofficehost.h"
#include "office/officeprofile.h"
#include "office/spareoffice.h"
#include "printqueue/printerdriver.h"
#include "support/errornumber.h"
#include "support/files.h"
#include "support/officeprocesses.h"
#include "support/programs.h"
#include "support/registrytext.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <latch>
#include <signal.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace quillmer;
using namespace quillmer::office;
using namespace quillmer::printqueue;
using namespace quillmer::platform;

using quillmer::test::errorNumber;
using quillmer::test::modeOf;
using quillmer::test::processRuns;

using quillmer::test::corpus;

namespace {

const QString OfficeFolder = QStringLiteral("/usr/lib/libreoffice/program/");

QByteArray checksum(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// A registry with two printers and Ghostscript.
QString writeRegistry(const QTemporaryDir& dir)
{
    return test::RegistryText()
        .ghostscript("/usr/bin/gs")
        .excel("12.0", "/usr/lib/libreoffice/program/")
        .printer("Quillmer")
        .value("Port", "FILE:")
        .printer("Other PS")
        .writeTo(dir.filePath("registry.reg"));
}

// Office processes whose command line names the profile folder.
QList<pid_t> officeProcessesUsing(const QString& profile)
{
    return test::runningProcesses(QUrl::fromLocalFile(profile).toEncoded());
}

// Running office processes started by this process.
QList<pid_t> childOfficeProcesses()
{
    return test::runningProcesses("soffice",
                                  [](pid_t pid) { return test::parentOf(pid) == ::getpid(); });
}

std::shared_ptr<InstalledPrinters> printersOf(const QString& registry)
{
    return std::make_shared<RegistryPrinters>(registry);
}

} // namespace

class TestLibreOfficeHost : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_registry;
    QString m_crashedProfile;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_registry = writeRegistry(m_dir);
    }

    void readsTheInstallRootAndPrinters()
    {
        const RegistryFile reg = RegistryFile::load(m_registry);
        QCOMPARE(LibreOfficeHost::programFolderFromRegistry(reg), OfficeFolder);
        QCOMPARE(LibreOfficeHost::programFolderFromRegistry(RegistryFile()), QString());
        QCOMPARE(RegistryPrinters(m_registry).deviceNames(), (QStringList{"Quillmer", "Other PS"}));
    }

    // The queue on its own: a spool it cannot print, or a printer that is not
    // installed, fails with 1004; either way the spool and any earlier print
    // file are gone, and no half-written file is left.
    void printerQueueFailures()
    {
        RegistryPrinters printers(m_registry);
        const QString spool = m_dir.filePath("spool.pdf");
        const QString out = m_dir.filePath("queue.ps");
        auto write = [](const QString& path, const QByteArray& data) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(data);
        };
        for (const QString& printer : {QString("Quillmer"), QString("Absent")}) {
            write(spool, "not a PDF at all");
            write(out, "%!PS an earlier print");
            QCOMPARE(errorNumber([&] {
                         printers.printToFile(printer, spool, out, std::chrono::seconds(60));
                     }),
                     err::ObjectDefined);
            QVERIFY(!QFileInfo::exists(spool));
            QVERIFY(!QFileInfo::exists(out));
            QVERIFY(!QFileInfo::exists(out + ".part"));
        }
    }

    // Where the queue puts its reader set-up: before the first object or
    // resource line, once that line is whole.
    void readerSetupPosition_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("position"); // -1: none yet
        QTest::newRow("object") << QByteArray("%!PS\n/a 1 def\n12 0 obj\n<<>>") << 14;
        QTest::newRow("resource") << QByteArray("%!\r%%BeginResource: procset x\n") << 3;
        QTest::newRow("line not whole") << QByteArray("%!PS\n12 0 obj") << -1;
        QTest::newRow("no object") << QByteArray("%!PS\n12 0 R\nx 0 obj\n1 0 object\n") << -1;
    }
    void readerSetupPosition()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, position);
        QCOMPARE(PrinterDriver::readerSetupPosition(text).value_or(-1), qsizetype(position));
    }

    // The queue's driver started ahead: used by the next print; one that died
    // meanwhile is replaced and the print still succeeds; one never used
    // ends with the queue, and its scratch files (ps2write's, in its own
    // TMPDIR) with it. The PostScript gets the reader set-up before its
    // first object.
    void driverStartedAhead()
    {
        const auto drivers = [] { return test::printerDrivers(); };
        const QString spool = m_dir.filePath("ahead.pdf");
        const QString out = m_dir.filePath("ahead.ps");
        QString scratch;
        const auto print = [&](RegistryPrinters& printers) {
            QVERIFY(test::runProgram(
                        "/usr/bin/gs",
                        {"-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pdfwrite",
                         "-sOutputFile=" + spool, "-c",
                         "/Helvetica findfont 20 scalefont setfont 72 72 moveto (Ahead) show "
                         "showpage"},
                        60000)
                        .succeeded);
            printers.printToFile("Quillmer", spool, out, std::chrono::seconds(60));
            QVERIFY(!QFileInfo::exists(spool));
        };
        {
            RegistryPrinters printers(m_registry);
            printers.prepare();
            QTRY_COMPARE(drivers().size(), 1);
            const QList<pid_t> ahead = drivers();
            ::kill(ahead.first(), SIGKILL);
            QTRY_VERIFY(!processRuns(ahead.first()));
            print(printers);
            const QByteArray ps = test::readFile(out);
            QVERIFY(ps.startsWith("%!PS"));
            const qsizetype setup = ps.indexOf(RegistryPrinters::readerSetup());
            QVERIFY(setup > 0);
            QCOMPARE(setup + qsizetype(std::strlen(RegistryPrinters::readerSetup())),
                     PrinterDriver::readerSetupPosition(ps).value_or(
                         -1)); // just before the first object
            QCOMPARE(ps.count(RegistryPrinters::readerSetup()), 1);

            printers.prepare();
            QTRY_COMPARE(drivers().size(), 1);
            const QList<pid_t> next = drivers();
            print(printers);
            QVERIFY(!processRuns(next.first()));
            QVERIFY(drivers().isEmpty());
            printers.prepare();
            QTRY_COMPARE(drivers().size(), 1);
            const QByteArray environment =
                test::readFile(QStringLiteral("/proc/%1/environ").arg(drivers().first()));
            const qsizetype at = environment.indexOf(QByteArray("\0TMPDIR=", 8));
            QVERIFY(at >= 0);
            scratch = QFile::decodeName(environment.mid(at + 8).split('\0').first());
            QTRY_VERIFY(!QDir(scratch).isEmpty());
        }
        QVERIFY(drivers().isEmpty());
        QVERIFY(!QFileInfo::exists(scratch));
    }

    void creationFailsWith429()
    {
        // No office at all.
        QCOMPARE(errorNumber(
                     [&] { LibreOfficeHost(m_dir.filePath("no office"), printersOf(m_registry)); }),
                 err::CannotCreateObject);
        // Something that is not an office and ends at once.
        QTemporaryDir fake;
        QFile bin(fake.filePath("soffice.bin"));
        QVERIFY(bin.open(QIODevice::WriteOnly));
        bin.write("#!/bin/sh\nexit 1\n");
        bin.close();
        bin.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        QCOMPARE(errorNumber([&] { LibreOfficeHost(fake.path(), printersOf(m_registry)); }),
                 err::CannotCreateObject);
        // Something that never answers: the start-up time limit ends it.
        bin.open(QIODevice::WriteOnly);
        bin.write("#!/bin/sh\nexec sleep 600\n");
        bin.close();
        QCOMPARE(errorNumber([&] {
                     LibreOfficeHost(fake.path(), printersOf(m_registry),
                                     std::chrono::milliseconds(1500));
                 }),
                 err::CannotCreateObject);
    }

    // An instance that ends cleanly leaves its profile as the template the
    // next ones start from; a template the office cannot use is replaced by
    // a fresh profile, and the start still succeeds.
    void preparedProfile()
    {
        QTemporaryDir cache;
        const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
        const QString templateFolder = OfficeProfileTemplate::defaultFolder();
        QCOMPARE(templateFolder, cache.filePath("quillmer/office-profile"));
        {
            LibreOfficeHost host(OfficeFolder, printersOf(m_registry));
            // The office's profile lies in a folder of the user's alone.
            QCOMPARE(modeOf(QFileInfo(host.profileFolder()).absolutePath()), mode_t(0700));
            host.Quit();
        }
        // So does the template copied from it.
        QCOMPARE(modeOf(cache.filePath("quillmer")), mode_t(0700));
        const QString settings = templateFolder + "/user/registrymodifications.xcu";
        QVERIFY(QFileInfo(settings).isFile());
        QVERIFY(!QFileInfo::exists(templateFolder + "/user/.lock"));

        QFile broken(settings);
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("\x01 not the office's settings <<<");
        broken.close();
        {
            LibreOfficeHost host(OfficeFolder, printersOf(m_registry));
            QVERIFY(QFileInfo(host.profileFolder() + "/user").isDir());
            auto book = host.WorkbooksOpen(corpus("xls/poi_SampleSS.xls"));
            QCOMPARE(book->SheetCount(), qint16(3));
            book->Close();
            host.Quit();
        }
        QVERIFY(QFileInfo(settings).isFile());
        qputenv("XDG_CACHE_HOME", oldCache);
        if (oldCache.isEmpty())
            qunsetenv("XDG_CACHE_HOME");
    }

    // One instance meets the broken and hostile workbooks one after another;
    // each fails with an error at once (never waits for an answer), the
    // files stay as they were, and Quit leaves nothing running.
    void refusesBadWorkbooks()
    {
        LibreOfficeHost host(OfficeFolder, printersOf(m_registry));
        const pid_t pid = host.processId();
        const QString profile = host.profileFolder();
        QVERIFY(pid > 0);
        QCOMPARE(officeProcessesUsing(profile), QList<pid_t>{pid});

        const QStringList refused{
            "bad/poi_password.xls", "bad/edr_Test_git_issue_242_xor_pwd_password.xls",
            "bad/edr_Test_git_issue_5.xls", "bad/edr_TestFail_Binary.xls", "bad/cal_too_small.xls"};
        QHash<QString, QByteArray> before;
        for (const QString& name : refused)
            before[name] = checksum(corpus(name));
        for (const QString& name : refused) {
            QCOMPARE(errorNumber([&] { host.WorkbooksOpen(corpus(name)); }), err::ObjectDefined);
            QCOMPARE(host.processId(), pid); // still the same instance, usable
        }
        QCOMPARE(errorNumber([&] { host.WorkbooksOpen(m_dir.filePath("missing.xls")); }),
                 err::ObjectDefined);
        QCOMPARE(errorNumber([&] { host.ActiveWorkbook(); }), err::ObjectNotSet);

        // An OOXML workbook under an .xls name opens by its content.
        auto book = host.WorkbooksOpen(corpus("bad/edr_Test10x10.xlsx.xls"));
        QCOMPARE(book->SheetCount(), qint16(1));
        book->Close();

        for (const QString& name : refused)
            QCOMPARE(checksum(corpus(name)), before[name]);
        host.Quit();
        QCOMPARE(host.processId(), 0);
        QVERIFY(!processRuns(pid));
        QVERIFY(officeProcessesUsing(profile).isEmpty());
        QVERIFY(!QFileInfo::exists(profile));
        QCOMPARE(errorNumber([&] { host.WorkbooksOpen(corpus("xls/poi_SampleSS.xls")); }),
                 hosterr::ServerUnavailable);
        host.Quit(); // a second Quit does nothing
    }

    void sheetsPrintersAndValues()
    {
        LibreOfficeHost host(OfficeFolder, printersOf(m_registry));
        auto book = host.WorkbooksOpen(corpus("xls/poi_SampleSS.xls"));
        QCOMPARE(host.ActiveWorkbook(), book);
        QCOMPARE(book->SheetCount(), qint16(3));
        QCOMPARE(book->Sheets(1)->Name(), QString("First Sheet"));
        QCOMPARE(book->Sheets(3)->Name(), QString("Sheet3"));
        QCOMPARE(errorNumber([&] { book->Sheets(0); }), err::SubscriptOutOfRange);
        QCOMPARE(errorNumber([&] { book->Sheets(4); }), err::SubscriptOutOfRange);

        // The first installed printer is the active one; only installed
        // printers can be chosen, also in "name on port" form.
        QCOMPARE(host.ActivePrinter(), QString("Quillmer"));
        host.setActivePrinter("Other PS");
        QCOMPARE(host.ActivePrinter(), QString("Other PS"));
        host.setActivePrinter("quillmer on FILE:");
        QCOMPARE(host.ActivePrinter(), QString("Quillmer"));
        QCOMPARE(errorNumber([&] { host.setActivePrinter("HP Color LaserJet 5/5M PS"); }),
                 err::ObjectDefined);
        QCOMPARE(host.ActivePrinter(), QString("Quillmer"));

        // Values the application refuses.
        auto setup = book->Sheets(1)->pageSetup();
        QCOMPARE(errorNumber([&] { setup->setZoom(9); }), err::ObjectDefined);
        QCOMPARE(errorNumber([&] { setup->setZoom(401); }), err::ObjectDefined);
        QCOMPARE(errorNumber([&] { setup->setPaperSize(99); }), err::ObjectDefined);
        QCOMPARE(errorNumber([&] { setup->setOrientation(3); }), err::ObjectDefined);
        QCOMPARE(errorNumber([&] { setup->setPrintComments(2); }), err::ObjectDefined);
        QCOMPARE(errorNumber([&] { setup->setPrintArea("no such range!"); }), err::ObjectDefined);
        setup->setPrintArea("A1:B2");
        setup->setPrintArea("");

        const QString ps = m_dir.filePath("out.ps");
        auto print = [&](OptionalArg from, OptionalArg to, OptionalArg printer,
                         OptionalArg toFile) {
            book->PrintOut(from, to, std::nullopt, std::nullopt, printer, toFile, std::nullopt,
                           QVariant(ps));
        };
        QCOMPARE(errorNumber([&] { print({}, {}, QVariant("Nowhere"), QVariant(true)); }),
                 err::ObjectDefined);
        QCOMPARE(errorNumber([&] { print({}, {}, QVariant("Quillmer"), QVariant(false)); }),
                 err::ObjectDefined);
        QCOMPARE(errorNumber([&] { print(QVariant("two"), {}, {}, QVariant(true)); }),
                 err::TypeMismatch);
        QVERIFY(!QFileInfo::exists(ps));

        // Pages From..To as texts; naming a printer makes it the active one.
        host.setActivePrinter("Other PS");
        print(QVariant("2"), QVariant("2"), QVariant("Quillmer"), QVariant(true));
        QCOMPARE(host.ActivePrinter(), QString("Quillmer"));
        QFile file(ps);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.startsWith("%!PS"));
        QVERIFY(text.contains("\n%%Pages: 1\n"));
        // The spool is gone.
        QCOMPARE(QDir(host.profileFolder() + "/..").entryList({"*.pdf"}), QStringList());

        book->Close();
        QCOMPARE(errorNumber([&] { host.ActiveWorkbook(); }), err::ObjectNotSet);
        QCOMPARE(errorNumber([&] { book->Sheets(1); }), err::ObjectNotSet);
    }

    // A call that does not come back within the time limit (the office is
    // stopped) kills the instance and raises an error.
    void timeLimitKillsAStuckInstance()
    {
        LibreOfficeHost host(OfficeFolder, printersOf(m_registry));
        host.setTimeLimit(std::chrono::milliseconds(2000));
        const pid_t pid = host.processId();
        const QString profile = host.profileFolder();
        QCOMPARE(::kill(pid, SIGSTOP), 0);
        QCOMPARE(errorNumber([&] { host.WorkbooksOpen(corpus("xls/poi_SampleSS.xls")); }),
                 hosterr::AutomationError);
        QCOMPARE(host.processId(), 0);
        QVERIFY(!processRuns(pid));
        QVERIFY(officeProcessesUsing(profile).isEmpty());
        QVERIFY(!QFileInfo::exists(profile));
        QCOMPARE(errorNumber([&] { host.ActivePrinter(); }), hosterr::ServerUnavailable);
    }

    // The program crashes with an instance running: the instance goes too.
    void instanceDiesWithTheProgram()
    {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--crash-child", m_registry});
        QVERIFY(child.waitForFinished(120000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
        QVERIFY(lines.size() >= 2);
        const pid_t pid = lines[0].toInt();
        QVERIFY(pid > 0);
        QTRY_VERIFY_WITH_TIMEOUT(!processRuns(pid), 30000);
        QVERIFY(lines.size() >= 3 && lines[2].toInt() > 0);
        QTRY_VERIFY_WITH_TIMEOUT(!processRuns(lines[2].toInt()), 2000);
        m_crashedProfile = QString::fromUtf8(lines[1]);
        QTRY_VERIFY_WITH_TIMEOUT(officeProcessesUsing(m_crashedProfile).isEmpty(), 30000);
    }

    // Two conversions at once in one program: separate instances and
    // profiles, started together, and one does its whole work while the
    // other holds a workbook open.
    void twoConversionsAtOnce()
    {
        std::latch started(2);
        std::promise<void> firstOpen, secondDone;
        auto firstOpenFuture = firstOpen.get_future();
        auto secondDoneFuture = secondDone.get_future();
        QString profiles[2], errors[2];
        const QString out[2] = {m_dir.filePath("first.ps"), m_dir.filePath("second.ps")};

        // Each step of a conversion, with a hook before the print; a failure
        // is kept and still releases the other thread.
        auto convert = [&](int i, const QString& workbook, const std::function<void()>& beforePrint,
                           const std::function<void()>& onFailure) {
            bool arrived = false;
            try {
                LibreOfficeHost host(OfficeFolder, printersOf(m_registry));
                profiles[i] = host.profileFolder();
                arrived = true;
                started.arrive_and_wait();
                auto book = host.WorkbooksOpen(workbook);
                beforePrint();
                book->PrintOut({}, {}, {}, {}, QVariant("Quillmer"), QVariant(true), {},
                               QVariant(out[i]));
                book->Close();
                host.Quit();
            } catch (const AppError& e) {
                errors[i] = e.description();
                if (!arrived)
                    started.count_down();
                onFailure();
            }
        };
        bool firstSignalled = false, secondSignalled = false;
        std::thread first([&] {
            convert(
                0, corpus("xls/poi_SampleSS.xls"),
                [&] {
                    firstSignalled = true;
                    firstOpen.set_value();
                    secondDoneFuture.wait();
                },
                [&] {
                    if (!firstSignalled)
                        firstOpen.set_value();
                });
        });
        std::thread second([&] {
            convert(
                1, corpus("xls/poi_chinese-provinces.xls"), [&] { firstOpenFuture.wait(); }, [] {});
            secondSignalled = true;
            secondDone.set_value();
        });
        first.join();
        second.join();
        QVERIFY(secondSignalled);
        QCOMPARE(errors[0], QString());
        QCOMPARE(errors[1], QString());
        QVERIFY(profiles[0] != profiles[1]);
        for (const QString& ps : out) {
            QFile f(ps);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.read(4), QByteArray("%!PS"));
        }
        QVERIFY(officeProcessesUsing(profiles[0]).isEmpty());
        QVERIFY(officeProcessesUsing(profiles[1]).isEmpty());
        // The next instances cleared away what the crashed program left.
        if (!m_crashedProfile.isEmpty())
            QVERIFY(!QFileInfo::exists(QFileInfo(m_crashedProfile).path()));
    }

    // Ending the spare office before the program ends leaves nothing
    // running, and nothing starts after it.
    void spareOfficeEnds()
    {
        SpareOfficeHosts hosts(m_registry);
        hosts.prepare();
        const pid_t spare = hosts.waitForSpare(std::chrono::minutes(1));
        QVERIFY(spare > 0);
        // Warmed up: nothing of its own workbook is left beside the profile,
        // and its printer driver waits.
        const QByteArray command = test::procFile(spare, "cmdline");
        const qsizetype at = command.indexOf("file://");
        QVERIFY(at > 0);
        const QString folder =
            QFileInfo(
                QUrl::fromEncoded(command.mid(at, command.indexOf('\0', at) - at)).toLocalFile())
                .path();
        QCOMPARE(QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{"profile"});
        QCOMPARE(test::printerDrivers().size(), 1);
        hosts.end();
        QTRY_VERIFY_WITH_TIMEOUT(!processRuns(spare), 2000);
        hosts.prepare();
        QCOMPARE(hosts.waitForSpare(std::chrono::milliseconds(100)), pid_t(0));
        QCOMPARE(errorNumber([&] { hosts.create(); }), err::CannotCreateObject);
    }

    // The next spare starts as a host is handed out; when the caller has
    // said that no host follows, only once that host's office has ended.
    void nextSpareStartsAheadOrAfter()
    {
        SpareOfficeHosts hosts(m_registry);
        hosts.prepare();
        QVERIFY(hosts.waitForSpare(std::chrono::minutes(1)) > 0);
        hosts.expectMore(0);
        auto last = hosts.create();
        QCOMPARE(hosts.waitForSpare(std::chrono::milliseconds(0)), pid_t(0));
        QCOMPARE(childOfficeProcesses().size(), 1);
        last->Quit();
        QVERIFY(hosts.waitForSpare(std::chrono::minutes(1)) > 0);
        auto next = hosts.create(); // nothing said: the next spare starts now
        QVERIFY(hosts.waitForSpare(std::chrono::minutes(1)) > 0);
        next->Quit();
    }

    // No office process of this test is left.
    void cleanupTestCase() { QCOMPARE(childOfficeProcesses(), QList<pid_t>()); }
};

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--crash-child") == 0) {
        // Start an instance, say which, and crash.
        QCoreApplication app(argc, argv);
        auto printers = std::make_shared<RegistryPrinters>(QString::fromLocal8Bit(argv[2]));
        LibreOfficeHost host(OfficeFolder, printers);
        printers->prepare(); // a printer driver waiting for its spool goes too
        QList<pid_t> drivers;
        while (drivers.isEmpty())
            drivers = test::printerDrivers();
        std::printf("%d\n%s\n%d\n", int(host.processId()), qPrintable(host.profileFolder()),
                    int(drivers.first()));
        std::fflush(stdout);
        std::abort();
    }
    QCoreApplication app(argc, argv);
    TestLibreOfficeHost test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_libreofficehost.moc"
