#include "app/options_dialog.h"
#include "app/app_namespace.h"

#include "app/format_pages.h"
#include "app/option_pages.h"
#include "app/small_controls.h"
#include "engine/convert_options.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrova::app {

COptionsDialog::COptionsDialog(QWidget* parent, ConvertOptions* options)
    : QDialog(parent), options(options) {
    setWindowTitle("Kestrova - Options");
    auto* layout = new QVBoxLayout(this);
    tabs = new PageTabCtrl(this);
    tabs->setIconSize(QSize(16, 16));
    tabs->tabBar()->setUsesScrollButtons(false);
    sizePage = new CSizePage;
    moviePage = new CMovieAnimationPage;
    lensPage = new CLensPage;
    formatPage = new CFormatPage;
    systemPage = new CSystemPage;
    sizePage->SetOptions(options);
    moviePage->SetOptions(options);
    lensPage->SetOptions(options);
    formatPage->SetRecord(options);
    systemPage->SetOptions(options);
    tabs->AddPage(sizePage, "Size Options", QIcon(":/art/tab_size.png"));
    tabs->AddPage(moviePage, "Movie Animation Options", QIcon(":/art/tab_animation.png"));
    tabs->AddPage(lensPage, "Camera Lens Effects", QIcon(":/art/tab_lens.png"));
    tabs->AddPage(formatPage, "Format Options", QIcon(":/art/tab_format.png"));
    tabs->AddPage(systemPage, "System Options", QIcon(":/art/tab_system.png"));
    tabs->SelectTab(0);
    tabs->SetTextColors(QColor(255, 0, 0), QColor(), QColor(), QColor(0, 0, 0));
    layout->addWidget(tabs, 1);

    okButton = new QPushButton("OK", this);
    defaultsButton = new QPushButton("Set Defaults", this);
    cancelButton = new QPushButton("Cancel", this);
    okButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(defaultsButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(defaultsButton, &QPushButton::clicked, this, &COptionsDialog::OnSetDefaults);

    lensPage->Load();
    sizePage->Load();
}

COptionsDialog::~COptionsDialog() {
    // The page on show keeps its last edits, even when the dialog was never hidden.
    if (auto* page = qobject_cast<COptionsPage*>(tabs->currentWidget())) {
        page->Store();
    }
}

void COptionsDialog::OnSetDefaults() {
    options->SetDefaults();
    formatPage->Load();
    sizePage->Load();
    moviePage->Load();
    systemPage->Load();
    lensPage->Load();
}

} // namespace kestrova::app
