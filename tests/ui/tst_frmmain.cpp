#include "mainwindowrig.h"
#include "support/fakes.h"
#include "ui/controllayout.h"
#include "ui/controls.h"
#include "ui/frmmain.h"
#include "ui/theme.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

using namespace quillmer;

namespace {

const QString builtFolder = QStringLiteral(QUILLMER_PROGRAM_DIR);

// The services and stores a main window works with, answered by fakes.
struct Rig
{
    explicit Rig(QString programFolder = builtFolder) : folder(std::move(programFolder)) {}

    ui::MainWindowContext context() { return test::windowContext(*this, folder, *messages); }

    QString folder;
    test::FakeMessageBox box;
    MessageBoxService* messages = &box;
    test::FakePointer pointer;
    ErrorHandler errors{box, pointer};
    StartupSettings startup;
    test::RecordingDocumentShell shell;
    test::RecordingProgramExit ender;
    SettingsFile settings{folder, box, errors};
    test::FakeFileDialog dialogs;
    QTemporaryDir cache;
    InstalledConversionServices conversion{builtFolder + "/registry.reg", cache.path()};
};

// A main window that records the handlers other parts of the program fill.
class RecordingMain : public ui::FrmMain
{
public:
    using FrmMain::FrmMain;

    QStringList raised;
    QChar droppedByTxtFrom;

protected:
    void cmdSelectFile_Click() override { raised << QStringLiteral("cmdSelectFile_Click"); }
    void cmdAddToList_Click() override { raised << QStringLiteral("cmdAddToList_Click"); }
    void cmdConvert_Click() override { raised << QStringLiteral("cmdConvert_Click"); }
    void chkAllPages_Click() override { raised << QStringLiteral("chkAllPages_Click"); }
    void chkFromTo_Click() override { raised << QStringLiteral("chkFromTo_Click"); }
    void chkOpenDocEditing_Click() override { raised << QStringLiteral("chkOpenDocEditing_Click"); }
    void txtFrom_KeyPress(qint16& keyAscii) override
    {
        if (keyAscii == droppedByTxtFrom.unicode())
            keyAscii = 0;
    }
};

// A message box that cannot be shown, failing with the given number.
class BrokenBox : public MessageBoxService
{
public:
    explicit BrokenBox(qint32 number) : m_number(number) {}
    MessageAnswer show(const QString&, MessageIcon, MessageButtons) override
    {
        ++calls;
        throw AppError(m_number);
    }
    int calls = 0;

private:
    qint32 m_number;
};

template <typename T> T* child(QWidget& window, const char* name)
{
    return window.findChild<T*>(QLatin1String(name));
}

bool showAndActivate(QWidget& window)
{
    window.show();
    return QTest::qWaitForWindowActive(&window);
}

QImage normalised(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

bool shows(QLabel* label, const QString& file)
{
    return normalised(label->pixmap().toImage()) == normalised(QImage(file));
}

bool showsBuiltIn(QLabel* label, const QString& name)
{
    return normalised(label->pixmap().toImage()) == normalised(ui::builtInPicture(name).toImage());
}

// A program folder whose pictures differ from the built-in ones: each file
// holds another of the shipped pictures, so a picture shown can be traced to
// its file. Files listed in `missing` are left out.
QString folderWithPictures(const QTemporaryDir& dir, const QStringList& missing = {})
{
    const QString images = dir.filePath(QStringLiteral("images"));
    QDir().mkpath(images);
    const QList<QPair<QString, QString>> copies = {
        {QStringLiteral("home.gif"), QStringLiteral("splash.gif")},
        {QStringLiteral("faq.gif"), QStringLiteral("home.gif")},
        {QStringLiteral("quillmer.gif"), QStringLiteral("quillmer.gif")},
        {QStringLiteral("contact.gif"), QStringLiteral("faq.gif")},
    };
    for (const auto& [name, from] : copies) {
        if (!missing.contains(name))
            QFile::copy(builtFolder + QStringLiteral("/images/") + from, images + u'/' + name);
    }
    return dir.path();
}

} // namespace

class TestFrmMain : public QObject
{
    Q_OBJECT

private slots:
    // Every control of the design's table, by its name, in its container,
    // with its design-time text (tool tip for the pictures) and geometry, as
    // the window shows it once made; the twips become pixels at 15 to one.
    void controlsAsDesigned()
    {
        static const QHash<ui::ControlKind, const char*> classes = {
            {ui::ControlKind::Panel, "QWidget"},
            {ui::ControlKind::Frame, "QGroupBox"},
            {ui::ControlKind::Label, "QLabel"},
            {ui::ControlKind::TextBox, "QLineEdit"},
            {ui::ControlKind::Button, "QPushButton"},
            {ui::ControlKind::Option, "QRadioButton"},
            {ui::ControlKind::CheckBox, "QCheckBox"},
            {ui::ControlKind::ListView, "QTreeView"},
            {ui::ControlKind::DropDown, "QComboBox"},
            {ui::ControlKind::Picture, "quillmer::ui::ClickablePicture"},
            {ui::ControlKind::Line, "quillmer::ui::LineControl"}};
        Rig rig;
        ui::FrmMain window(rig.context());
        QCOMPARE(window.findChild<QWidget*>("cmdConvert")->geometry(), QRect(482, 432, 75, 21));
        QCOMPARE(window.findChild<QWidget*>("Line3")->geometry(), QRect(6, 418, 647, 1));
        for (const ui::DesignedControl& design : ui::designedControls()) {
            const QString name = QString::fromLatin1(design.name);
            auto* control = window.findChild<QWidget*>(name);
            QVERIFY2(control, design.name);
            QVERIFY2(control->inherits(classes.value(design.kind)), design.name);
            QCOMPARE(control->parentWidget()->objectName(), QLatin1String(design.container));
            QString shown;
            if (auto* picture = qobject_cast<ui::ClickablePicture*>(control))
                shown = picture->toolTip();
            else if (auto* label = qobject_cast<QLabel*>(control))
                shown = label->text();
            else if (auto* button = qobject_cast<QAbstractButton*>(control))
                shown = button->text();
            else if (auto* frame = qobject_cast<QGroupBox*>(control))
                shown = frame->title();
            else if (auto* box = qobject_cast<QLineEdit*>(control))
                shown = box->text();
            QCOMPARE(shown, QString::fromUtf8(design.text));
            if (name == QLatin1String("lblFrom")) {
                QVERIFY(!control->isVisibleTo(&window));
                continue;
            }
            QCOMPARE(control->geometry(), ui::designGeometry(design));
            QVERIFY2(control->isVisibleTo(&window), design.name);
        }
        QCOMPARE(child<QComboBox>(window, "cboPaperSize")->currentText(), QStringLiteral("A4"));
    }

