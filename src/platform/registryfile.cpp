#include "platform/registryfile.h"

#include <QFile>
#include <QStringDecoder>
#include <QtEndian>

namespace quillmer::platform {

namespace {

enum class Format { Regedit4, Version5 };

QString rootName(quint32 root)
{
    switch (root) {
    case hkey::ClassesRoot: return QStringLiteral("HKEY_CLASSES_ROOT");
    case hkey::CurrentUser: return QStringLiteral("HKEY_CURRENT_USER");
    case hkey::LocalMachine: return QStringLiteral("HKEY_LOCAL_MACHINE");
    case hkey::Users: return QStringLiteral("HKEY_USERS");
    case hkey::CurrentConfig: return QStringLiteral("HKEY_CURRENT_CONFIG");
    default: return {};
    }
}

QString decodeFile(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder utf16(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
        return utf16(bytes.mid(2));
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    return utf8(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
}

// Joins lines continued with a trailing backslash and drops comment lines.
QStringList logicalLines(const QString& text)
{
    QStringList lines;
    QString pending;
    bool continuing = false;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        QString trimmed = line.trimmed();
        if (!continuing && trimmed.startsWith(QLatin1Char(';')))
            continue;
        pending += continuing ? trimmed : line;
        // Only data lines continue; a quoted text ending in a backslash is
        // closed by its quote, so it never ends the line with one.
        if (pending.endsWith(QLatin1Char('\\')) && !pending.trimmed().startsWith(QLatin1Char('['))) {
            pending.chop(1);
            continuing = true;
            continue;
        }
        continuing = false;
        lines << pending;
        pending.clear();
    }
    if (!pending.isEmpty())
        lines << pending;
    return lines;
}

// Reads a quoted text starting at pos (on the opening quote). On success pos
// is just past the closing quote.
std::optional<QString> readQuoted(const QString& line, qsizetype& pos)
{
    if (pos >= line.size() || line[pos] != QLatin1Char('"'))
        return std::nullopt;
    QString out;
    for (qsizetype i = pos + 1; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char('\\') && i + 1 < line.size()) {
            out += line[++i];
        } else if (c == QLatin1Char('"')) {
            pos = i + 1;
            return out;
        } else {
            out += c;
        }
    }
    return std::nullopt;
}

std::optional<QByteArray> readHexBytes(const QString& text)
{
    QString compact = text.simplified().remove(QLatin1Char(' '));
    if (compact.endsWith(QLatin1Char(',')))
        compact.chop(1);
    QByteArray bytes;
    if (compact.isEmpty())
        return bytes;
    for (const QString& part : compact.split(QLatin1Char(','))) {
        bool ok = false;
        const uint b = part.toUInt(&ok, 16);
        if (!ok || part.isEmpty() || part.size() > 2)
            return std::nullopt;
        bytes.append(char(b));
    }
    return bytes;
}

QByteArray withNul(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    bytes.append('\0');
    return bytes;
}

// The bytes of hex(2) and hex(7) data are UTF-16LE in version-5 files and
// 8-bit text in REGEDIT4 files. The ANSI functions hand them out as UTF-8.
QByteArray textDataToAnsi(const QByteArray& raw, Format format)
{
    if (format == Format::Regedit4)
        return raw;
    QStringDecoder utf16(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
    QByteArray even = raw;
    if (even.size() % 2)
        even.chop(1);
    return QString(utf16(even)).toUtf8();
}

std::optional<RegistryValue> readData(const QString& data, Format format)
{
    if (data.startsWith(QLatin1Char('"'))) {
        qsizetype pos = 0;
        const auto text = readQuoted(data, pos);
        if (!text || !data.mid(pos).trimmed().isEmpty())
            return std::nullopt;
        return RegistryValue{regtype::Sz, withNul(*text)};
    }
    if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
        const QString digits = data.mid(6).trimmed();
        bool ok = false;
        const quint32 number = digits.toUInt(&ok, 16);
        if (!ok || digits.size() > 8)
            return std::nullopt;
        QByteArray bytes(4, '\0');
        qToLittleEndian(number, bytes.data());
        return RegistryValue{regtype::Dword, bytes};
    }
    if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
        quint32 type = regtype::Binary;
        qsizetype colon = data.indexOf(QLatin1Char(':'));
        if (colon < 0)
            return std::nullopt;
        const QString head = data.left(colon).trimmed();
        if (head.size() > 3) {
            if (!head.startsWith(QLatin1String("hex("), Qt::CaseInsensitive) ||
                !head.endsWith(QLatin1Char(')')))
                return std::nullopt;
            bool ok = false;
            type = head.mid(4, head.size() - 5).toUInt(&ok, 16);
            if (!ok)
                return std::nullopt;
        }
        auto bytes = readHexBytes(data.mid(colon + 1));
        if (!bytes)
            return std::nullopt;
        if (type == regtype::ExpandSz || type == regtype::MultiSz || type == regtype::Sz)
            bytes = textDataToAnsi(*bytes, format);
        return RegistryValue{type, *bytes};
    }
    return std::nullopt;
}

} // namespace

