#include "platform/atomicfile.h"

#include "errors/apperror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmer::platform {

namespace {

bool writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The error number a failed file operation raises.
qint32 errorNumberOf(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return err::DiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
        return err::PermissionDenied;
    case ENOENT:
    case ENOTDIR:
        return err::PathNotFound;
    default:
        return err::PathFileAccess;
    }
}

[[noreturn]] void copyFailed(qint32 number, const QString& path, int error)
{
    throw AppError(number, QStringLiteral("%1: '%2' (%3)")
                               .arg(AppError::standardDescription(number),
                                    QDir::toNativeSeparators(path),
                                    QString::fromLocal8Bit(std::strerror(error))));
}

// Closes a descriptor at the end of a scope.
struct Descriptor
{
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

bool writeFileAtomically(const QString& path, const QByteArray& data)
{
    QString targetPath = path;
    const QFileInfo info(path);
    if (info.isSymLink())
        targetPath = info.symLinkTarget();
    const QByteArray target = QFile::encodeName(targetPath);
    const QFileInfo targetInfo(targetPath);
    const QByteArray folder = QFile::encodeName(targetInfo.absolutePath());

    QByteArray temp = folder + "/." + QFile::encodeName(targetInfo.fileName()) + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;

    struct stat old{};
    const mode_t mode = ::stat(target.constData(), &old) == 0 ? (old.st_mode & 07777) : newFileMode();
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, data.constData(), data.size()) &&
              ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.constData(), target.constData()) == 0;
    if (!ok) {
        ::unlink(temp.constData());
        return false;
    }
    // Make the rename itself durable; the file is already complete either way.
    const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

void copyFileAtomically(const QString& source, const QString& target)
{
    Descriptor in;
    in.fd = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in.fd < 0)
        copyFailed(errno == ENOENT ? err::FileNotFound : errorNumberOf(errno), source, errno);

    QString targetPath = target;
    const QFileInfo info(target);
    if (info.isSymLink())
        targetPath = info.symLinkTarget();
    const QFileInfo targetInfo(targetPath);
    if (targetInfo.fileName().isEmpty())
        copyFailed(err::PathNotFound, target, ENOENT);
    const QByteArray finalName = QFile::encodeName(targetPath);
    const QByteArray folder = QFile::encodeName(targetInfo.absolutePath());

    QByteArray temp = folder + "/." + QFile::encodeName(targetInfo.fileName()) + ".XXXXXX";
    Descriptor out;
    out.fd = ::mkstemp(temp.data());
    if (out.fd < 0)
        copyFailed(errorNumberOf(errno), target, errno);

    // From here on a failure removes the new file and leaves target alone.
    const auto fail = [&](int error) {
        ::close(out.fd);
        out.fd = -1;
        ::unlink(temp.constData());
        copyFailed(errorNumberOf(error), target, error);
    };
    struct stat old{};
    const mode_t mode =
        ::stat(finalName.constData(), &old) == 0 ? (old.st_mode & 07777) : newFileMode();
    if (::fchmod(out.fd, mode) != 0)
        fail(errno);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::read(in.fd, buffer.data(), size_t(buffer.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail(errno);
        if (n == 0)
            break;
        errno = ENOSPC; // a write that stops short without an error is a full disk
        if (!writeAll(out.fd, buffer.constData(), n))
            fail(errno);
    }
    if (::fsync(out.fd) != 0)
        fail(errno);
    const int closed = ::close(out.fd);
    out.fd = -1;
    if (closed != 0) {
        const int error = errno;
        ::unlink(temp.constData());
        copyFailed(errorNumberOf(error), target, error);
    }
    if (::rename(temp.constData(), finalName.constData()) != 0) {
        const int error = errno;
        ::unlink(temp.constData());
        copyFailed(errorNumberOf(error), target, error);
    }
    const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

} // namespace quillmer::platform
