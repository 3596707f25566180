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

TEST_F(OptionsDialogTest, EditsAreKeptWhicheverWayTheDialogCloses) {
    {
        auto dialog = Open(1);
        dialog->MoviePage()->frameRate->setText("24");
        dialog->MoviePage()->writeHtmlPage->setChecked(true);
        dialog->Tabs()->SelectTab(0);
        EXPECT_EQ(options.frameRate, 24);
        EXPECT_EQ(options.writeHtmlPage, 1);
        dialog->SizePage()->imageX->setText("15px");
        dialog->CancelButton()->click();
        EXPECT_EQ(options.imageX, 15);
    }
    {
        auto dialog = Open(2);
        dialog->LensPage()->alpha->setText("77");
    }
    EXPECT_EQ(options.lensAlpha, 77); // stored when the dialog is destroyed
}

TEST_F(OptionsDialogTest, SizePageLocksForTheLargestImageAndUnlocksThePresetSizes) {
    options.sizeToLargestImage = 0;
    options.imageSizing = 9;
    options.backgroundColor = 0x00563412;
    auto dialog = Open(0);
    CSizePage* size = dialog->SizePage();
    // An unknown sizing shows "Use Presets" with the sizes locked until the radio is chosen.
    EXPECT_TRUE(size->preset->isChecked());
    EXPECT_FALSE(size->presetWidth->isEnabled());
    size->keep->click();
    size->preset->click();
    EXPECT_TRUE(size->presetWidth->isEnabled());
    EXPECT_TRUE(size->presetHeight->isEnabled());
    size->presetWidth->setValue(640);
    EXPECT_EQ(size->backgroundHex->text(), "0x123456");
    size->background->PopupEnded(true, 0x0000FF);
    EXPECT_EQ(size->backgroundHex->text(), "0xFF0000");

    // The largest image sets the movie's size: "Do Not Change" is selected and the rest locked.
    size->largestImage->click();
    EXPECT_EQ(options.sizeToLargestImage, 1);
    EXPECT_EQ(options.imageSizing, SizingKeep);
    EXPECT_TRUE(size->keep->isChecked());
    EXPECT_TRUE(size->keep->isEnabled());
    for (QWidget* locked : std::initializer_list<QWidget*>{size->movieWidth, size->movieHeight,
                                                           size->stretch, size->preset}) {
        EXPECT_FALSE(locked->isEnabled());
    }
    size->largestImage->click();
    EXPECT_TRUE(size->movieWidth->isEnabled());
    size->preset->click();
    dialog->OkButton()->click();
    EXPECT_EQ(options.imageSizing, SizingPreset);
    EXPECT_EQ(options.presetWidth, 640);
    EXPECT_EQ(options.backgroundColor, 0x0000FFu);
}

TEST_F(OptionsDialogTest, PreloaderControlsFollowUseAPreloaderThePictureAndTheFraction) {
    options.usePreloader = 0;
    options.preloaderImage = "INTERNAL";
    options.preloadFraction = 4;
    auto dialog = Open(1);
    CMovieAnimationPage* movie = dialog->MoviePage();
    EXPECT_FALSE(movie->internalPicture->isEnabled());
    movie->usePreloader->click();
    EXPECT_EQ(options.usePreloader, 1);
    EXPECT_TRUE(movie->quarter->isChecked());
    EXPECT_FALSE(movie->fraction->isEnabled());
    EXPECT_TRUE(movie->internalPicture->isChecked());
    // The built-in picture needs no file name.
    EXPECT_FALSE(movie->fileName->isEnabled());
    EXPECT_FALSE(movie->browse->isEnabled());
    movie->internalPicture->click();
    EXPECT_EQ(options.preloaderImage, "");
    // A name too short to be a picture file stands for the built-in one.
    movie->fileName->setText("a.bm");
    dialog->Tabs()->SelectTab(0);
    EXPECT_EQ(options.preloaderImage, "INTERNAL");
    dialog->Tabs()->SelectTab(1);
    // "Other" takes the fraction's text, kept when the page is shown again.
    movie->other->click();
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
    // Browse takes the last of the chosen files.
    dialogs.files.push_back({"/a/first.png", "/a/second.jpg"});
    movie->internalPicture->click();
    movie->browse->click();
    EXPECT_EQ(options.preloaderImage, "/a/second.jpg");
    EXPECT_EQ(movie->fileName->text(), "/a/second.jpg");
    ASSERT_EQ(dialogs.filters.size(), 1u);
    EXPECT_TRUE(dialogs.filters[0].startsWith("Supported Formats (.bmp;.jpg;.png;.pcx;.psd;.pax;"
                                              ".tga;.tls;.tiff;,tif;)|"));
}

