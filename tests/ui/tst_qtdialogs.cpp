// The program's real Qt dialogs: the file dialogs of the Browse buttons and
// the message boxes, shown modally and worked while they are open.
#include "ui/qtfiledialog.h"
#include "ui/qtservices.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace quillmer;

namespace {

// Calls f once a modal widget of type T is open, from the event loop of
// whatever modal window is running then; never after scope is gone.
template <typename T> void whenOpen(QObject& scope, std::function<void(T*)> f)
{
    auto* poll = new QTimer(&scope);
    QObject::connect(poll, &QTimer::timeout, [poll, f] {
        if (auto* open = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            f(open);
        }
    });
    poll->start(20);
}

// Puts a path into an open file dialog's name box and presses Enter.
void enter(QFileDialog* dialog, const QString& path)
{
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    name->setText(path);
    QTest::keyClick(name, Qt::Key_Return);
}

QString labelOf(QMessageBox* box)
{
    return box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->text();
}

} // namespace

class TestQtDialogs : public QObject
{
    Q_OBJECT

private slots:
    // A remembered file that is gone starts the dialog in its folder with no
    // name proposed; a path whose folder does not exist keeps the dialog
    // open with a message; a new file in an existing folder is taken.
    void sourceDialogWantsAnExistingFolder()
    {
        QTemporaryDir dir;
        FileDialogRequest request;
        request.title = QStringLiteral("Select Source File");
        request.initialFolder = dir.filePath(QStringLiteral("gone.xls"));
        request.filter = QStringLiteral("Microsoft Excel (*.xls)|*.xls");
        request.pathMustExist = true;

        QObject scope;
        QString proposed = QStringLiteral("<not seen>"), startFolder, refusal;
        bool openAfterRefusal = false;
        whenOpen<QFileDialog>(scope, [&](QFileDialog* dialog) {
            proposed = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
            startFolder = dialog->directory().absolutePath();
            whenOpen<QMessageBox>(scope, [&](QMessageBox* box) {
                refusal = labelOf(box);
                box->accept();
            });
            enter(dialog, dir.filePath(QStringLiteral("missing/Book.xls")));
            openAfterRefusal = dialog->isVisible();
            enter(dialog, dir.filePath(QStringLiteral("New.xls")));
            if (dialog->isVisible())
                dialog->reject();
        });
        const auto chosen = ui::QtFileDialog().ask(request);

        QCOMPARE(proposed, QString());
        QCOMPARE(startFolder, QDir(dir.path()).absolutePath());
        QVERIFY(refusal.contains(dir.filePath(QStringLiteral("missing"))));
        QVERIFY(openAfterRefusal);
        QCOMPARE(chosen.value_or(QStringLiteral("<cancelled>")),
                 dir.filePath(QStringLiteral("New.xls")));
    }

    // Texts that look like markup are shown as they are.
    void messagesArePlainText()
    {
        const QString text = QStringLiteral("<B>Q1.XLS Converted Successfully.");
        QObject scope;
        Qt::TextFormat format = Qt::AutoText;
        QString shown, caption;
        whenOpen<QMessageBox>(scope, [&](QMessageBox* box) {
            auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            format = label->textFormat();
            shown = label->text();
            caption = box->windowTitle();
            box->accept();
        });
        QCOMPARE(ui::QtMessageBox().show(text, MessageIcon::Information, MessageButtons::Ok),
                 MessageAnswer::Ok);
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(shown, text);
        QCOMPARE(caption, ApplicationTitle);
    }
};

QTEST_MAIN(TestQtDialogs)
#include "tst_qtdialogs.moc"