    void windowAndDesignTimeContent()
    {
        Rig rig;
        ui::FrmMain window(rig.context());
        QCOMPARE(window.objectName(), QStringLiteral("frmMain"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Quillmer - Excel to PDF Converter"));
        QCOMPARE(window.size(), QSize(658, 460));
        QCOMPARE(window.windowIcon().availableSizes().value(0), QSize(32, 32));

        auto* paper = child<QComboBox>(window, "cboPaperSize");
        QStringList items;
        for (int i = 0; i < paper->count(); ++i)
            items << paper->itemText(i);
        QCOMPARE(items, (QStringList{"A4", "Legal", "A5", "Letter", "B4", "B5"}));
        for (const char* name : {"txtAdjust", "txtFrom", "txtTo"})
            QCOMPARE(child<QLineEdit>(window, name)->maxLength(), 3);
        QVERIFY(child<QRadioButton>(window, "optPotrait")->isChecked());
        QVERIFY(!child<QRadioButton>(window, "optLandscape")->isChecked());
        QVERIFY(child<QCheckBox>(window, "chkShowGridlines")->isChecked());
        QVERIFY(!child<QCheckBox>(window, "chkHeader")->isChecked());
        QVERIFY(child<QCheckBox>(window, "chkOpenDocEditing")->isChecked());
        QVERIFY(!child<QLabel>(window, "lblFrom")->isVisibleTo(&window));

        auto* list = child<QTreeView>(window, "lvwGeneral");
        QStringList headers;
        for (int c = 0; c < list->model()->columnCount(); ++c)
            headers << list->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers,
                 (QStringList{"Excel File", "Source Location", "Target Location", "Status"}));
        QCOMPARE(list->model()->rowCount(), 0);

        // Fonts: Verdana for labels, boxes and choices, bold Arial for the
        // buttons, bold MS Sans Serif for the file frame and the caption.
        const QString verdana = ui::fontFamily(QStringLiteral("Verdana"));
        for (const char* name :
             {"Label12", "txtfilepath", "chkAllPages", "optLandscape", "Label6"}) {
            QCOMPARE(child<QWidget>(window, name)->font().family(), verdana);
            QCOMPARE(child<QWidget>(window, name)->font().pointSizeF(), 8.25);
            QVERIFY(!child<QWidget>(window, name)->font().bold());
        }
        for (const char* name : {"cmdSelectFile", "cmdConvert", "cmdExit"}) {
            QCOMPARE(child<QWidget>(window, name)->font().family(),
                     ui::fontFamily(QStringLiteral("Arial")));
            QVERIFY(child<QWidget>(window, name)->font().bold());
        }
        QVERIFY(child<QGroupBox>(window, "Frame2")->font().bold());
        QVERIFY(!child<QGroupBox>(window, "Frame1")->font().bold());
        QVERIFY(!child<QGroupBox>(window, "Frame3")->font().bold());
        const QFont caption = child<QLabel>(window, "lblCaption")->font();
        QVERIFY(caption.bold());
        QCOMPARE(caption.pointSizeF(), 13.5);
        // The caption fits its box in its stand-in font.
        QVERIFY(QFontMetrics(caption).horizontalAdvance(QStringLiteral("XL Ver 2007")) <= 116);
    }

    void loadAndActivateFollowTheSettings_data()
    {
        QTest::addColumn<int>("convertPageFrom");
        QTest::addColumn<int>("launch");
        QTest::newRow("all pages, open afterwards") << 0 << 1;
        QTest::newRow("all pages, leave closed") << 0 << 0;
        QTest::newRow("page range, open afterwards") << 1 << 2;
        QTest::newRow("page range, leave closed") << -1 << 0;
    }

    void loadAndActivateFollowTheSettings()
    {
        QFETCH(int, convertPageFrom);
        QFETCH(int, launch);
        Rig rig;
        rig.startup.ConvertPageFrom = static_cast<qint16>(convertPageFrom);
        rig.startup.Launch = static_cast<qint16>(launch);
        rig.startup.PageRange = QStringLiteral("7");
        rig.startup.RecentFolder = QStringLiteral("/remembered/book.xls");
        rig.startup.RecentOutputFolder = QStringLiteral("/remembered/book.pdf");
        RecordingMain window(rig.context());
        // Whatever stands in the boxes before the load is gone after it.
        child<QLineEdit>(window, "txtfilepath")->setText(QStringLiteral("/old/source.xls"));
        child<QLineEdit>(window, "txtfilepathOutput")->setText(QStringLiteral("/old/target.pdf"));
        child<QComboBox>(window, "cboPaperSize")->setCurrentIndex(3);
        QVERIFY(showAndActivate(window));

        const bool range = convertPageFrom != 0;
        QCOMPARE(child<QLineEdit>(window, "txtfilepath")->text(), QString());
        QCOMPARE(child<QLineEdit>(window, "txtfilepathOutput")->text(), QString());
        QCOMPARE(child<QComboBox>(window, "cboPaperSize")->currentText(), QStringLiteral("A4"));
        QCOMPARE(child<QLineEdit>(window, "txtFrom")->text(), QStringLiteral("7"));
        QCOMPARE(child<QLineEdit>(window, "txtTo")->text(), QStringLiteral("2"));
        QCOMPARE(child<QRadioButton>(window, "chkAllPages")->isChecked(), !range);
        QCOMPARE(child<QRadioButton>(window, "chkFromTo")->isChecked(), range);
        QVERIFY(child<QRadioButton>(window, "chkFromTo")->isEnabled());
        QCOMPARE(child<QLineEdit>(window, "txtFrom")->isEnabled(), range);
        QCOMPARE(child<QLineEdit>(window, "txtTo")->isEnabled(), range);
        QCOMPARE(child<QLabel>(window, "lblFrom")->isEnabled(), range);
        QCOMPARE(child<QCheckBox>(window, "chkOpenDocEditing")->isChecked(), launch != 0);

        // Setting the choices raised their click handlers, as clicks would:
        // at load and again at the first activation.
        const QString option =
            range ? QStringLiteral("chkFromTo_Click") : QStringLiteral("chkAllPages_Click");
        QCOMPARE(window.raised.count(option), 2);
        QCOMPARE(window.raised.count(QStringLiteral("chkOpenDocEditing_Click")),
                 launch == 0 ? 1 : 0);
        QVERIFY(rig.box.shown.isEmpty());
    }

    void activationReappliesTheFlagsAfterAnotherProgramWindow()
    {
        Rig rig;
        RecordingMain window(rig.context());
        QVERIFY(showAndActivate(window));
        QVERIFY(child<QRadioButton>(window, "chkAllPages")->isChecked());

        // The option handlers change the flags while the window runs.
        rig.startup.ConvertPageFrom = 1;
        rig.startup.Launch = 0;

        // A dialog in front and gone again does not count.
        {
            QDialog dialog;
            QVERIFY(showAndActivate(dialog));
        }
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(child<QRadioButton>(window, "chkAllPages")->isChecked());
        QVERIFY(child<QCheckBox>(window, "chkOpenDocEditing")->isChecked());

        // Another window of the program in front and gone again does.
        {
            QWidget other;
            QVERIFY(showAndActivate(other));
        }
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(child<QRadioButton>(window, "chkFromTo")->isChecked());
        QVERIFY(child<QLineEdit>(window, "txtFrom")->isEnabled());
        QVERIFY(child<QLineEdit>(window, "txtTo")->isEnabled());
        QVERIFY(!child<QCheckBox>(window, "chkOpenDocEditing")->isChecked());
    }

    void aFailingLoadStepIsSkipped()
    {
        Rig rig;
        rig.startup.Launch = 0;
        ui::FrmMain window(rig.context());
        child<QComboBox>(window, "cboPaperSize")->clear(); // no entry to select
        child<QLineEdit>(window, "txtfilepathOutput")->setText(QStringLiteral("/old.pdf"));
        QVERIFY(showAndActivate(window));
        QCOMPARE(child<QComboBox>(window, "cboPaperSize")->currentIndex(), -1);
        QCOMPARE(child<QLineEdit>(window, "txtFrom")->text(), QStringLiteral("1"));
        QCOMPARE(child<QLineEdit>(window, "txtfilepathOutput")->text(), QString());
        QVERIFY(!child<QCheckBox>(window, "chkOpenDocEditing")->isChecked());
        QVERIFY(rig.box.shown.isEmpty());
    }

    void themeColoursAfterLoad()
    {
        Rig rig;
        ui::FrmMain window(rig.context());
        QVERIFY(showAndActivate(window));
        const QColor back(157, 223, 160);
        const QColor fore(0, 64, 0);
        const auto control = [&](const char* name) -> QWidget* {
            return qstrcmp(name, "frmMain") == 0 ? &window : child<QWidget>(window, name);
        };

        for (const ui::ThemeTarget& t : ui::backColorTargets()) {
            QWidget* w = control(t.control);
            QVERIFY2(w, t.control);
            if (t.slot == ui::ColorSlot::Window)
                QVERIFY2(w->palette().color(QPalette::Window) == back, t.control);
            else if (t.slot == ui::ColorSlot::Button)
                QVERIFY2(w->palette().color(QPalette::Button) == back, t.control);
            else if (t.slot == ui::ColorSlot::List)
                QVERIFY2(w->palette().color(QPalette::Base) == back, t.control);
        }
        for (const ui::ThemeTarget& t : ui::foreColorTargets()) {
            QWidget* w = control(t.control);
            if (t.slot == ui::ColorSlot::Window)
                QVERIFY2(w->palette().color(QPalette::WindowText) == fore, t.control);
            else if (t.slot == ui::ColorSlot::List)
                QVERIFY2(w->palette().color(QPalette::Text) == fore, t.control);
        }
        // Every push button has the background, none the text colour.
        for (QPushButton* b : window.findChildren<QPushButton*>()) {
            QVERIFY2(b->palette().color(QPalette::Button) == back, qPrintable(b->objectName()));
            QVERIFY2(b->palette().color(QPalette::ButtonText) != fore, qPrintable(b->objectName()));
        }
        // The rule ends dark green.
        QCOMPARE(child<ui::LineControl>(window, "Line3")->borderColor(), fore);
        // "Adjust" and "Paper Size:" keep the default text colour, "%" beside
        // them is dark green, the caption stays dark red.
        const QColor defaultText = QApplication::palette().color(QPalette::WindowText);
        QCOMPARE(child<QLabel>(window, "Label3")->palette().color(QPalette::WindowText),
                 defaultText);
        QCOMPARE(child<QLabel>(window, "Label8")->palette().color(QPalette::WindowText),
                 defaultText);
        QCOMPARE(child<QLabel>(window, "Label6")->palette().color(QPalette::WindowText), fore);
        QCOMPARE(child<QLabel>(window, "lblCaption")->palette().color(QPalette::WindowText),
                 QColor(192, 0, 0));
        // The text boxes and the paper list keep their own colours.
        for (const char* name : {"txtfilepath", "txtAdjust", "txtFrom", "cboPaperSize"}) {
            for (QPalette::ColorRole role : {QPalette::Base, QPalette::Text, QPalette::Button}) {
                QCOMPARE(child<QWidget>(window, name)->palette().color(QPalette::Active, role),
                         QApplication::palette().color(QPalette::Active, role));
            }
        }
        // What is drawn matches: the panel shows the theme's background.
        const QImage drawn = window.grab().toImage();
        QCOMPARE(QColor(drawn.pixel(300, 5)), back);
        QCOMPARE(QColor(drawn.pixel(300, 416)), fore);
    }

    void textThatIsNoColourChangesNoColour()
    {
        QTemporaryDir dir;
        Rig rig(folderWithPictures(dir));
        ui::FrmMain window(rig.context());
        const QColor designBack(239, 240, 244);
        QCOMPARE(child<QWidget>(window, "picMain")->palette().color(QPalette::Window), designBack);
        const QColor label =
            child<QLabel>(window, "Label11")->palette().color(QPalette::WindowText);

        window.DoColorChange(QStringLiteral("light green"));
        window.DoForeColorChange(QStringLiteral("&dark"));
        QCOMPARE(child<QWidget>(window, "picMain")->palette().color(QPalette::Window), designBack);
        QCOMPARE(child<QPushButton>(window, "cmdExit")->palette().color(QPalette::Button),
                 designBack);
        QCOMPARE(child<QLabel>(window, "Label11")->palette().color(QPalette::WindowText), label);
        QCOMPARE(child<ui::LineControl>(window, "Line3")->borderColor(), QColor(Qt::black));
        // The pictures are loaded all the same.
        QVERIFY(shows(child<QLabel>(window, "cmdHomeLink"), dir.filePath("images/home.gif")));
        QVERIFY(rig.box.shown.isEmpty());
    }

    void aMissingControlIsSkipped()
    {
        Rig rig;
        ui::FrmMain window(rig.context());
        delete child<QLabel>(window, "Label11");
        QVERIFY(showAndActivate(window));
        const QColor back(157, 223, 160);
        QCOMPARE(child<QLabel>(window, "Label12")->palette().color(QPalette::Window), back);
        QCOMPARE(child<QPushButton>(window, "cmdBrowseOutput")->palette().color(QPalette::Button),
                 back);
        QCOMPARE(child<QRadioButton>(window, "optPotrait")->palette().color(QPalette::WindowText),
                 QColor(0, 64, 0));
        QVERIFY(!child<QLabel>(window, "Image1")->pixmap().isNull());
    }

    void picturesComeFromTheImagesFolder()
    {
        QTemporaryDir dir;
        Rig rig(folderWithPictures(dir));
        ui::FrmMain window(rig.context());
        QVERIFY(showAndActivate(window));
        QVERIFY(shows(child<QLabel>(window, "cmdHomeLink"), dir.filePath("images/home.gif")));
        QVERIFY(shows(child<QLabel>(window, "cmdHelp"), dir.filePath("images/faq.gif")));
        QVERIFY(shows(child<QLabel>(window, "Image1"), dir.filePath("images/quillmer.gif")));
        QVERIFY(shows(child<QLabel>(window, "cmdContactUs"), dir.filePath("images/contact.gif")));

        // The shipped pictures are the built-in ones.
        Rig shipped;
        ui::FrmMain built(shipped.context());
        QVERIFY(showAndActivate(built));
        QVERIFY(showsBuiltIn(child<QLabel>(built, "cmdHomeLink"), QStringLiteral("home.gif")));
        QVERIFY(shows(child<QLabel>(built, "Image1"), builtFolder + "/images/quillmer.gif"));
    }

    void withoutTheImagesFolderTheBuiltInPicturesStay()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        ui::FrmMain window(rig.context());
        QVERIFY(showAndActivate(window));
        QVERIFY(showsBuiltIn(child<QLabel>(window, "cmdHomeLink"), QStringLiteral("home.gif")));
        QVERIFY(showsBuiltIn(child<QLabel>(window, "cmdHelp"), QStringLiteral("faq.gif")));
        QVERIFY(showsBuiltIn(child<QLabel>(window, "cmdContactUs"), QStringLiteral("contact.gif")));
        QVERIFY(child<QLabel>(window, "Image1")->pixmap().isNull());
        QVERIFY(rig.box.shown.isEmpty());
        // The theme is there all the same.
        QCOMPARE(child<ui::LineControl>(window, "Line3")->borderColor(), QColor(0, 64, 0));
    }

