#pragma once

#include <QByteArray>
#include <QString>

namespace quillmer::platform {

// Replaces the file at path with data, or leaves it as it was: the data is
// written to a new file in the same folder, flushed to disk and renamed over
// the old one. A symbolic link at path is followed, so the file it names is
// replaced. The new file keeps the old one's permissions (a new file gets the
// usual ones). False, with nothing changed, when any step fails: a full disk,
// a read-only folder, a missing folder.
//
// QSaveFile is not used: it reports success when a write stops short (as on
// a file-size limit), leaving a truncated file behind.
bool writeFileAtomically(const QString& path, const QByteArray& data);

} // namespace quillmer::platform
