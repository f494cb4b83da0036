#include "frontend/sheetchoice.h"

#include "errors/apperror.h"

#include <QRegularExpression>

namespace quillmer {

namespace {

// The items of the list as they stand, quotes resolved; a quoted item is
// always a name.
struct RawItem
{
    QString text;
    bool quoted = false;
};

std::optional<QList<RawItem>> splitItems(const QString& text, QString* error)
{
    QList<RawItem> items;
    RawItem current;
    bool inQuotes = false, afterQuote = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (inQuotes) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                current.text += c;
                ++i;
            } else if (c == u'"') {
                inQuotes = false;
                afterQuote = true;
            } else {
                current.text += c;
            }
        } else if (c == u',') {
            items << current;
            current = {};
            afterQuote = false;
        } else if (c == u'"' && current.text.trimmed().isEmpty() && !afterQuote) {
            current = {QString(), true};
            inQuotes = true;
        } else if (afterQuote && !c.isSpace()) {
            *error = QStringLiteral("text after the closing quote of a sheet name");
            return std::nullopt;
        } else if (!afterQuote) {
            current.text += c;
        }
    }
    if (inQuotes) {
        *error = QStringLiteral("a quoted sheet name that never closes");
        return std::nullopt;
    }
    items << current;
    return items;
}

} // namespace

std::optional<SheetList> parseSheetList(const QString& text, QString* error)
{
    const auto raw = splitItems(text, error);
    if (!raw)
        return std::nullopt;
    static const QRegularExpression numbers(QStringLiteral("^(\\d{1,5})(?:\\s*-\\s*(\\d{1,5}))?$"));
    SheetList list;
    for (const RawItem& item : *raw) {
        const QString trimmed = item.quoted ? item.text : item.text.trimmed();
        if (trimmed.isEmpty()) {
            *error = QStringLiteral("an empty sheet in the list");
            return std::nullopt;
        }
        const auto match = numbers.match(trimmed);
        if (item.quoted || !match.hasMatch()) {
            list << SheetItem{trimmed, 0, 0};
            continue;
        }
        const int first = match.captured(1).toInt();
        const int last = match.capturedLength(2) ? match.captured(2).toInt() : first;
        if (first < 1 || last < first) {
            *error = QStringLiteral("sheets %1: numbers start at 1, the first at most the last")
                         .arg(trimmed);
            return std::nullopt;
        }
        list << SheetItem{QString(), first, last};
    }
    return list;
}

QList<bool> chosenSheets(const SheetList& list, const QStringList& names)
{
    QList<bool> chosen(names.size(), false);
    for (const SheetItem& item : list) {
        if (item.name.isEmpty()) {
            if (item.last > names.size())
                throw AppError(err::SubscriptOutOfRange,
                               QStringLiteral("the workbook has no sheet %1 (it has %2)")
                                   .arg(item.first > names.size() ? item.first : item.last)
                                   .arg(names.size()));
            for (int n = item.first; n <= item.last; ++n)
                chosen[n - 1] = true;
            continue;
        }
        qsizetype found = names.indexOf(item.name);
        for (qsizetype i = 0; found < 0 && i < names.size(); ++i)
            if (names[i].compare(item.name, Qt::CaseInsensitive) == 0)
                found = i;
        if (found < 0)
            throw AppError(err::SubscriptOutOfRange,
                           QStringLiteral("the workbook has no sheet '%1'").arg(item.name));
        chosen[found] = true;
    }
    return chosen;
}

QString sheetTarget(const QString& target, const QString& sheetName)
{
    QString safe;
    for (const QChar c : sheetName)
        safe += (c.category() == QChar::Other_Control || QStringLiteral("/\\:*?\"<>|").contains(c))
                    ? QChar(u'_')
                    : c;
    const QString base =
        target.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive) ? target.chopped(4) : target;
    return base + u'-' + safe + QStringLiteral(".pdf");
}

} // namespace quillmer
