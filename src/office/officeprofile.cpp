#include "office/officeprofile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmer::office {

namespace {

// What only a running office needs: its lock and its scratch files.
bool leftOut(const QString& name)
{
    return name == QLatin1String(".lock") || name == QLatin1String("temp");
}

// Copies a folder tree; links are not followed and not copied.
bool copyTree(const QString& from, const QString& to)
{
    if (!QDir().mkpath(to))
        return false;
    const QDir source(from);
    for (const QFileInfo& entry : source.entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                       QDir::NoDotAndDotDot | QDir::System)) {
        if (leftOut(entry.fileName()) || entry.isSymLink())
            continue;
        const QString target = to + QLatin1Char('/') + entry.fileName();
        if (entry.isDir()) {
            if (!copyTree(entry.filePath(), target))
                return false;
        } else if (entry.isFile()) {
            if (!QFile::copy(entry.filePath(), target))
                return false;
        }
    }
    return true;
}

// A profile worth copying: the user's own, with its configuration, marked by
// the office as made by its present version (without the mark every start
// repeats the work of the first start after an upgrade).
bool usable(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.isDir() || info.isSymLink() || info.ownerId() != ::geteuid())
        return false;
    QFile configuration(folder + QStringLiteral("/user/registrymodifications.xcu"));
    return configuration.open(QIODevice::ReadOnly) &&
           configuration.readAll().contains("\"ooSetupLastVersion\"");
}

} // namespace

OfficeProfileTemplate::OfficeProfileTemplate(QString folder) : m_folder(std::move(folder)) {}

QString OfficeProfileTemplate::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/quillmer/office-profile");
}

bool OfficeProfileTemplate::seed(const QString& profileFolder) const
{
    if (m_folder.isEmpty() || QFileInfo::exists(profileFolder) || !usable(m_folder))
        return false;
    if (copyTree(m_folder, profileFolder))
        return true;
    QDir(profileFolder).removeRecursively();
    return false;
}

void OfficeProfileTemplate::keep(const QString& profileFolder) const
{
    if (m_folder.isEmpty() || usable(m_folder) || !usable(profileFolder))
        return;
    // A template from an older office or program is replaced.
    discard();
    const QString parent = QFileInfo(m_folder).absolutePath();
    if (!QDir().mkpath(parent))
        return;
    ::chmod(QFile::encodeName(parent).constData(), 0700);
    // Several threads of one program may keep a profile at once.
    const QString partial =
        m_folder + QStringLiteral(".new-%1-%2")
                       .arg(::getpid())
                       .arg(QRandomGenerator::system()->generate64(), 16, 16, QChar(u'0'));
    QDir(partial).removeRecursively();
    if (copyTree(profileFolder, partial) &&
        std::rename(QFile::encodeName(partial).constData(),
                    QFile::encodeName(m_folder).constData()) == 0)
        return;
    QDir(partial).removeRecursively();
}

void OfficeProfileTemplate::discard() const
{
    const QFileInfo info(m_folder);
    if (m_folder.isEmpty() || (!info.exists() && !info.isSymLink()))
        return;
    // A link is removed itself, never what it points to.
    if (info.isSymLink()) {
        QFile::remove(m_folder);
        return;
    }
    // Renamed away first, so that no instance copies a half-removed template.
    const QString doomed = m_folder + QStringLiteral(".old-%1").arg(::getpid());
    if (std::rename(QFile::encodeName(m_folder).constData(),
                    QFile::encodeName(doomed).constData()) == 0)
        QDir(doomed).removeRecursively();
}

} // namespace quillmer::office
