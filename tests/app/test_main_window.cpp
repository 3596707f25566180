// The main window's list: adding, duplicates, unreadable files, ids, deleting, totals, icons,
// the context menu, selection, drag and drop, opening entries and the options file.
#include "app/app_test_support.h"
#include "app/bitmap_viewer.h"
#include "app/main_window.h"
#include "app/shell_open.h"
#include "support/test_util.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

using apptest::DialogRecorder;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.Ok());
        ConvertOptions defaults;
        ASSERT_TRUE(defaults.SaveOptionsFile(OptionsFile()));
    }

    std::string OptionsFile() const { return dir.File("kestrova.ini"); }

    std::unique_ptr<MainWindow> MakeWindow() {
        auto window = std::make_unique<MainWindow>(OptionsFile());
        window->Initialize();
        return window;
    }

    std::string File(const std::string& name, size_t size = 100) {
        std::string path = dir.File(name);
        apptest::WriteBytes(path, size);
        return path;
    }

    static QString Cell(MainWindow& window, int row, int column) {
        QTableWidgetItem* item = window.ListView()->item(row, column);
        return item != nullptr ? item->text() : QString("<none>");
    }

    static int Count(MainWindow& window) {
        int count = 0;
        for (ConvertObject* entry = window.List(); entry != nullptr; entry = entry->next) {
            ++count;
        }
        return count;
    }

    testutil::TempDir dir;
    DialogRecorder dialogs;
};

TEST_F(MainWindowTest, EmptyListShowsOnePlaceholderRowAndZeroTotals) {
    auto window = MakeWindow();
    ASSERT_EQ(window->ListView()->rowCount(), 1);
    EXPECT_EQ(Cell(*window, 0, 0), "-1");
    EXPECT_EQ(Cell(*window, 0, 1), "No Objects To List...");
    EXPECT_EQ(window->TotalSizeEdit()->text(), "0 Kb");
    EXPECT_EQ(window->ConvertedSizeEdit()->text(), "0 Kb");
    EXPECT_EQ(window->StatusLine()->text(), "Ready...");
    EXPECT_FALSE(window->DeleteButton()->isEnabled());
    EXPECT_FALSE(window->OpenButton()->isEnabled());
    EXPECT_TRUE(window->PlayButton()->isHidden());
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MainWindowTest, AddingShowsSizesAndTotalsInKilobytes) {
    auto window = MakeWindow();
    std::string a = File("a.jpg", 1500);
    std::string b = File("b.png", 2600);
    ASSERT_NE(window->AddObject(a, true), nullptr);
    ASSERT_NE(window->AddObject(b, true), nullptr);
    ASSERT_EQ(window->ListView()->rowCount(), 2);
    EXPECT_EQ(Cell(*window, 0, 1), QString::fromStdString(a));
    EXPECT_EQ(Cell(*window, 0, 2), "1500 Bytes");
    EXPECT_EQ(Cell(*window, 1, 2), "2600 Bytes");
    EXPECT_EQ(Cell(*window, 0, 3), "");
    EXPECT_EQ(window->TotalSizeEdit()->text(), "4 Kb");
    EXPECT_EQ(window->ConvertedSizeEdit()->text(), "0 Kb");
    EXPECT_EQ(window->StatusLine()->text(), "Ready...");
    ConvertObject* first = window->List();
    EXPECT_EQ(first->next->id, first->id + 1);
    EXPECT_EQ(first->next->prev, first);
    EXPECT_EQ(first->convertedSize, -1);
    EXPECT_EQ(first->outputPath, "none");
}

TEST_F(MainWindowTest, ConvertedSizesAppearOnlyWhenPositive) {
    auto window = MakeWindow();
    window->AddObject(File("a.jpg", 10), false);
    window->AddObject(File("b.jpg", 10), false);
    window->List()->convertedSize = 2500;
    window->List()->next->convertedSize = -1;
    window->RefreshList();
    EXPECT_EQ(Cell(*window, 0, 3), "2500 Bytes");
    EXPECT_EQ(Cell(*window, 1, 3), "");
    EXPECT_EQ(window->ConvertedSizeEdit()->text(), "2 Kb");
}

