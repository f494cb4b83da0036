#include "settings/startupsettings.h"

#include <QFileInfo>
#include <QLocale>
#include <cmath>
#include <optional>

namespace quillmer {

namespace {

QString existingPathOr(SettingsFile& settings, const QString& key, const QString& fallback)
{
    if (settings.ReadIniValue(QStringLiteral("SETTINGS"), key) &&
        QFileInfo::exists(settings.LastIniValue()))
        return settings.LastIniValue();
    return fallback;
}

// A settings value as a 16-bit whole number: a number in the file's own
// form, whatever the user's locale (a dot before the decimals), rounded to
// the nearest whole number, halves to even. Nothing when the text is no
// number or the result lies outside -32768..32767.
std::optional<qint16> wholeNumber16(const QString& text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    const double rounded = std::nearbyint(value); // the default mode rounds half to even
    if (!ok || !std::isfinite(value) || rounded < -32768.0 || rounded > 32767.0)
        return std::nullopt;
    return qint16(rounded);
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
        if (const auto launch = wholeNumber16(settings.LastIniValue()))
            s.Launch = *launch;
    }
    s.PageRange = QStringLiteral("1");
    return s;
}

} // namespace quillmer
