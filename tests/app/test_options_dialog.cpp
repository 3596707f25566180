// The options dialog writing the options record: edits kept however the dialog closes, the
// preloader and fraction controls, and the format sub-pages writing to the entry they show.
#include "app/app_test_support.h"
#include "app/format_pages.h"
#include "app/option_pages.h"
#include "app/options_dialog.h"
#include "app/small_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <gtest/gtest.h>

namespace kestrova::test {

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
        dialog->Tabs()->SelectTab(0);
        EXPECT_EQ(options.frameRate, 24);
        dialog->SizePage()->imageX->setText("15px");
        dialog->CancelButton()->click();
        EXPECT_EQ(options.imageX, 15);
    }
    {
        auto dialog = Open(2);
        dialog->LensPage()->alpha->setText("77");
    }
    EXPECT_EQ(options.lensAlpha, 77); // stored when the dialog is destroyed
    {
        auto dialog = Open(4);
        EXPECT_EQ(dialog->SystemPage()->workerThreads->text(), "Automatic");
        dialog->SystemPage()->workerThreads->setValue(3);
    }
    EXPECT_EQ(options.workerThreads, 3);
}

TEST_F(OptionsDialogTest, PreloaderPictureAndFractionFollowTheirControls) {
    options.usePreloader = 0;
    options.preloaderImage = "INTERNAL";
    options.preloadFraction = 4;
    auto dialog = Open(1);
    CMovieAnimationPage* movie = dialog->MoviePage();
    EXPECT_FALSE(movie->internalPicture->isEnabled());
    movie->usePreloader->click();
    EXPECT_EQ(options.usePreloader, 1);
    EXPECT_TRUE(movie->quarter->isChecked());
    EXPECT_TRUE(movie->internalPicture->isChecked());
    movie->internalPicture->click();
    EXPECT_EQ(options.preloaderImage, "");
    // A name too short to be a picture file stands for the built-in one.
    movie->fileName->setText("a.bm");
    dialog->Tabs()->SelectTab(0);
    EXPECT_EQ(options.preloaderImage, "INTERNAL");
    dialog->Tabs()->SelectTab(1);
    // "Other" takes the fraction's text.
    movie->other->click();
    movie->fraction->setText("5");
    dialog->Tabs()->SelectTab(0);
    EXPECT_EQ(options.preloadFraction, 5);
    // Browse takes the last of the chosen files.
    dialogs.files.push_back({"/a/first.png", "/a/second.jpg"});
    movie->internalPicture->click();
    movie->browse->click();
    EXPECT_EQ(options.preloaderImage, "/a/second.jpg");
}

TEST_F(OptionsDialogTest, EachSubPageWritesToTheEntryItWasShowing) {
    options.formats[EntryOf(FormatWav)].compression = AudioPcm;
    auto dialog = Open(3);
    CFormatPage* page = dialog->FormatPage();
    // "Set Defaults" gives the audio entry 3-bit ADPCM.
    dialog->DefaultsButton()->click();
    page->SelectFormatLine("Audio (.WAV)");
    EXPECT_EQ(page->audioPage->encoding->currentText(), "ADPCM 3 Bit");
    page->audioPage->encoding->setCurrentIndex(0);
    page->audioPage->mono->setChecked(true);

    int bmp = EntryOf(FormatBmp);
    int png = EntryOf(FormatPng);
    int pngQuality = options.formats[png].quality;
    page->SelectFormatLine(".BMP");
    page->imagePage->quality->setValue(33);
    page->imagePage->smallCompression->setCurrentIndex(1);
    page->SelectFormatLine(".PNG");
    EXPECT_EQ(options.formats[bmp].quality, 33);
    EXPECT_EQ(options.formats[bmp].smallCompression, EncodeLossless);
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
    page->moviePage->framesPerImage->setText("4");
    page->moviePage->sounds->setChecked(false);
    dialog->OkButton()->click();
    EXPECT_EQ(options.formats[EntryOf(FormatAvi)].swfFramesPerImage, 4);
    EXPECT_EQ(options.formats[EntryOf(FormatAvi)].soundFlag, 0);
    EXPECT_EQ(options.formats[EntryOf(FormatWav)].compression, AudioPcm);
    EXPECT_EQ(options.formats[EntryOf(FormatWav)].soundFlag, 1);
}

} // namespace

} // namespace kestrova::test
