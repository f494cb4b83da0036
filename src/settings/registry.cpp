#include "settings/registry.h"

#include "platform/registrynames.h"

#include <QtEndian>

#include <utility>

namespace quillmer {

using platform::RegistryFile;
using platform::RegistryKey;
namespace regtype = platform::regtype;

Registry::Registry(QString registryFilePath) : m_path(std::move(registryFilePath)) {}

QVariant Registry::ReadRegistryValue(quint32 root, const QString& keyPath,
                                     const QString& valueName) const
{
    const RegistryFile store = RegistryFile::load(m_path);
    QVariant value;
    QueryRegistryValue(store.key(root, keyPath), valueName, value);
    return value;
}

qint32 Registry::QueryRegistryValue(const RegistryKey* handle, const QString& valueName,
                                    QVariant& value)
{
    if (!handle)
        return regstatus::InvalidHandle;
    const auto stored = handle->value(valueName);
    if (!stored)
        return regstatus::FileNotFound;

    switch (stored->type) {
    case regtype::Sz:
    case regtype::ExpandSz:
        value = *platform::registryText(*stored);
        return regstatus::Success;
    case regtype::Dword:
        if (stored->data.size() != 4)
            return regstatus::InvalidData;
        value = qFromLittleEndian<qint32>(stored->data.constData());
        return regstatus::Success;
    default:
        return regstatus::UnhandledType;
    }
}

QString Registry::ghostscriptPath() const
{
    return platform::ghostscriptPath(RegistryFile::load(m_path));
}

QStringList Registry::subkeyNames(quint32 root, const QString& keyPath) const
{
    return RegistryFile::load(m_path).subkeyNames(root, keyPath);
}

QString withoutNuls(const QVariant& registryText)
{
    if (registryText.typeId() != QMetaType::QString)
        return {};
    QString text = registryText.toString();
    text.remove(QChar(0));
    return text;
}

} // namespace quillmer