    // The pictures load in order and stop at the first that fails.
    void picturesStopAtTheFirstFailure_data()
    {
        QTest::addColumn<QString>("broken");
        QTest::addColumn<int>("loaded"); // how many of home, faq, banner, contact come from files
        QTest::newRow("only faq.gif missing") << QStringLiteral("faq.gif") << 1;
        QTest::newRow("home.gif unreadable") << QStringLiteral("home.gif") << 0;
        QTest::newRow("contact.gif missing") << QStringLiteral("contact.gif") << 3;
    }

    void picturesStopAtTheFirstFailure()
    {
        QFETCH(QString, broken);
        QFETCH(int, loaded);
        QTemporaryDir dir;
        folderWithPictures(dir, {broken});
        if (broken == QLatin1String("home.gif")) {
            QFile garbage(dir.filePath(QStringLiteral("images/home.gif")));
            QVERIFY(garbage.open(QIODevice::WriteOnly));
            garbage.write("no picture here");
        }
        Rig rig(dir.path());
        ui::FrmMain window(rig.context());
        QVERIFY(showAndActivate(window));

        const QList<QPair<const char*, QString>> order = {
            {"cmdHomeLink", QStringLiteral("home.gif")},
            {"cmdHelp", QStringLiteral("faq.gif")},
            {"Image1", QStringLiteral("quillmer.gif")},
            {"cmdContactUs", QStringLiteral("contact.gif")},
        };
        for (int i = 0; i < order.size(); ++i) {
            auto* label = child<QLabel>(window, order[i].first);
            if (i < loaded)
                QVERIFY2(shows(label, dir.filePath("images/" + order[i].second)), order[i].first);
            else if (qstrcmp(order[i].first, "Image1") == 0)
                QVERIFY(label->pixmap().isNull());
            else
                QVERIFY2(showsBuiltIn(label, order[i].second), order[i].first);
        }
        QVERIFY(rig.box.shown.isEmpty());
    }

