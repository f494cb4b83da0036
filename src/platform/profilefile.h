#pragma once

#include <QByteArray>
#include <QString>

namespace quillmer::platform {

// The private profile (INI) functions on a settings file.
//
// Reading follows GetPrivateProfileString: section and key names compare
// without regard to case, values are trimmed, the first of duplicate keys
// counts, and an absent file, section or key gives the default. The value is
// cut to fit a buffer of bufferSize bytes with its terminating NUL.
//
// Writing follows WritePrivateProfileString: the key's line is replaced in
// place, or added at the end of its section, or a new section is appended;
// every other line, comment and blank line stays as it was. The file is
// replaced atomically (written beside, flushed, renamed), so a failed write
// leaves the old file whole.
class ProfileFile
{
public:
    static QString readString(const QString& file, const QString& section, const QString& key,
                              const QString& defaultValue, int bufferSize);
    static bool writeString(const QString& file, const QString& section, const QString& key,
                            const QString& value);

    // The new contents of a profile after writing one key; exposed for tests.
    static QByteArray withValue(const QByteArray& contents, const QString& section,
                                const QString& key, const QString& value);
};

} // namespace quillmer::platform
