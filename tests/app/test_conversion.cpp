// Converting from the live window: progress to 3 x n, the status texts in order, the busy
// state, cancelling (also while the worker waits in a message box) and the worker bridge.
#include "app/app_test_support.h"
#include "app/main_window.h"
#include "app/worker_bridge.h"
#include "support/test_util.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

namespace {

using apptest::DialogRecorder;
using apptest::SpinUntil;

class ConversionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.Ok());
        ConvertOptions defaults;
        ASSERT_TRUE(defaults.SaveOptionsFile(dir.File("kestrova.ini")));
        window = std::make_unique<MainWindow>(dir.File("kestrova.ini"));
        window->Initialize();
        QObject::connect(window->StatusLine(), &QLineEdit::textChanged,
                         [this](const QString& text) { statuses.push_back(text.toStdString()); });
        QObject::connect(window->Progress(), &QProgressBar::valueChanged,
                         [this](int value) { progress.push_back(value); });
    }

    void TearDown() override { window.reset(); }

    std::string AddPicture(const std::string& name, int width = 32, int height = 24) {
        std::string path = dir.File(name);
        EXPECT_TRUE(apptest::WritePicture(path, width, height));
        window->AddObject(path, false);
        return path;
    }

    bool WaitForEnd() {
        return SpinUntil([this] { return !window->Converting(); });
    }

    testutil::TempDir dir;
    DialogRecorder dialogs;
    std::unique_ptr<MainWindow> window;
    std::vector<std::string> statuses;
    std::vector<int> progress;
};

TEST_F(ConversionTest, ProgressReachesThreeTimesTheEntriesAndStatusTextsComeInOrder) {
    std::vector<std::string> paths = {AddPicture("one.png"), AddPicture("two.png"),
                                      AddPicture("three.png")};
    window->RefreshList();
    statuses.clear();
    window->OnConvert();
    EXPECT_EQ(window->Progress()->maximum(), 9);
    EXPECT_EQ(window->ConvertButton()->text(), "Cancel Convert");
    ASSERT_TRUE(WaitForEnd());

    EXPECT_EQ(progress, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 0}));
    std::vector<std::string> expected;
    for (const std::string& path : paths) {
        expected.push_back("..." + path.substr(path.size() - 30));
        expected.push_back("Creating Movie file...");
    }
    expected.push_back("");
    expected.push_back("Ready..");
    EXPECT_EQ(statuses, expected);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(window->ConvertButton()->text(), "Convert");
    EXPECT_EQ(window->Progress()->value(), 0);

    int row = 0;
    for (ConvertObject* entry = window->List(); entry != nullptr; entry = entry->next, ++row) {
        EXPECT_EQ(entry->result, 1);
        EXPECT_EQ(entry->outputPath, entry->path.substr(0, entry->path.size() - 4) + ".swf");
        EXPECT_TRUE(std::filesystem::exists(entry->outputPath));
        EXPECT_GT(entry->convertedSize, 0);
        EXPECT_EQ(window->ListView()->item(row, 3)->text(),
                  QString("%1 Bytes").arg(entry->convertedSize));
    }
    // A converted entry can be played.
    window->ListView()->selectRow(0);
    EXPECT_TRUE(window->PlayButton()->isEnabled());
}

TEST_F(ConversionTest, ListAndOptionsCommandsAreBlockedWhileConverting) {
    for (int i = 0; i < 4; ++i) {
        AddPicture("p" + std::to_string(i) + ".png", 400, 300);
    }
    window->RefreshList();
    window->ListView()->selectRow(0);
    ASSERT_TRUE(window->DeleteButton()->isEnabled());
    bool sawBlocked = false;
    dialogs.onMessage = [](const QString&) {};
    QObject::connect(window->Progress(), &QProgressBar::valueChanged, [&] {
        if (window->Converting()) {
            sawBlocked =
                !window->AddButton()->isEnabled() && !window->DeleteButton()->isEnabled() &&
                !window->EmptyButton()->isEnabled() && !window->OptionsButton()->isEnabled();
            // Commands that still arrive (menus, shortcuts) change nothing.
            window->OnEmptyList();
            window->OnDeleteItem();
        }
    });
    window->OnConvert();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_TRUE(sawBlocked);
    EXPECT_NE(window->List(), nullptr);
    EXPECT_TRUE(window->AddButton()->isEnabled());
    EXPECT_TRUE(window->EmptyButton()->isEnabled());
    EXPECT_TRUE(window->OptionsButton()->isEnabled());
}

TEST_F(ConversionTest, ConvertWithAnEmptyListDoesNothing) {
    window->OnConvert();
    EXPECT_FALSE(window->Converting());
    EXPECT_EQ(window->ConvertButton()->text(), "Convert");
}

TEST_F(ConversionTest, CancelShowsConvertCancledWithTheBarAtZero) {
    for (int i = 0; i < 12; ++i) {
        AddPicture("c" + std::to_string(i) + ".png", 300, 200);
    }
    window->RefreshList();
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
    AddPicture("good.png");
    std::string broken = dir.File("broken.png");
    apptest::WriteBytes(broken, 64);
    window->AddObject(broken, false);
    AddPicture("after.png");
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
    EXPECT_EQ(window->StatusLine()->text(), "Convert Cancled");
    EXPECT_EQ(window->Progress()->value(), 0);
    EXPECT_EQ(window->List()->next->next->result, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("after.swf")));
}

