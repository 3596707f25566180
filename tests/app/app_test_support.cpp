#include "app/app_test_support.h"
#include "app/player_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QThread>

#include <unistd.h>

using namespace kestrova::test;

// The player window runs Qt WebEngine, whose own library trips the sanitizers (a sized delete
// of another type, allocations kept until the process ends): not ours to fix.
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6WebEngineCore\nleak:libfontconfig\nleak:libQt6Qml\n";
}

namespace kestrova::test {

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
        app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app.reset(); }

private:
    std::unique_ptr<QApplication> app;
};

[[maybe_unused]] ::testing::Environment* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace

namespace apptest {

DialogRecorder::DialogRecorder() {
    hooks.message = [this](const QString& text, const QString&, bool) {
        messages.push_back(text);
        return false;
    };
    hooks.file = [this](const QString& filter, bool, bool) {
        filters.push_back(filter);
        QStringList chosen;
        if (!files.empty()) {
            chosen = files.front();
            files.pop_front();
        }
        return chosen;
    };
    SetDialogHooks(&hooks);
}

DialogRecorder::~DialogRecorder() {
    SetDialogHooks(nullptr);
}

bool WritePicture(const std::string& path, int width, int height) {
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(Qt::red);
    return image.save(QString::fromStdString(path));
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
    ASSERT_TRUE(ConvertOptions().SaveOptionsFile(OptionsFile()));
    window = std::make_unique<MainWindow>(OptionsFile());
    window->Initialize();
}

std::string WindowTest::Add(const std::string& name, int width, int height) {
    std::string path = dir.File(name);
    EXPECT_TRUE(width > 0 ? WritePicture(path, width, height)
                          : testutil::WriteFileBytes(path, std::vector<uint8_t>(64, 'x')));
    window->AddObject(path, false);
    return path;
}

} // namespace apptest

} // namespace kestrova::test
