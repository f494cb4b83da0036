#include "platform/libreofficehost.h"

#include "errors/apperror.h"
#include "platform/officeprofile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrl>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <com/sun/star/beans/PropertyAttribute.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/beans/XPropertySetInfo.hpp>
#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/configuration/theDefaultProvider.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameContainer.hpp>
#include <com/sun/star/container/XNameReplace.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XPrintAreas.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/XChangesBatch.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <condition_variable>
#include <cppuhelper/bootstrap.hxx>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <rtl/ustring.hxx>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace css = com::sun::star;
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

namespace quillmer::platform {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

OUString ou(const QString& s)
{
    return OUString(reinterpret_cast<const sal_Unicode*>(s.utf16()), sal_Int32(s.size()));
}

QString qs(const OUString& s)
{
    return QString(reinterpret_cast<const QChar*>(s.getStr()), s.getLength());
}

// A UNO message without the source location LibreOffice appends.
QString unoMessage(const css::uno::Exception& e)
{
    QString m = qs(e.Message);
    const qsizetype at = m.indexOf(QStringLiteral(" at ./"));
    if (at >= 0)
        m.truncate(at);
    return m.trimmed();
}

css::beans::PropertyValue property(const char* name, const Any& value)
{
    css::beans::PropertyValue p;
    p.Name = OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

AppError cannotCreate(const QString& why)
{
    return AppError(err::CannotCreateObject,
                    QStringLiteral("ActiveX component can't create object: %1").arg(why));
}

AppError serverGone()
{
    return AppError(hosterr::ServerUnavailable,
                    QStringLiteral("The remote server machine does not exist or is unavailable"));
}

// The process-wide local UNO context that connects to the office
// instances, bootstrapped once from the fundamentalrc of the office this
// program was built against (whichever office an instance runs).
Reference<css::uno::XComponentContext> localContext()
{
    static std::once_flag once;
    static Reference<css::uno::XComponentContext>* context = nullptr; // never freed: the UNO
                                                                      // runtime outlives statics
    static QString failure;
    std::call_once(once, [&] {
        if (qEnvironmentVariableIsEmpty("URE_BOOTSTRAP"))
            qputenv("URE_BOOTSTRAP", QUILLMER_URE_BOOTSTRAP);
        try {
            context = new Reference<css::uno::XComponentContext>(
                cppu::defaultBootstrap_InitialComponentContext());
        } catch (const css::uno::Exception& e) {
            failure = unoMessage(e);
        }
    });
    if (!context || !context->is())
        throw cannotCreate(QStringLiteral("the UNO runtime cannot start (%1)").arg(failure));
    return *context;
}

// Waits up to ms for the child to end and reaps it; true when it has.
bool waitForExit(pid_t pid, qint64 ms, int* status = nullptr)
{
    const auto until = Clock::now() + milliseconds(ms);
    for (;;) {
        int st = 0;
        const pid_t r = ::waitpid(pid, &st, WNOHANG);
        if (r == pid || (r < 0 && errno == ECHILD)) {
            if (status)
                *status = r == pid ? st : 0;
            return true;
        }
        if (Clock::now() >= until)
            return false;
        ::usleep(20000);
    }
}

// Starts the office in a process group of its own that the kernel kills when
// the creating thread ends. -1 with errno set when it cannot be executed.
pid_t spawnOffice(const QByteArray& executable, const QList<QByteArray>& arguments)
{
    std::vector<QByteArray> storage{executable};
    for (const QByteArray& a : arguments)
        storage.push_back(a);
    std::vector<char*> argv;
    for (QByteArray& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    // This program's UNO bootstrap is not the office's.
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "URE_BOOTSTRAP=", 14) != 0)
            envp.push_back(*e);
    envp.push_back(nullptr);

    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0)
        return -1;
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int e = errno;
        ::close(errorPipe[0]);
        ::close(errorPipe[1]);
        errno = e;
        return -1;
    }
    if (pid == 0) {
        // Only async-signal-safe calls from here on.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        ::setpgid(0, 0);
        const int devnull = ::open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            ::dup2(devnull, 0);
            ::dup2(devnull, 1);
        }
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        ::signal(SIGCHLD, SIG_DFL);
#ifdef SYS_close_range
        ::syscall(SYS_close_range, 3u, ~0u, 4u /* CLOSE_RANGE_CLOEXEC */);
#endif
        ::execve(argv[0], argv.data(), envp.data());
        const int e = errno;
        [[maybe_unused]] auto n = ::write(errorPipe[1], &e, sizeof e);
        ::_exit(127);
    }
    ::setpgid(pid, pid); // also from here, so the group exists before any kill
    ::close(errorPipe[1]);
    int execError = 0;
    ssize_t n;
    do {
        n = ::read(errorPipe[0], &execError, sizeof execError);
    } while (n < 0 && errno == EINTR);
    ::close(errorPipe[0]);
    if (n == sizeof execError) {
        ::waitpid(pid, nullptr, 0);
        errno = execError;
        return -1;
    }
    return pid;
}