TEST_F(OptionsDialogTest, UnknownModesAreKeptAndSmallRatesShowTheirFallback) {
    options.frameRate = 0;
    options.framesPerImage = -3;
    options.outputMode = 5;
    options.performanceMode = 7;
    auto dialog = Open(1);
    CMovieAnimationPage* movie = dialog->MoviePage();
    EXPECT_EQ(movie->frameRate->text(), "12");
    EXPECT_EQ(movie->framesPerImage->text(), "1");
    EXPECT_FALSE(movie->individual->isChecked());
    EXPECT_FALSE(movie->single->isChecked());
    dialog->Tabs()->SelectTab(4);
    CSystemPage* system = dialog->SystemPage();
    EXPECT_FALSE(system->leastRam->isChecked());
    EXPECT_FALSE(system->maxRam->isChecked());
    system->tempDirectory->setText("/var/tmp/kestrova work/");
    dialog->OkButton()->click();
    EXPECT_EQ(options.outputMode, 5);
    EXPECT_EQ(options.performanceMode, 7);
    EXPECT_EQ(options.frameRate, 12); // storing the page wrote the shown values back
    EXPECT_EQ(options.framesPerImage, 1);
    EXPECT_EQ(options.tempDirectory, "/var/tmp/kestrova work/");
    // The output mode radios act at once.
    dialog = Open(1);
    dialog->MoviePage()->single->click();
    EXPECT_EQ(options.outputMode, OutputSingle);
}

TEST_F(OptionsDialogTest, LensSliderIsTheInverseOfTheAlphaAndSetDefaultsIsKeptAfterOk) {
    options.useLens = 0;
    options.lensAlpha = 200;
    options.lensColor = 0x0000FF;
    auto dialog = Open(2);
    CLensPage* lens = dialog->LensPage();
    EXPECT_EQ(lens->hex->text(), "0xFF0000");
    EXPECT_FALSE(lens->slider->isEnabled());
    lens->useLens->click();
    EXPECT_TRUE(lens->slider->isEnabled());
    EXPECT_TRUE(lens->color->isEnabled());
    EXPECT_EQ(lens->slider->value(), 55);
    EXPECT_EQ(lens->swatch->Alpha(), 200);
    lens->slider->setValue(100);
    EXPECT_EQ(lens->alpha->text(), "155");
    EXPECT_EQ(lens->swatch->Alpha(), 155);
    dialog->Tabs()->SelectTab(0);
    EXPECT_EQ(options.lensAlpha, 155);

    dialog->Tabs()->SelectTab(2);
    dialog->DefaultsButton()->click();
    EXPECT_FALSE(lens->useLens->isChecked());
    EXPECT_EQ(lens->slider->value(), 255);
    EXPECT_EQ(lens->hex->text(), "0x000000");
    EXPECT_FALSE(lens->color->isEnabled());
    dialog->OkButton()->click();
    EXPECT_EQ(options.useLens, 0);
    EXPECT_EQ(options.lensAlpha, 0);
    EXPECT_EQ(options.lensColor, 0u);
}

