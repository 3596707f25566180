// The player window: a converted movie opens in it and Ruffle, served through the window's
// own URL scheme, loads the movie; nothing is fetched from the network.
#include "app/app_test_support.h"
#include "app/player_window.h"

#include <QTableWidget>

#include <gtest/gtest.h>

#ifdef KESTROVA_HAVE_WEBENGINE
#include <QWebEnginePage>
#include <QWebEngineView>
#endif

namespace kestrova::test {

namespace {

using apptest::SpinUntil;
using PlayerWindowTest = apptest::WindowTest;

TEST_F(PlayerWindowTest, PlaysAConvertedPictureInsideTheProgram) {
    if (!PlayerUnavailableReason().isEmpty()) {
        GTEST_SKIP() << PlayerUnavailableReason().toStdString();
    }
    Add("photo.png", 64, 48);
    window->RefreshList();
    window->OnConvert();
    ASSERT_TRUE(SpinUntil([this] { return !window->Converting(); }));
    window->ListView()->selectRow(0);
    window->OnPlayMovie();
    EXPECT_TRUE(dialogs.messages.empty());
#ifdef KESTROVA_HAVE_WEBENGINE
    QWidget* player = window->findChild<QWidget*>("playerWindow");
    ASSERT_NE(player, nullptr);
    auto* view = player->findChild<QWebEngineView*>();
    ASSERT_NE(view, nullptr);
    // Ruffle has read the movie's header once its metadata gives the movie's width.
    int width = 0;
    ASSERT_TRUE(SpinUntil(
        [&] {
            view->page()->runJavaScript(
                "(p => p && p.ruffle().metadata ? p.ruffle().metadata.width : 0)"
                "(document.querySelector('#movie > *'))",
                [&](const QVariant& result) { width = result.toInt(); });
            apptest::Spin(200);
            return width == 64;
        },
        20000));
#endif
}

} // namespace

} // namespace kestrova::test
