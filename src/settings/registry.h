#pragma once

#include "platform/registryfile.h"

#include <QString>
#include <QStringList>
#include <QVariant>

namespace quillmer {

// Win32 status codes the registry query hands back.
namespace regstatus {
inline constexpr qint32 Success = 0;
inline constexpr qint32 FileNotFound = 2;
inline constexpr qint32 InvalidHandle = 6;
inline constexpr qint32 InvalidData = 13;
inline constexpr qint32 UnhandledType = -1;
} // namespace regstatus

// Read access to the registry, which lives in registry.reg in the program
// folder. Each call opens the store and closes it again; nothing stays open.
//
// Values come back as a QVariant holding a QString (REG_SZ and expanded
// REG_EXPAND_SZ, each ending with its terminating NUL character), a qint32
// (REG_DWORD), or nothing (absent key or value, or any other type).
class Registry
{
public:
    explicit Registry(QString registryFilePath);

    QVariant ReadRegistryValue(quint32 root, const QString& keyPath, const QString& valueName) const;
    // Fills value from the open key handle; a null handle is a key that could
    // not be opened. Returns 0, the platform's status, or -1 for a type it
    // does not handle; on failure value is left as it was (but see REG_SZ).
    static qint32 QueryRegistryValue(const platform::RegistryKey* handle, const QString& valueName,
                                     QVariant& value);

    // The Ghostscript executable: SOFTWARE\GS "GSPath" with its NULs removed,
    // "" when there is none (platform::ghostscriptPath).
    QString ghostscriptPath() const;

    // The names of the subkeys of a key, in file order.
    QStringList subkeyNames(quint32 root, const QString& keyPath) const;

    const QString& filePath() const { return m_path; }

private:
    QString m_path;
};

// Registry text with its NUL characters removed.
QString withoutNuls(const QVariant& registryText);

} // namespace quillmer