TEST_F(MainWindowTest, DuplicatePathIsRefusedButOtherLetterCaseIsAccepted) {
    auto window = MakeWindow();
    std::string lower = File("photo.jpg");
    std::string upper = File("PHOTO.jpg");
    ASSERT_NE(window->AddObject(lower, true), nullptr);
    EXPECT_EQ(window->AddObject(lower, true), nullptr);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].toStdString(),
              "Duplicate Object Error , Object with the same file name was found in the object "
              "list!\nFile:" +
                  lower);
    EXPECT_EQ(window->StatusLine()->text(), "Duplicate Object Error Occured");
    EXPECT_EQ(Count(*window), 1);
    EXPECT_NE(window->AddObject(upper, true), nullptr);
    EXPECT_EQ(Count(*window), 2);
    // The refused path left its text for the next refresh.
    EXPECT_EQ(window->StatusLine()->text(), "Ready...");
    window->RefreshList();
    EXPECT_EQ(window->StatusLine()->text(), "Duplicate Object Error Occured");
}

TEST_F(MainWindowTest, UnreadableFileIsAddedWithErrorPrefixAndMinusOne) {
    auto window = MakeWindow();
    std::string missing = dir.File("gone.jpg");
    ConvertObject* entry = window->AddObject(missing, true);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->path, " - Error Scanning file!! - " + missing);
    EXPECT_EQ(entry->size, -1);
    EXPECT_EQ(Cell(*window, 0, 2), "-1 Bytes");
    EXPECT_EQ(window->TotalSizeEdit()->text(), "0 Kb");
}

TEST_F(MainWindowTest, IdsContinueFromTheLastOneAfterEmptyingTheList) {
    auto window = MakeWindow();
    std::vector<int> ids;
    for (const char* name : {"1.jpg", "2.jpg", "3.jpg"}) {
        ids.push_back(window->AddObject(File(name), false)->id);
    }
    EXPECT_EQ(ids[1], ids[0] + 1);
    EXPECT_EQ(ids[2], ids[0] + 2);
    window->OnEmptyList();
    EXPECT_EQ(window->List(), nullptr);
    EXPECT_EQ(Cell(*window, 0, 1), "No Objects To List...");
    EXPECT_EQ(window->StatusLine()->text(), "Ready...");
    int again = window->AddObject(File("4.jpg"), false)->id;
    int next = window->AddObject(File("5.jpg"), false)->id;
    EXPECT_EQ(again, ids[2]);
    EXPECT_EQ(next, ids[2] + 1);
}

TEST_F(MainWindowTest, DeleteItemRemovesTheSelectedEntryAndRelinksTheList) {
    auto window = MakeWindow();
    std::string a = File("a.jpg");
    std::string b = File("b.jpg");
    std::string c = File("c.jpg");
    for (const std::string& path : {a, b, c}) {
        window->AddObject(path, false);
    }
    window->RefreshList();
    window->ListView()->selectRow(1);
    EXPECT_TRUE(window->DeleteButton()->isEnabled());
    EXPECT_TRUE(window->OpenButton()->isEnabled());
    window->OnDeleteItem();
    ASSERT_EQ(Count(*window), 2);
    EXPECT_EQ(window->List()->path, a);
    EXPECT_EQ(window->List()->next->path, c);
    EXPECT_EQ(window->List()->next->prev, window->List());
    EXPECT_EQ(window->ListView()->rowCount(), 2);
    EXPECT_FALSE(window->DeleteButton()->isEnabled());
    // The first entry's removal makes its successor the first.
    EXPECT_TRUE(window->DeleteObject(window->List()->id));
    EXPECT_EQ(window->List()->path, c);
    EXPECT_EQ(window->List()->prev, nullptr);
    EXPECT_FALSE(window->DeleteObject(12345678));
}