// Removes the private folders that instances of programs that have since
// crashed left behind (the folder name carries the program's process id).
void removeLeftFolders()
{
    static std::mutex oneAtATime; // instances may start on several threads at once
    std::lock_guard lock(oneAtATime);
    const QDir temp(QDir::tempPath());
    for (const QFileInfo& entry : temp.entryInfoList({QStringLiteral("quillmer-office-*-*")},
                                                     QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const pid_t owner = entry.fileName().section(u'-', 2, 2).toInt(&ok);
        if (!ok || owner <= 0 || owner == ::getpid() || entry.ownerId() != ::geteuid() ||
            entry.isSymLink())
            continue;
        if (::kill(owner, 0) != 0 && errno == ESRCH)
            QDir(entry.filePath()).removeRecursively();
    }
}

// Marks the profile as made by this version of the office. Until a profile
// says so, every start counts as the first after an upgrade and runs the
// office's graphics self-tests (4096-pixel surfaces drawn and compared),
// which cost more than the rest of the start together. Only a window that
// shows a document would ever write the mark, and a headless office shows
// none.
void markProfileCurrent(const Reference<css::uno::XComponentContext>& remote)
{
    const Reference<css::lang::XMultiServiceFactory> provider =
        css::configuration::theDefaultProvider::get(remote);
    const Any path(property("nodepath", Any(OUString("/org.openoffice.Setup/Product"))));
    const Reference<css::container::XNameReplace> product(
        provider->createInstanceWithArguments(
            OUString("com.sun.star.configuration.ConfigurationUpdateAccess"),
            Sequence<Any>(&path, 1)),
        UNO_QUERY_THROW);
    OUString version, last;
    product->getByName(OUString("ooSetupVersion")) >>= version;
    product->getByName(OUString("ooSetupLastVersion")) >>= last;
    if (version.isEmpty() || version == last)
        return;
    product->replaceByName(OUString("ooSetupLastVersion"), Any(version));
    Reference<css::util::XChangesBatch>(product, UNO_QUERY_THROW)->commitChanges();
}

QString fileNameOf(const QString& path)
{
    return QFileInfo(path).fileName();
}

} // namespace

// One running office: its process, its connection, its private folder and
// the watchdog that kills it when a call overruns the time limit. Shared by
// the host and every workbook, sheet and page set-up object it hands out.
class OfficeInstance
{
public:
    OfficeInstance(const QString& programFolder, std::shared_ptr<InstalledPrinters> printers,
                   milliseconds timeLimit);
    ~OfficeInstance();

    // Runs one call into the office under the time limit. UNO failures
    // become AppError(1004, failure: message); an overrun kills the instance
    // and raises 440; a dead instance raises 462.
    template <typename F> auto run(const QString& failure, F&& f) -> decltype(f());

    void quit();
    bool alive() const { return m_alive; }
    pid_t pid() const { return m_alive ? m_pid : 0; }
    QString profileFolder() const { return m_folder.filePath(QStringLiteral("profile")); }
    QString newSpoolPath()
    {
        return m_folder.filePath(QStringLiteral("spool-%1.pdf").arg(++m_spools));
    }
    milliseconds timeLimit() const { return m_timeLimit; }
    void setTimeLimit(milliseconds limit) { m_timeLimit = limit; }

    Reference<css::frame::XDesktop2> desktop;
    std::shared_ptr<InstalledPrinters> printers;
    QString activePrinter;
    std::weak_ptr<Workbook> activeWorkbook;

private:
    void start(const QString& programFolder);
    void arm(milliseconds limit);
    void disarm();
    void watch();
    void killGroup();
    // After a kill or a crash: reap the process and forget the connection.
    void abandon();
    [[noreturn]] void throwTimeout();

    milliseconds m_timeLimit;
    QTemporaryDir m_folder;
    OfficeProfileTemplate m_template;
    bool m_seeded = false; // the profile was copied from the template
    pid_t m_pid = 0;
    bool m_alive = false;
    int m_spools = 0;
    Reference<css::lang::XComponent> m_bridge;

    std::mutex m_watchMutex;
    std::condition_variable m_watchWake;
    std::optional<Clock::time_point> m_deadline;
    bool m_stopWatch = false;
    std::atomic<bool> m_expired{false};
    std::atomic<pid_t> m_group{0};
    std::thread m_watchThread;
};

OfficeInstance::OfficeInstance(const QString& programFolder,
                               std::shared_ptr<InstalledPrinters> printers_, milliseconds timeLimit)
    : printers(std::move(printers_)), m_timeLimit(timeLimit),
      m_folder(QDir::tempPath() + QStringLiteral("/quillmer-office-%1-XXXXXX").arg(::getpid()))
{
    removeLeftFolders();
    if (!m_folder.isValid())
        throw cannotCreate(QStringLiteral("no private folder for the office profile (%1)")
                               .arg(m_folder.errorString()));
    m_watchThread = std::thread([this] { watch(); });
    try {
        m_seeded = m_template.seed(profileFolder());
        try {
            start(programFolder);
        } catch (const AppError&) {
            // A prepared profile the office cannot start from is forgotten,
            // and the office starts again with a fresh one.
            if (!m_seeded || m_expired)
                throw;
            abandon();
            m_template.discard();
            QDir(profileFolder()).removeRecursively();
            m_seeded = false;
            start(programFolder);
        }
    } catch (...) {
        abandon();
        {
            std::lock_guard lock(m_watchMutex);
            m_stopWatch = true;
        }
        m_watchWake.notify_all();
        m_watchThread.join();
        throw;
    }
    const QStringList names = printers ? printers->deviceNames() : QStringList();
    activePrinter = names.value(0);
}