    void exitQuestion_data()
    {
        QTest::addColumn<bool>("fromCloseBox");
        QTest::addColumn<bool>("yes");
        QTest::newRow("close box, Yes") << true << true;
        QTest::newRow("close box, No") << true << false;
        QTest::newRow("Close button, Yes") << false << true;
        QTest::newRow("Close button, No") << false << false;
    }

    void exitQuestion()
    {
        QFETCH(bool, fromCloseBox);
        QFETCH(bool, yes);
        Rig rig;
        rig.box.answers = {yes ? MessageAnswer::Yes : MessageAnswer::No};
        ui::FrmMain window(rig.context());
        QVERIFY(showAndActivate(window));
        window.jobList().append(QStringLiteral("/a/Book1.xls"), QStringLiteral("/a/Book1.pdf"));
        child<QLineEdit>(window, "txtfilepath")->setText(QStringLiteral("/a/Book2.xls"));

        if (fromCloseBox)
            QCOMPARE(window.close(), yes);
        else
            child<QPushButton>(window, "cmdExit")->click();

        QCOMPARE(rig.box.shown.size(), 1);
        QCOMPARE(rig.box.shown[0].text,
                 QStringLiteral("Do you really want to exit the application?"));
        QCOMPARE(rig.box.shown[0].icon, MessageIcon::Question);
        QCOMPARE(rig.box.shown[0].buttons, MessageButtons::YesNo);
        QCOMPARE(rig.ender.calls, yes ? 1 : 0);
        if (!yes) {
            QVERIFY(window.isVisible());
            QCOMPARE(window.jobList().rowCount(), 1);
            QCOMPARE(child<QLineEdit>(window, "txtfilepath")->text(),
                     QStringLiteral("/a/Book2.xls"));
        }
        QCOMPARE(rig.pointer.defaultCalls, 0); // nothing reached the error handler
    }