TEST_F(MainWindowTest, IconsFollowTheKindOfTheExtension) {
    auto window = MakeWindow();
    for (const char* name : {"photo.TIFF", "clip.AVI", "tone.wav", "song.mp3", "odd.xyz"}) {
        window->AddObject(File(name), false);
    }
    window->RefreshList();
    std::vector<int> kinds;
    for (int row = 0; row < window->ListView()->rowCount(); ++row) {
        QTableWidgetItem* item = window->ListView()->item(row, 0);
        kinds.push_back(item->data(Qt::UserRole).toInt());
        EXPECT_FALSE(item->icon().isNull());
    }
    EXPECT_EQ(kinds, (std::vector<int>{KindStaticImage, KindMovieFile, KindAudioFile, KindAudioFile,
                                       KindStaticImage}));
}

TEST_F(MainWindowTest, ContextMenuGraysTheCommandsWhoseButtonsAreDisabled) {
    auto window = MakeWindow();
    window->AddObject(File("a.jpg"), true);
    auto texts = [](QMenu* menu) {
        std::vector<std::pair<std::string, bool>> items;
        for (QAction* action : menu->actions()) {
            items.emplace_back(action->text().toStdString(), action->isEnabled());
        }
        return items;
    };
    std::unique_ptr<QMenu> menu(window->BuildContextMenu());
    using Items = std::vector<std::pair<std::string, bool>>;
    EXPECT_EQ(texts(menu.get()), (Items{{"Add Item(s)", true},
                                        {"Delete Item", false},
                                        {"Delete All", true},
                                        {"Open Object", false},
                                        {"Play SWF Movie", false}}));
    window->ListView()->selectRow(0);
    menu.reset(window->BuildContextMenu());
    EXPECT_EQ(texts(menu.get()), (Items{{"Add Item(s)", true},
                                        {"Delete Item", true},
                                        {"Delete All", true},
                                        {"Open Object", true},
                                        {"Play SWF Movie", false}}));
    // "Delete All" empties the list like the "Empty List" button.
    menu->actions()[2]->trigger();
    EXPECT_EQ(window->List(), nullptr);
}

TEST_F(MainWindowTest, SelectionOffersPlayOnlyForConvertedEntriesAndShowsThePreview) {
    auto window = MakeWindow();
    std::string picture = dir.File("pic.png");
    ASSERT_TRUE(apptest::WritePicture(picture, 40, 30));
    window->AddObject(picture, false);
    window->AddObject(File("b.jpg"), false);
    window->RefreshList();
    window->List()->result = 1;
    window->List()->outputPath = dir.File("pic.swf");
    window->ListView()->selectRow(0);
    EXPECT_TRUE(window->PlayButton()->isEnabled());
    EXPECT_FALSE(window->PlayButton()->isHidden());
    EXPECT_FALSE(window->PlayIcon()->isHidden());
    EXPECT_EQ(window->Preview()->Picture().Width(), 40u);
    window->ListView()->selectRow(1);
    EXPECT_FALSE(window->PlayButton()->isEnabled());
    EXPECT_TRUE(window->PlayButton()->isHidden());
    window->ListView()->clearSelection();
    EXPECT_TRUE(window->Preview()->Picture().IsEmpty());
    EXPECT_FALSE(window->OpenButton()->isEnabled());
}

TEST_F(MainWindowTest, OpenAndPlayGoThroughTheShell) {
    std::vector<std::string> opened;
    int result = 2;
    SetShellOpenHook([&](const std::string& target) {
        opened.push_back(target);
        return result;
    });
    auto window = MakeWindow();
    std::string source = dir.File("a.jpg");
    ASSERT_TRUE(apptest::WritePicture(source, 8, 8));
    window->AddObject(source, true);
    window->ListView()->selectRow(0);
    window->OnPlayMovie(); // not converted: nothing
    EXPECT_TRUE(opened.empty());
    window->OnOpenObject();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], source);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "You do not have a default program associated with this file "
                                   "type");
    result = kShellOpened;
    window->OnOpenObject();
    EXPECT_EQ(dialogs.messages.size(), 1u);
    window->List()->result = 1;
    window->List()->outputPath = dir.File("a.swf");
    window->OnPlayMovie();
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[2], dir.File("a.swf"));
    SetShellOpenHook(nullptr);
}

