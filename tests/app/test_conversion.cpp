// Converting from the live window: progress to 3 x n, the status texts in order, the busy
// state, cancelling (also while the worker waits in a message box, which the worker bridge
// releases).
#include "app/app_test_support.h"
#include "app/main_window.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using apptest::SpinUntil;

class ConversionTest : public apptest::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        QObject::connect(window->StatusLine(), &QLineEdit::textChanged,
                         [this](const QString& text) { statuses.push_back(text.toStdString()); });
        QObject::connect(window->Progress(), &QProgressBar::valueChanged,
                         [this](int value) { progress.push_back(value); });
    }

    // Pictures name0.png .. name<count-1>.png.
    void AddPictures(const std::string& name, int count, int width = 32, int height = 24) {
        for (int i = 0; i < count; ++i) {
            Add(name + std::to_string(i) + ".png", 0, width, height);
        }
        window->RefreshList();
    }

    bool WaitForEnd() {
        return SpinUntil([this] { return !window->Converting(); });
    }

    std::vector<std::string> statuses;
    std::vector<int> progress;
};

TEST_F(ConversionTest, ProgressReachesThreeTimesTheEntriesAndStatusTextsComeInOrder) {
    window->OnConvert(); // an empty list converts nothing
    EXPECT_FALSE(window->Converting());
    AddPictures("p", 3);
    window->ListView()->selectRow(0);
    statuses.clear();
    // List and options commands are blocked meanwhile; those that still arrive (menus,
    // shortcuts) change nothing.
    bool sawBlocked = false;
    QObject::connect(window->Progress(), &QProgressBar::valueChanged, [&] {
        if (window->Converting()) {
            sawBlocked =
                !window->AddButton()->isEnabled() && !window->DeleteButton()->isEnabled() &&
                !window->EmptyButton()->isEnabled() && !window->OptionsButton()->isEnabled();
            window->OnEmptyList();
            window->OnDeleteItem();
        }
    });
    window->OnConvert();
    EXPECT_EQ(window->Progress()->maximum(), 9);
    EXPECT_EQ(window->ConvertButton()->text(), "Cancel Convert");
    ASSERT_TRUE(WaitForEnd());

    EXPECT_EQ(progress, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 0}));
    std::vector<std::string> expected;
    for (ConvertObject* entry = window->List(); entry != nullptr; entry = entry->next) {
        expected.push_back("..." + entry->path.substr(entry->path.size() - 30));
        expected.push_back("Creating Movie file...");
    }
    expected.push_back("");
    expected.push_back("Ready..");
    EXPECT_EQ(statuses, expected);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(window->ConvertButton()->text(), "Convert");
    EXPECT_TRUE(sawBlocked);
    EXPECT_EQ(Count(), 3);
    EXPECT_TRUE(window->AddButton()->isEnabled());

    int row = 0;
    for (ConvertObject* entry = window->List(); entry != nullptr; entry = entry->next, ++row) {
        EXPECT_EQ(entry->result, 1);
        EXPECT_EQ(entry->outputPath, entry->path.substr(0, entry->path.size() - 4) + ".swf");
        EXPECT_TRUE(std::filesystem::exists(entry->outputPath));
        EXPECT_EQ(window->ListView()->item(row, 3)->text(),
                  QString("%1 Bytes").arg(entry->convertedSize));
    }
    EXPECT_GT(window->List()->convertedSize, 0);
    window->ListView()->selectRow(0);
    EXPECT_TRUE(window->PlayButton()->isEnabled());
}

TEST_F(ConversionTest, CancelShowsConvertCancledWithTheBarAtZero) {
    AddPictures("c", 12, 300, 200);
    // Cancel as soon as the fourth step has been shown, like a click on "Cancel Convert".
    bool cancelled = false;
    QObject::connect(window->Progress(), &QProgressBar::valueChanged, [&](int value) {
        if (value == 4 && !cancelled) {
            cancelled = true;
            QTimer::singleShot(0, window.get(), [this] { window->OnConvert(); });
        }
    });
    window->OnConvert();
    ASSERT_TRUE(WaitForEnd());
    apptest::Spin(200);
    EXPECT_EQ(window->StatusLine()->text(), "Convert Cancled");
    EXPECT_EQ(window->Progress()->value(), 0);
    EXPECT_EQ(window->ConvertButton()->text(), "Convert");
    EXPECT_FALSE(window->Engine().IsRunning());
    // Nothing of the cancelled conversion arrives afterwards.
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 0);
    int converted = 0;
    for (ConvertObject* entry = window->List(); entry != nullptr; entry = entry->next) {
        converted += entry->result;
    }
    EXPECT_LT(converted, 12);
    // The window converts again afterwards.
    progress.clear();
    window->OnConvert();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(progress.size(), 37u);
    EXPECT_EQ(window->StatusLine()->text(), "Ready..");
}

TEST_F(ConversionTest, CancelWhileTheWorkerWaitsInAMessageBox) {
    // A picture, a broken picture the converter reports, and a picture.
    Add("first.png", 0, 32, 24);
    Add("broken.png", 64);
    Add("last.png", 0, 32, 24);
    window->RefreshList();
    // The real message box this time: a timer finds it, cancels from inside its event loop
    // (the worker is blocked waiting for it), then closes it.
    SetDialogHooks(nullptr);
    bool sawBox = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        sawBox = true;
        EXPECT_TRUE(window->Converting());
        window->OnConvert();
        EXPECT_FALSE(window->Engine().IsRunning());
        box->accept();
    });
    poll.start(20);
    window->OnConvert();
    ASSERT_TRUE(SpinUntil([&] { return sawBox && !window->Converting(); }));
    poll.stop();
    apptest::Spin(200);
    EXPECT_EQ(window->List()->result, 1);
    EXPECT_EQ(window->StatusLine()->text(), "Convert Cancled");
    EXPECT_EQ(window->Progress()->value(), 0);
    EXPECT_EQ(window->List()->next->next->result, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("last.swf")));
}

TEST_F(ConversionTest, SingleMovieGoesWhereTheSaveDialogSaysAndACancelOnlyFinishes) {
    AddPictures("s", 2);
    window->Options().outputMode = OutputSingle;
    statuses.clear();
    window->OnConvert(); // the save dialog is cancelled
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(dialogs.filters, (std::vector<QString>{"Flash Files (.swf)|*.swf|"}));
    EXPECT_TRUE(progress.empty());
    EXPECT_EQ(statuses, (std::vector<std::string>{"", "Ready.."}));

    dialogs.files.push_back({QString::fromStdString(dir.File("show.jpg"))});
    window->OnConvert();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_TRUE(std::filesystem::exists(dir.File("show.swf")));
    EXPECT_EQ(window->List()->convertedSize, -1);
    EXPECT_GT(window->List()->next->convertedSize, 0);
    EXPECT_EQ(progress.size(), 7u);
}

TEST_F(ConversionTest, ClosingTheWindowStopsTheConversionAndSavesTheOptions) {
    AddPictures("z", 8, 300, 200);
    std::filesystem::remove(OptionsFile());
    window->Options().frameRate = 30;
    window->show();
    window->OnConvert();
    ASSERT_TRUE(SpinUntil([&] { return !progress.empty(); }));
    window->close();
    EXPECT_FALSE(window->Engine().IsRunning());
    ConvertOptions saved;
    ASSERT_TRUE(saved.LoadOptionsFile(OptionsFile()));
    EXPECT_EQ(saved.frameRate, 30);
}

} // namespace
