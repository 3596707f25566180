// Accepts files dragged onto the convert list from a file manager: the copy effect for a
// list of local files, each dropped file with a known extension added to the list, and the
// list refreshed once.
#pragma once

#include "app/app_namespace.h"
#include <QObject>

class QWidget;

namespace kestrova::app {

class MainWindow;

class ListDropTarget : public QObject {
    Q_OBJECT
public:
    explicit ListDropTarget(QObject* parent = nullptr) : QObject(parent) {}
    ~ListDropTarget() override = default;

    // Registers on the widget (the list's viewport) with the window as owner.
    void Register(QWidget* target, MainWindow* owner);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainWindow* owner = nullptr;
};

} // namespace kestrova::app
