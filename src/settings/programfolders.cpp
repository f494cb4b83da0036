#include "settings/programfolders.h"

#include "platform/atomicfile.h"
#include "platform/registrynames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmer {

namespace {

QString reason(const QString& what, const QString& path, int error)
{
    return QStringLiteral("%1 %2 (%3)")
        .arg(what, QDir::toNativeSeparators(path), qt_error_string(error));
}

// Makes the folder and the missing folders above it, each 0700 (as the XDG
// base directory rules ask of a data folder that is not there yet).
QString makeFolders(const QString& folder)
{
    const QFileInfo info(folder);
    if (info.isDir())
        return {};
    if (const QString parent = info.absolutePath(); parent != folder)
        if (QString problem = makeFolders(parent); !problem.isEmpty())
            return problem;
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
        return reason(QStringLiteral("cannot create"), folder, errno);
    return {};
}

// Copies source into a new file target, 0600, flushed to disk.
QString copyPrivately(const QString& source, const QString& target)
{
    QFile from(source);
    if (!from.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1 (%2)")
            .arg(QDir::toNativeSeparators(source), from.errorString());
    // The folder it is made in is private until it is complete.
    if (!platform::writeFileAtomically(target, from.readAll()) ||
        !QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner))
        return reason(QStringLiteral("cannot write"), target, errno);
    return {};
}

// Renames the finished folder into place unless something is there already.
bool renameIfAbsent(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    // A file system without RENAME_NOREPLACE: a plain rename still refuses
    // a folder that holds files.
    if (errno == EINVAL || errno == ENOSYS)
        return !QFileInfo::exists(QFile::decodeName(to)) &&
               ::rename(from.constData(), to.constData()) == 0;
    return false;
}

} // namespace

QString userDataFolder()
{
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    // The variable counts only when it holds an absolute path.
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::homePath() + QStringLiteral("/.local/share");
}

ProgramFolders findProgramFolders(const QString& executableFolder, const QString& dataHome)
{
    if (!QFileInfo(executableFolder + QLatin1Char('/') + QLatin1String(PerUserMarker)).isFile())
        return ProgramFolders::oneFolder(executableFolder);
    const QString folder = QDir::cleanPath(dataHome + QStringLiteral("/quillmer"));
    return {folder, executableFolder, layOutUserFolder(executableFolder, folder)};
}

QString layOutUserFolder(const QString& defaultsFolder, const QString& folder)
{
    const QFileInfo info(folder);
    if (info.exists() || info.isSymLink())
        return {};
    const QString parent = info.absolutePath();
    if (QString problem = makeFolders(parent); !problem.isEmpty())
        return problem;
    // Filled beside its final place, then renamed: two first starts at once
    // each fill their own, and the first rename wins.
    QByteArray partial = QFile::encodeName(parent + QStringLiteral("/.quillmer-XXXXXX"));
    if (!::mkdtemp(partial.data()))
        return reason(QStringLiteral("cannot create a folder in"), parent, errno);
    const QString partialFolder = QFile::decodeName(partial);
    QString problem;
    if (::chmod(partial.constData(), 0700) != 0)
        problem = reason(QStringLiteral("cannot make private"), partialFolder, errno);
    for (const QString& name :
         {QStringLiteral("SETTINGS.INI"), QString(platform::regname::FileName)})
        if (problem.isEmpty())
            problem = copyPrivately(defaultsFolder + QLatin1Char('/') + name,
                                    partialFolder + QLatin1Char('/') + name);
    if (problem.isEmpty() && !renameIfAbsent(partial, QFile::encodeName(folder))) {
        const int error = errno;
        if (!QFileInfo::exists(folder))
            problem = reason(QStringLiteral("cannot create"), folder, error);
    }
    // After a won race nothing is left here; after a lost one, or a failure,
    // the partial folder goes.
    if (QFileInfo::exists(partialFolder))
        QDir(partialFolder).removeRecursively();
    return problem;
}

} // namespace quillmer
