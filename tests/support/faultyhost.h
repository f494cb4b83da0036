#pragma once

// A host that hurts its own office with a signal as a call is made: at the
// open, at the print (or the export), or at the close of the workbook (the PDF is written by
// then).
#include "office/spreadsheethost.h"

#include <memory>
#include <signal.h>
#include <sys/types.h>

namespace quillmer::test {

class FaultyHost : public office::SpreadsheetHost
{
public:
    enum class At
    {
        Open,
        Print,
        Close
    };

    // An office of 0 is not hurt.
    FaultyHost(std::unique_ptr<office::SpreadsheetHost> real, pid_t office, At at, int signal)
        : m_real(std::move(real)), m_office(office), m_at(at), m_signal(signal)
    {
    }

    std::shared_ptr<office::Workbook> WorkbooksOpen(const QString& path) override
    {
        hurt(At::Open);
        return wrapped(m_real->WorkbooksOpen(path));
    }
    std::shared_ptr<office::Workbook> WorkbooksOpen(const QString& path,
                                                    const office::OptionalArg& password) override
    {
        hurt(At::Open);
        return wrapped(m_real->WorkbooksOpen(path, password));
    }
    std::shared_ptr<office::Workbook> ActiveWorkbook() override
    {
        return wrapped(m_real->ActiveWorkbook());
    }
    QString ActivePrinter() const override { return m_real->ActivePrinter(); }
    void setActivePrinter(const QString& name) override { m_real->setActivePrinter(name); }
    void Quit() override { m_real->Quit(); }

private:
    class Book : public office::Workbook
    {
    public:
        Book(std::shared_ptr<office::Workbook> real, FaultyHost& host)
            : m_real(std::move(real)), m_host(host)
        {
        }
        QString Name() const override { return m_real->Name(); }
        qint16 SheetCount() const override { return m_real->SheetCount(); }
        std::unique_ptr<office::Worksheet> Sheets(qint16 index) override
        {
            return m_real->Sheets(index);
        }
        void PrintOut(const office::OptionalArg& a, const office::OptionalArg& b,
                      const office::OptionalArg& c, const office::OptionalArg& d,
                      const office::OptionalArg& e, const office::OptionalArg& f,
                      const office::OptionalArg& g, const office::OptionalArg& h) override
        {
            m_host.hurt(At::Print);
            m_real->PrintOut(a, b, c, d, e, f, g, h);
        }
        void ExportAsFixedFormat(const office::OptionalArg& a, const office::OptionalArg& b,
                                 const office::OptionalArg& c, const office::OptionalArg& d,
                                 const office::OptionalArg& e, const office::OptionalArg& f,
                                 const office::OptionalArg& g, const office::OptionalArg& h,
                                 const office::OptionalArg& i,
                                 const office::OptionalArg& j) override
        {
            m_host.hurt(At::Print);
            m_real->ExportAsFixedFormat(a, b, c, d, e, f, g, h, i, j);
        }
        QList<qint32> SheetPageCounts(const office::OptionalArg& single) override
        {
            return m_real->SheetPageCounts(single);
        }
        void Close() override
        {
            m_host.hurt(At::Close);
            m_real->Close();
        }

    private:
        std::shared_ptr<office::Workbook> m_real;
        FaultyHost& m_host;
    };

    void hurt(At at)
    {
        if (at == m_at && m_office > 0)
            ::kill(m_office, m_signal);
    }

    std::shared_ptr<office::Workbook> wrapped(std::shared_ptr<office::Workbook> book)
    {
        return std::make_shared<Book>(std::move(book), *this);
    }

    std::unique_ptr<office::SpreadsheetHost> m_real;
    pid_t m_office;
    At m_at;
    int m_signal;
};

} // namespace quillmer::test
