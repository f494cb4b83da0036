#include "platform/registrynames.h"

#include "platform/registryfile.h"

namespace quillmer::platform {

std::optional<QString> registryText(const RegistryValue& value)
{
    switch (value.type) {
    case regtype::Sz:
        // The stored text keeps its terminating NUL.
        return QString::fromUtf8(value.data);
    case regtype::ExpandSz: {
        QByteArray text = value.data;
        if (text.endsWith('\0'))
            text.chop(1);
        return expandEnvironmentStrings(QString::fromUtf8(text)) + QChar(0);
    }
    default:
        return std::nullopt;
    }
}

QString ghostscriptPath(const RegistryFile& registry)
{
    const RegistryKey* key = registry.key(hkey::LocalMachine, regname::GhostscriptKey);
    if (!key)
        return QString();
    const auto value = key->value(regname::GhostscriptPath);
    if (!value)
        return QString();
    QString text = registryText(*value).value_or(QString());
    return text.remove(QChar(0));
}

} // namespace quillmer::platform
