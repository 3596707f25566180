// The options dialog: five tabbed pages editing the main window's options record in place.
// Every page stores its edits into the record when it is hidden, so "OK", "Cancel" and the
// close box all keep them.
#pragma once

#include "app/app_namespace.h"
#include <QDialog>

namespace kestrova::engine {
class ConvertOptions;
}
class QPushButton;

namespace kestrova::app {

class CFormatPage;
class CLensPage;
class CMovieAnimationPage;
class CSizePage;
class CSystemPage;
class PageTabCtrl;

class COptionsDialog : public QDialog {
    Q_OBJECT
public:
    COptionsDialog(QWidget* parent, ConvertOptions* options);
    ~COptionsDialog() override;

    // "Set Defaults": the record's defaults, then every page loaded from it.
    void OnSetDefaults();

    PageTabCtrl* Tabs() const { return tabs; }
    CSizePage* SizePage() const { return sizePage; }
    CMovieAnimationPage* MoviePage() const { return moviePage; }
    CLensPage* LensPage() const { return lensPage; }
    CFormatPage* FormatPage() const { return formatPage; }
    CSystemPage* SystemPage() const { return systemPage; }
    QPushButton* OkButton() const { return okButton; }
    QPushButton* DefaultsButton() const { return defaultsButton; }
    QPushButton* CancelButton() const { return cancelButton; }

private:
    ConvertOptions* options;
    PageTabCtrl* tabs;
    CSizePage* sizePage;
    CMovieAnimationPage* moviePage;
    CLensPage* lensPage;
    CFormatPage* formatPage;
    CSystemPage* systemPage;
    QPushButton* okButton;
    QPushButton* defaultsButton;
    QPushButton* cancelButton;
};

} // namespace kestrova::app