OfficeInstance::~OfficeInstance()
{
    quit();
    {
        std::lock_guard lock(m_watchMutex);
        m_stopWatch = true;
    }
    m_watchWake.notify_all();
    m_watchThread.join();
}

void OfficeInstance::start(const QString& programFolder)
{
    QString folder = programFolder;
    while (folder.endsWith(u'/') && folder.size() > 1)
        folder.chop(1);
    QString executable = folder + QStringLiteral("/soffice.bin");
    if (!QFileInfo(executable).isExecutable())
        executable = folder + QStringLiteral("/soffice");
    if (folder.isEmpty() || !QFileInfo(executable).isExecutable() ||
        !QFileInfo(executable).isFile())
        throw cannotCreate(QStringLiteral("LibreOffice was not found in '%1'").arg(programFolder));

    const Reference<css::uno::XComponentContext> local = localContext();
    const QString pipeName =
        QStringLiteral("quillmer-%1-%2")
            .arg(::getpid())
            .arg(QRandomGenerator::system()->generate64(), 16, 16, QChar(u'0'));
    const QList<QByteArray> arguments{"--headless",
                                      "--invisible",
                                      "--nologo",
                                      "--norestore",
                                      "--nodefault",
                                      "--accept=pipe,name=" + pipeName.toUtf8() + ";urp;",
                                      "-env:UserInstallation=" +
                                          QUrl::fromLocalFile(profileFolder()).toEncoded()};

    arm(m_timeLimit);
    const auto deadline = Clock::now() + m_timeLimit;
    int restarts = 0;
    auto launch = [&] {
        m_pid = spawnOffice(QFile::encodeName(executable), arguments);
        if (m_pid < 0) {
            const int e = errno;
            m_pid = 0;
            throw cannotCreate(QStringLiteral("cannot run '%1' (%2)")
                                   .arg(executable, QString::fromLocal8Bit(strerror(e))));
        }
        m_group = m_pid;
        m_alive = true;
    };
    launch();

    Reference<css::connection::XConnection> connection;
    const Reference<css::connection::XConnector> connector =
        css::connection::Connector::create(local);
    while (!connection.is()) {
        int status = 0;
        if (waitForExit(m_pid, 0, &status)) {
            m_alive = false;
            // A fresh profile makes the office restart itself once (exit code 81).
            if (WIFEXITED(status) && WEXITSTATUS(status) == 81 && restarts++ < 3 && !m_expired) {
                launch();
                continue;
            }
            if (m_expired)
                throw cannotCreate(QStringLiteral("LibreOffice did not start within %1 seconds")
                                       .arg(m_timeLimit.count() / 1000.0));
            throw cannotCreate(
                QStringLiteral("LibreOffice ended while starting (%1 %2)")
                    .arg(WIFEXITED(status) ? QStringLiteral("exit code") : QStringLiteral("signal"))
                    .arg(WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status)));
        }
        if (Clock::now() >= deadline) {
            killGroup();
            throw cannotCreate(QStringLiteral("LibreOffice did not answer within %1 seconds")
                                   .arg(m_timeLimit.count() / 1000.0));
        }
        try {
            connection = connector->connect(ou(QStringLiteral("pipe,name=") + pipeName));
        } catch (const css::connection::NoConnectException&) {
            ::usleep(100000);
        }
    }
    try {
        const Reference<css::bridge::XBridge> bridge =
            css::bridge::BridgeFactory::create(local)->createBridge(OUString(), OUString("urp"),
                                                                    connection, nullptr);
        m_bridge.set(bridge, UNO_QUERY);
        const Reference<css::uno::XComponentContext> remote(
            bridge->getInstance(OUString("StarOffice.ComponentContext")), UNO_QUERY_THROW);
        desktop = css::frame::Desktop::create(remote);
        markProfileCurrent(remote);
    } catch (const css::uno::Exception& e) {
        if (m_expired)
            throw cannotCreate(QStringLiteral("LibreOffice did not answer within %1 seconds")
                                   .arg(m_timeLimit.count() / 1000.0));
        throw cannotCreate(QStringLiteral("cannot connect to LibreOffice (%1)").arg(unoMessage(e)));
    }
    disarm();
}

void OfficeInstance::watch()
{
    std::unique_lock lock(m_watchMutex);
    while (!m_stopWatch) {
        if (!m_deadline) {
            m_watchWake.wait(lock);
            continue;
        }
        const auto deadline = *m_deadline;
        if (m_watchWake.wait_until(lock, deadline) == std::cv_status::timeout && m_deadline &&
            *m_deadline == deadline) {
            m_deadline.reset();
            m_expired = true;
            killGroup();
        }
    }
}

