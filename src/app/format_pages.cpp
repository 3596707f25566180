#include "app/format_pages.h"
#include "app/app_namespace.h"

#include "app/page_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>
#include <QVBoxLayout>

namespace kestrova::app {

namespace {

// The lines of a compression list: JPEG, lossless, and on the JPEG entry's page the files'
// own JPEG data. Original JPEG shows the JPEG line where it is not offered (the converter
// takes it as JPEG there); any other value shows the lossless line.
int EncodingIndex(const QComboBox* list, int32_t compression) {
    if (compression == EncodeOriginal) {
        return list->count() > 2 ? 2 : 0;
    }
    return compression == EncodeJpeg ? 0 : 1;
}

int32_t EncodingOf(const QComboBox* list) {
    constexpr int32_t kLines[] = {EncodeJpeg, EncodeLossless, EncodeOriginal};
    const int index = list->currentIndex();
    return index >= 0 && index < 3 ? kLines[index] : EncodeJpeg;
}

// Offers the Original JPEG line on the JPEG entry's page only.
void OfferOriginal(QComboBox* list, bool offer) {
    if (offer && list->count() == 2) {
        list->addItem("Original JPEG (kept as it is)");
    } else if (!offer && list->count() == 3) {
        list->removeItem(2);
    }
}

// "Compression :" with the JPEG / lossless list, then "Quality :" with a horizontal slider
// from `minimum` to 100 between its end labels and the current value.
void AddEncodingRows(QVBoxLayout* layout, QWidget* parent, int minimum, QComboBox*& compression,
                     QSlider*& quality) {
    compression = new QComboBox(parent);
    compression->addItems({"JPEG encoding", "Lossless (32 bit)"});
    layout->addLayout(LabelledRow("Compression :", compression, parent));
    quality = new QSlider(Qt::Horizontal, parent);
    quality->setRange(minimum, 100);
    quality->setTickPosition(QSlider::TicksBelow);
    quality->setTickInterval(10);
    auto* value = new QLabel(parent);
    value->setMinimumWidth(28);
    QObject::connect(quality, &QSlider::valueChanged, value,
                     [value](int v) { value->setText(QString::number(v)); });
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Quality :", parent));
    row->addWidget(new QLabel("0", parent));
    row->addWidget(quality, 1);
    row->addWidget(new QLabel("100 (best)", parent));
    row->addWidget(value);
    layout->addLayout(row);
}

QString Number(int value) {
    return QString::number(value);
}

} // namespace

CFormatSubPage::CFormatSubPage(const char* name, const char* title, QWidget* parent)
    : COptionsPage(parent) {
    setObjectName(name);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    frame = new QGroupBox(title, this);
    outer->addWidget(frame);
    frameLayout = new QVBoxLayout(frame);
}

FormatOptions* CFormatSubPage::Entry() {
    int index = options != nullptr ? options->FindFormat(formatId) : -1;
    return index < 0 ? nullptr : &options->formats[static_cast<size_t>(index)];
}

void CFormatSubPage::LoadPage() {
    if (FormatOptions* entry = Entry()) {
        LoadEntry(*entry);
    }
}

void CFormatSubPage::StorePage() {
    if (FormatOptions* entry = Entry()) {
        StoreEntry(*entry);
    }
}

// ---- Static image sub-page ---------------------------------------------------------------

CImageFormatPage::CImageFormatPage(QWidget* parent)
    : CFormatSubPage("imageFormatPage", "Static Format", parent) {
    auto* normal = new QGroupBox("Normal Settings", frame);
    AddEncodingRows(new QVBoxLayout(normal), normal, 1, compression, quality);
    frameLayout->addWidget(normal);

    auto* small = new QGroupBox("Small file Settings", frame);
    auto* smallLayout = new QVBoxLayout(small);
    smallLimit = MakeDigitsEdit(small);
    auto* limitRow = LabelledRow("Use settings for files smaller than :", smallLimit, small);
    limitRow->insertWidget(2, new QLabel("Kb", small));
    smallLayout->addLayout(limitRow);
    AddEncodingRows(smallLayout, small, 1, smallCompression, smallQuality);
    frameLayout->addWidget(small);
    frameLayout->addStretch(1);
}

void CImageFormatPage::LoadEntry(const FormatOptions& entry) {
    OfferOriginal(compression, entry.formatId == FormatJpg);
    OfferOriginal(smallCompression, entry.formatId == FormatJpg);
    compression->setCurrentIndex(EncodingIndex(compression, entry.compression));
    quality->setValue(entry.quality);
    smallCompression->setCurrentIndex(EncodingIndex(smallCompression, entry.smallCompression));
    smallQuality->setValue(entry.smallQuality);
    smallLimit->setText(Number(entry.smallFileLimitKb));
}

void CImageFormatPage::StoreEntry(FormatOptions& entry) {
    entry.compression = EncodingOf(compression);
    entry.quality = quality->value();
    entry.smallCompression = EncodingOf(smallCompression);
    entry.smallQuality = smallQuality->value();
    entry.smallFileLimitKb = LeadingInt(smallLimit->text());
}

// ---- Audio sub-page ----------------------------------------------------------------------

CAudioFormatPage::CAudioFormatPage(QWidget* parent)
    : CFormatSubPage("audioFormatPage", "Audio Format", parent) {
    encoding = new QComboBox(frame);
    encoding->addItems(
        {"PCM (No Compression)", "ADPCM 5 Bit", "ADPCM 4 Bit", "ADPCM 3 Bit", "ADPCM 2 Bit"});
    frameLayout->addLayout(LabelledRow("Output Encoding :", encoding, frame));
    mono = new QCheckBox("Convert Stero to Mono", frame);
    stream = new QCheckBox("Stream Audio", frame);
    stream->setEnabled(false);
    frameLayout->addWidget(mono);
    frameLayout->addWidget(stream);
    frameLayout->addSpacing(12);
    frameLayout->addWidget(MakeInfoNote(
        "These options are used for all audio, including audio extracted from movie files.",
        frame));
    frameLayout->addStretch(1);
}

void CAudioFormatPage::LoadEntry(const FormatOptions& entry) {
    encoding->setCurrentIndex(
        entry.compression >= 0 && entry.compression < encoding->count() ? entry.compression : -1);
    mono->setChecked(entry.soundFlag != 0);
}

void CAudioFormatPage::StoreEntry(FormatOptions& entry) {
    entry.compression = encoding->currentIndex();
    entry.soundFlag = mono->isChecked() ? 1 : 0;
}

// ---- Movie sub-page ----------------------------------------------------------------------

CMovieFormatPage::CMovieFormatPage(QWidget* parent)
    : CFormatSubPage("movieFormatPage", "Movie Format", parent) {
    auto* frames = new QGroupBox("Frame Encoding", frame);
    AddEncodingRows(new QVBoxLayout(frames), frames, 0, compression, quality);
    frameLayout->addWidget(frames);
    framesPerImage = MakeDigitsEdit(frame);
    auto* framesRow = LabelledRow("Number of SWF Frames per Image:", framesPerImage, frame);
    framesRow->insertWidget(2, new QLabel("frames\\image", frame));
    frameLayout->addLayout(framesRow);
    sounds = new QCheckBox("Include Sounds from Movie", frame);
    frameLayout->addWidget(sounds);
    frameLayout->addSpacing(12);
    frameLayout->addWidget(
        MakeInfoNote("Audio is encoding using the options in the Audio format section.", frame));
    frameLayout->addStretch(1);
}

void CMovieFormatPage::LoadEntry(const FormatOptions& entry) {
    compression->setCurrentIndex(EncodingIndex(compression, entry.compression));
    quality->setValue(entry.quality);
    framesPerImage->setText(Number(entry.swfFramesPerImage));
    sounds->setChecked(entry.soundFlag != 0);
}

void CMovieFormatPage::StoreEntry(FormatOptions& entry) {
    entry.compression = EncodingOf(compression);
    entry.quality = quality->value();
    entry.swfFramesPerImage = LeadingInt(framesPerImage->text());
    entry.soundFlag = sounds->isChecked() ? 1 : 0;
}

// ---- Format page -------------------------------------------------------------------------

CFormatPage::CFormatPage(QWidget* parent) : COptionsPage(parent) {
    setObjectName("formatPage");
    auto* outer = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel("Supported Formats :", this));
    formats = new QListWidget(this);
    formats->setSortingEnabled(true);
    formats->setMaximumWidth(150);
    left->addWidget(formats, 1);
    outer->addLayout(left);

