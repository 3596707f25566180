#include "app/app_dialogs.h"
#include "app/app_namespace.h"

#include <QColorDialog>
#include <QFileDialog>

namespace kestrova::app {

namespace {
const DialogHooks* activeHooks = nullptr;
} // namespace

void SetDialogHooks(const DialogHooks* hooks) {
    activeHooks = hooks;
}

void ShowAppMessage(QWidget* parent, const QString& text, const QString& caption,
                    QMessageBox::Icon icon) {
    if (activeHooks != nullptr && activeHooks->message) {
        activeHooks->message(text, caption, false);
        return;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool AskAppQuestion(QWidget* parent, const QString& text, const QString& caption,
                    QMessageBox::Icon icon) {
    if (activeHooks != nullptr && activeHooks->message) {
        return activeHooks->message(text, caption, true);
    }
    QMessageBox box(icon, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}

QStringList ChooseOpenFiles(QWidget* parent, const QString& filter, bool multi) {
    if (activeHooks != nullptr && activeHooks->file) {
        return activeHooks->file(filter, false, multi);
    }
    if (multi) {
        return QFileDialog::getOpenFileNames(parent, QString(), QString(), QtNameFilters(filter));
    }
    QString path =
        QFileDialog::getOpenFileName(parent, QString(), QString(), QtNameFilters(filter));
    return path.isEmpty() ? QStringList() : QStringList{path};
}

QString ChooseSaveFile(QWidget* parent, const QString& filter) {
    if (activeHooks != nullptr && activeHooks->file) {
        return activeHooks->file(filter, true, false).value(0);
    }
    return QFileDialog::getSaveFileName(parent, QString(), QString(), QtNameFilters(filter));
}

QColor ChooseColor(QWidget* parent, const QColor& initial) {
    if (activeHooks != nullptr && activeHooks->color) {
        return activeHooks->color(initial);
    }
    return QColorDialog::getColor(initial, parent);
}

QString QtNameFilters(const QString& pipeFilter) {
    QStringList parts = pipeFilter.split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        filters << parts[i] + " (" + patterns.join(' ') + ")";
    }
    return filters.join(";;");
}

} // namespace kestrova::app
