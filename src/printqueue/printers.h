#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <mutex>

namespace quillmer::printqueue {

// The printer queues installed on this machine. Every queue is a PostScript
// printer whose port is a file: printing hands it a PDF spool, and the queue
// writes the pages as PostScript into the file named.
class InstalledPrinters
{
public:
    virtual ~InstalledPrinters() = default;

    // Each printer's device name, in list order.
    virtual QStringList deviceNames() const = 0;

    // Prints spoolPdf on the printer deviceName into outputFile as PostScript
    // and removes the spool, whatever the outcome. An existing outputFile is
    // replaced; it is complete when this returns. A failure leaves no output
    // file and throws AppError 1004 (also for a printer that is not
    // installed).
    virtual void printToFile(const QString& deviceName, const QString& spoolPdf,
                             const QString& outputFile, std::chrono::milliseconds timeLimit) = 0;

    // Gets the next print's driver ready ahead, where a queue has one, so
    // that the print does not wait for it to start. Never fails: a driver
    // that is not ready is started by the print.
    virtual void prepare() {}
};

class PrinterDriver;

// The printers of registry.reg (the subkeys of
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Printers, each
// name a device name). Their driver is Ghostscript's ps2write device; the
// Ghostscript executable is the registry's SOFTWARE\GS "GSPath". The file is
// read afresh on each call.
//
// The PostScript keeps the text: its fonts carry the spool's Unicode mapping
// (FontInfo /GlyphNames2Unicode), so a PDF made from it with pdfwrite can be
// searched and copied from, and every page keeps the spool's exact size.
//
// What a print does is the queue's policy (queue.h); this is its entry,
// where its failures become the automation error 1004. The driver
// (printqueue/printerdriver) can be started ahead with prepare(); a print
// takes it when it was started from the registry's present GSPath for the
// reading the spool needs.
class RegistryPrinters : public InstalledPrinters
{
public:
    explicit RegistryPrinters(QString registryPath);
    // Ends a driver started ahead.
    ~RegistryPrinters() override;

    QStringList deviceNames() const override;
    void printToFile(const QString& deviceName, const QString& spoolPdf, const QString& outputFile,
                     std::chrono::milliseconds timeLimit) override;
    void prepare() override;

    // The reader set-up the queue puts into the PostScript (see printers.cpp).
    static const char* readerSetup();

private:
    QString m_registryPath;
    std::mutex m_mutex;
    std::unique_ptr<PrinterDriver> m_ready;
};

} // namespace quillmer::printqueue
