#pragma once

// A real main window in a temporary program folder, with its services
// answered by fakes, and the ways a person works it: typing, clicking,
// reading the job list.
#include "engine/conversionservices.h"
#include "support/fakes.h"
#include "support/registrytext.h"
#include "ui/frmmain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

namespace quillmer::test {

// The context of a main window on folder, with the services of rig (any
// struct that holds them under these names) and messages as its boxes.
template <typename Rig>
ui::MainWindowContext windowContext(Rig& rig, const QString& folder, MessageBoxService& messages)
{
    return {ProgramFolders::oneFolder(folder),
            rig.startup,
            messages,
            rig.pointer,
            rig.errors,
            rig.shell,
            rig.ender,
            rig.settings,
            rig.dialogs,
            rig.conversion.services()};
}

// A program folder with its SETTINGS.INI, and the services a main window
// works with. Conversions use the real LibreOffice and Ghostscript of the
// built program folder, with the scratch folder in the temporary folder.
struct MainWindowRig
{
    QTemporaryDir dir;
    FakeMessageBox box;
    FakePointer pointer;
    ErrorHandler errors{box, pointer};
    SettingsFile settings{dir.path(), box, errors};
    StartupSettings startup;
    RecordingDocumentShell shell;
    RecordingProgramExit ender;
    FakeFileDialog dialogs;
    InstalledConversionServices conversion{test::ProgramRegistry,
                                           dir.filePath(QStringLiteral("cache"))};

    explicit MainWindowRig(const QByteArray& ini = "[SETTINGS]\r\nOPENFILE=1\r\n")
    {
        QFile f(dir.filePath(QStringLiteral("SETTINGS.INI")));
        if (f.open(QIODevice::WriteOnly))
            f.write(ini);
        f.close();
        settings.CheckSettingsFile();
        startup = LoadStartupSettings(settings, dir.path());
    }
    ui::MainWindowContext context() { return windowContext(*this, dir.path(), box); }
    QByteArray ini() const
    {
        QFile f(dir.filePath(QStringLiteral("SETTINGS.INI")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

template <typename T> T* child(QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

// A window shown and active, its load and activate sequences run.
struct MainWindowUser
{
    ui::FrmMain main;
    explicit MainWindowUser(MainWindowRig& rig) : main(rig.context())
    {
        main.show();
        // Without a window manager an X11 window gets the focus only when asked.
        main.activateWindow();
        if (!QTest::qWaitForWindowActive(&main))
            qWarning("the main window did not become active");
    }
    QLineEdit* box(const char* name) { return child<QLineEdit>(main, name); }
    // Clicks a button in its middle, a check box or option on its indicator.
    void click(const char* name)
    {
        auto* button = child<QAbstractButton>(main, name);
        const bool choice = qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button);
        const QPoint at = choice ? QPoint(6, button->height() / 2) : button->rect().center();
        QTest::mouseClick(button, Qt::LeftButton, {}, at);
    }
    void type(const char* name, const QString& text)
    {
        QLineEdit* edit = box(name);
        edit->setFocus();
        QTest::keyClicks(edit, text);
    }
    // Selects the box's text and types over it.
    void retype(const char* name, const QString& text)
    {
        QLineEdit* edit = box(name);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }
    // Drags URLs onto a widget and drops them there as a file manager does,
    // proposing a move; true when the widget took them, as a copy. The
    // window's answer to the drop has run when this returns.
    bool drop(QWidget* onto, const QList<QUrl>& urls)
    {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at = onto->rect().center();
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, {});
        enter.setDropAction(Qt::MoveAction);
        QApplication::sendEvent(onto, &enter);
        if (!enter.isAccepted() || enter.dropAction() != Qt::CopyAction)
            return false;
        QDropEvent drop(at, actions, &data, Qt::LeftButton, {});
        drop.setDropAction(Qt::MoveAction);
        QApplication::sendEvent(onto, &drop);
        QCoreApplication::processEvents();
        return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
    }
    bool drop(QWidget* onto, const QStringList& paths)
    {
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        return drop(onto, urls);
    }
    QWidget* listArea() { return child<QTreeView>(main, "lvwGeneral")->viewport(); }
    QString cell(int row, int column)
    {
        auto* model = child<QTreeView>(main, "lvwGeneral")->model();
        return model->data(model->index(row, column)).toString();
    }
    int rows() { return child<QTreeView>(main, "lvwGeneral")->model()->rowCount(); }
};

} // namespace quillmer::test
