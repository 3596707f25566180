// The options dialog's load and store rules: edits kept however the dialog closes, "Set
// Defaults", the largest-image lock, the preloader and fraction controls, the format
// sub-pages writing to the right entry, and the lens slider against the alpha.
#include "app/app_test_support.h"
#include "app/color_button.h"
#include "app/format_pages.h"
#include "app/main_window.h"
#include "app/option_pages.h"
#include "app/options_dialog.h"
#include "app/small_controls.h"
#include "support/test_util.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class OptionsDialogTest : public ::testing::Test {
protected:
    // A shown dialog on the record, with the tab selected.
    std::unique_ptr<COptionsDialog> Open(int tab = 0) {
        auto dialog = std::make_unique<COptionsDialog>(nullptr, &options);
        dialog->show();
        dialog->Tabs()->SelectTab(tab);
        return dialog;
    }

    int EntryOf(int32_t id) { return options.FindFormat(id); }

    apptest::DialogRecorder dialogs;
    ConvertOptions options;
};

TEST_F(OptionsDialogTest, EditsAreKeptAfterSwitchingTabsAndCancelling) {
    auto dialog = Open(1);
    dialog->MoviePage()->frameRate->setText("24");
    dialog->Tabs()->SelectTab(0);
    EXPECT_EQ(options.frameRate, 24);
    dialog->SizePage()->imageX->setText("15px");
    dialog->CancelButton()->click();
    EXPECT_EQ(options.imageX, 15);
}

TEST_F(OptionsDialogTest, EditsOnTheShownPageAreKeptWhenTheDialogIsDestroyed) {
    {
        auto dialog = Open(2);
        dialog->LensPage()->alpha->setText("77");
    }
    EXPECT_EQ(options.lensAlpha, 77);
}

TEST_F(OptionsDialogTest, SetDefaultsOnTheLensTabIsKeptAfterOk) {
    options.useLens = 1;
    options.lensAlpha = 120;
    options.lensColor = 0x0000FF;
    auto dialog = Open(2);
    CLensPage* lens = dialog->LensPage();
    EXPECT_TRUE(lens->useLens->isChecked());
    EXPECT_EQ(lens->hex->text(), "0xFF0000");
    dialog->DefaultsButton()->click();
    EXPECT_FALSE(lens->useLens->isChecked());
    EXPECT_EQ(lens->alpha->text(), "0");
    EXPECT_EQ(lens->slider->value(), 255);
    EXPECT_EQ(lens->hex->text(), "0x000000");
    EXPECT_FALSE(lens->color->isEnabled());
    dialog->OkButton()->click();
    EXPECT_EQ(options.useLens, 0);
    EXPECT_EQ(options.lensAlpha, 0);
    EXPECT_EQ(options.lensColor, 0u);
}

TEST_F(OptionsDialogTest, LargestImageLocksTheMovieSizesAndSelectsDoNotChange) {
    options.sizeToLargestImage = 0;
    options.imageSizing = SizingStretch;
    auto dialog = Open(0);
    CSizePage* size = dialog->SizePage();
    EXPECT_TRUE(size->movieWidth->isEnabled());
    EXPECT_TRUE(size->stretch->isChecked());
    size->largestImage->click();
    EXPECT_EQ(options.sizeToLargestImage, 1);
    EXPECT_EQ(options.imageSizing, SizingKeep);
    EXPECT_TRUE(size->keep->isChecked());
    EXPECT_TRUE(size->keep->isEnabled());
    EXPECT_FALSE(size->movieWidth->isEnabled());
    EXPECT_FALSE(size->movieHeight->isEnabled());
    EXPECT_FALSE(size->stretch->isEnabled());
    EXPECT_FALSE(size->preset->isEnabled());
    size->largestImage->click();
    EXPECT_TRUE(size->movieWidth->isEnabled());
    EXPECT_TRUE(size->preset->isEnabled());
}

TEST_F(OptionsDialogTest, PresetRadioEnablesThePresetSizes) {
    options.sizeToLargestImage = 0;
    options.imageSizing = SizingKeep;
    auto dialog = Open(0);
    CSizePage* size = dialog->SizePage();
    EXPECT_FALSE(size->presetWidth->isEnabled());
    size->preset->click();
    EXPECT_TRUE(size->presetWidth->isEnabled());
    EXPECT_TRUE(size->presetHeight->isEnabled());
    size->presetWidth->setValue(640);
    size->stretch->click();
    EXPECT_FALSE(size->presetWidth->isEnabled());
    dialog->OkButton()->click();
    EXPECT_EQ(options.imageSizing, SizingStretch);
    EXPECT_EQ(options.presetWidth, 640);
}