void OfficeInstance::arm(milliseconds limit)
{
    {
        std::lock_guard lock(m_watchMutex);
        m_expired = false;
        m_deadline = Clock::now() + limit;
    }
    m_watchWake.notify_all();
}

void OfficeInstance::disarm()
{
    {
        std::lock_guard lock(m_watchMutex);
        m_deadline.reset();
    }
    m_watchWake.notify_all();
}

void OfficeInstance::killGroup()
{
    const pid_t group = m_group;
    if (group > 0)
        ::kill(-group, SIGKILL);
}

void OfficeInstance::abandon()
{
    disarm();
    if (m_pid > 0) {
        killGroup();
        ::waitpid(m_pid, nullptr, 0);
    }
    m_group = 0;
    m_pid = 0;
    m_alive = false;
    // Dropping the references may talk to the dead bridge; it only fails.
    try {
        desktop.clear();
        if (m_bridge.is())
            m_bridge->dispose();
    } catch (...) {
    }
    m_bridge.clear();
    m_folder.remove();
}

void OfficeInstance::throwTimeout()
{
    abandon();
    throw AppError(hosterr::AutomationError,
                   QStringLiteral("Automation error: LibreOffice did not answer within %1 "
                                  "seconds, so it was ended")
                       .arg(m_timeLimit.count() / 1000.0));
}

template <typename F> auto OfficeInstance::run(const QString& failure, F&& f) -> decltype(f())
{
    if (!m_alive)
        throw serverGone();
    struct Armed
    {
        OfficeInstance& instance;
        ~Armed() { instance.disarm(); }
    } armed{*this};
    arm(m_timeLimit);
    try {
        return f();
    } catch (const AppError&) {
        if (m_expired)
            throwTimeout();
        throw;
    } catch (const css::uno::Exception& e) {
        if (m_expired)
            throwTimeout();
        if (waitForExit(m_pid, 0)) {
            m_pid = 0;
            abandon();
            throw serverGone();
        }
        const QString message = unoMessage(e);
        throw AppError(err::ObjectDefined,
                       message.isEmpty() ? failure : failure + QStringLiteral(": ") + message);
    }
}

