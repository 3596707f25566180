// The window's standard dialogs in one place: modal message boxes, yes/no questions, the
// file-open and file-save dialogs and the colour dialog. Everything the window asks the user
// goes through these calls, so a test (or the screenshot mode) can answer them by installing
// DialogHooks instead of clicking.
#pragma once

#include <QColor>
#include <QMessageBox>
#include <QString>
#include <QStringList>

#include "app/app_namespace.h"
#include <functional>

class QWidget;

namespace kestrova::app {

// The caption of the program's message boxes when a message names none.
inline const char* const kAppCaption = "Kestrova";

struct DialogHooks {
    // A message box (question = false) or a yes/no question (true); returns yes.
    std::function<bool(const QString& text, const QString& caption, bool question)> message;
    // A file dialog; save = false opens (multi selects several files). Returns the chosen
    // paths, empty when cancelled.
    std::function<QStringList(const QString& filter, bool save, bool multi)> file;
    // The colour dialog; returns an invalid colour when cancelled.
    std::function<QColor(const QColor& initial)> color;
};

// Installs hooks (nullptr removes them). Hooks not set fall back to the real dialogs.
void SetDialogHooks(const DialogHooks* hooks);

// Modal message box with an OK button.
void ShowAppMessage(QWidget* parent, const QString& text, const QString& caption = kAppCaption,
                    QMessageBox::Icon icon = QMessageBox::Warning);
// Modal question with Yes and No buttons; true for Yes.
bool AskAppQuestion(QWidget* parent, const QString& text, const QString& caption = kAppCaption,
                    QMessageBox::Icon icon = QMessageBox::Question);
// File-open dialog; the filter is written the classic way, "Text|*.a;*.b|Text|*.c|".
QStringList ChooseOpenFiles(QWidget* parent, const QString& filter, bool multi);
// File-save dialog; empty when cancelled.
QString ChooseSaveFile(QWidget* parent, const QString& filter);
// Colour dialog; an invalid colour when cancelled.
QColor ChooseColor(QWidget* parent, const QColor& initial);

// "Text|*.a;*.b|Text2|*.c|" as a Qt name filter list "Text (*.a *.b);;Text2 (*.c)".
QString QtNameFilters(const QString& pipeFilter);

} // namespace kestrova::app
