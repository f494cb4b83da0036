#include "app/startup.h"
#include "errors/errorhandler.h"
#include "jobs/jobdrop.h"
#include "settings/settingsfile.h"
#include "ui/frmmain.h"
#include "ui/theme.h"

#include <QFile>
#include <QImageReader>
#include <QTest>

using namespace quillmer;

// The program folder the build lays out carries the pictures and the help
// page the windows use.
class TestProgramFolder : public QObject
{
    Q_OBJECT

private slots:
    void picturesAreThere()
    {
        const QList<QPair<const char*, QSize>> pictures = {
            {"home.gif", {56, 56}},    {"faq.gif", {56, 56}},
            {"contact.gif", {56, 56}}, {"quillmer.gif", {233, 119}},
            {"splash.gif", {700, 90}}, {"quillmer-icon.gif", {32, 32}},
        };
        for (const auto& [name, size] : pictures) {
            QImageReader reader(QStringLiteral(QUILLMER_PROGRAM_DIR "/images/") +
                                QLatin1String(name));
            QCOMPARE(reader.format(), QByteArray("gif"));
            const QImage image = reader.read();
            QVERIFY2(!image.isNull(), name);
            QCOMPARE(image.size(), size);
        }
        // The window icon has sixteen colours at most.
        const QImage icon = ui::builtInPicture(QStringLiteral("quillmer-icon.gif")).toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x)
                colours.insert(icon.pixel(x, y));
        QVERIFY(colours.size() <= 16);
    }

    void helpPageExplainsTheMessages()
    {
        QFile help(QStringLiteral(QUILLMER_PROGRAM_DIR "/help/QuillmerExcel.html"));
        QVERIFY(help.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(help.readAll()).simplified();
        const QStringList messages = {
            SettingsFile::missingMessage(),
            app::excelMissingMessage(),
            ui::FrmMain::exitQuestion(),
            QStringLiteral("Invalid file selected. Please select valid Excel file only."),
            QStringLiteral("Invalid Output file. Please select valid PDF file."),
            QStringLiteral("Please select a PDF File"),
            QStringLiteral("File already added."),
            QStringLiteral("Please enter value in Page Range From field"),
            QStringLiteral("Please enter value in Page Range To field"),
            QStringLiteral("Please enter valid value in Page Adjust field"),
            QStringLiteral("Please enter value in range between 10 and 400 in Page Adjust field"),
            QStringLiteral("Converted Successfully."),
            QStringLiteral("Failed to create PDF."),
            QStringLiteral("Converter is missing or corrupted. Please contact our Support Team."),
            QStringLiteral("Error: OverFlow of Controls."),
            QStringLiteral("Following error occured while accessing database:"),
        };
        const DropSummary drop{2, {"Book1.xls"}, {"notes.txt"}, {"Book9.xls"}};
        const QStringList dropLines = drop.message().split(QLatin1Char('\n'));
        QCOMPARE(dropLines.size(), 4);
        for (const QString& message : messages + dropLines)
            QVERIFY2(page.contains(message.simplified()), qPrintable(message));
        for (const char* word : {"Converting...", "Completed", "Failed", "SETTINGS.INI", "OPENFILE",
                                 "OUTPUTPATH", "registry.reg"})
            QVERIFY2(page.contains(QLatin1String(word)), word);
    }
};

QTEST_MAIN(TestProgramFolder)
#include "tst_programfolder.moc"
