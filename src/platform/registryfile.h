#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace quillmer::platform {

// The predefined root keys, with the numbers Windows gives them.
namespace hkey {
inline constexpr quint32 ClassesRoot = 0x80000000u;
inline constexpr quint32 CurrentUser = 0x80000001u;
inline constexpr quint32 LocalMachine = 0x80000002u;
inline constexpr quint32 Users = 0x80000003u;
inline constexpr quint32 CurrentConfig = 0x80000005u;
} // namespace hkey

// Registry value types.
namespace regtype {
inline constexpr quint32 None = 0;
inline constexpr quint32 Sz = 1;
inline constexpr quint32 ExpandSz = 2;
inline constexpr quint32 Binary = 3;
inline constexpr quint32 Dword = 4;
inline constexpr quint32 MultiSz = 7;
} // namespace regtype

// One value as the ANSI query functions hand it out: for the text types, the
// text in the program's code page (UTF-8) with its terminating NUL byte; for
// REG_DWORD, four little-endian bytes; otherwise the raw bytes.
struct RegistryValue
{
    quint32 type = regtype::None;
    QByteArray data;
};

class RegistryKey
{
public:
    std::optional<RegistryValue> value(const QString& name) const;
    void setValue(const QString& name, RegistryValue value);
    int valueCount() const { return int(m_values.size()); }

private:
    QHash<QString, RegistryValue> m_values; // by lower-case name; "" is the default value
};

// A registry held in a file in the registry editor's export format
// ("REGEDIT4" or "Windows Registry Editor Version 5.00", the latter also in
// UTF-16LE with a byte-order mark). It stands in for the Windows registry:
// the program only reads it. A malformed file never fails: whatever cannot
// be read is simply absent.
class RegistryFile
{
public:
    static RegistryFile parse(const QByteArray& bytes);
    // A missing or unreadable file gives an empty registry.
    static RegistryFile load(const QString& path);

    // The key, or nullptr when it is absent. A key that only exists as the
    // parent of another key is present, with no values.
    const RegistryKey* key(quint32 root, const QString& path) const;
    // The names of the direct subkeys of a key, in file order.
    QStringList subkeyNames(quint32 root, const QString& path) const;

    bool isEmpty() const { return m_keys.empty(); }

    static constexpr qsizetype MaxFileSize = 16 * 1024 * 1024;

private:
    struct Entry
    {
        QString path; // "HKEY_LOCAL_MACHINE\SOFTWARE\GS", as written
        QString folded; // the same, lower case, for look-ups
        RegistryKey key;
    };
    std::vector<Entry> m_keys;
    RegistryKey m_emptyKey;

    RegistryKey& keyForWriting(const QString& path);
    static QString fullPath(quint32 root, const QString& path);
};

// ExpandEnvironmentStrings: every %NAME% whose NAME is set in the environment
// is replaced by its value; unknown names and lone % stay as written.
QString expandEnvironmentStrings(const QString& text);

} // namespace quillmer::platform
