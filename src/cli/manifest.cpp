#include "cli/manifest.h"

#include <QStringDecoder>

namespace quillmer::cli {

QList<CsvRecord> readCsv(const QByteArray& data, QString* error)
{
    const auto fail = [&](int line, const QString& what) {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(line).arg(what);
        return QList<CsvRecord>();
    };
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(data);
    if (decoder.hasError())
        return fail(1, QStringLiteral("the file is not UTF-8 text"));

    QList<CsvRecord> records;
    CsvRecord record{1, {}};
    QString field;
    bool quoted = false;       // inside a quoted field
    bool closed = false;       // the field was quoted and its quote has closed
    bool recordQuoted = false; // some field of the record was quoted
    int line = 1;
    const auto endField = [&] {
        record.fields << field;
        field.clear();
        closed = false;
    };
    const auto endRecord = [&] {
        endField();
        // A blank line is no record.
        if (record.fields.size() > 1 || !record.fields.first().isEmpty() || recordQuoted)
            records << record;
        record = CsvRecord{line + 1, {}};
        recordQuoted = false;
    };

    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c != u'"') {
                line += c == u'\n';
                field += c;
            } else if (i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else {
                quoted = false;
                closed = true;
            }
        } else if (c == u',') {
            endField();
        } else if (c == u'\n' || (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')) {
            i += c == u'\r';
            endRecord();
            ++line;
        } else if (c == u'"') {
            if (!field.isEmpty() || closed)
                return fail(line, QStringLiteral("a quote inside a field that does not start "
                                                 "with one"));
            quoted = recordQuoted = true;
        } else if (closed) {
            return fail(line, QStringLiteral("text after the closing quote of a field"));
        } else {
            field += c;
        }
    }
    if (quoted)
        return fail(record.line, QStringLiteral("a quoted field that never closes"));
    if (!field.isEmpty() || closed || !record.fields.isEmpty())
        endRecord();
    if (error)
        error->clear();
    return records;
}

} // namespace quillmer::cli
