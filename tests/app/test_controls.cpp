// The small controls: colour button and pop-up, lens swatch, hexadecimal colour text, folder
// selection, the preview's geometry and painting, the browser command and the file filters.
#include "app/app_dialogs.h"
#include "app/app_test_support.h"
#include "app/bitmap_viewer.h"
#include "app/color_button.h"
#include "app/main_window.h"
#include "app/select_folder_dialog.h"
#include "app/shell_open.h"
#include "app/small_controls.h"
#include "support/test_util.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// ---- Colour button and pop-up ----------------------------------------------------------

class ColorButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        button.SetControlId(1026);
        button.show();
        QObject::connect(&button, &CColorButton::ColorSelChange, [this](uint32_t color, int id) {
            changes.push_back(color);
            EXPECT_EQ(id, 1026);
        });
    }

    ColorPopup* Open(uint32_t color) {
        button.SetColor(color);
        button.OpenPopup();
        return button.Popup();
    }

    apptest::DialogRecorder dialogs;
    CColorButton button;
    std::vector<uint32_t> changes;
};

TEST_F(ColorButtonTest, PopupOpensOnTheBoxOfTheCurrentColour) {
    EXPECT_EQ(ColorPopup::InitialSelection(DefaultColor, true, true), ColorPopup::kDefaultBox);
    EXPECT_EQ(ColorPopup::InitialSelection(0x0000FF, true, true), 16); // "Red"
    EXPECT_EQ(ColorPopup::InitialSelection(0x123456, true, true), ColorPopup::kCustomBox);
    EXPECT_EQ(ColorPopup::InitialSelection(0x123456, true, false), ColorPopup::kNoBox);
    EXPECT_EQ(ColorPopup::InitialSelection(DefaultColor, false, true), ColorPopup::kCustomBox);
    ColorPopup* popup = Open(0xFFFFFF);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->Selection(), 39);
    EXPECT_TRUE(button.PopupActive());
}

TEST_F(ColorButtonTest, ArrowKeysWalkTheGridThroughTheTextBoxesAndWrap) {
    using P = ColorPopup;
    EXPECT_EQ(P::MoveSelection(0, Qt::Key_Right, true, true), 1);
    EXPECT_EQ(P::MoveSelection(7, Qt::Key_Right, true, true), 8);
    EXPECT_EQ(P::MoveSelection(39, Qt::Key_Right, true, true), P::kCustomBox);
    EXPECT_EQ(P::MoveSelection(P::kCustomBox, Qt::Key_Right, true, true), P::kDefaultBox);
    EXPECT_EQ(P::MoveSelection(P::kDefaultBox, Qt::Key_Left, true, true), P::kCustomBox);
    EXPECT_EQ(P::MoveSelection(39, Qt::Key_Right, false, false), 0);
    EXPECT_EQ(P::MoveSelection(3, Qt::Key_Down, true, true), 11);
    EXPECT_EQ(P::MoveSelection(35, Qt::Key_Down, true, true), P::kCustomBox);
    EXPECT_EQ(P::MoveSelection(P::kCustomBox, Qt::Key_Down, true, true), P::kDefaultBox);
    EXPECT_EQ(P::MoveSelection(P::kDefaultBox, Qt::Key_Down, true, true), 0);
    EXPECT_EQ(P::MoveSelection(3, Qt::Key_Up, true, true), P::kDefaultBox);
    EXPECT_EQ(P::MoveSelection(3, Qt::Key_Up, false, false), 35);
    EXPECT_EQ(P::MoveSelection(P::kDefaultBox, Qt::Key_Up, true, true), P::kCustomBox);
    EXPECT_EQ(P::MoveSelection(P::kCustomBox, Qt::Key_Up, true, true), 32);
}

