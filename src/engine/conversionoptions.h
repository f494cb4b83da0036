#pragma once

#include <QString>

namespace quillmer {

// The print options one conversion takes from the main window's controls.
// Texts are the controls' texts as they stand; check boxes carry their value
// (0 unticked, 1 ticked, 2 greyed), since only 1 counts as ticked.
struct ConversionOptions
{
    // cboPaperSize: "A4", "Legal", "A5", "Letter", "B4" or "B5"
    QString paperSize = QStringLiteral("A4");
    bool landscape = false;                  // optLandscape selected (else optPotrait)
    QString scale = QStringLiteral("100");   // txtAdjust
    int showGridlines = 1;                   // chkShowGridlines value
    int showHeaders = 0;                     // chkHeader value
    bool allPages = true;                    // chkAllPages selected (else chkFromTo)
    QString firstPage = QStringLiteral("1"); // txtFrom
    QString lastPage = QStringLiteral("2");  // txtTo
    int openAfterConversion = 1;             // chkOpenDocEditing value
};

// Where a conversion reads its options. The conversion keeps no copy: it asks
// again at each step that needs a value, so what it uses is what the window
// shows at that moment.
class ConversionOptionsSource
{
public:
    virtual ~ConversionOptionsSource() = default;
    virtual ConversionOptions currentOptions() const = 0;
};

// A source that always answers the same options.
class FixedConversionOptions : public ConversionOptionsSource
{
public:
    explicit FixedConversionOptions(ConversionOptions options = {}) : m_options(std::move(options))
    {
    }
    ConversionOptions currentOptions() const override { return m_options; }
    ConversionOptions& options() { return m_options; }

private:
    ConversionOptions m_options;
};

} // namespace quillmer
