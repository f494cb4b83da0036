#pragma once

#include <QString>
#include <optional>

namespace quillmer {

// The fixed folder in which the print step and the Ghostscript runs exchange
// their files: $XDG_CACHE_HOME/quillmer/temp (by default
// ~/.cache/quillmer/temp), private to the user.
class ScratchFolder
{
public:
    // The folder under the user's cache folder.
    ScratchFolder();
    // The folder "quillmer/temp" under cacheFolder instead (for tests).
    explicit ScratchFolder(const QString& cacheFolder);

    static QString userCacheFolder();

    // The folder path, without a trailing slash.
    const QString& path() const { return m_path; }
    QString psFile() const { return m_path + QStringLiteral("/PsFile.ps"); }
    QString pdfTempFile() const { return m_path + QStringLiteral("/PdfFiletemp.pdf"); }
    QString pdfFile() const { return m_path + QStringLiteral("/PdfFile.pdf"); }

    // Makes sure the folder exists, is a real folder (not a symbolic link),
    // belongs to this user and is closed to everyone else (0700), creating
    // it (and "quillmer" above it) as needed. Throws AppError 75
    // (Path/File access error) with the reason otherwise.
    void ensure() const;

    // An exclusive lock on the folder for one conversion, so that two running
    // copies of the program never use the same files at once. Released when
    // the object goes.
    class Lock
    {
    public:
        Lock(Lock&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
        Lock& operator=(Lock&& other) noexcept;
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;
        ~Lock();

    private:
        friend class ScratchFolder;
        explicit Lock(int fd) : m_fd(fd) {}
        int m_fd;
    };

    // Makes sure the folder exists and waits for its lock.
    Lock lock() const;
    // The lock, or nothing when another holder has it.
    std::optional<Lock> tryLock() const;

private:
    int openLockFile() const;

    QString m_path;
};

} // namespace quillmer