TEST_F(ColorButtonTest, ReturnChoosesTheSelectedColourAndEscapeRestoresTheOldOne) {
    QSignalSpy ok(&button, &CColorButton::ColorSelEndOk);
    QSignalSpy cancel(&button, &CColorButton::ColorSelEndCancel);
    ColorPopup* popup = Open(0x000000); // "Black", box 0
    QTest::keyClick(popup, Qt::Key_Right);
    QTest::keyClick(popup, Qt::Key_Down);
    EXPECT_EQ(popup->Selection(), 9); // "Orange"
    // Without tracking, the button keeps its colour while the selection moves.
    EXPECT_EQ(button.GetColor(), 0x000000u);
    QTest::keyClick(popup, Qt::Key_Return);
    uint32_t orange = 255 | (104 << 8) | (32 << 16);
    EXPECT_EQ(button.GetColor(), orange);
    EXPECT_FALSE(button.PopupActive());
    EXPECT_EQ(ok.count(), 1);
    EXPECT_EQ(changes, (std::vector<uint32_t>{kColorTable[1].rgb, orange, orange}));

    button.SetTrackSelection(true);
    popup = Open(0x0000FF);
    QTest::keyClick(popup, Qt::Key_Left);
    EXPECT_EQ(button.GetColor(), kColorTable[15].rgb); // tracked
    size_t before = changes.size();
    QTest::keyClick(popup, Qt::Key_Escape);
    EXPECT_EQ(button.GetColor(), 0x0000FFu);
    EXPECT_EQ(cancel.count(), 1);
    EXPECT_EQ(changes.size(), before); // no change reported after the cancel
}

TEST_F(ColorButtonTest, DefaultBoxChoosesTheDefaultColourAndCustomBoxTheColourDialog) {
    ColorPopup* popup = Open(0x0000FF);
    popup->ChangeSelection(ColorPopup::kDefaultBox);
    QTest::keyClick(popup, Qt::Key_Space);
    EXPECT_EQ(button.GetColor(), DefaultColor);
    EXPECT_EQ(button.ShownColor(), button.palette().color(QPalette::Dark));
    EXPECT_EQ(HexColorText(button.GetColor()), "0x000000");

    dialogs.colors.push_back(QColor(0x12, 0x34, 0x56));
    popup = Open(0x0000FF);
    popup->ChangeSelection(ColorPopup::kCustomBox);
    popup->End(true);
    EXPECT_EQ(button.GetColor(), 0x00563412u);
    // A cancelled colour dialog chooses the colour the pop-up opened with.
    popup = Open(0x00FF00);
    popup->ChangeSelection(ColorPopup::kCustomBox);
    popup->End(true);
    EXPECT_EQ(button.GetColor(), 0x00FF00u);
}

// ---- Lens swatch and colour texts --------------------------------------------------------

TEST(LensSwatchTest, ColourIsLiftedTowardsWhiteByTheMissingAlpha) {
    EXPECT_EQ(LensSwatchColor(0x0000FF, 128), 0x7F7FFFu);
    EXPECT_EQ(LensSwatchColor(0x0000FF, 255), 0x0000FFu);
    EXPECT_EQ(LensSwatchColor(0x0000FF, 0), LensSwatchColor(0x0000FF, 1));
    EXPECT_EQ(LensSwatchColor(0x000000, 1), 0xFEFEFEu);
    LensSwatch swatch;
    swatch.resize(20, 20);
    swatch.SetColor(0x0000FF);
    swatch.SetAlpha(128);
    QImage painted = swatch.grab().toImage();
    EXPECT_EQ(painted.pixelColor(10, 10), QColor(255, 127, 127));
    // Colours are stored blue-green-red and shown red-green-blue.
    EXPECT_EQ(HexColorText(0x00ABCDEF), "0xEFCDAB");
    EXPECT_EQ(RgbFromColor(ColorFromRgb(0x00ABCDEF)), 0x00ABCDEFu);
}

// ---- Folder selection --------------------------------------------------------------------

