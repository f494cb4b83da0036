// A manifest of any bytes, read as CSV: a failure has a reason and no
// records; the records start on rising lines within the text; and the
// records written back with every field quoted read back the same.
#include "cli/manifest.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace quillmer::cli;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    const QList<CsvRecord> records = readCsv(text, &error);
    if (!error.isEmpty()) {
        if (!records.isEmpty())
            std::abort();
        return 0;
    }
    const int lines = int(text.count('\n')) + 1;
    int last = 0;
    QByteArray written;
    for (const CsvRecord& r : records) {
        if (r.line <= last || r.line > lines || r.fields.isEmpty())
            std::abort();
        last = r.line;
        QStringList quoted;
        for (QString field : r.fields)
            quoted << u'"' + field.replace(u'"', QStringLiteral("\"\"")) + u'"';
        written += quoted.join(u',').toUtf8() + "\r\n";
    }
    const QList<CsvRecord> again = readCsv(written, &error);
    if (!error.isEmpty() || again.size() != records.size())
        std::abort();
    for (qsizetype i = 0; i < records.size(); ++i)
        if (again[i].fields != records[i].fields)
            std::abort();
    return 0;
}
