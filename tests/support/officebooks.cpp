#include "support/officebooks.h"

#include "office/libreofficehost.h"
#include "office/officeinstance.h"
#include "support/files.h"
#include "support/registrytext.h"

#include <QFile>
#include <QTemporaryDir>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <vector>

namespace quillmer::test {

using namespace office::uno;

OfficeBooks::OfficeBooks()
    : m_office(office::LibreOfficeHostFactory(ProgramRegistry).startInstance())
{
}

OfficeBooks::~OfficeBooks() = default;

bool OfficeBooks::write(const QByteArray& flatSpreadsheet, const QString& xlsPath,
                        const std::optional<QString>& password)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("book.fods"));
    writeFile(source, flatSpreadsheet);
    try {
        m_office->run(QStringLiteral("the workbook cannot be made"), [&] {
            const Reference<css::frame::XComponentLoader> loader(m_office->desktop(),
                                                                 UNO_QUERY_THROW);
            const css::beans::PropertyValue hidden = property("Hidden", Any(true));
            const Reference<css::lang::XComponent> book =
                loader->loadComponentFromURL(fileUrl(source), OUString("_blank"), 0,
                                             Sequence<css::beans::PropertyValue>(&hidden, 1));
            std::vector<css::beans::PropertyValue> arguments{
                property("FilterName", Any(OUString("MS Excel 97")))};
            if (password)
                arguments.push_back(property("Password", Any(ou(*password))));
            Reference<css::frame::XStorable>(book, UNO_QUERY_THROW)
                ->storeToURL(fileUrl(xlsPath), Sequence<css::beans::PropertyValue>(
                                                   arguments.data(), sal_Int32(arguments.size())));
            Reference<css::util::XCloseable>(book, UNO_QUERY_THROW)->close(true);
        });
    } catch (...) {
        return false;
    }
    return QFile::exists(xlsPath);
}

QByteArray OfficeBooks::spreadsheet(const QByteArray& tables, const QByteArray& styles)
{
    return QByteArray(R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" office:version="1.2"
 office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
 <office:automatic-styles>)") +
           styles + R"(</office:automatic-styles>
 <office:body><office:spreadsheet>
)" + tables +
           " </office:spreadsheet></office:body>\n</office:document>\n";
}

} // namespace quillmer::test
