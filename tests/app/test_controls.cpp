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
#include <QHelpEvent>
#include <QImage>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

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

TEST_F(ColorButtonTest, KeyboardChoiceSetsTheColourAndReportsIt) {
    QSignalSpy ok(&button, &CColorButton::ColorSelEndOk);
    QSignalSpy closeUp(&button, &CColorButton::ColorCloseUp);
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
    EXPECT_EQ(closeUp.count(), 1);
    EXPECT_EQ(changes, (std::vector<uint32_t>{kColorTable[1].rgb, orange, orange}));
}

TEST_F(ColorButtonTest, EscapeRestoresTheColourWithoutAChangeAfterTheCancel) {
    QSignalSpy cancel(&button, &CColorButton::ColorSelEndCancel);
    button.SetTrackSelection(true);
    ColorPopup* popup = Open(0x0000FF);
    QTest::keyClick(popup, Qt::Key_Left);
    EXPECT_EQ(button.GetColor(), kColorTable[15].rgb); // tracked
    size_t before = changes.size();
    QTest::keyClick(popup, Qt::Key_Escape);
    EXPECT_EQ(button.GetColor(), 0x0000FFu);
    EXPECT_EQ(cancel.count(), 1);
    EXPECT_EQ(changes.size(), before);
}

TEST_F(ColorButtonTest, AutomaticChoosesTheDefaultColour) {
    ColorPopup* popup = Open(0x0000FF);
    popup->ChangeSelection(ColorPopup::kDefaultBox);
    QTest::keyClick(popup, Qt::Key_Space);
    EXPECT_EQ(button.GetColor(), DefaultColor);
    EXPECT_EQ(button.ShownColor(), button.palette().color(QPalette::Dark));
    EXPECT_EQ(HexColorText(button.GetColor()), "0x000000");
}

TEST_F(ColorButtonTest, MoreColorsOpensTheColourDialog) {
    dialogs.colors.push_back(QColor(0x12, 0x34, 0x56));
    ColorPopup* popup = Open(0x0000FF);
    popup->ChangeSelection(ColorPopup::kCustomBox);
    popup->End(true);
    EXPECT_EQ(button.GetColor(), 0x00563412u);
    // A cancelled colour dialog chooses the colour the pop-up opened with.
    popup = Open(0x00FF00);
    popup->ChangeSelection(ColorPopup::kCustomBox);
    popup->End(true);
    EXPECT_EQ(button.GetColor(), 0x00FF00u);
}

TEST_F(ColorButtonTest, MouseReleaseOnABoxChoosesItAndOutsideCancels) {
    ColorPopup* popup = Open(0x000000);
    QPoint onGold = popup->BoxRect(25).center();
    QTest::mouseMove(popup, onGold);
    QTest::mouseRelease(popup, Qt::LeftButton, Qt::NoModifier, onGold);
    EXPECT_EQ(button.GetColor(), kColorTable[25].rgb);
    popup = Open(0x000000);
    QTest::mouseRelease(popup, Qt::LeftButton, Qt::NoModifier, QPoint(-20, -20));
    EXPECT_EQ(button.GetColor(), 0x000000u);
    EXPECT_FALSE(button.PopupActive());
}

TEST_F(ColorButtonTest, ColourBoxesCarryTheirNamesAsToolTips) {
    ColorPopup* popup = Open(0x000000);
    QPoint center = popup->BoxRect(35).center();
    QHelpEvent help(QEvent::ToolTip, center, popup->mapToGlobal(center));
    QApplication::sendEvent(popup, &help);
    EXPECT_EQ(QToolTip::text(), "Pale green ");
    popup->End(false);
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
}

TEST(ColorTextTest, HexTextIsRedGreenBlueInUpperCase) {
    EXPECT_EQ(HexColorText(0), "0x000000");
    EXPECT_EQ(HexColorText(0x0000FF), "0xFF0000");
    EXPECT_EQ(HexColorText(0x00563412), "0x123456");
    EXPECT_EQ(HexColorText(0x00ABCDEF), "0xEFCDAB");
    EXPECT_EQ(RgbFromColor(ColorFromRgb(0x00ABCDEF)), 0x00ABCDEFu);
}

// ---- Folder selection --------------------------------------------------------------------

class FolderTest : public ::testing::Test {
protected:
    apptest::DialogRecorder dialogs;
    testutil::TempDir dir;
    CSelectFolderDialog dialog{true, QString()};
    QString Path(const std::string& name) { return QString::fromStdString(dir.File(name)); }
};

TEST_F(FolderTest, DoubledSeparatorIsAnInvalidFolder) {
    EXPECT_FALSE(dialog.TrySelect(QString::fromStdString(dir.Path()) + "//sub"));
    EXPECT_EQ(dialogs.messages, (std::vector<QString>{"Invalid Folder"}));
}

