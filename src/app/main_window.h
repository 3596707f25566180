// The main window: the convert list with its sizes and totals, the preview, the buttons and
// menus that add, delete, preview and open entries, the options dialog, and the conversion
// with its progress bar and status line.
//
// The window owns the list, the one options record and the engine. During a conversion it
// is the engine's observer and prompt: the worker's calls arrive here on the window's thread
// through CWorkerBridge, one at a time and in order, while the worker waits.
#pragma once

#include "app/app_namespace.h"
#include "app/worker_bridge.h"
#include "engine/convert_engine.h"
#include "engine/convert_object.h"
#include "engine/convert_observer.h"
#include "engine/convert_options.h"

#include <QMainWindow>

#include <string>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace kestrova::app {

class BannerPicture;
class ListDropTarget;
class MFCBitmapViewerCtrl;

// The "Add Item" dialog's file types.
extern const QString kAddFilter;
// The address the Help menu's last item opens.
extern const char* const kProjectPage;

// The process-wide entry counter (0 at start); ids of new entries come from it.
extern int nextObjectId;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // optionsPath: the options file read at start and written when the window is destroyed.
    explicit MainWindow(std::string optionsPath = OptionsFilePath(), QWidget* parent = nullptr);
    ~MainWindow() override;

    // The initialisation the window runs before it is first shown: status text, options
    // file, list view, and in automatic mode the timer that starts the conversion.
    void Initialize();
    void SetAutoMode(bool on) { autoMode = on; }
    bool AutoMode() const { return autoMode; }

    // Convert-list operations.
    ConvertObject* AddObject(const std::string& path, bool refresh);
    bool DeleteObject(int id);
    void DeleteAllObjects();
    ConvertObject* FindObject(int id) const;
    ConvertObject* FindDuplicate(const std::string& path) const;
    void RefreshList();
    bool IsDroppableFile(const std::string& path) const;

    // Commands of the buttons, menus and context menu.
    void OnAddItem();
    void OnDeleteItem();
    void OnEmptyList();
    void OnOptions();
    void OnConvert();
    void OnOpenObject();
    void OnPlayMovie();
    void OnSelectionChanged();
    // The context menu as shown on a right click (the caller owns it).
    QMenu* BuildContextMenu();

    // Handlers of the window's messages: the list edits it sends itself and the worker's
    // notifications and questions, run on the window's thread.
    void OnDeleteAllObjectsMessage();
    void OnDeleteObjectMessage(int id);
    void OnShowFileName(int id);
    void OnIncrementProgress(int steps);
    void OnFinishedConvert();
    void OnShowState(const char* text);
    void OnShowMessage(const std::string& text, const std::string& caption);
    bool OnAskYesNo(const std::string& text, const std::string& caption);
    bool OnChooseSavePath(std::string& path);
    // The message handlers as the observer and prompt interfaces (on the window's thread).
    IConvertObserver& Messages() { return handlers; }
    IConvertPrompt& Questions() { return handlers; }

    // State and controls, for the program's start-up, the screenshots and the tests.
    ConvertObject* List() const { return list; }
    // Whether every entry of the list was converted by the last run.
    bool AllConverted() const;
    ConvertOptions& Options() { return options; }
    CConvertEngine& Engine() { return engine; }
    bool Converting() const { return converting; }
    const std::string& OptionsPath() const { return optionsPath; }
    QTableWidget* ListView() const { return listView; }
    QLineEdit* StatusLine() const { return statusEdit; }
    QLineEdit* TotalSizeEdit() const { return totalSizeEdit; }
    QLineEdit* ConvertedSizeEdit() const { return convertedSizeEdit; }
    QProgressBar* Progress() const { return progress; }
    QPushButton* ConvertButton() const { return convertButton; }
    QPushButton* AddButton() const { return addButton; }
    QPushButton* DeleteButton() const { return deleteButton; }
    QPushButton* EmptyButton() const { return emptyButton; }
    QPushButton* OptionsButton() const { return optionsButton; }
    QPushButton* PlayButton() const { return playButton; }
    QPushButton* OpenButton() const { return openButton; }
    QLabel* PlayIcon() const { return playIcon; }
    MFCBitmapViewerCtrl* Preview() const { return preview; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Binds the message interfaces to the window's handlers.
    class Handlers : public IConvertObserver, public IConvertPrompt {
    public:
        explicit Handlers(MainWindow& window) : window(window) {}
        void ShowFileName(int id) override { window.OnShowFileName(id); }
        void IncrementProgress(int steps) override { window.OnIncrementProgress(steps); }
        void FinishedConvert() override { window.OnFinishedConvert(); }
        void ShowState(const char* text) override { window.OnShowState(text); }
        void ShowMessage(const std::string& text, const std::string& caption) override {
            window.OnShowMessage(text, caption);
        }
        bool AskYesNo(const std::string& text, const std::string& caption) override {
            return window.OnAskYesNo(text, caption);
        }
        bool ChooseSavePath(std::string& path) override { return window.OnChooseSavePath(path); }

    private:
        MainWindow& window;
    };

    void BuildControls();
    void BuildMenus();
    void SetStatusLine(const QString& text);
    // Moves statusText and the totals into their controls.
    void UpdateControls();
    // Buttons that must not change the list or the options while the worker runs.
    void UpdateBusyState();
    void ShowPlayControls(bool show);
    void DisableSelectionCommands();
    // The id in column 0 of the first selected row, or -1.
    int SelectedId() const;
    void StartConvert();
    void CancelConvert();
    void StopWorker();
    // Writes the options file once, when the window closes or is destroyed.
    void SaveOptions();
    void ShowAbout();
    void ShowVersionDetails();

    BannerPicture* banner = nullptr;
    ListDropTarget* dropTarget = nullptr;
    MFCBitmapViewerCtrl* preview = nullptr;
    bool autoMode = false;
    std::string optionsPath;
    ConvertOptions options;
    QString addFilter;
    ConvertObject* list = nullptr;
    Handlers handlers{*this};
    CWorkerBridge bridge;
    CObserverRelay observerRelay;
    CPromptRelay promptRelay;
    CConvertEngine engine;
    QProgressBar* progress = nullptr;
    bool converting = false;
    bool deleteAllowed = false; // "Delete Item" as the selection left it
    bool listReady = false;     // the list view is built by Initialize
    bool optionsSaved = false;
    QTableWidget* listView = nullptr;
    QString statusText;
    QString totalSizeText;
    QString convertedSizeText;

    QLineEdit* statusEdit = nullptr;
    QLineEdit* totalSizeEdit = nullptr;
    QLineEdit* convertedSizeEdit = nullptr;
    QPushButton* addButton = nullptr;
    QPushButton* deleteButton = nullptr;
    QPushButton* emptyButton = nullptr;
    QPushButton* optionsButton = nullptr;
    QPushButton* convertButton = nullptr;
    QPushButton* playButton = nullptr;
    QPushButton* openButton = nullptr;
    QLabel* playIcon = nullptr;
    QAction* addAction = nullptr;
    QAction* optionsAction = nullptr;
};

} // namespace kestrova::app