    void aQuestionThatCannotBeAskedNeverCancelsTheClose_data()
    {
        QTest::addColumn<int>("number");
        QTest::newRow("handler lets work go on") << int(err::InvalidCall);
        QTest::newRow("handler says leave") << int(err::ObjectNotSet);
    }

    void aQuestionThatCannotBeAskedNeverCancelsTheClose()
    {
        QFETCH(int, number);
        BrokenBox broken(number);
        Rig rig;
        rig.messages = &broken;
        ui::FrmMain window(rig.context());
        QVERIFY(showAndActivate(window));
        QVERIFY(window.close());
        QCOMPARE(rig.ender.calls, 1);
        QCOMPARE(rig.pointer.defaultCalls, 1); // reported to the error handler

        // From "Close" the failure is skipped silently and nothing happens.
        ui::FrmMain again(rig.context());
        QVERIFY(showAndActivate(again));
        child<QPushButton>(again, "cmdExit")->click();
        QCOMPARE(broken.calls, 2);
        QCOMPARE(rig.ender.calls, 1);
        QCOMPARE(rig.pointer.defaultCalls, 1);
        QVERIFY(again.isVisible());
    }

    void escapeClosesAndEnterBrowses()
    {
        Rig rig;
        rig.box.answers = {MessageAnswer::No, MessageAnswer::No};
        RecordingMain window(rig.context());
        QVERIFY(showAndActivate(window));
        auto* source = child<QLineEdit>(window, "txtfilepath");
        source->setFocus();

        QTest::keyClick(source, Qt::Key_Escape);
        QCOMPARE(rig.box.texts(), QStringList{ui::FrmMain::exitQuestion()});
        QTest::keyClick(child<QTreeView>(window, "lvwGeneral"), Qt::Key_Escape);
        QCOMPARE(rig.box.shown.size(), 2);

        QTest::keyClick(source, Qt::Key_Return);
        QTest::keyClick(child<QCheckBox>(window, "chkHeader"), Qt::Key_Enter);
        QCOMPARE(window.raised.count(QStringLiteral("cmdSelectFile_Click")), 2);

        // A push button with the focus is pressed itself.
        auto* add = child<QPushButton>(window, "cmdAddToList");
        add->setFocus();
        QTest::keyClick(add, Qt::Key_Return);
        QCOMPARE(window.raised.count(QStringLiteral("cmdAddToList_Click")), 1);
        QCOMPARE(window.raised.count(QStringLiteral("cmdSelectFile_Click")), 2);

        // Alt+C converts (a mnemonic presses its button with a short animation).
        QTest::keyClick(source, Qt::Key_C, Qt::AltModifier);
        QTRY_COMPARE(window.raised.count(QStringLiteral("cmdConvert_Click")), 1);
        QCOMPARE(rig.ender.calls, 0);
    }

