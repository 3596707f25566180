// The main window's list: adding, duplicates, unreadable files, ids, deleting, totals, icons,
// the context menu, selection, drag and drop, opening entries and the options file.
#include "app/app_test_support.h"
#include "app/bitmap_viewer.h"
#include "app/main_window.h"
#include "app/player_window.h"
#include "app/shell_open.h"

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

class MainWindowTest : public apptest::WindowTest {
protected:
    QString Cell(int row, int column) const {
        QTableWidgetItem* item = window->ListView()->item(row, column);
        return item != nullptr ? item->text() : QString("<none>");
    }
};

TEST_F(MainWindowTest, SizesTotalsInKilobytesAndIconsWithUnreadableFilesAtMinusOne) {
    ASSERT_EQ(window->ListView()->rowCount(), 1);
    EXPECT_EQ(Cell(0, 1), "No Objects To List...");
    EXPECT_FALSE(window->DeleteButton()->isEnabled());
    EXPECT_TRUE(window->PlayButton()->isHidden());
    std::string a = Add("a.jpg", 1500);
    Add("b.png", 2600);
    std::string missing = dir.File("gone.jpg");
    ConvertObject* unreadable = window->AddObject(missing, false);
    ASSERT_NE(unreadable, nullptr);
    EXPECT_EQ(unreadable->path, " - Error Scanning file!! - " + missing);
    for (const char* name : {"photo.TIFF", "clip.AVI", "tone.wav", "song.mp3", "odd.xyz"}) {
        Add(name);
    }
    window->List()->convertedSize = 2500;
    window->RefreshList();
    ASSERT_EQ(window->ListView()->rowCount(), 8);
    EXPECT_EQ(Cell(0, 1), QString::fromStdString(a));
    EXPECT_EQ(Cell(0, 2), "1500 Bytes");
    EXPECT_EQ(Cell(0, 3), "2500 Bytes");
    EXPECT_EQ(Cell(1, 3), ""); // not converted (-1)
    EXPECT_EQ(Cell(2, 2), "-1 Bytes");
    EXPECT_EQ(window->TotalSizeEdit()->text(), "4 Kb");
    EXPECT_EQ(window->ConvertedSizeEdit()->text(), "2 Kb");
    EXPECT_EQ(window->StatusLine()->text(), "Ready...");
    EXPECT_TRUE(dialogs.messages.empty());
    // Icons by the kind of the extension; unknown ones count as pictures.
    std::vector<int> kinds;
    for (int row = 3; row < 8; ++row) {
        QTableWidgetItem* item = window->ListView()->item(row, 0);
        kinds.push_back(item->data(Qt::UserRole).toInt());
        EXPECT_FALSE(item->icon().isNull());
    }
    EXPECT_EQ(kinds, (std::vector<int>{KindStaticImage, KindMovieFile, KindAudioFile, KindAudioFile,
                                       KindStaticImage}));
}

TEST_F(MainWindowTest, AddItemAddsInOrderRefusingADuplicateButNotOtherLetterCase) {
    std::string lower = dir.File("photo.jpg");
    std::string upper = dir.File("PHOTO.jpg");
    for (const std::string& path : {lower, upper}) {
        apptest::WriteBytes(path, 10);
    }
    dialogs.files.push_back({QString::fromStdString(lower), QString::fromStdString(lower),
                             QString::fromStdString(upper)});
    window->OnAddItem();
    EXPECT_EQ(dialogs.filters, (std::vector<QString>{kAddFilter}));
    ASSERT_EQ(Count(), 2);
    EXPECT_EQ(window->List()->next->path, upper);
    EXPECT_EQ(window->ListView()->rowCount(), 2);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].toStdString(),
              "Duplicate Object Error , Object with the same file name was found in the object "
              "list!\nFile:" +
                  lower);
    // The refused path leaves its text for the next refresh.
    EXPECT_EQ(window->StatusLine()->text(), "Duplicate Object Error Occured");
}

TEST_F(MainWindowTest, IdsContinueFromTheLastOneAfterEmptyingTheList) {
    Add("1.jpg");
    Add("2.jpg");
    int last = window->List()->next->id;
    EXPECT_EQ(last, window->List()->id + 1);
    window->OnEmptyList();
    EXPECT_EQ(window->List(), nullptr);
    EXPECT_EQ(Cell(0, 1), "No Objects To List...");
    EXPECT_EQ(window->TotalSizeEdit()->text(), "0 Kb");
    Add("3.jpg");
    Add("4.jpg");
    EXPECT_EQ(window->List()->id, last);
    EXPECT_EQ(window->List()->next->id, last + 1);
}

TEST_F(MainWindowTest, DeleteItemRemovesTheSelectedEntryAndRelinksTheList) {
    std::string a = Add("a.jpg");
    Add("b.jpg");
    std::string c = Add("c.jpg");
    window->RefreshList();
    window->ListView()->selectRow(1);
    EXPECT_TRUE(window->DeleteButton()->isEnabled());
    window->OnDeleteItem();
    ASSERT_EQ(Count(), 2);
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
    window->OnShowFileName(12345678);
    EXPECT_EQ(window->StatusLine()->text(), "object not found error...");
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.messages.back(), "Error, during converstion\nObject could not be found!");
}

