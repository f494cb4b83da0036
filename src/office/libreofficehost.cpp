#include "office/libreofficehost.h"

#include "office/officeinstance.h"
#include "office/officepassword.h"
#include "office/officeworkbook.h"
#include "platform/registrynames.h"

#include <QScopeGuard>
#include <utility>

namespace quillmer::office {

LibreOfficeHost::LibreOfficeHost(const QString& programFolder,
                                 std::shared_ptr<printqueue::InstalledPrinters> printers,
                                 std::chrono::milliseconds timeLimit)
    : m_instance(std::make_shared<OfficeInstance>(programFolder, std::move(printers), timeLimit))
{
}

LibreOfficeHost::LibreOfficeHost(std::shared_ptr<OfficeInstance> instance,
                                 std::function<bool()> keep, std::function<void()> ended)
    : m_instance(std::move(instance)), m_keep(std::move(keep)), m_ended(std::move(ended))
{
}

LibreOfficeHost::~LibreOfficeHost()
{
    try {
        Quit();
    } catch (const AppError&) {
        // An office that cannot be ended politely has been killed by Quit.
    }
}

std::shared_ptr<Workbook> LibreOfficeHost::WorkbooksOpen(const QString& path)
{
    auto workbook = openWorkbook(m_instance, path);
    m_instance->activeWorkbook = workbook;
    return workbook;
}

std::shared_ptr<Workbook> LibreOfficeHost::ActiveWorkbook()
{
    if (!m_instance->alive())
        throw serverGone();
    auto workbook = m_instance->activeWorkbook.lock();
    if (!workbook || isClosedWorkbook(*workbook))
        throw AppError(err::ObjectNotSet);
    return workbook;
}

std::shared_ptr<Workbook> LibreOfficeHost::WorkbooksOpen(const QString& path,
                                                         const OptionalArg& password)
{
    const PasswordHandler handler(password ? std::optional(password->toString()) : std::nullopt);
    auto workbook = openWorkbook(m_instance, path, &handler);
    m_instance->activeWorkbook = workbook;
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
    setOfficeActivePrinter(m_instance, deviceName);
}

void LibreOfficeHost::Quit()
{
    if (m_released)
        return;
    if (m_keep && m_keep()) {
        m_released = true;
        return;
    }
    // Told even when the office had to be killed (quit() then throws).
    const auto ended = qScopeGuard([call = std::exchange(m_ended, {})] {
        if (call)
            call();
    });
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

QString LibreOfficeHost::programFolderFromRegistry(const platform::RegistryFile& registry)
{
    // The newest version first.
    for (auto version = platform::regname::SpreadsheetVersions.crbegin();
         version != platform::regname::SpreadsheetVersions.crend(); ++version) {
        const platform::RegistryKey* key =
            registry.key(platform::hkey::LocalMachine, platform::regname::installRootKey(*version));
        if (!key)
            continue;
        if (const auto value = key->value(platform::regname::InstallRootPath)) {
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

std::shared_ptr<OfficeInstance> LibreOfficeHostFactory::startInstance() const
{
    const platform::RegistryFile registry = platform::RegistryFile::load(m_registryPath);
    return std::make_shared<OfficeInstance>(
        LibreOfficeHost::programFolderFromRegistry(registry),
        std::make_shared<printqueue::RegistryPrinters>(m_registryPath), m_timeLimit);
}

std::unique_ptr<SpreadsheetHost> LibreOfficeHostFactory::create()
{
    return std::make_unique<LibreOfficeHost>(startInstance());
}

} // namespace quillmer::office
