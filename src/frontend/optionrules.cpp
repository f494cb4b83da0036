#include "frontend/optionrules.h"

#include <cmath>

namespace quillmer {

namespace {

constexpr char16_t Backspace = 8;
constexpr char16_t Comma = 44;
constexpr char16_t Hyphen = 45;

bool isDigit(char16_t key)
{
    return key >= u'0' && key <= u'9';
}

QString trimBlanks(const QString& text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin] == QLatin1Char(' '))
        ++begin;
    while (end > begin && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

std::optional<double> toNumber(const QString& text, const QLocale& locale)
{
    const QString trimmed = trimBlanks(text);
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = locale.toDouble(trimmed, &ok);
    // A number is finite: "nan" and "inf" are words here.
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool IsNumeric(const QString& text, const QLocale& locale)
{
    return toNumber(text, locale).has_value();
}

char16_t txtFrom_KeyPress(const QString& currentText, char16_t key)
{
    if (isDigit(key) || key == Backspace)
        return key;
    if (key != Comma && key != Hyphen)
        return 0;
    if (currentText.isEmpty())
        return 0;
    const QChar last = currentText.back();
    if (last == QChar(Comma) || last == QChar(Hyphen))
        return 0;
    return key;
}

char16_t txtTo_KeyPress(const QString& currentText, char16_t key, const QLocale& locale)
{
    if (isDigit(key) || key == Backspace || key == Hyphen)
        return key;
    return IsNumeric(currentText, locale) ? key : 0;
}

qint16 launchAfterClick(qint16 launch, bool nowTicked)
{
    if (!nowTicked)
        return 0;
    return launch == 0 ? 2 : launch;
}

} // namespace quillmer
