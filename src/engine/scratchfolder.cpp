#include "engine/scratchfolder.h"

#include "errors/apperror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmer {

namespace {

[[noreturn]] void refuse(const QString& path, const QString& why)
{
    throw AppError(err::PathFileAccess, QStringLiteral("Path/File access error: the scratch folder "
                                                       "'%1' %2")
                                            .arg(QDir::toNativeSeparators(path), why));
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A folder of this user's own, closed to everyone else; made when missing.
void privateFolder(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    if (::lstat(native.constData(), &st) != 0) {
        if (errno != ENOENT)
            refuse(path, QStringLiteral("cannot be examined (%1)").arg(systemError(errno)));
        if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
            refuse(path, QStringLiteral("cannot be created (%1)").arg(systemError(errno)));
        if (::lstat(native.constData(), &st) != 0)
            refuse(path, QStringLiteral("cannot be examined (%1)").arg(systemError(errno)));
    }
    if (S_ISLNK(st.st_mode))
        refuse(path, QStringLiteral("is a symbolic link"));
    if (!S_ISDIR(st.st_mode))
        refuse(path, QStringLiteral("is not a folder"));
    if (st.st_uid != ::geteuid())
        refuse(path, QStringLiteral("belongs to another user"));
    if ((st.st_mode & 077) != 0 && ::chmod(native.constData(), 0700) != 0)
        refuse(path, QStringLiteral("cannot be made private (%1)").arg(systemError(errno)));
}

} // namespace

ScratchFolder::ScratchFolder() : ScratchFolder(userCacheFolder()) {}

ScratchFolder::ScratchFolder(const QString& cacheFolder)
    : m_path(QDir::cleanPath(cacheFolder + QStringLiteral("/quillmer/temp")))
{
}

QString ScratchFolder::userCacheFolder()
{
    const QString xdg = qEnvironmentVariable("XDG_CACHE_HOME");
    // The variable counts only when it holds an absolute path.
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.cache");
}

void ScratchFolder::ensure() const
{
    const QString program = QFileInfo(m_path).path();
    const QString cache = QFileInfo(program).path();
    if (!QDir().mkpath(cache))
        refuse(m_path, QStringLiteral("cannot be created (no folder %1)")
                           .arg(QDir::toNativeSeparators(cache)));
    privateFolder(program);
    privateFolder(m_path);
}

int ScratchFolder::openLockFile() const
{
    ensure();
    const QByteArray file = QFile::encodeName(m_path + QStringLiteral("/.lock"));
    const int fd = ::open(file.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        refuse(m_path, QStringLiteral("cannot be locked (%1)").arg(systemError(errno)));
    return fd;
}

ScratchFolder::Lock ScratchFolder::lock() const
{
    const int fd = openLockFile();
    int r;
    do {
        r = ::flock(fd, LOCK_EX);
    } while (r != 0 && errno == EINTR);
    if (r != 0) {
        const int error = errno;
        ::close(fd);
        refuse(m_path, QStringLiteral("cannot be locked (%1)").arg(systemError(error)));
    }
    return Lock(fd);
}

std::optional<ScratchFolder::Lock> ScratchFolder::tryLock() const
{
    const int fd = openLockFile();
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    return Lock(fd);
}

ScratchFolder::Lock& ScratchFolder::Lock::operator=(Lock&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

ScratchFolder::Lock::~Lock()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing the last descriptor releases the lock
}

} // namespace quillmer
