#include "ui/qtservices.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>

namespace quillmer::ui {

MessageAnswer QtMessageBox::show(const QString& text, MessageIcon icon, MessageButtons buttons)
{
    QMessageBox::Icon qtIcon = QMessageBox::NoIcon;
    switch (icon) {
    case MessageIcon::None: qtIcon = QMessageBox::NoIcon; break;
    case MessageIcon::Information: qtIcon = QMessageBox::Information; break;
    case MessageIcon::Critical: qtIcon = QMessageBox::Critical; break;
    case MessageIcon::Question: qtIcon = QMessageBox::Question; break;
    }
    const bool yesNo = buttons == MessageButtons::YesNo;
    QMessageBox box(qtIcon, ApplicationTitle, QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")),
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, m_parent);
    // Texts are shown as they are, also when they look like markup.
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(yesNo ? QMessageBox::Yes : QMessageBox::Ok);
    const int answer = box.exec();
    if (!yesNo)
        return MessageAnswer::Ok;
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

void CursorPointer::setBusy()
{
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void CursorPointer::setDefault()
{
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

} // namespace quillmer::ui