    auto* right = new QVBoxLayout;
    formatType = new QLabel(this);
    formatClass = new QLabel(this);
    auto* info = new QGridLayout;
    info->addWidget(new QLabel("Format Type :", this), 0, 0);
    info->addWidget(formatType, 0, 1);
    info->addWidget(new QLabel("Format Class :", this), 1, 0);
    info->addWidget(formatClass, 1, 1);
    info->setColumnStretch(1, 1);
    right->addLayout(info);
    // The three sub-pages share one place; only the one for the selected kind is shown.
    auto* place = new QGridLayout;
    imagePage = new CImageFormatPage(this);
    audioPage = new CAudioFormatPage(this);
    moviePage = new CMovieFormatPage(this);
    for (CFormatSubPage* page :
         std::initializer_list<CFormatSubPage*>{imagePage, audioPage, moviePage}) {
        place->addWidget(page, 0, 0);
        page->hide();
    }
    right->addLayout(place, 1);
    outer->addLayout(right, 1);

    connect(formats, &QListWidget::currentTextChanged, this, [this](const QString& line) {
        if (!line.isEmpty()) {
            SelectFormatLine(line);
        }
    });
}

void CFormatPage::SetRecord(ConvertOptions* record) {
    SetOptions(record);
    imagePage->SetOptions(record);
    audioPage->SetOptions(record);
    moviePage->SetOptions(record);
}

