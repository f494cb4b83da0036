// The page boxes under a real X11 keyboard: keys pressed on the X server
// (xdotool, through the XTEST extension) reach the main window the way a
// person's typing does, with the characters X11 gives each key.
#include "mainwindowrig.h"
#include "support/programs.h"

#include <QGuiApplication>
#include <QStandardPaths>

using namespace quillmer;

namespace {

// Presses the keys on the X server's keyboard; true when xdotool ran.
bool press(const QStringList& keys)
{
    return test::runProgram(
               QStringLiteral("xdotool"),
               QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("30")} +
                   keys,
               10000)
        .succeeded;
}

// Puts text into a box and the caret before its first character.
void setText(QLineEdit* box, const QString& text)
{
    box->setText(text);
    box->setFocus();
    box->setCursorPosition(0);
}

} // namespace

class TestPageKeys : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X11 display");
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty(),
                 "xdotool is not installed");
    }

    // Typed characters pass the boxes' filters; Delete and Tab, which type
    // no character, work as in any box, also when txtTo holds no number.
    void deleteDeletesAndTabMovesOn()
    {
        test::MainWindowRig rig;
        test::MainWindowUser w(rig);
        w.click("chkFromTo");
        QLineEdit* from = w.box("txtFrom");
        QLineEdit* to = w.box("txtTo");

        setText(from, QString());
        QVERIFY(press({QStringLiteral("1"), QStringLiteral("minus"), QStringLiteral("comma"),
                       QStringLiteral("a"), QStringLiteral("3")}));
        QTRY_COMPARE(from->text(), QStringLiteral("1-3"));

        setText(from, QStringLiteral("12"));
        QVERIFY(press({QStringLiteral("Delete")}));
        QTRY_COMPARE(from->text(), QStringLiteral("2"));
        QVERIFY(press({QStringLiteral("Tab")}));
        QTRY_COMPARE(QApplication::focusWidget(), to);

        setText(to, QStringLiteral("5ab"));
        QVERIFY(press({QStringLiteral("Delete"), QStringLiteral("x")}));
        QTRY_COMPARE(to->text(), QStringLiteral("ab"));
        QVERIFY(press({QStringLiteral("Tab")}));
        QTRY_COMPARE(QApplication::focusWidget(),
                     test::child<QCheckBox>(w.main, "chkOpenDocEditing"));
    }
};

QTEST_MAIN(TestPageKeys)
#include "tst_pagekeys.moc"