TEST_F(OptionsDialogTest, EachSubPageWritesToTheEntryItWasShowing) {
    options.formats[EntryOf(FormatWav)].compression = AudioPcm;
    auto dialog = Open(3);
    CFormatPage* page = dialog->FormatPage();
    EXPECT_EQ(page->formats->count(), 11);
    // "Set Defaults" gives the audio entry 3-bit ADPCM.
    dialog->DefaultsButton()->click();
    page->SelectFormatLine("Audio (.WAV)");
    EXPECT_FALSE(page->audioPage->isHidden());
    EXPECT_EQ(page->formatClass->text(), "Audio File");
    EXPECT_EQ(page->audioPage->encoding->currentText(), "ADPCM 3 Bit");
    EXPECT_FALSE(page->audioPage->stream->isEnabled());
    page->audioPage->encoding->setCurrentIndex(0);
    page->audioPage->mono->setChecked(true);

    int bmp = EntryOf(FormatBmp);
    int png = EntryOf(FormatPng);
    int pngQuality = options.formats[png].quality;
    page->SelectFormatLine(".BMP");
    EXPECT_FALSE(page->imagePage->isHidden());
    EXPECT_EQ(page->formatType->text(), ".bmp");
    page->imagePage->quality->setValue(33);
    page->imagePage->smallCompression->setCurrentIndex(1);
    page->SelectFormatLine(".PNG");
    EXPECT_EQ(options.formats[bmp].quality, 33);
    EXPECT_EQ(options.formats[bmp].smallCompression, EncodeLossless);
    EXPECT_EQ(options.formats[png].quality, pngQuality);
    EXPECT_EQ(page->imagePage->quality->value(), pngQuality);
    EXPECT_EQ(page->imagePage->compression->currentIndex(), 1); // PNG: lossless by default
    // Only the JPEG entry offers Original JPEG.
    page->SelectFormatLine(".JPG");
    page->imagePage->compression->setCurrentIndex(2);
    page->SelectFormatLine(".PNG");
    EXPECT_EQ(options.formats[EntryOf(FormatJpg)].compression, EncodeOriginal);
    EXPECT_EQ(page->imagePage->compression->count(), 2);

    // A click on the list line shows the sub-page of the line's kind.
    page->formats->setCurrentItem(page->formats->findItems(".AVI", Qt::MatchExactly).value(0));
    EXPECT_FALSE(page->moviePage->isHidden());
    EXPECT_TRUE(page->imagePage->isHidden());
    EXPECT_EQ(page->formatClass->text(), "Movie File");
    page->moviePage->framesPerImage->setText("4");
    page->moviePage->sounds->setChecked(false);
    dialog->OkButton()->click();
    EXPECT_EQ(options.formats[EntryOf(FormatAvi)].swfFramesPerImage, 4);
    EXPECT_EQ(options.formats[EntryOf(FormatAvi)].soundFlag, 0);
    EXPECT_EQ(options.formats[EntryOf(FormatWav)].compression, AudioPcm);
    EXPECT_EQ(options.formats[EntryOf(FormatWav)].soundFlag, 1);
}

TEST_F(OptionsDialogTest, SelectedTabIsRedHotTabBlackAndDisabledTabsAreRefused) {
    auto dialog = Open(0);
    CPageTabBar* bar = dialog->Tabs()->Bar();
    bar->normalColor = QColor(0, 0, 200);
    EXPECT_EQ(bar->TextColor(0), QColor(255, 0, 0));
    EXPECT_EQ(bar->TextColor(1), QColor(0, 0, 200));
    QTest::mouseMove(bar, bar->tabRect(1).center());
    EXPECT_EQ(bar->HotTab(), 1);
    EXPECT_EQ(bar->TextColor(1), QColor(0, 0, 0));
    dialog->Tabs()->EnableTab(3, false);
    EXPECT_FALSE(dialog->Tabs()->SelectTab(3));
    QTest::mouseMove(bar, bar->tabRect(3).center());
    EXPECT_EQ(bar->HotTab(), -1);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(3).center());
    EXPECT_EQ(dialog->Tabs()->currentIndex(), 0);
    EXPECT_FALSE(dialog->SizePage()->isHidden());
}

class OptionsFromTheWindowTest : public apptest::WindowTest {};

TEST_F(OptionsFromTheWindowTest, EmptyTemporaryDirectoryIsReplacedAfterTheDialog) {
    window->Options().tempDirectory.clear();
    // The dialog is modal: close it from inside its own event loop.
    QTimer::singleShot(50, [] {
        if (auto* dialog = qobject_cast<COptionsDialog*>(QApplication::activeModalWidget())) {
            dialog->SystemPage()->tempDirectory->clear();
            dialog->reject();
        }
    });
    window->OnOptions();
    EXPECT_EQ(window->Options().tempDirectory, SystemTempDirectory());
}

} // namespace
