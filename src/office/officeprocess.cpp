#include "office/officeprocess.h"

#include "platform/failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <signal.h>
#include <unistd.h>

namespace quillmer::office {

namespace {

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

} // namespace

OfficeProcess::OfficeProcess(OfficeProfileTemplate profileTemplate)
    : m_template(std::move(profileTemplate)),
      m_folder(QDir::tempPath() + QStringLiteral("/quillmer-office-%1-XXXXXX").arg(::getpid()))
{
    removeLeftFolders();
    if (!m_folder.isValid())
        throw platform::Failure(QStringLiteral("no private folder for the office profile (%1)")
                                    .arg(m_folder.errorString()));
    m_seeded = m_template.seed(profileFolder());
    m_watchThread = std::thread([this] { watch(); });
}

OfficeProcess::~OfficeProcess()
{
    kill();
    {
        std::lock_guard lock(m_watchMutex);
        m_stopWatch = true;
    }
    m_watchWake.notify_all();
    m_watchThread.join();
}

QString OfficeProcess::executableIn(const QString& programFolder)
{
    QString folder = programFolder;
    while (folder.endsWith(u'/') && folder.size() > 1)
        folder.chop(1);
    // soffice.bin itself: the soffice script and its launcher would stand
    // between the office and the parent-death signal.
    for (const char* name : {"/soffice.bin", "/soffice"}) {
        const QFileInfo executable(folder + QLatin1String(name));
        if (!folder.isEmpty() && executable.isFile() && executable.isExecutable())
            return executable.filePath();
    }
    throw platform::Failure(QStringLiteral("LibreOffice was not found in '%1'").arg(programFolder));
}

void OfficeProcess::launch(const QString& executable, const QString& pipeName)
{
    const QStringList arguments{
        QStringLiteral("--headless"),
        QStringLiteral("--invisible"),
        QStringLiteral("--nologo"),
        QStringLiteral("--norestore"),
        QStringLiteral("--nodefault"),
        QStringLiteral("--accept=pipe,name=%1;urp;").arg(pipeName),
        QStringLiteral("-env:UserInstallation=") +
            QString::fromUtf8(QUrl::fromLocalFile(profileFolder()).toEncoded())};
    platform::ProcessOptions options;
    options.ownProcessGroup = true;
    options.parentDeathSignal = SIGKILL;
    // This program's UNO bootstrap is not the office's, and a headless
    // office has no business with the desktop's display.
    options.unsetEnvironment = {"URE_BOOTSTRAP", "DISPLAY", "WAYLAND_DISPLAY"};
    m_process = platform::Process::start(executable, arguments, options);
    m_group = m_process->pid();
}

bool OfficeProcess::hasEnded()
{
    return !m_process || m_process->wait(0);
}

bool OfficeProcess::waitForEnd(milliseconds limit)
{
    return !m_process || m_process->wait(limit.count());
}

std::optional<int> OfficeProcess::exitCode() const
{
    return m_process ? m_process->exitCode() : std::nullopt;
}

QString OfficeProcess::howItEnded() const
{
    if (const auto code = exitCode())
        return QStringLiteral("exit code %1").arg(*code);
    return QStringLiteral("signal %1").arg(m_process ? m_process->terminationSignal() : 0);
}

pid_t OfficeProcess::pid() const
{
    return m_process && !m_process->hasEnded() ? m_process->pid() : 0;
}

void OfficeProcess::end(milliseconds grace)
{
    if (!m_process)
        return;
    if (!m_process->hasEnded()) {
        m_process->signalGroup(SIGTERM);
        if (!m_process->wait(grace.count()))
            m_process->signalGroup(SIGKILL);
    }
    kill();
}

void OfficeProcess::kill()
{
    killGroup();
    m_group = 0;
    if (m_process)
        m_process->wait(-1);
}

void OfficeProcess::killGroup()
{
    // The group id stays reserved while any member is left, so this never
    // reaches another program's group.
    if (const pid_t group = m_group; group > 0)
        ::kill(-group, SIGKILL);
}

void OfficeProcess::removeFolder()
{
    kill();
    m_folder.remove();
}

void OfficeProcess::replaceSeededProfile()
{
    kill();
    m_template.discard();
    QDir(profileFolder()).removeRecursively();
    m_seeded = false;
}

void OfficeProcess::watch()
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

void OfficeProcess::arm(milliseconds limit)
{
    {
        std::lock_guard lock(m_watchMutex);
        m_expired = false;
        m_deadline = std::chrono::steady_clock::now() + limit;
    }
    m_watchWake.notify_all();
}

void OfficeProcess::disarm()
{
    {
        std::lock_guard lock(m_watchMutex);
        m_deadline.reset();
    }
    m_watchWake.notify_all();
}

} // namespace quillmer::office