TEST_F(OptionsDialogTest, AnUnknownSizingValueShowsUsePresets) {
    options.sizeToLargestImage = 0;
    options.imageSizing = 9;
    auto dialog = Open(0);
    EXPECT_TRUE(dialog->SizePage()->preset->isChecked());
    EXPECT_FALSE(dialog->SizePage()->presetWidth->isEnabled());
    dialog->OkButton()->click();
    EXPECT_EQ(options.imageSizing, SizingPreset);
}

TEST_F(OptionsDialogTest, BackgroundColourLabelFollowsTheButton) {
    options.backgroundColor = 0x00563412;
    auto dialog = Open(0);
    CSizePage* size = dialog->SizePage();
    EXPECT_EQ(size->backgroundHex->text(), "0x123456");
    size->background->PopupEnded(true, 0x0000FF);
    EXPECT_EQ(size->backgroundHex->text(), "0xFF0000");
    dialog->OkButton()->click();
    EXPECT_EQ(options.backgroundColor, 0x0000FFu);
}

TEST_F(OptionsDialogTest, OtherFractionIsStoredAndShownAgain) {
    options.usePreloader = 1;
    options.preloadFraction = 4;
    auto dialog = Open(1);
    CMovieAnimationPage* movie = dialog->MoviePage();
    EXPECT_TRUE(movie->quarter->isChecked());
    EXPECT_FALSE(movie->fraction->isEnabled());
    movie->other->click();
    EXPECT_TRUE(movie->fraction->isEnabled());
    movie->fraction->setText("5");
    dialog->Tabs()->SelectTab(0);
    EXPECT_EQ(options.preloadFraction, 5);
    dialog->Tabs()->SelectTab(1);
    EXPECT_TRUE(movie->other->isChecked());
    EXPECT_EQ(movie->fraction->text(), "5");
    EXPECT_TRUE(movie->fraction->isEnabled());
    movie->third->click();
    EXPECT_EQ(movie->fraction->text(), "3");
    EXPECT_FALSE(movie->fraction->isEnabled());
}

TEST_F(OptionsDialogTest, PreloaderControlsFollowUseAPreloader) {
    options.usePreloader = 0;
    options.preloaderImage = "INTERNAL";
    auto dialog = Open(1);
    CMovieAnimationPage* movie = dialog->MoviePage();
    EXPECT_FALSE(movie->quarter->isEnabled());
    EXPECT_FALSE(movie->internalPicture->isEnabled());
    movie->usePreloader->click();
    EXPECT_EQ(options.usePreloader, 1);
    EXPECT_TRUE(movie->quarter->isEnabled());
    EXPECT_TRUE(movie->internalPicture->isChecked());
    // The built-in picture needs no file name.
    EXPECT_FALSE(movie->fileName->isEnabled());
    EXPECT_FALSE(movie->browse->isEnabled());
    movie->internalPicture->click();
    EXPECT_EQ(options.preloaderImage, "");
    EXPECT_TRUE(movie->fileName->isEnabled());
    EXPECT_TRUE(movie->browse->isEnabled());
}

TEST_F(OptionsDialogTest, ShortPreloaderFileNameIsStoredAsInternal) {
    options.usePreloader = 1;
    auto dialog = Open(1);
    CMovieAnimationPage* movie = dialog->MoviePage();
    movie->fileName->setText("a.bm");
    dialog->Tabs()->SelectTab(0);
    EXPECT_EQ(options.preloaderImage, "INTERNAL");
    dialog->Tabs()->SelectTab(1);
    movie->fileName->setText("/pics/logo.png");
    dialog->Tabs()->SelectTab(0);
    EXPECT_EQ(options.preloaderImage, "/pics/logo.png");
}

TEST_F(OptionsDialogTest, BrowseTakesTheLastChosenPreloaderPicture) {
    options.usePreloader = 1;
    options.preloaderImage = "/old/picture.png";
    auto dialog = Open(1);
    CMovieAnimationPage* movie = dialog->MoviePage();
    ASSERT_FALSE(movie->internalPicture->isChecked());
    dialogs.files.push_back({"/a/first.png", "/a/second.jpg"});
    movie->browse->click();
    EXPECT_EQ(options.preloaderImage, "/a/second.jpg");
    EXPECT_EQ(movie->fileName->text(), "/a/second.jpg");
    ASSERT_EQ(dialogs.filters.size(), 1u);
    EXPECT_TRUE(dialogs.filters[0].startsWith("Supported Formats (.bmp;.jpg;.png;.pcx;.psd;.pax;"
                                              ".tga;.tls;.tiff;,tif;)|"));
}