    void pathBoxesTakeTypingAndPasting()
    {
        Rig rig;
        ui::FrmMain window(rig.context());
        QVERIFY(showAndActivate(window));
        auto* source = child<QLineEdit>(window, "txtfilepath");
        source->setFocus();
        QTest::keyClicks(source, QStringLiteral("/home/ann/Q1 report.xls"));
        QCOMPARE(source->text(), QStringLiteral("/home/ann/Q1 report.xls"));

        auto* target = child<QLineEdit>(window, "txtfilepathOutput");
        target->setFocus();
        QApplication::clipboard()->setText(QStringLiteral("/home/ann/out/Q1 report.pdf"));
        QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(target->text(), QStringLiteral("/home/ann/out/Q1 report.pdf"));
        QVERIFY(!target->isReadOnly());
    }

    void pageBoxesPassTypedCharactersThroughTheirKeyHandler()
    {
        Rig rig;
        rig.startup.ConvertPageFrom = 1;
        RecordingMain window(rig.context());
        window.droppedByTxtFrom = u'x';
        QVERIFY(showAndActivate(window));
        auto* from = child<QLineEdit>(window, "txtFrom");
        from->setFocus();
        from->clear();
        QTest::keyClicks(from, QStringLiteral("1x2"));
        QCOMPARE(from->text(), QStringLiteral("12"));
        QTest::keyClick(from, Qt::Key_Backspace);
        QCOMPARE(from->text(), QStringLiteral("1"));
    }

