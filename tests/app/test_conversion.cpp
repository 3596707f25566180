// Converting from the live window: progress to 3 x n, the status texts in order, the busy
// state, a single movie through the save dialog, and a cancel while the worker waits in a
// message box (which the worker bridge releases).
#include "app/app_test_support.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <filesystem>

namespace kestrova::test {

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
    bool WaitForEnd() {
        return SpinUntil([this] { return !window->Converting(); });
    }

    std::vector<std::string> statuses;
    std::vector<int> progress;
};

TEST_F(ConversionTest, ProgressReachesThreeTimesTheEntriesAndStatusTextsComeInOrder) {
    for (const char* name : {"p0.png", "p1.png", "p2.png"}) {
        Add(name, 32, 24);
    }
    window->RefreshList();
    statuses.clear();
    // List commands are locked meanwhile; those that still arrive change nothing.
    bool sawLocked = false;
    QObject::connect(window->Progress(), &QProgressBar::valueChanged, [&] {
        if (window->Converting()) {
            sawLocked = !window->AddButton()->isEnabled() && !window->OptionsButton()->isEnabled();
            window->OnEmptyList();
        }
    });
    window->OnConvert();
    EXPECT_EQ(window->ConvertButton()->text(), "Cancel Convert");
    ASSERT_TRUE(WaitForEnd());
    EXPECT_TRUE(sawLocked);
    EXPECT_EQ(progress, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 0}));
    std::vector<std::string> expected;
    int row = 0;
    for (ConvertObject* entry = window->List(); entry != nullptr; entry = entry->next, ++row) {
        expected.push_back("..." + entry->path.substr(entry->path.size() - 30));
        expected.push_back("Creating Movie file...");
        EXPECT_EQ(entry->outputPath, entry->path.substr(0, entry->path.size() - 4) + ".swf");
        EXPECT_GT(entry->convertedSize, 0);
        EXPECT_TRUE(std::filesystem::exists(entry->outputPath));
    }
    EXPECT_EQ(row, 3);
    expected.insert(expected.end(), {"", "Ready.."});
    EXPECT_EQ(statuses, expected);
    EXPECT_EQ(window->ConvertButton()->text(), "Convert");
}

TEST_F(ConversionTest, SingleMovieGoesWhereTheSaveDialogSays) {
    Add("s0.png", 32, 24);
    Add("s1.png", 32, 24);
    window->RefreshList();
    window->Options().outputMode = OutputSingle;
    dialogs.files.push_back({QString::fromStdString(dir.File("show.jpg"))});
    window->OnConvert();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(dialogs.filters, (std::vector<QString>{"Flash Files (.swf)|*.swf|"}));
    EXPECT_TRUE(std::filesystem::exists(dir.File("show.swf")));
    EXPECT_EQ(window->List()->convertedSize, -1);
    EXPECT_GT(window->List()->next->convertedSize, 0);
    EXPECT_EQ(progress.size(), 7u);
}

TEST_F(ConversionTest, CancelWhileTheWorkerWaitsInAMessageBox) {
    Add("first.png", 32, 24);
    Add("broken.png");
    Add("last.png", 32, 24);
    window->RefreshList();
    // The real message box: a timer finds it, cancels from inside its event loop (the worker
    // is blocked waiting for it), then closes it.
    SetDialogHooks(nullptr);
    bool sawBox = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            sawBox = true;
            window->OnConvert();
            EXPECT_FALSE(window->Engine().IsRunning());
            box->accept();
        }
    });
    poll.start(20);
    window->OnConvert();
    ASSERT_TRUE(SpinUntil([&] { return sawBox && !window->Converting(); }));
    poll.stop();
    apptest::Spin(200);
    EXPECT_EQ(window->List()->result, 1);
    EXPECT_EQ(window->StatusLine()->text(), "Convert Cancled");
    EXPECT_EQ(window->Progress()->value(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("last.swf")));
}

} // namespace

} // namespace kestrova::test
