#include "ui/activation.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace quillmer::ui {

namespace {

// A window of the program that counts as one of its own windows: a plain
// top-level window. Message boxes and file dialogs are dialogs; menus and
// drop-down lists are pop-ups.
bool isProgramWindow(const QWindow* window)
{
    return window->type() == Qt::Window;
}

} // namespace

ActivationTracker::ActivationTracker(QWidget* window) : QObject(window), m_window(window)
{
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this,
            &ActivationTracker::focusWindowChanged);
}

void ActivationTracker::focusWindowChanged(QWindow* focus)
{
    // Focus leaving for another program changes nothing.
    if (!focus || !m_window)
        return;
    if (focus == m_window->windowHandle()) {
        if (!m_everActive || m_otherWindowSince) {
            m_everActive = true;
            m_otherWindowSince = false;
            emit activated();
        }
        return;
    }
    if (isProgramWindow(focus))
        m_otherWindowSince = true;
}

} // namespace quillmer::ui
