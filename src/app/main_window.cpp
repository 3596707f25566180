#include "app/main_window.h"
#include "app/app_namespace.h"

#include "app/app_dialogs.h"
#include "app/bitmap_viewer.h"
#include "app/list_drop_target.h"
#include "app/options_dialog.h"
#include "app/player_window.h"
#include "app/shell_open.h"
#include "app/small_controls.h"
#include "media/image_guess.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string_view>
#include <unistd.h>

#ifndef KESTROVA_VERSION
#define KESTROVA_VERSION "0.1"
#endif

namespace kestrova::app {

namespace {

// The classic list of the Add dialog, kept as it has always read (it names formats that are
// not read, such as .pax, and omits .jpeg).
const char* const kClassicAddFilter =
    "Supported Formats "
    "(.bmp;.jpg;.png;.pcx;.psd;.pax;.tga;.tls;.tiff;,tif;.wav;.avi)|*.bmp;*.jpg;*.png;*.pcx;*.psd;"
    "*.pax;*.tga;*.tls;*.tiff;*.tif;*.wav;*.avi|Windows Bitmap (.bmp)|*.bmp|Jpeg "
    "(.jpg)|*.jpg|Portable network graphic SWF (.png)|*.png|paint file (.pcx)|*.pcx|psd "
    "(.psd)|*.psd|pax (.pax)|*.pax|tga (.tga)|*.tga|tla (.tla)|*.tla|tiff "
    "(.tiff;.tif)|*.tiff;*.tif|wave sound (.wav)|*.wav|avi movie (.avi)|*.avi|";

// Movie containers read besides .avi; they take the .avi entry's settings.
const char* const kOtherMoviesFilter =
    "other movies (.asf;.mp4;.m4v;.mkv;.webm;.flv;.mpg;.mpeg;.3gp;.mov)|*.asf;*.mp4;*.m4v;*.mkv;"
    "*.webm;*.flv;*.mpg;*.mpeg;*.3gp;*.mov|";

// Extensions that drag and drop accepts besides the picture formats read beyond the classic
// list, lower case and without the dot.
constexpr std::string_view kDropExtensions[] = {
    "bmp", "jpg", "png", "pcx", "psd", "pax",  "tga", "wav", "tls",  "tiff", "tif",
    "avi", "asf", "mp4", "m4v", "mkv", "webm", "flv", "mpg", "mpeg", "3gp",  "mov"};

// The classic list, then one filter per label of the picture formats read beyond it (their
// rows in the format table, image_guess.h), then the other movie containers.
QString AddFilterText() {
    std::string text = kClassicAddFilter;
    const std::span<const ImageFormat> formats = ImageFormats();
    for (size_t i = 0; i < formats.size();) {
        if (formats[i].filterLabel == nullptr) {
            ++i;
            continue;
        }
        std::string listed;
        std::string patterns;
        const std::string_view label = formats[i].filterLabel;
        for (; i < formats.size() && formats[i].filterLabel != nullptr &&
               label == formats[i].filterLabel;
             ++i) {
            for (std::string_view extension : formats[i].extensions) {
                if (!extension.empty()) {
                    listed += (listed.empty() ? "." : ";.") + std::string(extension);
                    patterns += (patterns.empty() ? "*." : ";*.") + std::string(extension);
                }
            }
        }
        text += std::string(label) + " (" + listed + ")|" + patterns + "|";
    }
    return QString::fromStdString(text + kOtherMoviesFilter);
}

} // namespace

const QString kAddFilter = AddFilterText();

int nextObjectId = 0;

namespace {

const char* const kSaveFilter = "Flash Files (.swf)|*.swf|";

// The program's own page: the manual installed beside the program
// (<prefix>/share/doc/kestrova/README.md).
std::string ManualPath() {
    return QCoreApplication::applicationDirPath().toStdString() +
           "/../share/doc/kestrova/README.md";
}

// The change history shown by "Version Details...", newest first.
const char* const kChangeHistory[] = {
    "0.1  First release of the desktop window:",
    "     convert list with drag and drop, preview and totals,",
    "     options dialog with size, animation, lens, format and system pages,",
    "     conversion with progress and cancel, automatic mode (FILE /a).",
};

// The leading integer of a text, as the C library reads one ("12 Bytes" gives 12).
long long LeadingInteger(const QString& text) {
    return std::strtoll(text.toStdString().c_str(), nullptr, 10);
}

QString ToQ(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

MainWindow::MainWindow(std::string optionsPath, QWidget* parent)
    : QMainWindow(parent), optionsPath(std::move(optionsPath)), addFilter(kAddFilter),
      bridge(this, [this] { return engine.IsCancelRequested(); }), observerRelay(bridge, handlers),
      promptRelay(bridge, handlers), engine(&promptRelay) {
    setWindowTitle("Kestrova");
    setWindowIcon(QIcon(":/art/kestrova.png"));
    BuildControls();
    BuildMenus();
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

MainWindow::~MainWindow() {
    StopWorker();
    SaveOptions();
    while (list != nullptr) {
        ConvertObject* next = list->next;
        delete list;
        list = next;
    }
}

void MainWindow::BuildControls() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 8);

    banner = new BannerPicture(":/art/banner.png", central);
    layout->addWidget(banner);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(10, 4, 10, 0);
    layout->addLayout(body);

    // The list with the preview beside it.
    auto* upper = new QHBoxLayout;
    body->addLayout(upper, 1);
    listView = new QTableWidget(0, 4, central);
    listView->setObjectName("convertList");
    listView->setHorizontalHeaderLabels({"ID", "File Name", "Size", "Converted Size"});
    for (int column = 0; column < 4; ++column) {
        listView->horizontalHeaderItem(column)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    listView->setColumnWidth(0, 52);
    listView->setColumnWidth(1, 280);
    listView->setColumnWidth(2, 100);
    listView->setColumnWidth(3, 110);
    listView->horizontalHeader()->setStretchLastSection(true);
    listView->verticalHeader()->hide();
    listView->verticalHeader()->setDefaultSectionSize(20);
    listView->setSelectionBehavior(QAbstractItemView::SelectRows);
    listView->setSelectionMode(QAbstractItemView::SingleSelection);
    listView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listView->setShowGrid(true);
    listView->setWordWrap(false);
    listView->setTextElideMode(Qt::ElideLeft);
    listView->setIconSize(QSize(16, 16));
    listView->setContextMenuPolicy(Qt::CustomContextMenu);
    listView->setMinimumWidth(420);
    upper->addWidget(listView, 1);
    connect(listView, &QTableWidget::itemSelectionChanged, this, &MainWindow::OnSelectionChanged);
    connect(listView, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        QMenu* menu = BuildContextMenu();
        menu->exec(listView->viewport()->mapToGlobal(pos) + QPoint(0, 12));
        delete menu;
    });

    auto* side = new QVBoxLayout;
    upper->addLayout(side);
    auto* previewGroup = new QGroupBox("Preview", central);
    auto* previewLayout = new QVBoxLayout(previewGroup);
    preview = new MFCBitmapViewerCtrl(previewGroup);
    preview->setFixedSize(preview->sizeHint());
    previewLayout->addWidget(preview, 0, Qt::AlignHCenter);
    side->addWidget(previewGroup);
    auto* playRow = new QHBoxLayout;
    playIcon = new QLabel(central);
    playIcon->setPixmap(QPixmap(":/art/list_movie.png"));
    playIcon->hide();
    playButton = new QPushButton("Play SWF Movie", central);
    playButton->setEnabled(false);
    playButton->hide();
    playRow->addWidget(playIcon);
    playRow->addWidget(playButton, 1);
    side->addLayout(playRow);
    openButton = new QPushButton("Open Object", central);
    openButton->setEnabled(false);
    side->addWidget(openButton);
    side->addStretch(1);
    connect(playButton, &QPushButton::clicked, this, &MainWindow::OnPlayMovie);
    connect(openButton, &QPushButton::clicked, this, &MainWindow::OnOpenObject);

    // The list commands and the conversion.
    auto* buttons = new QHBoxLayout;
    body->addLayout(buttons);
    addButton = new QPushButton("Add Item", central);
    deleteButton = new QPushButton("Delete Item", central);
    emptyButton = new QPushButton("Empty List", central);
    optionsButton = new QPushButton(" Options", central);
    convertButton = new QPushButton("Convert", central);
    convertButton->setMinimumWidth(120);
    convertButton->setDefault(true);
    for (QPushButton* button : {addButton, deleteButton, emptyButton, optionsButton}) {
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    buttons->addWidget(convertButton);
    connect(addButton, &QPushButton::clicked, this, &MainWindow::OnAddItem);
    connect(deleteButton, &QPushButton::clicked, this, &MainWindow::OnDeleteItem);
    connect(emptyButton, &QPushButton::clicked, this, &MainWindow::OnEmptyList);
    connect(optionsButton, &QPushButton::clicked, this, &MainWindow::OnOptions);
    connect(convertButton, &QPushButton::clicked, this, &MainWindow::OnConvert);

    // Totals, status line and progress.
    auto* totals = new QHBoxLayout;
    body->addLayout(totals);
    totalSizeEdit = new QLineEdit(central);
    convertedSizeEdit = new QLineEdit(central);
    statusEdit = new QLineEdit(central);
    for (QLineEdit* edit : {totalSizeEdit, convertedSizeEdit, statusEdit}) {
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::NoFocus);
    }
    totalSizeEdit->setMaximumWidth(110);
    convertedSizeEdit->setMaximumWidth(110);
    totals->addWidget(new QLabel("Total Size :", central));
    totals->addWidget(totalSizeEdit);
    totals->addSpacing(16);
    totals->addWidget(new QLabel("Total Converted Size :", central));
    totals->addWidget(convertedSizeEdit);
    totals->addStretch(1);
    body->addWidget(statusEdit);
    progress = new QProgressBar(central);
    progress->setTextVisible(false);
    progress->setRange(0, 100);
    progress->setValue(0);
    body->addWidget(progress);

    setCentralWidget(central);
    dropTarget = new ListDropTarget(this);
    resize(820, 600);
}

void MainWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu("File");
    addAction = file->addAction("Add Item", this, &MainWindow::OnAddItem);
    file->addAction("Convert...", this, &MainWindow::OnConvert);
    file->addSeparator();
    file->addAction("Exit", this, &QWidget::close);
    QMenu* optionsMenu = menuBar()->addMenu("Options");
    optionsAction = optionsMenu->addAction("Convert Options", this, &MainWindow::OnOptions);
    QMenu* help = menuBar()->addMenu("Help");
    help->addAction("About Kestrova", this, &MainWindow::ShowAbout);
    help->addAction("Version Details...", this, &MainWindow::ShowVersionDetails);
    help->addSeparator();
    help->addAction("Kestrova Manual", this, [] { ShellOpen(ManualPath()); });
}

void MainWindow::Initialize() {
    statusText = "Ready...";
    // No options file yet is the normal first start: the defaults are used without a word
    // and the file is written at exit. Only a file that is there but unreadable is reported.
    std::vector<std::string> warnings;
    bool present = access(optionsPath.c_str(), F_OK) == 0;
    if (!options.LoadOptionsFile(optionsPath, &warnings) && present) {
        ShowAppMessage(this, "Options couldn't be loaded successfully, useing defaults");
    }
    for (const std::string& warning : warnings) {
        std::fprintf(stderr, "kestrova: options file %s: %s\n", optionsPath.c_str(),
                     warning.c_str());
    }
    if (options.tempDirectory.empty()) {
        options.tempDirectory = SystemTempDirectory();
    }
    converting = false;
    listReady = true;
    dropTarget->Register(listView->viewport(), this);
    deleteButton->setEnabled(false);
    deleteAllowed = false;
    RefreshList();
    progress->setRange(0, 100);
    progress->setValue(0);
    UpdateControls();
    UpdateBusyState();
    if (autoMode) {
        QTimer::singleShot(500, this, &MainWindow::OnConvert);
    }
}

void MainWindow::SaveOptions() {
    if (optionsSaved) {
        return;
    }
    optionsSaved = true;
    if (!options.SaveOptionsFile(optionsPath)) {
        ShowAppMessage(nullptr, "Error saveing options file");
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    StopWorker();
    SaveOptions();
    event->accept();
}

ConvertObject* MainWindow::AddObject(const std::string& path, bool refresh) {
    if (FindDuplicate(path) != nullptr) {
        statusText = "Duplicate Object Error Occured";
        SetStatusLine(statusText);
        ShowAppMessage(this, "Duplicate Object Error , Object with the same file name was found "
                             "in the object list!\nFile:" +
                                 ToQ(path));
        return nullptr;
    }
    SetStatusLine("Adding Object");
    auto* entry = new ConvertObject;
    entry->convertedSize = -1;
    if (list == nullptr) {
        list = entry;
    } else {
        ConvertObject* last = list;
        while (last->next != nullptr) {
            last = last->next;
        }
        last->next = entry;
        entry->prev = last;
        ++nextObjectId;
    }
    entry->id = nextObjectId;
    entry->path = path;
    std::error_code error;
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (file && !std::filesystem::is_directory(path, error)) {
        auto length = static_cast<long long>(file.tellg());
        entry->size = static_cast<int>(std::clamp<long long>(length, -1, INT_MAX));
    } else {
        entry->path = " - Error Scanning file!! - " + path;
    }
    if (refresh) {
        RefreshList();
    }
    SetStatusLine("Ready...");
    return entry;
}

bool MainWindow::DeleteObject(int id) {
    SetStatusLine("Deleteing Object");
    ConvertObject* entry = FindObject(id);
    if (entry == nullptr) {
        return false;
    }
    if (entry->prev != nullptr) {
        entry->prev->next = entry->next;
    } else {
        list = entry->next;
    }
    if (entry->next != nullptr) {
        entry->next->prev = entry->prev;
    }
    delete entry;
    SetStatusLine("Ready...");
    return true;
}

void MainWindow::DeleteAllObjects() {
    while (list != nullptr) {
        ConvertObject* next = list->next;
        delete list;
        list = next;
    }
}

ConvertObject* MainWindow::FindObject(int id) const {
    for (ConvertObject* entry = list; entry != nullptr; entry = entry->next) {
        if (entry->id == id) {
            return entry;
        }
    }
    return nullptr;
}

ConvertObject* MainWindow::FindDuplicate(const std::string& path) const {
    for (ConvertObject* entry = list; entry != nullptr; entry = entry->next) {
        if (entry->path == path) {
            return entry;
        }
    }
    return nullptr;
}

void MainWindow::RefreshList() {
    if (!listReady) {
        return;
    }
    {
        // The rows are rebuilt in one go; the selection is looked at once afterwards.
        QSignalBlocker block(listView);
        listView->setRowCount(0);
        auto addRow = [this](const QIcon& icon, const QStringList& texts) {
            int row = listView->rowCount();
            listView->insertRow(row);
            for (int column = 0; column < 4; ++column) {
                auto* item = new QTableWidgetItem(texts.value(column));
                if (column == 0 && !icon.isNull()) {
                    item->setIcon(icon);
                }
                listView->setItem(row, column, item);
            }
        };
        if (list == nullptr) {
            addRow(QIcon(), {"-1", "No Objects To List...", "", ""});
        }
        static const char* const kindIcons[] = {":/art/list_image.png", ":/art/list_audio.png",
                                                ":/art/list_movie.png"};
        for (ConvertObject* entry = list; entry != nullptr; entry = entry->next) {
            int index = FormatIndexOf(entry->path, options);
            int kind = index < 0 ? KindStaticImage : FormatKind(options.formats[index]);
            QString converted = entry->convertedSize > 0
                                    ? QString("%1 Bytes").arg(entry->convertedSize)
                                    : QString();
            addRow(QIcon(kindIcons[kind - 1]), {QString::number(entry->id), ToQ(entry->path),
                                                QString("%1 Bytes").arg(entry->size), converted});
            listView->item(listView->rowCount() - 1, 0)->setData(Qt::UserRole, kind);
        }
    }
    long long total = 0;
    long long totalConverted = 0;
    for (int row = 0; row < listView->rowCount(); ++row) {
        total += LeadingInteger(listView->item(row, 2)->text());
        totalConverted += LeadingInteger(listView->item(row, 3)->text());
    }
    totalSizeText = QString("%1 Kb").arg(std::max(total, 0LL) / 1000);
    convertedSizeText = QString("%1 Kb").arg(std::max(totalConverted, 0LL) / 1000);
    UpdateControls();
    OnSelectionChanged();
}

bool MainWindow::IsDroppableFile(const std::string& path) const {
    size_t dot = path.rfind('.');
    std::string extension = dot == std::string::npos ? path : path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const ImageFormat* picture = ImageFormatOfExtension(extension);
    return (picture != nullptr && picture->filterLabel != nullptr) ||
           std::any_of(std::begin(kDropExtensions), std::end(kDropExtensions),
                       [&](std::string_view known) { return extension == known; });
}

void MainWindow::SetStatusLine(const QString& text) {
    statusEdit->setText(text);
}

void MainWindow::UpdateControls() {
    statusEdit->setText(statusText);
    totalSizeEdit->setText(totalSizeText);
    convertedSizeEdit->setText(convertedSizeText);
}

void MainWindow::UpdateBusyState() {
    for (QWidget* control : {static_cast<QWidget*>(addButton), static_cast<QWidget*>(emptyButton),
                             static_cast<QWidget*>(optionsButton)}) {
        control->setEnabled(!converting);
    }
    addAction->setEnabled(!converting);
    optionsAction->setEnabled(!converting);
    deleteButton->setEnabled(!converting && deleteAllowed);
}

void MainWindow::ShowPlayControls(bool show) {
    playButton->setEnabled(show);
    playButton->setVisible(show);
    playIcon->setVisible(show);
}

void MainWindow::DisableSelectionCommands() {
    deleteAllowed = false;
    deleteButton->setEnabled(false);
    openButton->setEnabled(false);
    ShowPlayControls(false);
}

int MainWindow::SelectedId() const {
    QList<QTableWidgetItem*> selected = listView->selectedItems();
    if (selected.isEmpty()) {
        return -1;
    }
    QTableWidgetItem* idItem = listView->item(selected.first()->row(), 0);
    return idItem != nullptr ? static_cast<int>(LeadingInteger(idItem->text())) : -1;
}

void MainWindow::OnSelectionChanged() {
    if (listView->selectedItems().isEmpty()) {
        DisableSelectionCommands();
        preview->ClearImage();
        return;
    }
    deleteAllowed = true;
    UpdateBusyState();
    openButton->setEnabled(true);
    ConvertObject* entry = FindObject(SelectedId());
    if (entry == nullptr) {
        return;
    }
    // Only a converted entry has a movie to play; while the worker runs it owns the results.
    ShowPlayControls(!converting && entry->result != 0);
    preview->SetImage(entry->path, &options);
    preview->update();
}

QMenu* MainWindow::BuildContextMenu() {
    auto* menu = new QMenu(this);
    auto add = [menu](const QString& text, QWidget* control, auto handler) {
        QAction* action = menu->addAction(text, handler);
        action->setEnabled(control->isEnabled());
        return action;
    };
    add("Add Item(s)", addButton, [this] { OnAddItem(); });
    add("Delete Item", deleteButton, [this] { OnDeleteItem(); });
    add("Delete All", emptyButton, [this] { OnEmptyList(); });
    add("Open Object", openButton, [this] { OnOpenObject(); });
    add("Play SWF Movie", playButton, [this] { OnPlayMovie(); });
    return menu;
}

void MainWindow::OnAddItem() {
    if (converting) {
        return;
    }
    QStringList paths = ChooseOpenFiles(this, addFilter, true);
    for (const QString& path : paths) {
        AddObject(path.toStdString(), false);
    }
    RefreshList();
}

void MainWindow::OnDeleteItem() {
    if (converting) {
        return;
    }
    int id = SelectedId();
    DisableSelectionCommands();
    OnDeleteObjectMessage(id);
}

void MainWindow::OnEmptyList() {
    if (converting) {
        return;
    }
    DisableSelectionCommands();
    OnDeleteAllObjectsMessage();
}

void MainWindow::OnDeleteAllObjectsMessage() {
    SetStatusLine("Deleteing All Objects");
    DeleteAllObjects();
    SetStatusLine("Ready...");
    RefreshList();
}

void MainWindow::OnDeleteObjectMessage(int id) {
    DeleteObject(id);
    RefreshList();
}

void MainWindow::OnOptions() {
    if (converting) {
        return;
    }
    COptionsDialog dialog(this, &options);
    dialog.exec();
    if (options.tempDirectory.empty()) {
        options.tempDirectory = SystemTempDirectory();
    }
}

void MainWindow::OnConvert() {
    if (list == nullptr) {
        return;
    }
    if (!converting) {
        StartConvert();
    } else {
        CancelConvert();
    }
}

void MainWindow::StartConvert() {
    statusText = statusEdit->text();
    int count = 0;
    for (ConvertObject* entry = list; entry != nullptr; entry = entry->next) {
        ++count;
    }
    progress->setRange(0, 3 * count);
    progress->setValue(0);
    converting = true;
    convertButton->setText("Cancel Convert");
    UpdateBusyState();
    // A worker that has just reported its end may still be on its way out.
    engine.Wait();
    if (!engine.StartConversion(&observerRelay, list, &options)) {
        converting = false;
        convertButton->setText("Convert");
        UpdateBusyState();
        return;
    }
    setCursor(Qt::BusyCursor);
}

void MainWindow::StopWorker() {
    // The order matters: the cancel flag first, then the waiting worker released, then the
    // join (the worker can no longer block on this thread).
    engine.RequestCancel();
    bridge.Abandon();
    engine.CancelConversion();
}

void MainWindow::CancelConvert() {
    StopWorker();
    convertButton->setText("Convert");
    converting = false;
    SetStatusLine("");
    progress->setValue(0);
    statusText = "Convert Cancled";
    unsetCursor();
    RefreshList();
    UpdateBusyState();
}

void MainWindow::OnShowFileName(int id) {
    ConvertObject* entry = FindObject(id);
    if (entry != nullptr) {
        SetStatusLine("..." + ToQ(entry->path).right(30));
        return;
    }
    SetStatusLine("object not found error...");
    ShowAppMessage(this, "Error, during converstion\nObject could not be found!");
}

void MainWindow::OnIncrementProgress(int steps) {
    progress->setValue(progress->value() + steps);
}

void MainWindow::OnFinishedConvert() {
    converting = false;
    convertButton->setText("Convert");
    progress->setValue(0);
    SetStatusLine("");
    statusText = "Ready..";
    unsetCursor();
    RefreshList();
    UpdateBusyState();
    if (autoMode) {
        QTimer::singleShot(500, this, &QWidget::close);
    }
}

bool MainWindow::AllConverted() const {
    for (const ConvertObject* entry = list; entry != nullptr; entry = entry->next) {
        if (entry->result != 1) {
            return false;
        }
    }
    return true;
}

void MainWindow::OnShowState(const char* text) {
    SetStatusLine(QString::fromUtf8(text));
}

void MainWindow::OnShowMessage(const std::string& text, const std::string& caption) {
    ShowAppMessage(this, ToQ(text), caption.empty() ? QString(kAppCaption) : ToQ(caption));
}

bool MainWindow::OnAskYesNo(const std::string& text, const std::string& caption) {
    return AskAppQuestion(this, ToQ(text), caption.empty() ? QString(kAppCaption) : ToQ(caption));
}

bool MainWindow::OnChooseSavePath(std::string& path) {
    QString chosen = ChooseSaveFile(this, kSaveFilter);
    if (chosen.isEmpty()) {
        return false;
    }
    path = chosen.toStdString();
    return true;
}

void MainWindow::OnOpenObject() {
    ConvertObject* entry = FindObject(SelectedId());
    if (entry == nullptr) {
        return;
    }
    if (ShellOpen(entry->path) <= 32) {
        ShowAppMessage(this, "You do not have a default program associated with this file type");
    }
}

void MainWindow::OnPlayMovie() {
    if (converting) {
        return;
    }
    ConvertObject* entry = FindObject(SelectedId());
    if (entry != nullptr && entry->result != 0) {
        QString error;
        if (OpenPlayerWindow(QString::fromStdString(entry->outputPath), this, &error) == nullptr) {
            ShowAppMessage(this, error);
        }
    }
}

void MainWindow::ShowAbout() {
    QMessageBox::about(this, "About Kestrova",
                       QString("<b>Kestrova</b> version %1<br><br>Converts pictures, sound and "
                               "movies into Flash (SWF) movies.")
                           .arg(KESTROVA_VERSION));
}

void MainWindow::ShowVersionDetails() {
    QDialog dialog(this);
    dialog.setWindowTitle("Version Information");
    auto* layout = new QVBoxLayout(&dialog);
    auto* history = new QListWidget(&dialog);
    for (const char* line : kChangeHistory) {
        history->addItem(line);
    }
    layout->addWidget(history);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    dialog.resize(460, 240);
    dialog.exec();
}

} // namespace kestrova::app