TEST_F(MainWindowTest, AddItemAddsTheChosenFilesInOrderWithTheFilter) {
    auto window = MakeWindow();
    std::string a = File("a.tla");
    std::string b = File("b.mp3");
    dialogs.files.push_back({QString::fromStdString(a), QString::fromStdString(b)});
    window->OnAddItem();
    ASSERT_EQ(Count(*window), 2);
    EXPECT_EQ(window->List()->path, a);
    EXPECT_EQ(window->List()->next->path, b);
    ASSERT_EQ(dialogs.filters.size(), 1u);
    EXPECT_EQ(dialogs.filters[0], kAddFilter);
    EXPECT_EQ(window->ListView()->rowCount(), 2);
}

TEST_F(MainWindowTest, DroppingFilesAddsOnlyDroppableOnes) {
    auto window = MakeWindow();
    window->show();
    QList<QUrl> urls;
    for (const char* name : {"a.jpg", "b.tla", "c.WAV", "d.tla", "e.avi", "f.mp3"}) {
        urls << QUrl::fromLocalFile(QString::fromStdString(File(name)));
    }
    QMimeData data;
    data.setUrls(urls);
    QWidget* viewport = window->ListView()->viewport();
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    ASSERT_EQ(Count(*window), 3);
    EXPECT_EQ(window->ListView()->rowCount(), 3);
    EXPECT_EQ(window->List()->path, dir.File("a.jpg"));
    EXPECT_EQ(window->List()->next->path, dir.File("c.WAV"));

    QMimeData text;
    text.setText("not files");
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(MainWindowTest, DroppableFilesAreKnownByTheirLastExtension) {
    auto window = MakeWindow();
    EXPECT_TRUE(window->IsDroppableFile("/x/scan.TIFF"));
    EXPECT_TRUE(window->IsDroppableFile("/x/a.b.tif"));
    EXPECT_TRUE(window->IsDroppableFile("/x/old.tls"));
    EXPECT_FALSE(window->IsDroppableFile("/x/b.tla"));
    EXPECT_FALSE(window->IsDroppableFile("/x/a.mp3"));
    EXPECT_FALSE(window->IsDroppableFile("/x/noextension"));
    EXPECT_FALSE(window->IsDroppableFile("/x/photo.jpeg"));
}

TEST_F(MainWindowTest, ShowFileNameShowsTheTailOfThePathOrReportsAMissingEntry) {
    auto window = MakeWindow();
    std::string path = File("a_rather_long_file_name_for_the_status_line.jpg");
    int id = window->AddObject(path, true)->id;
    window->OnShowFileName(id);
    EXPECT_EQ(window->StatusLine()->text().toStdString(), "..." + path.substr(path.size() - 30));
    window->OnShowFileName(id + 1000);
    EXPECT_EQ(window->StatusLine()->text(), "object not found error...");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "Error, during converstion\nObject could not be found!");
}

TEST_F(MainWindowTest, OptionsFileIsReadAtStartAndWrittenWhenTheWindowGoes) {
    {
        ConvertOptions stored;
        stored.frameRate = 24;
        ASSERT_TRUE(stored.SaveOptionsFile(OptionsFile()));
    }
    {
        auto window = MakeWindow();
        EXPECT_EQ(window->Options().frameRate, 24);
        window->Options().frameRate = 7;
    }
    ConvertOptions reread;
    ASSERT_TRUE(reread.LoadOptionsFile(OptionsFile()));
    EXPECT_EQ(reread.frameRate, 7);
}

TEST_F(MainWindowTest, MissingOptionsFileIsReportedOnceAndWrittenAtExit) {
    std::filesystem::remove(OptionsFile());
    {
        auto window = MakeWindow();
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0], "Options couldn't be loaded successfully, useing defaults");
        EXPECT_FALSE(window->Options().tempDirectory.empty());
    }
    EXPECT_TRUE(std::filesystem::exists(OptionsFile()));
}

TEST_F(MainWindowTest, OptionsFileThatCannotBeWrittenIsReported) {
    std::string blocked = dir.File("file/kestrova.ini");
    File("file");
    {
        MainWindow window(blocked);
        window.Initialize();
        dialogs.messages.clear();
    }
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "Error saveing options file");
}

} // namespace
