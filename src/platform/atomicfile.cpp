#include "platform/atomicfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
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

} // namespace quillmer::platform
