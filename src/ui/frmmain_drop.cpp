// Files and folders dragged from the desktop's file manager onto the job
// list, the path boxes or the rest of the main window. Only local files
// count; the job list library decides what becomes a row.
#include "ui/frmmain.h"

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTreeView>
#include <QUrl>
#include <functional>
#include <utility>

namespace quillmer::ui {

namespace {

// The local paths a drag carries in its text/uri-list.
QStringList localPaths(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

// Takes drags of local files on the widgets it watches, as a copy: the file
// manager must never remove what was dropped. Other drags (text on a path
// box) go on to the widget itself.
class FileDropFilter : public QObject
{
public:
    FileDropFilter(std::function<void(const QStringList&)> onDrop, QObject* parent)
        : QObject(parent), m_onDrop(std::move(onDrop))
    {
    }

    void watch(QWidget* widget)
    {
        widget->setAcceptDrops(true);
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
            return QObject::eventFilter(watched, event);
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = localPaths(drop->mimeData());
        if (paths.isEmpty() || !(drop->possibleActions() & Qt::CopyAction))
            return QObject::eventFilter(watched, event);
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        // The summary is a modal message: show it after the drop has ended,
        // so that the file manager is not kept waiting.
        if (type == QEvent::Drop)
            QMetaObject::invokeMethod(
                this, [this, paths] { m_onDrop(paths); }, Qt::QueuedConnection);
        return true;
    }

private:
    std::function<void(const QStringList&)> m_onDrop;
};

} // namespace

void FrmMain::createDrop()
{
    auto* filter = new FileDropFilter(
        [this](const QStringList& paths) { lvwGeneral_OLEDragDrop(paths); }, this);
    for (QWidget* w : std::initializer_list<QWidget*>{this, lvwGeneral->viewport(), txtfilepath,
                                                      txtfilepathOutput})
        filter->watch(w);
}

void FrmMain::lvwGeneral_OLEDragDrop(const QStringList& paths)
{
    m_jobHandlers->AddDroppedFiles(paths);
}

} // namespace quillmer::ui