void OfficeInstance::quit()
{
    if (!m_alive) {
        abandon();
        return;
    }
    // Ask politely, then insist.
    arm(std::min(m_timeLimit, milliseconds(30000)));
    try {
        if (desktop.is())
            desktop->terminate();
    } catch (...) {
    }
    disarm();
    try {
        if (m_bridge.is())
            m_bridge->dispose();
    } catch (...) {
    }
    int status = 0;
    const bool ended = waitForExit(m_pid, 10000, &status);
    if (ended && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        m_template.keep(profileFolder());
    if (!ended) {
        ::kill(-m_pid, SIGTERM);
        if (!waitForExit(m_pid, 5000)) {
            killGroup();
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    m_pid = 0;
    killGroup(); // anything the office left in its group
    abandon();
}

namespace {

// The page styles of a document, and the style one sheet prints with.
struct SheetStyle
{
    Reference<css::container::XNameContainer> styles;
    Reference<css::beans::XPropertySet> sheet;
    OUString name;
};

SheetStyle sheetStyle(const Reference<css::lang::XComponent>& document,
                      const Reference<css::sheet::XSpreadsheet>& sheet)
{
    SheetStyle s;
    const Reference<css::style::XStyleFamiliesSupplier> supplier(document, UNO_QUERY_THROW);
    s.styles.set(supplier->getStyleFamilies()->getByName(OUString("PageStyles")), UNO_QUERY_THROW);
    s.sheet.set(sheet, UNO_QUERY_THROW);
    s.sheet->getPropertyValue(OUString("PageStyle")) >>= s.name;
    return s;
}

// Gives the sheet a page style of its own when another sheet prints with the
// same one, so that writing the sheet's set-up leaves the other sheets' as
// it was. Returns the style to write to.
Reference<css::beans::XPropertySet> ownPageStyle(const Reference<css::lang::XComponent>& document,
                                                 const Reference<css::sheet::XSpreadsheet>& sheet)
{
    SheetStyle s = sheetStyle(document, sheet);
    const Reference<css::beans::XPropertySet> current(s.styles->getByName(s.name), UNO_QUERY_THROW);

    const Reference<css::sheet::XSpreadsheetDocument> spreadsheet(document, UNO_QUERY_THROW);
    const Reference<css::container::XIndexAccess> sheets(spreadsheet->getSheets(), UNO_QUERY_THROW);
    const OUString sheetName = Reference<css::container::XNamed>(sheet, UNO_QUERY_THROW)->getName();
    bool shared = false;
    for (sal_Int32 i = 0; i < sheets->getCount() && !shared; ++i) {
        const Reference<css::container::XNamed> other(sheets->getByIndex(i), UNO_QUERY_THROW);
        if (other->getName() == sheetName)
            continue;
        OUString otherStyle;
        Reference<css::beans::XPropertySet>(other, UNO_QUERY_THROW)
            ->getPropertyValue(OUString("PageStyle")) >>= otherStyle;
        shared = otherStyle == s.name;
    }
    if (!shared)
        return current;

    OUString copyName = s.name + OUString(" (") + sheetName + OUString(")");
    for (int n = 2; s.styles->hasByName(copyName); ++n)
        copyName = s.name + OUString(" (") + sheetName + OUString(" ") + OUString::number(n) +
                   OUString(")");
    const Reference<css::lang::XMultiServiceFactory> factory(document, UNO_QUERY_THROW);
    const Reference<css::beans::XPropertySet> copy(
        factory->createInstance(OUString("com.sun.star.style.PageStyle")), UNO_QUERY_THROW);
    s.styles->insertByName(copyName, Any(copy));
    const Sequence<css::beans::Property> all = current->getPropertySetInfo()->getProperties();
    for (const css::beans::Property& p : all) {
        if (p.Attributes & css::beans::PropertyAttribute::READONLY)
            continue;
        try {
            copy->setPropertyValue(p.Name, current->getPropertyValue(p.Name));
        } catch (const css::uno::RuntimeException&) {
            throw;
        } catch (const css::uno::Exception&) {
            // A property the new style cannot take keeps its default.
        }
    }
    // The size last, whatever the order above did to it.
    copy->setPropertyValue(OUString("Width"), current->getPropertyValue(OUString("Width")));
    copy->setPropertyValue(OUString("Height"), current->getPropertyValue(OUString("Height")));
    s.sheet->setPropertyValue(OUString("PageStyle"), Any(copyName));
    return copy;
}

// Paper sizes in 1/100 mm, portrait, by Excel's paper-size number.
std::optional<std::pair<sal_Int32, sal_Int32>> paperSize(qint32 number)
{
    switch (number) {
    case xl::PaperLetter:
        return std::pair(21590, 27940);
    case xl::PaperLegal:
        return std::pair(21590, 35560);
    case xl::PaperA4:
        return std::pair(21000, 29700);
    case xl::PaperA5:
        return std::pair(14800, 21000);
    case xl::PaperB4:
        return std::pair(25000, 35400);
    case xl::PaperB5:
        return std::pair(18200, 25700);
    default:
        return std::nullopt;
    }
}

AppError unableToSet(const char* property)
{
    return AppError(err::ObjectDefined,
                    QStringLiteral("Unable to set the %1 property of the PageSetup class")
                        .arg(QLatin1String(property)));
}

QString setFailure(const char* property)
{
    return unableToSet(property).description();
}

// Width and height so that the longer side lies across in landscape.
void orient(const Reference<css::beans::XPropertySet>& style, sal_Int32 width, sal_Int32 height,
            bool landscape)
{
    if ((landscape && width < height) || (!landscape && width > height))
        std::swap(width, height);
    style->setPropertyValue(OUString("Width"), Any(width));
    style->setPropertyValue(OUString("Height"), Any(height));
}

class OfficePageSetup : public PageSetup
{
public:
    OfficePageSetup(std::shared_ptr<OfficeInstance> instance,
                    Reference<css::lang::XComponent> document,
                    Reference<css::sheet::XSpreadsheet> sheet)
        : m_instance(std::move(instance)), m_document(std::move(document)),
          m_sheet(std::move(sheet))
    {
    }

    void setPrintComments(qint32 value) override
    {
        if (value != xl::PrintNoComments && value != xl::PrintSheetEnd && value != xl::PrintInPlace)
            throw unableToSet("PrintComments");
        write("PrintComments", [&](const Reference<css::beans::XPropertySet>& style) {
            style->setPropertyValue(OUString("PrintAnnotations"),
                                    Any(value != xl::PrintNoComments));
        });
    }
    void setPrintGridlines(bool value) override
    {
        write("PrintGridlines", [&](const Reference<css::beans::XPropertySet>& style) {
            style->setPropertyValue(OUString("PrintGrid"), Any(value));
        });
    }
    void setPaperSize(qint32 value) override
    {
        const auto size = paperSize(value);
        if (!size)
            throw unableToSet("PaperSize");
        write("PaperSize", [&](const Reference<css::beans::XPropertySet>& style) {
            bool landscape = false;
            style->getPropertyValue(OUString("IsLandscape")) >>= landscape;
            orient(style, size->first, size->second, landscape);
        });
    }
    void setZoom(qint16 percent) override
    {
        if (percent < 10 || percent > 400)
            throw unableToSet("Zoom");
        write("Zoom", [&](const Reference<css::beans::XPropertySet>& style) {
            style->setPropertyValue(OUString("ScaleToPages"), Any(sal_Int16(0)));
            style->setPropertyValue(OUString("ScaleToPagesX"), Any(sal_Int16(0)));
            style->setPropertyValue(OUString("ScaleToPagesY"), Any(sal_Int16(0)));
            style->setPropertyValue(OUString("PageScale"), Any(sal_Int16(percent)));
        });
    }
    void setOrientation(qint32 value) override
    {
        if (value != xl::Portrait && value != xl::Landscape)
            throw unableToSet("Orientation");
        write("Orientation", [&](const Reference<css::beans::XPropertySet>& style) {
            const bool landscape = value == xl::Landscape;
            style->setPropertyValue(OUString("IsLandscape"), Any(landscape));
            sal_Int32 width = 0, height = 0;
            style->getPropertyValue(OUString("Width")) >>= width;
            style->getPropertyValue(OUString("Height")) >>= height;
            orient(style, width, height, landscape);
        });
    }
    void setPrintHeadings(bool value) override
    {
        write("PrintHeadings", [&](const Reference<css::beans::XPropertySet>& style) {
            style->setPropertyValue(OUString("PrintHeaders"), Any(value));
        });
    }
    void setPrintNotes(bool value) override
    {
        write("PrintNotes", [&](const Reference<css::beans::XPropertySet>& style) {
            style->setPropertyValue(OUString("PrintAnnotations"), Any(value));
        });
    }
    void setPrintArea(const QString& range) override
    {
        m_instance->run(setFailure("PrintArea"), [&] {
            const Reference<css::sheet::XPrintAreas> areas(m_sheet, UNO_QUERY_THROW);
            if (range.trimmed().isEmpty()) {
                // No ranges alone would print nothing of this sheet; the
                // automatic print area is the whole sheet.
                areas->setPrintAreas(Sequence<css::table::CellRangeAddress>());
                Reference<css::beans::XPropertySet>(m_sheet, UNO_QUERY_THROW)
                    ->setPropertyValue(OUString("AutomaticPrintArea"), Any(true));
                return;
            }
            const Reference<css::table::XCellRange> cells(m_sheet, UNO_QUERY_THROW);
            const Reference<css::sheet::XCellRangeAddressable> address(
                cells->getCellRangeByName(ou(range.trimmed())), UNO_QUERY_THROW);
            const css::table::CellRangeAddress area = address->getRangeAddress();
            areas->setPrintAreas(Sequence<css::table::CellRangeAddress>(&area, 1));
        });
    }

private:
    template <typename F> void write(const char* property, F&& f)
    {
        m_instance->run(setFailure(property), [&] { f(ownPageStyle(m_document, m_sheet)); });
    }

    std::shared_ptr<OfficeInstance> m_instance;
    Reference<css::lang::XComponent> m_document;
    Reference<css::sheet::XSpreadsheet> m_sheet;
};

class OfficeWorksheet : public Worksheet
{
public:
    OfficeWorksheet(std::shared_ptr<OfficeInstance> instance,
                    Reference<css::lang::XComponent> document,
                    Reference<css::sheet::XSpreadsheet> sheet, QString name)
        : m_instance(std::move(instance)), m_document(std::move(document)),
          m_sheet(std::move(sheet)), m_name(std::move(name))
    {
    }

    QString Name() const override { return m_name; }
    std::unique_ptr<PageSetup> pageSetup() override
    {
        return std::make_unique<OfficePageSetup>(m_instance, m_document, m_sheet);
    }

private:
    std::shared_ptr<OfficeInstance> m_instance;
    Reference<css::lang::XComponent> m_document;
    Reference<css::sheet::XSpreadsheet> m_sheet;
    QString m_name;
};

// A number argument given as a number or as text ("3").
qint32 numberArgument(const QVariant& value)
{
    bool ok = false;
    const double d = value.toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d) || d < -2147483648.0 || d > 2147483647.0)
        throw AppError(err::TypeMismatch);
    return qint32(std::nearbyint(d));
}

class OfficeWorkbook : public Workbook
{
public:
    OfficeWorkbook(std::shared_ptr<OfficeInstance> instance,
                   Reference<css::lang::XComponent> document, QString name)
        : m_instance(std::move(instance)), m_document(std::move(document)), m_name(std::move(name))
    {
    }

    QString Name() const override { return m_name; }

    qint16 SheetCount() const override
    {
        return m_instance->run(QStringLiteral("Sheets.Count failed"),
                               [&] { return qint16(sheets()->getCount()); });
    }

    std::unique_ptr<Worksheet> Sheets(qint16 index) override
    {
        return m_instance->run(
            QStringLiteral("Sheets failed"), [&]() -> std::unique_ptr<Worksheet> {
                const Reference<css::container::XIndexAccess> all = sheets();
                if (index < 1 || index > all->getCount())
                    throw AppError(err::SubscriptOutOfRange);
                const Reference<css::sheet::XSpreadsheet> sheet(all->getByIndex(index - 1),
                                                                UNO_QUERY_THROW);
                const QString name =
                    qs(Reference<css::container::XNamed>(sheet, UNO_QUERY_THROW)->getName());
                return std::make_unique<OfficeWorksheet>(m_instance, m_document, sheet, name);
            });
    }

    void PrintOut(const OptionalArg& from, const OptionalArg& to, const OptionalArg& copies,
                  const OptionalArg& preview, const OptionalArg& activePrinter,
                  const OptionalArg& printToFile, const OptionalArg& collate,
                  const OptionalArg& prToFileName) override
    {
        Q_UNUSED(collate); // one copy: nothing to collate
        if (!m_instance->alive())
            throw serverGone();
        if (m_closed)
            throw AppError(err::ObjectNotSet);
        QString pages;
        if (from || to) {
            const qint32 first = from ? numberArgument(*from) : 1;
            if (first < 1)
                throw AppError(
                    err::ObjectDefined,
                    QStringLiteral("PrintOut method of Workbook class failed: no page %1")
                        .arg(first));
            pages = QString::number(first) + u'-';
            if (to) {
                const qint32 last = numberArgument(*to);
                if (last < first)
                    throw AppError(
                        err::ObjectDefined,
                        QStringLiteral("PrintOut method of Workbook class failed: pages %1 to %2")
                            .arg(first)
                            .arg(last));
                pages += QString::number(last);
            }
        }
        if (copies && numberArgument(*copies) != 1)
            throw AppError(err::ObjectDefined,
                           QStringLiteral("PrintOut method of Workbook class failed: only one copy "
                                          "can be printed to a file"));
        if (preview && preview->toBool())
            throw AppError(err::ObjectDefined,
                           QStringLiteral("PrintOut method of Workbook class failed: there is no "
                                          "print preview"));
        if (activePrinter)
            setActivePrinter(m_instance, activePrinter->toString());
        const QString output = prToFileName ? prToFileName->toString() : QString();
        if (!printToFile || !printToFile->toBool() || output.isEmpty())
            throw AppError(err::ObjectDefined,
                           QStringLiteral("PrintOut method of Workbook class failed: the printer "
                                          "'%1' prints to a file only, named by PrToFileName")
                               .arg(m_instance->activePrinter));

        const QString spool = m_instance->newSpoolPath();
        m_instance->run(QStringLiteral("PrintOut method of Workbook class failed"), [&] {
            const css::beans::PropertyValue range = property("PageRange", Any(ou(pages)));
            const Sequence<css::beans::PropertyValue> filterData(&range, pages.isEmpty() ? 0 : 1);
            const css::beans::PropertyValue arguments[] = {
                property("FilterName", Any(OUString("calc_pdf_Export"))),
                property("FilterData", Any(filterData))};
            const Reference<css::frame::XStorable> storable(m_document, UNO_QUERY_THROW);
            storable->storeToURL(ou(QString::fromUtf8(QUrl::fromLocalFile(spool).toEncoded())),
                                 Sequence<css::beans::PropertyValue>(arguments, 2));
        });
        if (!m_instance->printers)
            throw AppError(err::ObjectDefined, QStringLiteral("No printers are installed."));
        m_instance->printers->printToFile(m_instance->activePrinter, spool, output,
                                          m_instance->timeLimit());
    }

    void Close() override
    {
        if (m_closed)
            return;
        m_instance->run(QStringLiteral("Close method of Workbook class failed"), [&] {
            const Reference<css::util::XCloseable> closeable(m_document, UNO_QUERY);
            if (closeable.is())
                closeable->close(true);
            else
                m_document->dispose();
        });
        m_closed = true;
        m_document.clear();
    }

    bool closed() const { return m_closed; }

    // Shared with the host's ActivePrinter.
    static void setActivePrinter(const std::shared_ptr<OfficeInstance>& instance,
                                 const QString& name);

private:
    Reference<css::container::XIndexAccess> sheets() const
    {
        if (m_closed)
            throw AppError(err::ObjectNotSet);
        const Reference<css::sheet::XSpreadsheetDocument> document(m_document, UNO_QUERY_THROW);
        return Reference<css::container::XIndexAccess>(document->getSheets(), UNO_QUERY_THROW);
    }

    std::shared_ptr<OfficeInstance> m_instance;
    Reference<css::lang::XComponent> m_document;
    QString m_name;
    bool m_closed = false;
};

void OfficeWorkbook::setActivePrinter(const std::shared_ptr<OfficeInstance>& instance,
                                      const QString& name)
{
    if (!instance->alive())
        throw serverGone();
    // "Quillmer" or "Quillmer on FILE:".
    QString wanted = name.trimmed();
    const qsizetype on = wanted.lastIndexOf(QStringLiteral(" on "));
    const QStringList installed =
        instance->printers ? instance->printers->deviceNames() : QStringList();
    for (const QString& candidate : {wanted, on > 0 ? wanted.left(on) : QString()}) {
        for (const QString& printer : installed) {
            if (!candidate.isEmpty() && printer.compare(candidate, Qt::CaseInsensitive) == 0) {
                instance->activePrinter = printer;
                return;
            }
        }
    }
    throw AppError(err::ObjectDefined,
                   QStringLiteral("The printer '%1' is not installed.").arg(name));
}

// The import filters of workbooks: Excel's own formats, and the office's.
bool isWorkbookFilter(const QString& filter)
{
    return filter.startsWith(QLatin1String("MS Excel")) ||
           filter.startsWith(QLatin1String("Calc MS Excel")) || filter == QLatin1String("calc8") ||
           filter == QLatin1String("StarOffice XML (Calc)") ||
           filter == QLatin1String("OpenDocument Spreadsheet Flat XML");
}

} // namespace

LibreOfficeHost::LibreOfficeHost(const QString& programFolder,
                                 std::shared_ptr<InstalledPrinters> printers,
                                 std::chrono::milliseconds timeLimit)
    : m_instance(std::make_shared<OfficeInstance>(programFolder, std::move(printers), timeLimit))
{
}

LibreOfficeHost::~LibreOfficeHost()
{
    try {
        Quit();
    } catch (...) {
    }
}

std::shared_ptr<Workbook> LibreOfficeHost::WorkbooksOpen(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        throw AppError(
            err::ObjectDefined,
            QStringLiteral("'%1' could not be found. Check the spelling of the file name, "
                           "and verify that the file location is correct.")
                .arg(QDir::toNativeSeparators(path)));
    if (!info.isReadable())
        throw AppError(err::ObjectDefined,
                       QStringLiteral("'%1' cannot be read.").arg(QDir::toNativeSeparators(path)));
    const QString name = fileNameOf(path);
    const QString failure = QStringLiteral("'%1' cannot be opened").arg(name);

    auto document = m_instance->run(failure, [&] {
        const Reference<css::frame::XComponentLoader> loader(m_instance->desktop, UNO_QUERY_THROW);
        // No interaction handler: whatever would ask (a password, a repair,
        // a text import) fails instead.
        const css::beans::PropertyValue arguments[] = {
            property("Hidden", Any(true)), property("ReadOnly", Any(true)),
            property("MacroExecMode", Any(css::document::MacroExecMode::NEVER_EXECUTE)),
            property("UpdateDocMode", Any(css::document::UpdateDocMode::NO_UPDATE)),
            property("RepairPackage", Any(false))};
        const QString url =
            QString::fromUtf8(QUrl::fromLocalFile(info.absoluteFilePath()).toEncoded());
        const Reference<css::lang::XComponent> loaded = loader->loadComponentFromURL(
            ou(url), OUString("_blank"), 0, Sequence<css::beans::PropertyValue>(arguments, 5));
        if (!loaded.is())
            throw AppError(err::ObjectDefined,
                           QStringLiteral("'%1' cannot be opened: it is protected by a password, "
                                          "or it is damaged.")
                               .arg(name));
        QString filter;
        if (const Reference<css::frame::XModel> model{loaded, UNO_QUERY}; model.is())
            for (const css::beans::PropertyValue& p : model->getArgs())
                if (p.Name == "FilterName") {
                    OUString value;
                    p.Value >>= value;
                    filter = qs(value);
                }
        const Reference<css::sheet::XSpreadsheetDocument> spreadsheet(loaded, UNO_QUERY);
        if (!spreadsheet.is() || !isWorkbookFilter(filter)) {
            const Reference<css::util::XCloseable> closeable(loaded, UNO_QUERY);
            if (closeable.is())
                closeable->close(true);
            throw AppError(
                err::ObjectDefined,
                QStringLiteral("'%1' cannot be opened: it is not a workbook "
                               "(it reads as %2).")
                    .arg(name, filter.isEmpty() ? QStringLiteral("something else") : filter));
        }
        return loaded;
    });
    auto workbook = std::make_shared<OfficeWorkbook>(m_instance, document, name);
    m_instance->activeWorkbook = workbook;
    return workbook;
}

std::shared_ptr<Workbook> LibreOfficeHost::ActiveWorkbook()
{
    if (!m_instance->alive())
        throw serverGone();
    auto workbook = m_instance->activeWorkbook.lock();
    if (!workbook || static_cast<OfficeWorkbook*>(workbook.get())->closed())
        throw AppError(err::ObjectNotSet);
    return workbook;
}

QString LibreOfficeHost::ActivePrinter() const
{
    if (!m_instance->alive())
        throw serverGone();
    return m_instance->activePrinter;
}

void LibreOfficeHost::setActivePrinter(const QString& deviceName)
{
    OfficeWorkbook::setActivePrinter(m_instance, deviceName);
}

void LibreOfficeHost::Quit()
{
    m_instance->quit();
}

pid_t LibreOfficeHost::processId() const
{
    return m_instance->pid();
}

void LibreOfficeHost::setTimeLimit(std::chrono::milliseconds limit)
{
    m_instance->setTimeLimit(limit);
}

QString LibreOfficeHost::profileFolder() const
{
    return m_instance->profileFolder();
}

QString LibreOfficeHost::programFolderFromRegistry(const RegistryFile& registry)
{
    for (const char* version : {"12.0", "11.0", "10.0", "9.0"}) {
        const RegistryKey* key =
            registry.key(hkey::LocalMachine,
                         QStringLiteral("SOFTWARE\\Microsoft\\Office\\%1\\Excel\\InstallRoot")
                             .arg(QLatin1String(version)));
        if (!key)
            continue;
        if (const auto value = key->value(QStringLiteral("Path"))) {
            const QString path = QString::fromUtf8(value->data).remove(QChar(0));
            if (!path.isEmpty())
                return path;
        }
    }
    return QString();
}

LibreOfficeHostFactory::LibreOfficeHostFactory(QString registryPath,
                                               std::chrono::milliseconds timeLimit)
    : m_registryPath(std::move(registryPath)), m_timeLimit(timeLimit)
{
}

std::unique_ptr<SpreadsheetHost> LibreOfficeHostFactory::create()
{
    const RegistryFile registry = RegistryFile::load(m_registryPath);
    return std::make_unique<LibreOfficeHost>(LibreOfficeHost::programFolderFromRegistry(registry),
                                             std::make_shared<RegistryPrinters>(m_registryPath),
                                             m_timeLimit);
}

} // namespace quillmer::platform
