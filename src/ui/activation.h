#pragma once

#include <QObject>
#include <QPointer>

class QWidget;
class QWindow;

namespace quillmer::ui {

// Tells when a window becomes the program's active window in the sense of
// its activate sequence: at its first activation, and each time the focus
// comes back to it from another window of the program. Message boxes, file
// dialogs and pop-ups do not count, nor does a return from another program.
class ActivationTracker : public QObject
{
    Q_OBJECT
public:
    explicit ActivationTracker(QWidget* window);

signals:
    void activated();

private:
    void focusWindowChanged(QWindow* focus);

    QPointer<QWidget> m_window;
    bool m_everActive = false;
    bool m_otherWindowSince = false;
};

} // namespace quillmer::ui