TEST_F(FolderTest, MissingFolderIsCreatedWithItsParentsOnYes) {
    dialogs.answers.push_back(true);
    QString folder = Path("New/Sub");
    ASSERT_TRUE(dialog.TrySelect(folder));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("New/Sub")));
    EXPECT_EQ(dialog.Folder(), folder + "/");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0],
              folder + "\n\nThis path does not exist. Do you want to create it?");
}

TEST_F(FolderTest, MissingFolderAnsweredNoIsReturnedUncreated) {
    dialogs.answers.push_back(false);
    ASSERT_TRUE(dialog.TrySelect(Path("Later")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("Later")));
    EXPECT_EQ(dialog.Folder(), Path("Later") + "/");
}

TEST_F(FolderTest, ExistingFolderEndsWithExactlyOneSeparator) {
    ASSERT_TRUE(dialog.TrySelect(QString::fromStdString(dir.Path()) + "/"));
    EXPECT_EQ(dialog.Folder(), QString::fromStdString(dir.Path()) + "/");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(FolderTest, FolderThatCannotBeCreatedKeepsTheDialogOpen) {
    apptest::WriteBytes(dir.File("plain"), 1);
    dialogs.answers.push_back(true);
    EXPECT_FALSE(dialog.TrySelect(Path("plain/sub")));
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1], "Could not create folder:\n" + Path("plain/sub"));
}

TEST_F(FolderTest, DialogReadsLikeAFolderChooser) {
    EXPECT_EQ(dialog.windowTitle(), "Select folder");
    EXPECT_EQ(dialog.labelText(QFileDialog::FileName), "Current Folder");
    EXPECT_EQ(dialog.labelText(QFileDialog::Accept), "Select");
    ASSERT_NE(dialog.FolderEdit(), nullptr);
    dialog.setDirectory(QString::fromStdString(dir.Path()));
    emit dialog.directoryEntered(QString::fromStdString(dir.Path()));
    EXPECT_EQ(dialog.FolderEdit()->text(), QString::fromStdString(dir.Path()));
}

// ---- Preview ---------------------------------------------------------------------------

TEST(PreviewLayoutTest, WidePictureScalesByItsWidthAndIsCentredVertically) {
    PreviewLayout layout = ComputePreviewLayout(1000, 500, QRect(4, 4, 200, 300));
    EXPECT_FLOAT_EQ(layout.scale, 5.0f);
    EXPECT_EQ(layout.fittedWidth, 200);
    EXPECT_EQ(layout.fittedHeight, 100);
    EXPECT_EQ(layout.drawWidth, 195);
    EXPECT_EQ(layout.drawHeight, 95);
    EXPECT_EQ(layout.x, 4 + 0);
    EXPECT_EQ(layout.y, 4 + 100);
}

TEST(PreviewLayoutTest, SmallPictureIsFiveSmallerButPlacedAsIfFull) {
    PreviewLayout layout = ComputePreviewLayout(50, 40, QRect(4, 4, 200, 300));
    EXPECT_FLOAT_EQ(layout.scale, 1.0f);
    EXPECT_EQ(layout.drawWidth, 45);
    EXPECT_EQ(layout.drawHeight, 35);
    EXPECT_EQ(layout.x, 4 + 75);
    EXPECT_EQ(layout.y, 4 + 130);
}

