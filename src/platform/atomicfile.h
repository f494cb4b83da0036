#pragma once

#include <QByteArray>
#include <QString>

namespace quillmer::platform {

// Replaces the file at path with data, or leaves it as it was: the data is
// written to a new file in the same folder, flushed to disk and renamed over
// the old one. A symbolic link at path is replaced itself; what it names is
// never written. The new file keeps the old one's permissions (a new file
// gets the usual ones, under the process's umask). False, with nothing changed, when any step
// fails: a full disk, a read-only folder, a missing folder.
//
// QSaveFile is not used: it reports success when a write stops short (as on
// a file-size limit), leaving a truncated file behind.
bool writeFileAtomically(const QString& path, const QByteArray& data);

// Copies the file source over target with the same guarantee: the copy is
// streamed into a new file in target's folder, flushed to disk and renamed
// over target, so target is either the old file, untouched, or the whole
// copy. A symbolic link at target is replaced itself; an existing target
// keeps its permissions. Throws AppError when any step fails, leaving no partial file:
// 53 (File not found) when source cannot be read, 61 (Disk full), 70
// (Permission denied: a read-only folder or file system), 76 (Path not
// found: a missing folder), 75 (Path/File access error) for anything else;
// the description names the file and the reason.
void copyFileAtomically(const QString& source, const QString& target);

// A file that another program writes by name and that then takes target's
// place, with the same guarantee: path() is a file of target's name in a new,
// hidden folder beside target (".<name>.XXXXXX"), where the writer may also
// keep its own temporary and lock files; commit() flushes the file to disk,
// gives it target's permissions (a new target the usual ones) and renames it
// over target. The folder goes
// with the object, so whatever the writer left there when it failed or was
// killed goes too, and target stays as it was. Both throw AppError as
// copyFileAtomically.
class PendingFile
{
public:
    explicit PendingFile(const QString& target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    QString path() const { return m_path; }
    void commit();

private:
    QString m_target;
    QString m_folder;
    QString m_path;
    unsigned m_mode = 0600; // a new file's usual mode here
};

} // namespace quillmer::platform
