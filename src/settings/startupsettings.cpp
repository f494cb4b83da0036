#include "settings/startupsettings.h"

#include <QFileInfo>

namespace quillmer {

namespace {

QString existingPathOr(SettingsFile& settings, const QString& key, const QString& fallback)
{
    if (settings.ReadIniValue(QStringLiteral("SETTINGS"), key) &&
        QFileInfo::exists(settings.LastIniValue()))
        return settings.LastIniValue();
    return fallback;
}

} // namespace

StartupSettings LoadStartupSettings(SettingsFile& settings, const QString& programFolder)
{
    StartupSettings s;
    s.ConvertPageFrom = 0;
    s.RecentFolder = existingPathOr(settings, QStringLiteral("PATH"), programFolder);
    s.RecentOutputFolder = existingPathOr(settings, QStringLiteral("OUTPUTPATH"), programFolder);
    s.Launch = 1;
    if (settings.ReadIniValue(QStringLiteral("SETTINGS"), QStringLiteral("OPENFILE"))) {
        bool ok = false;
        const qint16 launch = settings.LastIniValue().trimmed().toShort(&ok);
        if (ok)
            s.Launch = launch;
    }
    s.PageRange = QStringLiteral("1");
    return s;
}

} // namespace quillmer