TEST_F(MainWindowTest, ContextMenuGraysTheCommandsWhoseButtonsAreDisabled) {
    Add("a.jpg");
    window->RefreshList();
    std::unique_ptr<QMenu> menu;
    auto enabled = [&] {
        menu.reset(window->BuildContextMenu());
        std::vector<bool> result;
        for (QAction* action : menu->actions()) {
            result.push_back(action->isEnabled());
        }
        return result;
    };
    // "Add Item(s)", "Delete Item", "Delete All", "Open Object", "Play SWF Movie".
    EXPECT_EQ(enabled(), (std::vector<bool>{true, false, true, false, false}));
    window->ListView()->selectRow(0);
    EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true, true, false}));
    EXPECT_EQ(menu->actions()[4]->text(), "Play SWF Movie");
    // "Delete All" empties the list like the "Empty List" button.
    menu->actions()[2]->trigger();
    EXPECT_EQ(window->List(), nullptr);
}

TEST_F(MainWindowTest, SelectionOffersPlayOnlyForConvertedEntriesAndShowsThePreview) {
    Add("pic.png", 0, 40, 30);
    Add("b.jpg");
    window->RefreshList();
    window->List()->result = 1;
    window->List()->outputPath = dir.File("pic.swf");
    window->ListView()->selectRow(0);
    EXPECT_TRUE(window->PlayButton()->isEnabled());
    EXPECT_FALSE(window->PlayIcon()->isHidden());
    EXPECT_EQ(window->Preview()->Picture().Width(), 40u);
    window->ListView()->selectRow(1);
    EXPECT_FALSE(window->PlayButton()->isEnabled());
    EXPECT_TRUE(window->PlayButton()->isHidden());
    window->ListView()->clearSelection();
    EXPECT_TRUE(window->Preview()->Picture().IsEmpty());
    EXPECT_FALSE(window->OpenButton()->isEnabled());
}

TEST_F(MainWindowTest, OpenGoesThroughTheShellAndPlayAsksThePlayer) {
    std::vector<std::string> opened;
    int result = 2;
    SetShellOpenHook([&](const std::string& target) {
        opened.push_back(target);
        return result;
    });
    std::string source = Add("a.jpg", 0, 8, 8);
    window->RefreshList();
    window->ListView()->selectRow(0);
    window->OnPlayMovie(); // not converted: nothing
    window->OnOpenObject();
    EXPECT_EQ(dialogs.messages, (std::vector<QString>{"You do not have a default program "
                                                      "associated with this file type"}));
    result = kShellOpened;
    window->List()->result = 1;
    window->List()->outputPath = source; // not a movie: the player says why it cannot play it
    window->OnPlayMovie();
    EXPECT_EQ(opened, (std::vector<std::string>{source}));
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1], PlayerUnavailableReason().isEmpty()
                                       ? QString::fromStdString("Unable to play the file, it is "
                                                                "not an SWF movie:\n" +
                                                                source)
                                       : PlayerUnavailableReason());
    SetShellOpenHook(nullptr);
}

TEST_F(MainWindowTest, DroppingFilesAddsOnlyThoseKnownByTheirLastExtension) {
    window->show();
    QList<QUrl> urls;
    std::vector<std::string> accepted;
    for (const char* name : {"a.jpg", "b.tla", "c.WAV", "d.mp3", "e.avi", "scan.TIFF", "f.b.tif",
                             "old.tls", "noextension", "photo.jpeg", "clip.MKV", "clip.mp4x",
                             "sign.wbmp", "anim.GIF", "photo.webp", "photo.webpx"}) {
        std::string path = dir.File(name);
        apptest::WriteBytes(path, 10);
        urls << QUrl::fromLocalFile(QString::fromStdString(path));
        if (window->IsDroppableFile(path)) {
            accepted.push_back(name);
        }
    }
    EXPECT_EQ(accepted, (std::vector<std::string>{"a.jpg", "c.WAV", "e.avi", "scan.TIFF", "f.b.tif",
                                                  "old.tls", "clip.MKV", "sign.wbmp", "anim.GIF",
                                                  "photo.webp"}));
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
    EXPECT_EQ(Count(), accepted.size());
    EXPECT_EQ(window->ListView()->rowCount(), static_cast<int>(accepted.size()));

    QMimeData text;
    text.setText("not files");
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(MainWindowTest, MissingOptionsFileIsTheSilentFirstStartAndIsWrittenAtExit) {
    window.reset(); // writes the options file
    std::filesystem::remove(OptionsFile());
    Reopen();
    EXPECT_TRUE(dialogs.messages.empty()) << "the first start says nothing";
    EXPECT_FALSE(window->Options().tempDirectory.empty());
    window->Options().frameRate = 7;
    Reopen();
    EXPECT_EQ(window->Options().frameRate, 7);
    EXPECT_TRUE(dialogs.messages.empty());

    // A file that is there but cannot be read is reported.
    window.reset();
    std::filesystem::remove(OptionsFile());
    std::filesystem::create_directory(OptionsFile());
    Reopen();
    EXPECT_EQ(dialogs.messages,
              (std::vector<QString>{"Options couldn't be loaded successfully, useing defaults"}));
    window.reset();
    std::filesystem::remove(OptionsFile());

    // A path that cannot be written is reported when the window goes.
    std::string blocked = dir.File("plain/kestrova.ini");
    apptest::WriteBytes(dir.File("plain"), 1);
    window = std::make_unique<MainWindow>(blocked);
    window->Initialize();
    dialogs.messages.clear();
    window.reset();
    EXPECT_EQ(dialogs.messages, (std::vector<QString>{"Error saveing options file"}));
}

} // namespace
