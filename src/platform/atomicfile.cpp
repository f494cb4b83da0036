#include "platform/atomicfile.h"

#include "errors/apperror.h"
#include "platform/writeall.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmer::platform {

namespace {

// Makes a new file named prefix plus six random characters, with the usual
// mode: the kernel applies the process's umask. (Reading the umask means
// setting it, and for that moment every file another thread makes would get
// the wrong mode.) Its descriptor, or -1 with errno set; path gets its name.
int createUniqueFile(const QByteArray& prefix, QByteArray* path)
{
    static constexpr char letters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = prefix;
        for (int i = 0; i < 6; ++i)
            name += letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))];
        const int fd =
            ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            *path = fd >= 0 ? name : QByteArray();
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
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
    throw AppError(number,
                   QStringLiteral("%1: '%2' (%3)")
                       .arg(AppError::standardDescription(number), QDir::toNativeSeparators(path),
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

// A new file beside the one it is to replace, in the target's folder and
// with the target's permissions. It takes the target's place in commit();
// a symbolic link at the target is replaced itself, so nothing is ever
// written through it. Until then, and whenever a step fails, it is removed
// again and the target stays as it was. error() is the errno of the first
// step that failed, 0 while all is well.
class Replacement
{
public:
    explicit Replacement(const QString& path)
    {
        const QFileInfo info(path);
        if (info.fileName().isEmpty()) {
            m_error = ENOENT;
            return;
        }
        m_target = QFile::encodeName(path);
        m_folder = QFile::encodeName(info.absolutePath());
        m_fd =
            createUniqueFile(m_folder + "/." + QFile::encodeName(info.fileName()) + ".", &m_temp);
        if (m_fd < 0) {
            m_error = errno;
            return;
        }
        struct stat old
        {
        };
        if (::lstat(m_target.constData(), &old) == 0 && S_ISREG(old.st_mode) &&
            ::fchmod(m_fd, old.st_mode & 07777) != 0)
            m_error = errno;
    }

    ~Replacement()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_committed && !m_temp.isEmpty())
            ::unlink(m_temp.constData());
    }

    int error() const { return m_error; }

    bool write(const char* data, qsizetype size)
    {
        if (m_error)
            return false;
        errno = ENOSPC; // a write that stops short without an error is a full disk
        if (!writeAll(m_fd, QByteArrayView(data, size)))
            m_error = errno;
        return !m_error;
    }

    // Flushes the new file to disk and renames it over the target.
    bool commit()
    {
        if (m_error)
            return false;
        if (::fsync(m_fd) != 0)
            m_error = errno;
        const int closed = ::close(m_fd);
        m_fd = -1;
        if (!m_error && closed != 0)
            m_error = errno;
        if (!m_error && ::rename(m_temp.constData(), m_target.constData()) != 0)
            m_error = errno;
        if (m_error)
            return false;
        m_committed = true;
        // Make the rename itself durable; the file is already complete either way.
        const int dirFd = ::open(m_folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd >= 0) {
            ::fsync(dirFd);
            ::close(dirFd);
        }
        return true;
    }

private:
    QByteArray m_target;
    QByteArray m_folder;
    QByteArray m_temp;
    int m_fd = -1;
    int m_error = 0;
    bool m_committed = false;
};

} // namespace

bool writeFileAtomically(const QString& path, const QByteArray& data)
{
    Replacement out(path);
    return out.write(data.constData(), data.size()) && out.commit();
}

void copyFileAtomically(const QString& source, const QString& target)
{
    Descriptor in;
    in.fd = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in.fd < 0)
        copyFailed(errno == ENOENT ? err::FileNotFound : errorNumberOf(errno), source, errno);

    Replacement out(target);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    while (!out.error()) {
        const ssize_t n = ::read(in.fd, buffer.data(), size_t(buffer.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            copyFailed(errorNumberOf(errno), target, errno);
        if (n == 0 || !out.write(buffer.constData(), n))
            break;
    }
    if (!out.commit())
        copyFailed(errorNumberOf(out.error()), target, out.error());
}

PendingFile::PendingFile(const QString& target) : m_target(target)
{
    const QFileInfo info(target);
    QByteArray folder = QFile::encodeName(info.absolutePath()) + "/." +
                        QFile::encodeName(info.fileName()) + ".XXXXXX";
    if (info.fileName().isEmpty() || !::mkdtemp(folder.data())) {
        const int error = info.fileName().isEmpty() ? ENOENT : errno;
        copyFailed(errorNumberOf(error), target, error);
    }
    m_folder = QFile::decodeName(folder);
    m_path = m_folder + u'/' + info.fileName();
    // Made empty ahead: the office then renames its finished temporary file
    // onto it, where it would copy that file into a new one. Made with the
    // usual mode (the kernel applies the umask), which the office's file
    // does not have and gets at commit().
    Descriptor file;
    file.fd = ::open(QFile::encodeName(m_path).constData(),
                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    struct stat made
    {
    };
    if (file.fd < 0 || ::fstat(file.fd, &made) != 0) {
        const int error = errno;
        QDir(m_folder).removeRecursively();
        copyFailed(errorNumberOf(error), target, error);
    }
    m_mode = made.st_mode & 07777;
}

PendingFile::~PendingFile()
{
    QDir(m_folder).removeRecursively();
}

void PendingFile::commit()
{
    const QByteArray temp = QFile::encodeName(m_path);
    const QByteArray target = QFile::encodeName(m_target);
    struct stat old
    {
    };
    const bool keepMode = ::lstat(target.constData(), &old) == 0 && S_ISREG(old.st_mode);
    Descriptor file;
    file.fd = ::open(temp.constData(), O_RDONLY | O_CLOEXEC);
    if (file.fd < 0 || ::fchmod(file.fd, keepMode ? (old.st_mode & 07777) : m_mode) != 0 ||
        ::fsync(file.fd) != 0)
        copyFailed(errorNumberOf(errno), m_target, errno);
    if (::rename(temp.constData(), target.constData()) != 0)
        copyFailed(errorNumberOf(errno), m_target, errno);
    const int dirFd = ::open(QFile::encodeName(QFileInfo(m_target).absolutePath()).constData(),
                             O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

} // namespace quillmer::platform
