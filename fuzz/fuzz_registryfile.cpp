// A registry file of any bytes: parsed, then asked for what the program
// asks (the Ghostscript path, the printers, a lookup of every key found).
#include "platform/registryfile.h"
#include "platform/registrynames.h"

#include <cstddef>
#include <cstdint>

using namespace quillmer::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const RegistryFile registry = RegistryFile::parse(bytes);
    (void)ghostscriptPath(registry);
    const QString& printers = regname::PrintersKey;
    for (const QString& name : registry.subkeyNames(hkey::LocalMachine, printers))
        (void)registry.key(hkey::LocalMachine, printers + u'\\' + name);
    for (const QString& name : registry.subkeyNames(hkey::LocalMachine, QStringLiteral("SOFTWARE")))
        (void)registry.subkeyNames(hkey::LocalMachine, QStringLiteral("SOFTWARE\\") + name);
    (void)expandEnvironmentStrings(QString::fromUtf8(bytes));
    return 0;
}