TEST_F(OptionsDialogTest, OutputModeRadiosActAtOnceAndSmallRatesShowTheirFallback) {
    options.frameRate = 0;
    options.framesPerImage = -3;
    auto dialog = Open(1);
    CMovieAnimationPage* movie = dialog->MoviePage();
    EXPECT_EQ(movie->frameRate->text(), "12");
    EXPECT_EQ(movie->framesPerImage->text(), "1");
    EXPECT_TRUE(movie->individual->isChecked());
    movie->single->click();
    EXPECT_EQ(options.outputMode, OutputSingle);
    // Storing the page wrote the shown values back.
    EXPECT_EQ(options.frameRate, 12);
    EXPECT_EQ(options.framesPerImage, 1);
}

TEST_F(OptionsDialogTest, UnknownOutputModeChecksNeitherRadioAndIsKept) {
    options.outputMode = 5;
    auto dialog = Open(1);
    EXPECT_FALSE(dialog->MoviePage()->individual->isChecked());
    EXPECT_FALSE(dialog->MoviePage()->single->isChecked());
    dialog->OkButton()->click();
    EXPECT_EQ(options.outputMode, 5);
}

TEST_F(OptionsDialogTest, LensSliderPositionIsTheInverseOfTheAlpha) {
    options.useLens = 1;
    options.lensAlpha = 200;
    options.lensColor = 0x0000FF;
    auto dialog = Open(2);
    CLensPage* lens = dialog->LensPage();
    EXPECT_EQ(lens->slider->value(), 55);
    EXPECT_EQ(lens->swatch->Alpha(), 200);
    lens->slider->setValue(100);
    EXPECT_EQ(lens->alpha->text(), "155");
    EXPECT_EQ(lens->swatch->Alpha(), 155);
    dialog->OkButton()->click();
    EXPECT_EQ(options.lensAlpha, 155);
}

TEST_F(OptionsDialogTest, UseLensEnablesTheLensControls) {
    options.useLens = 0;
    auto dialog = Open(2);
    CLensPage* lens = dialog->LensPage();
    EXPECT_FALSE(lens->slider->isEnabled());
    EXPECT_FALSE(lens->alpha->isEnabled());
    lens->useLens->click();
    EXPECT_TRUE(lens->slider->isEnabled());
    EXPECT_TRUE(lens->color->isEnabled());
    EXPECT_TRUE(lens->alpha->isEnabled());
    EXPECT_TRUE(lens->information->text().startsWith("Lens effects can be used as special"));
}

TEST_F(OptionsDialogTest, FormatListShowsElevenSortedLines) {
    auto dialog = Open(3);
    QListWidget* list = dialog->FormatPage()->formats;
    QStringList lines;
    for (int i = 0; i < list->count(); ++i) {
        lines << list->item(i)->text();
    }
    EXPECT_EQ(lines, (QStringList{".AVI", ".BMP", ".JPG", ".PAX", ".PCX", ".PNG", ".PSD", ".TGA",
                                  ".TIF", ".TLA", "Audio (.WAV)"}));
}

TEST_F(OptionsDialogTest, SubPageWritesToTheEntryItWasShowingBeforeTheNextFormat) {
    auto dialog = Open(3);
    CFormatPage* page = dialog->FormatPage();
    int bmp = EntryOf(FormatBmp);
    int png = EntryOf(FormatPng);
    int pngQuality = options.formats[png].quality;
    page->SelectFormatLine(".BMP");
    EXPECT_FALSE(page->imagePage->isHidden());
    EXPECT_EQ(page->formatType->text(), ".bmp");
    EXPECT_EQ(page->formatClass->text(), "Static Image File");
    page->imagePage->quality->setValue(33);
    page->imagePage->smallCompression->setCurrentIndex(1);
    page->SelectFormatLine(".PNG");
    EXPECT_EQ(options.formats[bmp].quality, 33);
    EXPECT_EQ(options.formats[bmp].smallCompression, EncodeLossless);
    EXPECT_EQ(options.formats[png].quality, pngQuality);
    EXPECT_EQ(page->imagePage->quality->value(), pngQuality);
    EXPECT_EQ(page->imagePage->compression->currentIndex(), 1); // PNG: lossless by default
}