TEST_F(ConversionTest, ConverterMessagesReachTheWindowAndTheConversionGoesOn) {
    AddPicture("first.png");
    std::string broken = dir.File("broken.png");
    apptest::WriteBytes(broken, 64);
    window->AddObject(broken, false);
    AddPicture("last.png");
    window->RefreshList();
    window->OnConvert();
    ASSERT_TRUE(WaitForEnd());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].indexOf("broken.png"), -1);
    EXPECT_EQ(window->List()->result, 1);
    EXPECT_EQ(window->List()->next->result, 0);
    EXPECT_EQ(window->List()->next->next->result, 1);
    EXPECT_EQ(progress.back(), 0);
    EXPECT_EQ(window->StatusLine()->text(), "Ready..");
}

TEST_F(ConversionTest, SingleMovieWithCancelledSaveDialogOnlyFinishes) {
    AddPicture("a.png");
    AddPicture("b.png");
    window->Options().outputMode = OutputSingle;
    window->RefreshList();
    statuses.clear();
    window->OnConvert();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(dialogs.filters, (std::vector<QString>{"Flash Files (.swf)|*.swf|"}));
    EXPECT_TRUE(progress.empty());
    EXPECT_EQ(statuses, (std::vector<std::string>{"", "Ready.."}));
}

TEST_F(ConversionTest, SingleMovieIsWrittenWhereTheSaveDialogSays) {
    AddPicture("a.png");
    AddPicture("b.png");
    window->Options().outputMode = OutputSingle;
    dialogs.files.push_back({QString::fromStdString(dir.File("show.jpg"))});
    window->RefreshList();
    window->OnConvert();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_TRUE(std::filesystem::exists(dir.File("show.swf")));
    EXPECT_EQ(window->List()->convertedSize, -1);
    EXPECT_GT(window->List()->next->convertedSize, 0);
    EXPECT_EQ(progress.size(), 7u);
}

TEST_F(ConversionTest, ClosingTheWindowStopsTheConversionAndSavesTheOptions) {
    for (int i = 0; i < 8; ++i) {
        AddPicture("z" + std::to_string(i) + ".png", 300, 200);
    }
    window->RefreshList();
    std::filesystem::remove(dir.File("kestrova.ini"));
    window->Options().frameRate = 30;
    window->show();
    window->OnConvert();
    ASSERT_TRUE(SpinUntil([&] { return !progress.empty(); }));
    window->close();
    EXPECT_FALSE(window->Engine().IsRunning());
    ConvertOptions saved;
    ASSERT_TRUE(saved.LoadOptionsFile(dir.File("kestrova.ini")));
    EXPECT_EQ(saved.frameRate, 30);
}

// The bridge alone: a worker that never stops sending, released by the window's cancel.
TEST(WorkerBridgeTest, CancelReleasesAWorkerWithCallsInFlightAndDropsTheRest) {
    QObject receiver;
    std::atomic<bool> cancel{false};
    CWorkerBridge bridge(&receiver, [&] { return cancel.load(); });
    int handled = 0;
    int handledAfterCancel = 0;
    struct Counter : IConvertObserver {
        std::function<void()> onStep;
        void ShowFileName(int) override {}
        void IncrementProgress(int) override { onStep(); }
        void FinishedConvert() override {}
        void ShowState(const char*) override {}
    } counter;
    counter.onStep = [&] {
        ++handled;
        if (cancel) {
            ++handledAfterCancel;
        }
    };
    CObserverRelay relay(bridge, counter);
    std::atomic<int> sent{0};
    std::thread worker([&] {
        while (!cancel) {
            relay.IncrementProgress(1);
            ++sent;
        }
        // Calls after the cancel return at once without reaching the window.
        for (int i = 0; i < 1000; ++i) {
            relay.IncrementProgress(1);
        }
    });
    ASSERT_TRUE(SpinUntil([&] { return handled >= 200; }));
    cancel = true;
    bridge.Abandon();
    worker.join();
    apptest::Spin(50);
    EXPECT_EQ(handledAfterCancel, 0);
    EXPECT_GE(sent.load(), 200);
}

TEST(WorkerBridgeTest, AbandonedQuestionCountsAsNoAndItsLateAnswerIsHarmless) {
    QObject receiver;
    std::atomic<bool> cancel{false};
    CWorkerBridge bridge(&receiver, [&] { return cancel.load(); });
    struct Asker : IConvertPrompt {
        std::function<bool()> onAsk;
        void ShowMessage(const std::string&, const std::string&) override {}
        bool AskYesNo(const std::string&, const std::string&) override { return onAsk(); }
        bool ChooseSavePath(std::string& path) override {
            path = "x";
            return true;
        }
    } asker;
    std::atomic<bool> workerDone{false};
    bool answer = true;
    // The question's handler runs a nested loop in which the cancel happens; it answers "Yes"
    // only after the worker has gone on.
    asker.onAsk = [&] {
        cancel = true;
        bridge.Abandon();
        SpinUntil([&] { return workerDone.load(); }, 5000);
        return true;
    };
    CPromptRelay relay(bridge, asker);
    std::thread worker([&] {
        answer = relay.AskYesNo("Go on?", "");
        workerDone = true;
    });
    ASSERT_TRUE(SpinUntil([&] { return workerDone.load(); }));
    worker.join();
    EXPECT_FALSE(answer);
    std::string path;
    EXPECT_FALSE(relay.ChooseSavePath(path));
}

} // namespace