TEST(PreviewLayoutTest, TallAndSquarePicturesScaleByTheirLongSide) {
    PreviewLayout tall = ComputePreviewLayout(100, 600, QRect(0, 0, 200, 300));
    EXPECT_FLOAT_EQ(tall.scale, 2.0f);
    EXPECT_EQ(tall.fittedWidth, 50);
    EXPECT_EQ(tall.fittedHeight, 300);
    // A square wider than the rectangle scales by its width even when the height would fit.
    PreviewLayout square = ComputePreviewLayout(250, 250, QRect(0, 0, 200, 300));
    EXPECT_FLOAT_EQ(square.scale, 1.25f);
    EXPECT_EQ(square.fittedWidth, 200);
    EXPECT_EQ(square.fittedHeight, 200);
    EXPECT_EQ(square.y, 50);
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

TEST_F(PreviewTest, PaintsTheShrunkCopyCentredOnWhite) {
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
    EXPECT_EQ(image.pixelColor(100, 50), Qt::white);
    // The picture itself is kept as loaded.
    EXPECT_EQ(preview.Picture().Width(), 1000u);
}

TEST_F(PreviewTest, SoundAndMovieEntriesShowTheirPictureWithoutReadingTheFile) {
    std::string sound = dir.File("tone.wav");
    std::string movie = dir.File("clip.avi");
    apptest::WriteBytes(sound, 10);
    apptest::WriteBytes(movie, 10);
    EXPECT_EQ(preview.SetImage(sound, &options), 1);
    EXPECT_EQ(preview.Kind(), KindAudioFile);
    EXPECT_TRUE(dialogs.messages.empty());
    QImage withIcon = Paint();
    preview.ClearImage();
    EXPECT_EQ(Paint(), withIcon); // the icon stays after ClearImage
    EXPECT_EQ(preview.SetImage(movie, &options), 1);
    EXPECT_EQ(preview.Kind(), KindMovieFile);
    EXPECT_NE(Paint(), withIcon);
}

TEST_F(PreviewTest, UnknownExtensionKeepsTheKindAndIsReadAsAPicture) {
    std::string picture = dir.File("photo.jpeg");
    ASSERT_TRUE(apptest::WritePicture(picture, 30, 20));
    std::string sound = dir.File("tone.wav");
    apptest::WriteBytes(sound, 10);
    preview.SetImage(sound, &options);
    EXPECT_EQ(preview.SetImage(picture, &options), 1);
    EXPECT_EQ(preview.Kind(), KindAudioFile);
    EXPECT_EQ(preview.Picture().Width(), 30u);
}

TEST_F(PreviewTest, MissingFileKeepsThePictureAndUnreadableFileReportsAndEmpties) {
    std::string picture = dir.File("pic.png");
    ASSERT_TRUE(apptest::WritePicture(picture, 30, 20));
    ASSERT_EQ(preview.SetImage(picture, &options), 1);
    EXPECT_EQ(preview.SetImage(dir.File("gone.png"), &options), 0);
    EXPECT_EQ(preview.Picture().Width(), 30u);
    EXPECT_TRUE(dialogs.messages.empty());
    std::string broken = dir.File("broken.png");
    apptest::WriteBytes(broken, 40);
    EXPECT_EQ(preview.SetImage(broken, &options), 0);
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(preview.Picture().IsEmpty());
}

TEST_F(PreviewTest, EmptyPreviewAfterAPictureShowsOnlyTheInvitation) {
    std::string picture = dir.File("pic.png");
    ASSERT_TRUE(apptest::WritePicture(picture, 100, 100, Qt::black));
    preview.SetImage(picture, &options);
    QImage shown = Paint();
    preview.ClearImage();
    QImage cleared = Paint();
    EXPECT_NE(shown, cleared);
    MFCBitmapViewerCtrl fresh;
    fresh.resize(208, 314);
    EXPECT_EQ(fresh.grab().toImage(), cleared);
}

// ---- Opening results and file filters -----------------------------------------------------

TEST(BrowserCommandTest, QuotedFieldIsCutAtItsOpeningQuote) {
    EXPECT_EQ(CutBrowserCommand("\"C:\\Program Files\\IE\\iexplore.exe\" \"%1\""),
              "\"C:\\Program Files\\IE\\iexplore.exe\" ");
    EXPECT_EQ(BrowserLaunchCommand("\"C:\\IE\\iexplore.exe\" -nohome \"%1\"", "C:\\a b\\c.swf"),
              "\"C:\\IE\\iexplore.exe\" -nohome  C:\\a b\\c.swf");
    EXPECT_EQ(CutBrowserCommand("browser \"%u\" --new"), "browser ");
}

TEST(BrowserCommandTest, BareFieldIsCutWhereItStandsAndNoFieldKeepsTheWhole) {
    EXPECT_EQ(CutBrowserCommand("firefox %u"), "firefox ");
    EXPECT_EQ(CutBrowserCommand("chromium --flag %U"), "chromium --flag ");
    EXPECT_EQ(CutBrowserCommand("viewer %F"), "viewer ");
    EXPECT_EQ(CutBrowserCommand("iexplore.exe -nohome %1"), "iexplore.exe -nohome ");
    EXPECT_EQ(CutBrowserCommand("/usr/bin/browser"), "/usr/bin/browser");
    EXPECT_EQ(BrowserLaunchCommand("/usr/bin/browser", "/tmp/my movie.swf"),
              "/usr/bin/browser /tmp/my movie.swf");
    // A quoted field wins over an earlier bare one.
    EXPECT_EQ(CutBrowserCommand("b %f \"%1\""), "b %f ");
    EXPECT_EQ(CutBrowserCommand("b %d %x"), "b %d %x");
}

TEST(FileFilterTest, ClassicFiltersBecomeQtNameFilters) {
    EXPECT_EQ(QtNameFilters("Flash Files (.swf)|*.swf|"), "Flash Files (.swf) (*.swf)");
    QStringList add = QtNameFilters(kAddFilter).split(";;");
    ASSERT_EQ(add.size(), 12);
    EXPECT_EQ(add[8], "tla (.tla) (*.tla)");
    EXPECT_EQ(add[9], "tiff (.tiff;.tif) (*.tiff *.tif)");
    EXPECT_TRUE(add[0].endsWith("(*.bmp *.jpg *.png *.pcx *.psd *.pax *.tga *.tls *.tiff *.tif "
                                "*.wav *.avi)"));
}

} // namespace
