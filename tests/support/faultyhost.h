#pragma once

// A host that hurts its own office with a signal as a call is made: at the
// open, at the print, or at the close of the workbook (the PDF is written by
// then).
#include "platform/spreadsheethost.h"

#include <memory>
#include <signal.h>
#include <sys/types.h>

namespace quillmer::test {

class FaultyHost : public platform::SpreadsheetHost
{
public:
    enum class At
    {
        Open,
        Print,
        Close
    };

    // An office of 0 is not hurt.
    FaultyHost(std::unique_ptr<platform::SpreadsheetHost> real, pid_t office, At at, int signal)
        : m_real(std::move(real)), m_office(office), m_at(at), m_signal(signal)
    {
    }

    std::shared_ptr<platform::Workbook> WorkbooksOpen(const QString& path) override
    {
        hurt(At::Open);
        return wrapped(m_real->WorkbooksOpen(path));
    }
    std::shared_ptr<platform::Workbook> ActiveWorkbook() override
    {
        return wrapped(m_real->ActiveWorkbook());
    }
    QString ActivePrinter() const override { return m_real->ActivePrinter(); }
    void setActivePrinter(const QString& name) override { m_real->setActivePrinter(name); }
    void Quit() override { m_real->Quit(); }

private:
    class Book : public platform::Workbook
    {
    public:
        Book(std::shared_ptr<platform::Workbook> real, FaultyHost& host)
            : m_real(std::move(real)), m_host(host)
        {
        }
        QString Name() const override { return m_real->Name(); }
        qint16 SheetCount() const override { return m_real->SheetCount(); }
        std::unique_ptr<platform::Worksheet> Sheets(qint16 index) override
        {
            return m_real->Sheets(index);
        }
        void PrintOut(const platform::OptionalArg& a, const platform::OptionalArg& b,
                      const platform::OptionalArg& c, const platform::OptionalArg& d,
                      const platform::OptionalArg& e, const platform::OptionalArg& f,
                      const platform::OptionalArg& g, const platform::OptionalArg& h) override
        {
            m_host.hurt(At::Print);
            m_real->PrintOut(a, b, c, d, e, f, g, h);
        }
        void Close() override
        {
            m_host.hurt(At::Close);
            m_real->Close();
        }

    private:
        std::shared_ptr<platform::Workbook> m_real;
        FaultyHost& m_host;
    };

    void hurt(At at)
    {
        if (at == m_at && m_office > 0)
            ::kill(m_office, m_signal);
    }

    std::shared_ptr<platform::Workbook> wrapped(std::shared_ptr<platform::Workbook> book)
    {
        return std::make_shared<Book>(std::move(book), *this);
    }

    std::unique_ptr<platform::SpreadsheetHost> m_real;
    pid_t m_office;
    At m_at;
    int m_signal;
};

} // namespace quillmer::test