void CFormatPage::LoadPage() {
    imagePage->Load();
    audioPage->Load();
    moviePage->Load();
    QSignalBlocker block(formats);
    formats->clear();
    for (const FormatOptions& entry : options->formats) {
        // Sound and movie formats without settings of their own are not listed.
        if (entry.formatId == FormatMp3 ||
            (entry.formatId >= FormatMov && entry.formatId <= FormatWma)) {
            continue;
        }
        QString extension = QString(FormatExtension(entry)).toUpper();
        formats->addItem(extension == ".WAV" ? "Audio (.WAV)" : extension);
    }
}

void CFormatPage::StorePage() {
    imagePage->Store();
    audioPage->Store();
    moviePage->Store();
}

void CFormatPage::SelectFormatLine(const QString& line) {
    QString extension = (line == "Audio (.WAV)" ? QString(".WAV") : line).toLower();
    const FormatOptions* found = nullptr;
    for (const FormatOptions& entry : options->formats) {
        if (extension == FormatExtension(entry)) {
            found = &entry;
            break;
        }
    }
    if (found == nullptr) {
        return;
    }
    ObjectKind kind = FormatKind(*found);
    formatType->setText(extension);
    formatClass->setText(kind == KindAudioFile   ? "Audio File"
                         : kind == KindMovieFile ? "Movie File"
                                                 : "Static Image File");
    CFormatSubPage* page = kind == KindAudioFile   ? static_cast<CFormatSubPage*>(audioPage)
                           : kind == KindMovieFile ? static_cast<CFormatSubPage*>(moviePage)
                                                   : static_cast<CFormatSubPage*>(imagePage);
    // A sub-page stores into its entry before it is hidden or given another entry. (Shown
    // here means shown within the page, whether or not the dialog is on screen yet.)
    for (CFormatSubPage* other :
         std::initializer_list<CFormatSubPage*>{imagePage, audioPage, moviePage}) {
        if (other != page && !other->isHidden()) {
            other->Store();
            other->hide();
        }
    }
    if (!page->isHidden()) {
        page->Store();
        page->SetFormat(found->formatId);
        page->Load();
    } else {
        page->SetFormat(found->formatId);
        page->show();
        page->Load();
    }
}

} // namespace kestrova::app
