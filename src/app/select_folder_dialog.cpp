#include "app/select_folder_dialog.h"
#include "app/app_namespace.h"

#include "app/app_dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kestrova::app {

CSelectFolderDialog::CSelectFolderDialog(bool showFiles, const QString& initialFolder,
                                         QFileDialog::Options flags, const QString& filter,
                                         QWidget* parent)
    : QFileDialog(parent), showFiles(showFiles) {
    // The folder edit and the relabelled controls exist only in Qt's own dialog.
    setOptions(flags | QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly, !showFiles);
    if (!filter.isEmpty()) {
        setNameFilters(QtNameFilters(filter).split(";;"));
    }
    if (!initialFolder.isEmpty()) {
        setDirectory(initialFolder);
    }
    setWindowTitle("Select folder");
    setLabelText(QFileDialog::FileName, "Current Folder");
    setLabelText(QFileDialog::Accept, "Select");
    if (!(showFiles && !filter.isEmpty())) {
        if (auto* typeLabel = findChild<QLabel*>("fileTypeLabel")) {
            typeLabel->hide();
        }
        if (auto* typeCombo = findChild<QComboBox*>("fileTypeCombo")) {
            typeCombo->hide();
        }
    }
    folderEdit = findChild<QLineEdit*>("fileNameEdit");
    if (folderEdit != nullptr) {
        auto follow = [this](const QString& folder) {
            folderEdit->setText(QDir::toNativeSeparators(folder));
        };
        connect(this, &QFileDialog::directoryEntered, this, follow);
        follow(directory().absolutePath());
        // A folder that does not exist yet may be typed: "Select" stays available for it.
        if (auto* box = findChild<QDialogButtonBox*>("buttonBox")) {
            connect(folderEdit, &QLineEdit::textChanged, this, [box] {
                for (QAbstractButton* button : box->buttons()) {
                    if (box->buttonRole(button) == QDialogButtonBox::AcceptRole) {
                        button->setEnabled(true);
                    }
                }
            });
        }
    }
}

void CSelectFolderDialog::accept() {
    QString text = folderEdit != nullptr ? folderEdit->text().trimmed() : QString();
    if (text.isEmpty()) {
        text = directory().absolutePath();
    } else if (QDir::isRelativePath(text)) {
        text = directory().absoluteFilePath(text);
    }
    if (TrySelect(text)) {
        QDialog::accept();
    }
}

bool CSelectFolderDialog::TrySelect(const QString& text) {
    if (text.contains("//") || text.contains("\\\\")) {
        ShowAppMessage(this, "Invalid Folder", kAppCaption, QMessageBox::Critical);
        return false;
    }
    QString folder = text;
    if (folder.size() > 1 && folder.endsWith('/')) {
        folder.chop(1);
    }
    if (!QFileInfo(folder).isDir()) {
        if (AskAppQuestion(this, folder + "\n\nThis path does not exist. Do you want to create it?",
                           kAppCaption)) {
            QDir().mkpath(folder);
            if (!QFileInfo(folder).isDir()) {
                ShowAppMessage(this, "Could not create folder:\n" + folder, kAppCaption,
                               QMessageBox::Critical);
                return false;
            }
        }
    }
    chosenFolder = folder.endsWith('/') ? folder : folder + "/";
    return true;
}

} // namespace kestrova::app
