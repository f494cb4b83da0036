#include "platform/printers.h"

#include "errors/apperror.h"
#include "platform/process.h"
#include "platform/registryfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <signal.h>

namespace quillmer::platform {

namespace {

AppError printFailure(const QString& why)
{
    return AppError(err::ObjectDefined,
                    QStringLiteral("PrintOut method of Workbook class failed: %1").arg(why));
}

} // namespace

RegistryPrinters::RegistryPrinters(QString registryPath) : m_registryPath(std::move(registryPath))
{
}

QStringList RegistryPrinters::deviceNames() const
{
    return RegistryFile::load(m_registryPath).subkeyNames(hkey::LocalMachine, PrintersKey);
}

void RegistryPrinters::printToFile(const QString& deviceName, const QString& spoolPdf,
                                   const QString& outputFile, std::chrono::milliseconds timeLimit)
{
    struct RemoveSpool
    {
        QString path;
        ~RemoveSpool() { QFile::remove(path); }
    } removeSpool{spoolPdf};

    // A print to a file replaces it: an earlier print never passes for this one.
    QFile::remove(outputFile);
    const RegistryFile registry = RegistryFile::load(m_registryPath);
    if (!registry.subkeyNames(hkey::LocalMachine, PrintersKey).contains(deviceName))
        throw AppError(err::ObjectDefined,
                       QStringLiteral("The printer '%1' is not installed.").arg(deviceName));

    QString gs;
    if (const RegistryKey* key = registry.key(hkey::LocalMachine, QStringLiteral("SOFTWARE\\GS")))
        if (const auto value = key->value(QStringLiteral("GSPath")))
            gs = QString::fromUtf8(value->data).remove(QChar(0));
    if (gs.isEmpty())
        throw printFailure(QStringLiteral("the printer driver (Ghostscript) is not registered"));

    // Written beside the target and renamed, so the file named is either
    // complete or absent.
    const QString partial = outputFile + QStringLiteral(".part");
    QFile::remove(partial);
    int error = 0;
    auto process = Process::start(
        gs,
        {QStringLiteral("-q"), QStringLiteral("-dSAFER"), QStringLiteral("-dNOPAUSE"),
         QStringLiteral("-dBATCH"), QStringLiteral("-sDEVICE=ps2write"),
         // What the device must draw as an image (transparent pictures) at
         // a printer's 300 dpi; its own 720 dpi makes such a sheet take
         // minutes.
         QStringLiteral("-r300"),
         QStringLiteral("-sOutputFile=") + QString(partial).replace(u'%', QStringLiteral("%%")),
         spoolPdf},
        QString(), &error);
    if (!process)
        throw printFailure(QStringLiteral("cannot start %1 (%2)")
                               .arg(gs, QString::fromLocal8Bit(strerror(error))));
    if (!process->wait(timeLimit.count())) {
        process->signal(SIGKILL);
        process->wait(-1);
        QFile::remove(partial);
        throw printFailure(QStringLiteral("the printer did not finish within %1 seconds")
                               .arg(timeLimit.count() / 1000));
    }
    if (process->exitCode() != 0) {
        QFile::remove(partial);
        throw printFailure(QStringLiteral("the printer driver ended with code %1")
                               .arg(process->exitCode().value_or(-1)));
    }
    QFile::remove(outputFile);
    if (!QFile::rename(partial, outputFile)) {
        QFile::remove(partial);
        throw printFailure(
            QStringLiteral("cannot write %1").arg(QDir::toNativeSeparators(outputFile)));
    }
}

} // namespace quillmer::platform