TEST(FolderTest, FolderEndsWithOneSeparatorAndAMissingOneIsCreatedOnYes) {
    apptest::DialogRecorder dialogs;
    testutil::TempDir dir;
    CSelectFolderDialog dialog{true, QString()};
    auto path = [&](const std::string& name) { return QString::fromStdString(dir.File(name)); };
    QString top = QString::fromStdString(dir.Path());
    ASSERT_TRUE(dialog.TrySelect(top + "/"));
    EXPECT_EQ(dialog.Folder(), top + "/");
    EXPECT_FALSE(dialog.TrySelect(top + "//sub"));
    EXPECT_EQ(dialogs.messages, (std::vector<QString>{"Invalid Folder"}));
    // The folder text follows the folder the chooser enters.
    dialog.setDirectory(top);
    emit dialog.directoryEntered(top);
    EXPECT_EQ(dialog.FolderEdit()->text(), top);

    dialogs.messages.clear();
    dialogs.answers = {true, false, true};
    ASSERT_TRUE(dialog.TrySelect(path("New/Sub")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("New/Sub")));
    EXPECT_EQ(dialog.Folder(), path("New/Sub") + "/");
    EXPECT_EQ(dialogs.messages,
              (std::vector<QString>{path("New/Sub") +
                                    "\n\nThis path does not exist. Do you want to create it?"}));
    ASSERT_TRUE(dialog.TrySelect(path("Later"))); // "No": returned uncreated
    EXPECT_FALSE(std::filesystem::exists(dir.File("Later")));
    EXPECT_EQ(dialog.Folder(), path("Later") + "/");
    // A folder that cannot be created keeps the dialog open.
    apptest::WriteBytes(dir.File("plain"), 1);
    EXPECT_FALSE(dialog.TrySelect(path("plain/sub")));
    ASSERT_EQ(dialogs.messages.size(), 4u);
    EXPECT_EQ(dialogs.messages[3], "Could not create folder:\n" + path("plain/sub"));
}

// ---- Preview ---------------------------------------------------------------------------

TEST(PreviewLayoutTest, PictureScalesByItsLongSideIsDrawnFiveSmallerAndCentred) {
    struct Case {
        int width, height;
        float scale;
        int fittedWidth, fittedHeight, x, y;
    };
    const Case cases[] = {
        {1000, 500, 5.0f, 200, 100, 4, 104}, // wide: by its width, centred vertically
        {50, 40, 1.0f, 50, 40, 79, 134},     // small: not scaled, placed as if full
        {100, 600, 2.0f, 50, 300, 79, 4},    // tall: by its height
        // A square wider than the rectangle scales by its width even when the height would fit.
        {250, 250, 1.25f, 200, 200, 4, 54},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        PreviewLayout layout = ComputePreviewLayout(c.width, c.height, QRect(4, 4, 200, 300));
        EXPECT_FLOAT_EQ(layout.scale, c.scale);
        EXPECT_EQ(layout.fittedWidth, c.fittedWidth);
        EXPECT_EQ(layout.fittedHeight, c.fittedHeight);
        EXPECT_EQ(layout.drawWidth, c.fittedWidth - 5);
        EXPECT_EQ(layout.drawHeight, c.fittedHeight - 5);
        EXPECT_EQ(layout.x, c.x);
        EXPECT_EQ(layout.y, c.y);
    }
}

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Inner rectangle 200 x 300: the control is 8 wider and 14 taller.
        preview.resize(208, 314);
        ASSERT_EQ(preview.InnerRect(), QRect(4, 4, 200, 300));
    }
    QImage Paint() { return preview.grab().toImage(); }

    apptest::DialogRecorder dialogs;
    testutil::TempDir dir;
    ConvertOptions options;
    MFCBitmapViewerCtrl preview;
};

TEST_F(PreviewTest, PaintsTheShrunkCopyCentredOnWhiteAndClearsToTheInvitation) {
    std::string path = dir.File("wide.png");
    ASSERT_TRUE(apptest::WritePicture(path, 1000, 500, QColor(0, 0, 255)));
    ASSERT_EQ(preview.SetImage(path, &options), 1);
    EXPECT_EQ(preview.Kind(), KindStaticImage);
    QImage image = Paint();
    EXPECT_EQ(image.pixelColor(4, 104), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(4 + 194, 104 + 94), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(4 + 195, 150), Qt::white);
    EXPECT_EQ(image.pixelColor(100, 104 + 95), Qt::white);
    EXPECT_EQ(image.pixelColor(100, 103), Qt::white);
    // The picture itself is kept as loaded.
    EXPECT_EQ(preview.Picture().Width(), 1000u);
    preview.ClearImage();
    MFCBitmapViewerCtrl fresh;
    fresh.resize(208, 314);
    EXPECT_EQ(Paint(), fresh.grab().toImage());
}