std::optional<RegistryValue> RegistryKey::value(const QString& name) const
{
    const auto it = m_values.constFind(name.toLower());
    if (it == m_values.constEnd())
        return std::nullopt;
    return *it;
}

void RegistryKey::setValue(const QString& name, RegistryValue value)
{
    m_values.insert(name.toLower(), std::move(value));
}

RegistryKey& RegistryFile::keyForWriting(const QString& path)
{
    const QString folded = path.toLower();
    for (Entry& e : m_keys) {
        if (e.folded == folded)
            return e.key;
    }
    m_keys.push_back({path, folded, {}});
    return m_keys.back().key;
}

QString RegistryFile::fullPath(quint32 root, const QString& path)
{
    const QString name = rootName(root);
    if (name.isEmpty())
        return {};
    QString sub = path;
    while (sub.startsWith(QLatin1Char('\\')))
        sub.remove(0, 1);
    while (sub.endsWith(QLatin1Char('\\')))
        sub.chop(1);
    return sub.isEmpty() ? name : name + QLatin1Char('\\') + sub;
}

RegistryFile RegistryFile::parse(const QByteArray& bytes)
{
    RegistryFile reg;
    if (bytes.size() > MaxFileSize)
        return reg;
    const QStringList lines = logicalLines(decodeFile(bytes));

    qsizetype i = 0;
    while (i < lines.size() && lines[i].trimmed().isEmpty())
        ++i;
    if (i == lines.size())
        return reg;
    const QString header = lines[i].trimmed();
    Format format;
    if (header == QLatin1String("REGEDIT4"))
        format = Format::Regedit4;
    else if (header == QLatin1String("Windows Registry Editor Version 5.00"))
        format = Format::Version5;
    else
        return reg;

    RegistryKey* current = nullptr;
    for (++i; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            current = nullptr;
            if (!line.endsWith(QLatin1Char(']')))
                continue;
            QString path = line.mid(1, line.size() - 2).trimmed();
            // "[-KEY]" deletes a key: nothing to read.
            if (path.isEmpty() || path.startsWith(QLatin1Char('-')))
                continue;
            const qsizetype slash = path.indexOf(QLatin1Char('\\'));
            const QString root = slash < 0 ? path : path.left(slash);
            if (!root.startsWith(QLatin1String("HKEY_"), Qt::CaseInsensitive))
                continue;
            current = &reg.keyForWriting(path);
            continue;
        }
        if (!current)
            continue;

        QString name;
        qsizetype pos = 0;
        if (line.startsWith(QLatin1Char('@'))) {
            pos = 1;
        } else {
            auto quoted = readQuoted(line, pos);
            if (!quoted)
                continue;
            name = *quoted;
        }
        while (pos < line.size() && line[pos].isSpace())
            ++pos;
        if (pos >= line.size() || line[pos] != QLatin1Char('='))
            continue;
        const QString data = line.mid(pos + 1).trimmed();
        if (data == QLatin1String("-"))
            continue;
        if (auto value = readData(data, format))
            current->setValue(name, std::move(*value));
    }
    return reg;
}

RegistryFile RegistryFile::load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parse(file.read(MaxFileSize + 1));
}

const RegistryKey* RegistryFile::key(quint32 root, const QString& path) const
{
    const QString folded = fullPath(root, path).toLower();
    if (folded.isEmpty())
        return nullptr;
    const QString prefix = folded + QLatin1Char('\\');
    const RegistryKey* parentOnly = nullptr;
    for (const Entry& e : m_keys) {
        if (e.folded == folded)
            return &e.key;
        if (!parentOnly && e.folded.startsWith(prefix))
            parentOnly = &m_emptyKey;
    }
    return parentOnly;
}

QStringList RegistryFile::subkeyNames(quint32 root, const QString& path) const
{
    const QString base = fullPath(root, path);
    if (base.isEmpty())
        return {};
    const QString prefix = base.toLower() + QLatin1Char('\\');
    QStringList names;
    QStringList folded;
    for (const Entry& e : m_keys) {
        if (!e.folded.startsWith(prefix))
            continue;
        const QString rest = e.path.mid(prefix.size());
        const QString child = rest.section(QLatin1Char('\\'), 0, 0);
        if (child.isEmpty() || folded.contains(child.toLower()))
            continue;
        folded << child.toLower();
        names << child;
    }
    return names;
}

QString expandEnvironmentStrings(const QString& text)
{
    QString out;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype open = text.indexOf(QLatin1Char('%'), i);
        if (open < 0) {
            out += text.mid(i);
            break;
        }
        const qsizetype close = text.indexOf(QLatin1Char('%'), open + 1);
        if (close < 0) {
            out += text.mid(i);
            break;
        }
        out += text.mid(i, open - i);
        const QString name = text.mid(open + 1, close - open - 1);
        const QByteArray key = name.toLocal8Bit();
        if (!name.isEmpty() && qEnvironmentVariableIsSet(key.constData()))
            out += QString::fromLocal8Bit(qgetenv(key.constData()));
        else
            out += text.mid(open, close - open + 1); // unknown: stays as written
        i = close + 1;
    }
    return out;
}

} // namespace quillmer::platform
