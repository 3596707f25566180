// A folder chooser built on the file dialog: an edit shows (and takes) the folder being
// browsed, "Select" checks the folder, offers to create a missing one with its parents, and
// returns it with one trailing separator.
#pragma once

#include "app/app_namespace.h"
#include <QFileDialog>
#include <QString>

class QLineEdit;

namespace kestrova::app {

class CSelectFolderDialog : public QFileDialog {
    Q_OBJECT
public:
    // filter is written the classic way ("Text|*.a|"); flags are QFileDialog options.
    CSelectFolderDialog(bool showFiles, const QString& initialFolder,
                        QFileDialog::Options flags = {}, const QString& filter = QString(),
                        QWidget* parent = nullptr);
    ~CSelectFolderDialog() override = default;

    // The chosen folder, ending with "/".
    QString Folder() const { return chosenFolder; }
    // Checks a folder text as "Select" does; true (Folder() set) when the dialog may close.
    bool TrySelect(const QString& text);
    QLineEdit* FolderEdit() const { return folderEdit; }

public slots:
    void accept() override;

private:
    bool showFiles;
    QString chosenFolder;
    QLineEdit* folderEdit = nullptr;
};

} // namespace kestrova::app