TEST_F(OptionsDialogTest, SelectingTheListLineShowsTheSubPageForItsKind) {
    auto dialog = Open(3);
    CFormatPage* page = dialog->FormatPage();
    auto items = page->formats->findItems(".AVI", Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1);
    page->formats->setCurrentItem(items[0]);
    EXPECT_FALSE(page->moviePage->isHidden());
    EXPECT_TRUE(page->imagePage->isHidden());
    EXPECT_EQ(page->formatClass->text(), "Movie File");
    page->moviePage->framesPerImage->setText("4");
    page->moviePage->sounds->setChecked(false);
    dialog->OkButton()->click();
    EXPECT_EQ(options.formats[EntryOf(FormatAvi)].swfFramesPerImage, 4);
    EXPECT_EQ(options.formats[EntryOf(FormatAvi)].soundFlag, 0);
}

TEST_F(OptionsDialogTest, AudioLineShowsAdpcm3BitAfterSetDefaults) {
    options.formats[EntryOf(FormatWav)].compression = AudioPcm;
    auto dialog = Open(3);
    dialog->DefaultsButton()->click();
    CFormatPage* page = dialog->FormatPage();
    page->SelectFormatLine("Audio (.WAV)");
    EXPECT_FALSE(page->audioPage->isHidden());
    EXPECT_EQ(page->formatType->text(), ".wav");
    EXPECT_EQ(page->formatClass->text(), "Audio File");
    EXPECT_EQ(page->audioPage->encoding->currentText(), "ADPCM 3 Bit");
    EXPECT_FALSE(page->audioPage->stream->isEnabled());
    page->audioPage->encoding->setCurrentIndex(0);
    page->audioPage->mono->setChecked(true);
    dialog->Tabs()->SelectTab(0);
    EXPECT_EQ(options.formats[EntryOf(FormatWav)].compression, AudioPcm);
    EXPECT_EQ(options.formats[EntryOf(FormatWav)].soundFlag, 1);
}

TEST_F(OptionsDialogTest, SystemPageKeepsAnUnknownModeAndStoresTheFolder) {
    options.performanceMode = 7;
    auto dialog = Open(4);
    CSystemPage* system = dialog->SystemPage();
    EXPECT_FALSE(system->leastRam->isChecked());
    EXPECT_FALSE(system->maxRam->isChecked());
    system->tempDirectory->setText("/var/tmp/kestrova work/");
    dialog->OkButton()->click();
    EXPECT_EQ(options.performanceMode, 7);
    EXPECT_EQ(options.tempDirectory, "/var/tmp/kestrova work/");
}

TEST_F(OptionsDialogTest, DisabledTabIsRefused) {
    auto dialog = Open(0);
    dialog->Tabs()->EnableTab(2, false);
    EXPECT_FALSE(dialog->Tabs()->SelectTab(2));
    EXPECT_EQ(dialog->Tabs()->currentIndex(), 0);
    EXPECT_FALSE(dialog->SizePage()->isHidden());
    EXPECT_EQ(dialog->Tabs()->Bar()->TextColor(0), QColor(255, 0, 0));
}

TEST_F(OptionsDialogTest, SelectedTabIsRedAndTheTabUnderTheMouseBlack) {
    auto dialog = Open(0);
    CPageTabBar* bar = dialog->Tabs()->Bar();
    bar->normalColor = QColor(0, 0, 200);
    EXPECT_EQ(bar->TextColor(1), QColor(0, 0, 200));
    QTest::mouseMove(bar, bar->tabRect(1).center());
    EXPECT_EQ(bar->HotTab(), 1);
    EXPECT_EQ(bar->TextColor(1), QColor(0, 0, 0));
    EXPECT_EQ(bar->TextColor(0), QColor(255, 0, 0));
    dialog->Tabs()->EnableTab(3, false);
    QTest::mouseMove(bar, bar->tabRect(3).center());
    EXPECT_EQ(bar->HotTab(), -1);
    // A click on the disabled tab leaves the selection where it was.
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(3).center());
    EXPECT_EQ(dialog->Tabs()->currentIndex(), 0);
}

TEST(OptionsFromTheWindowTest, EmptyTemporaryDirectoryIsReplacedAfterTheDialog) {
    apptest::DialogRecorder dialogs;
    testutil::TempDir dir;
    ConvertOptions().SaveOptionsFile(dir.File("kestrova.ini"));
    MainWindow window(dir.File("kestrova.ini"));
    window.Initialize();
    window.Options().tempDirectory.clear();
    // The dialog is modal: close it from inside its own event loop.
    QTimer::singleShot(50, [] {
        if (auto* dialog = qobject_cast<COptionsDialog*>(QApplication::activeModalWidget())) {
            dialog->SystemPage()->tempDirectory->clear();
            dialog->reject();
        }
    });
    window.OnOptions();
    EXPECT_EQ(window.Options().tempDirectory, SystemTempDirectory());
}

} // namespace
