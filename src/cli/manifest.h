#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace quillmer::cli {

// One record of a CSV file and the line it starts on (1-based).
struct CsvRecord
{
    int line = 0;
    QStringList fields;
};

// Reads CSV text as RFC 4180 defines it, from UTF-8 (a leading byte-order
// mark is dropped): fields separated by commas, records by CRLF or LF; a
// field in double quotes may hold commas, line breaks and doubled quotes.
// Blank lines are skipped. On malformed text (a stray quote, text after a
// closing quote, an open quote at the end, bytes that are not UTF-8) the
// records are empty and error says what and where.
QList<CsvRecord> readCsv(const QByteArray& data, QString* error);

} // namespace quillmer::cli