TEST_F(PreviewTest, SoundAndMovieShowTheirIconsAndOnlyUnreadablePicturesAreReported) {
    std::string sound = dir.File("tone.wav");
    std::string movie = dir.File("clip.avi");
    std::string broken = dir.File("broken.png");
    for (const std::string& path : {sound, movie, broken}) {
        apptest::WriteBytes(path, 40);
    }
    EXPECT_EQ(preview.SetImage(sound, &options), 1); // the file is not read
    EXPECT_EQ(preview.Kind(), KindAudioFile);
    QImage withIcon = Paint();
    preview.ClearImage();
    EXPECT_EQ(Paint(), withIcon); // the icon stays after ClearImage
    // An unknown extension is read as a picture and keeps the kind.
    std::string picture = dir.File("photo.jpeg");
    ASSERT_TRUE(apptest::WritePicture(picture, 30, 20));
    EXPECT_EQ(preview.SetImage(picture, &options), 1);
    EXPECT_EQ(preview.Kind(), KindAudioFile);
    // A missing file keeps the picture quietly; an unreadable one is reported and empties it.
    EXPECT_EQ(preview.SetImage(dir.File("gone.png"), &options), 0);
    EXPECT_EQ(preview.Picture().Width(), 30u);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(preview.SetImage(broken, &options), 0);
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(preview.Picture().IsEmpty());
    EXPECT_EQ(preview.SetImage(movie, &options), 1);
    EXPECT_EQ(preview.Kind(), KindMovieFile);
    EXPECT_NE(Paint(), withIcon);
}

// ---- Opening results and file filters -----------------------------------------------------

TEST(BrowserCommandTest, CommandIsCutAtTheFileFieldAQuotedOneFirst) {
    const std::pair<const char*, const char*> cases[] = {
        {"\"C:\\Program Files\\IE\\iexplore.exe\" \"%1\"",
         "\"C:\\Program Files\\IE\\iexplore.exe\" "},
        {"browser \"%u\" --new", "browser "},
        {"firefox %u", "firefox "},
        {"chromium --flag %U", "chromium --flag "},
        {"viewer %F", "viewer "},
        {"iexplore.exe -nohome %1", "iexplore.exe -nohome "},
        {"/usr/bin/browser", "/usr/bin/browser"},
        {"b %f \"%1\"", "b %f "}, // a quoted field wins over an earlier bare one
        {"b %d %x", "b %d %x"},
    };
    for (const auto& [command, cut] : cases) {
        EXPECT_EQ(CutBrowserCommand(command), cut) << command;
    }
    EXPECT_EQ(BrowserLaunchCommand("\"C:\\IE\\iexplore.exe\" -nohome \"%1\"", "C:\\a b\\c.swf"),
              "\"C:\\IE\\iexplore.exe\" -nohome  C:\\a b\\c.swf");
    EXPECT_EQ(BrowserLaunchCommand("/usr/bin/browser", "/tmp/my movie.swf"),
              "/usr/bin/browser /tmp/my movie.swf");
}

TEST(FileFilterTest, ClassicFiltersBecomeQtNameFilters) {
    EXPECT_EQ(QtNameFilters("Flash Files (.swf)|*.swf|"), "Flash Files (.swf) (*.swf)");
    QStringList add = QtNameFilters(kAddFilter).split(";;");
    ASSERT_EQ(add.size(), 15);
    EXPECT_EQ(add[9], "tiff (.tiff;.tif) (*.tiff *.tif)");
    EXPECT_EQ(add[12], "wireless bitmap (.wbmp) (*.wbmp)");
    EXPECT_EQ(add[13], "gif and webp pictures (.gif;.webp) (*.gif *.webp)");
    EXPECT_TRUE(
        add[14].endsWith("(*.asf *.mp4 *.m4v *.mkv *.webm *.flv *.mpg *.mpeg *.3gp *.mov)"));
}

} // namespace
