#include "app/list_drop_target.h"
#include "app/app_namespace.h"

#include "app/main_window.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace kestrova::app {

namespace {

// Whether the dragged data is a list of files (local paths, as file managers offer them).
bool OffersFiles(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) {
        return false;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            return true;
        }
    }
    return false;
}

} // namespace

void ListDropTarget::Register(QWidget* target, MainWindow* window) {
    owner = window;
    target->setAcceptDrops(true);
    target->installEventFilter(this);
}

bool ListDropTarget::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        // While a conversion runs the list must not change under the worker.
        if (OffersFiles(drag->mimeData()) && owner != nullptr && !owner->Converting()) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (OffersFiles(drop->mimeData()) && owner != nullptr && !owner->Converting()) {
            for (const QUrl& url : drop->mimeData()->urls()) {
                std::string path = url.toLocalFile().toStdString();
                if (url.isLocalFile() && owner->IsDroppableFile(path)) {
                    owner->AddObject(path, false);
                }
            }
            owner->RefreshList();
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace kestrova::app
