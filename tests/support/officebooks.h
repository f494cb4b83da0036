#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

namespace quillmer::office {
class OfficeInstance;
}

namespace quillmer::test {

// Makes .xls workbooks with the office itself: a flat OpenDocument
// spreadsheet (see spreadsheet()) loaded by an office of its own and stored
// as "MS Excel 97", with an open password when one is given.
class OfficeBooks
{
public:
    // Starts the office that the program folder's registry names.
    OfficeBooks();
    ~OfficeBooks();

    // Writes the workbook; false when the office could not.
    bool write(const QByteArray& flatSpreadsheet, const QString& xlsPath,
               const std::optional<QString>& password = std::nullopt);

    // A flat OpenDocument spreadsheet around these tables (table:table
    // elements, with any automatic styles they use in styles).
    static QByteArray spreadsheet(const QByteArray& tables, const QByteArray& styles = {});

private:
    std::shared_ptr<office::OfficeInstance> m_office;
};

} // namespace quillmer::test
