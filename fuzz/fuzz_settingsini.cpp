// SETTINGS.INI of any bytes: the three settings are read and one is written
// in place.
#include "platform/profilefile.h"

#include <QDir>
#include <QFile>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

using namespace quillmer::platform;

namespace {

QString settingsFile()
{
    static const QString path = [] {
        QByteArray folder = QDir::tempPath().toUtf8() + "/quillmer-fuzz-XXXXXX";
        if (!::mkdtemp(folder.data()))
            std::abort();
        return QString::fromUtf8(folder) + QStringLiteral("/SETTINGS.INI");
    }();
    return path;
}

void put(const QByteArray& bytes)
{
    QFile file(settingsFile());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    put(bytes);
    const QString file = settingsFile();
    const QString section = QStringLiteral("SETTINGS");
    for (const char* key : {"PATH", "OUTPUTPATH", "OPENFILE"})
        (void)ProfileFile::readString(file, section, QString::fromLatin1(key), QString(), 260);

    (void)ProfileFile::withValue(bytes, section, QStringLiteral("PATH"),
                                 QStringLiteral("/home/user/Book Folder"));
    return 0;
}
