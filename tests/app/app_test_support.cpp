#include "app/app_test_support.h"
#include "app/player_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <unistd.h>

// The player window runs Qt WebEngine, whose own library trips the sanitizers (a sized delete
// of another type, allocations kept until the process ends): not ours to fix.
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6WebEngineCore\nleak:libfontconfig\nleak:libQt6Qml\n";
}

namespace {

// One QApplication for the whole test program, on the offscreen platform.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        // WebEngine's browser processes refuse to start as root inside their sandbox.
        if (geteuid() == 0) {
            setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
        }
        static int argc = 1;
        static char name[] = "test_app";
        static char* argv[] = {name, nullptr};
        PreparePlayer();
        app = new QApplication(argc, argv);
    }
    void TearDown() override {
        delete app;
        app = nullptr;
    }

private:
    QApplication* app = nullptr;
};

[[maybe_unused]] ::testing::Environment* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace

namespace apptest {

namespace {

// The front of the queue, taken off it; the fallback when it is empty.
template <typename T> T TakeFront(std::deque<T>& queue, T fallback) {
    if (!queue.empty()) {
        fallback = queue.front();
        queue.pop_front();
    }
    return fallback;
}

} // namespace

DialogRecorder::DialogRecorder() {
    hooks.message = [this](const QString& text, const QString&, bool question) {
        messages.push_back(text);
        return question && TakeFront(answers, false);
    };
    hooks.file = [this](const QString& filter, bool, bool) {
        filters.push_back(filter);
        return TakeFront(files, QStringList());
    };
    hooks.color = [this](const QColor&) { return TakeFront(colors, QColor()); };
    SetDialogHooks(&hooks);
}

DialogRecorder::~DialogRecorder() {
    SetDialogHooks(nullptr);
}

bool WritePicture(const std::string& path, int width, int height, QColor color) {
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(color);
    return image.save(QString::fromStdString(path));
}

bool WriteBytes(const std::string& path, size_t size) {
    std::ofstream out(path, std::ios::binary);
    std::string bytes(size, 'x');
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool SpinUntil(const std::function<bool()>& done, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return done();
}

void Spin(int milliseconds) {
    SpinUntil([] { return false; }, milliseconds);
}

void WindowTest::SetUp() {
    ASSERT_TRUE(dir.Ok());
    ASSERT_TRUE(ConvertOptions().SaveOptionsFile(OptionsFile()));
    Reopen();
}

void WindowTest::Reopen() {
    window.reset();
    window = std::make_unique<MainWindow>(OptionsFile());
    window->Initialize();
}

std::string WindowTest::Add(const std::string& name, size_t size, int width, int height) {
    std::string path = dir.File(name);
    EXPECT_TRUE(width > 0 ? WritePicture(path, width, height) : WriteBytes(path, size));
    window->AddObject(path, false);
    return path;
}

int WindowTest::Count() const {
    int count = 0;
    for (ConvertObject* entry = window->List(); entry != nullptr; entry = entry->next) {
        ++count;
    }
    return count;
}

} // namespace apptest