    void picturesOpenTheHelpAndTheWebPages()
    {
        QTemporaryDir dir; // no help folder: the desktop, not the program, says so
        Rig rig(dir.path());
        ui::FrmMain window(rig.context());
        QVERIFY(showAndActivate(window));
        QTest::mouseClick(child<QWidget>(window, "cmdHelp"), Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseClick(child<QWidget>(window, "cmdHomeLink"), Qt::LeftButton, {},
                          QPoint(10, 10));
        QTest::mouseClick(child<QWidget>(window, "cmdHomeLink"), Qt::LeftButton, {},
                          QPoint(10, 10));
        QTest::mouseClick(child<QWidget>(window, "cmdContactUs"), Qt::LeftButton, {},
                          QPoint(20, 20));
        rig.shell.throwing = true;
        QTest::mouseClick(child<QWidget>(window, "cmdHelp"), Qt::LeftButton, {}, QPoint(10, 10));

        const QString help =
            QUrl::fromLocalFile(dir.filePath(QStringLiteral("help/QuillmerExcel.html"))).toString();
        const QString home = QStringLiteral("http://www.quillmer.example/index.aspx");
        const QString feedback =
            QStringLiteral("http://www.quillmer.example/frm_feedback.aspx?pg=1");
        QCOMPARE(rig.shell.opened, (QStringList{help, home, home, feedback, help}));
        QVERIFY(rig.box.shown.isEmpty());
        QCOMPARE(rig.pointer.defaultCalls, 0);
        QVERIFY(window.isVisible());
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
