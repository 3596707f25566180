#include "app/format_pages.h"

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

namespace {

QComboBox* MakeEncodingList(QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->addItems({"JPEG encoding", "Lossless (32 bit)"});
    return list;
}

// Any value but JPEG shows the lossless line.
int EncodingIndex(int32_t compression) {
    return compression == EncodeJpeg ? 0 : 1;
}

int32_t EncodingOf(const QComboBox* list) {
    return list->currentIndex() == 1 ? EncodeLossless : EncodeJpeg;
}

// "Quality :" with a horizontal slider between its end labels and the current value.
QSlider* AddQualityRow(QVBoxLayout* layout, QWidget* parent, int minimum, const char* lowLabel,
                       const char* highLabel) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setRange(minimum, 100);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(10);
    auto* value = new QLabel(parent);
    value->setMinimumWidth(28);
    QObject::connect(slider, &QSlider::valueChanged, value,
                     [value](int v) { value->setText(QString::number(v)); });
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Quality :", parent));
    row->addWidget(new QLabel(lowLabel, parent));
    row->addWidget(slider, 1);
    row->addWidget(new QLabel(highLabel, parent));
    row->addWidget(value);
    layout->addLayout(row);
    return slider;
}

QString Number(int value) {
    return QString::number(value);
}

} // namespace

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

CImageFormatPage::CImageFormatPage(QWidget* parent) : CFormatSubPage(parent) {
    setObjectName("imageFormatPage");
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* frame = new QGroupBox("Static Format", this);
    outer->addWidget(frame);
    auto* layout = new QVBoxLayout(frame);

    auto* normal = new QGroupBox("Normal Settings", frame);
    auto* normalLayout = new QVBoxLayout(normal);
    compression = MakeEncodingList(normal);
    normalLayout->addLayout(LabelledRow("Compression :", compression, normal));
    quality = AddQualityRow(normalLayout, normal, 1, "0", "100 (best)");
    layout->addWidget(normal);

    auto* small = new QGroupBox("Small file Settings", frame);
    auto* smallLayout = new QVBoxLayout(small);
    smallLimit = MakeDigitsEdit(small);
    auto* limitRow = LabelledRow("Use settings for files smaller than :", smallLimit, small);
    limitRow->insertWidget(2, new QLabel("Kb", small));
    smallLayout->addLayout(limitRow);
    smallCompression = MakeEncodingList(small);
    smallLayout->addLayout(LabelledRow("Compression :", smallCompression, small));
    smallQuality = AddQualityRow(smallLayout, small, 1, "0", "100 (best)");
    layout->addWidget(small);
    layout->addStretch(1);
}

void CImageFormatPage::LoadEntry(const FormatOptions& entry) {
    compression->setCurrentIndex(EncodingIndex(entry.compression));
    quality->setValue(entry.quality);
    smallCompression->setCurrentIndex(EncodingIndex(entry.smallCompression));
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

CAudioFormatPage::CAudioFormatPage(QWidget* parent) : CFormatSubPage(parent) {
    setObjectName("audioFormatPage");
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* frame = new QGroupBox("Audio Format", this);
    outer->addWidget(frame);
    auto* layout = new QVBoxLayout(frame);
    encoding = new QComboBox(frame);
    encoding->addItems(
        {"PCM (No Compression)", "ADPCM 5 Bit", "ADPCM 4 Bit", "ADPCM 3 Bit", "ADPCM 2 Bit"});
    layout->addLayout(LabelledRow("Output Encoding :", encoding, frame));
    mono = new QCheckBox("Convert Stero to Mono", frame);
    stream = new QCheckBox("Stream Audio", frame);
    stream->setEnabled(false);
    layout->addWidget(mono);
    layout->addWidget(stream);
    layout->addSpacing(12);
    layout->addWidget(MakeInfoNote(
        "These options are used for all audio, including audio extracted from movie files.",
        frame));
    layout->addStretch(1);
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

CMovieFormatPage::CMovieFormatPage(QWidget* parent) : CFormatSubPage(parent) {
    setObjectName("movieFormatPage");
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* frame = new QGroupBox("Movie Format", this);
    outer->addWidget(frame);
    auto* layout = new QVBoxLayout(frame);
    auto* frames = new QGroupBox("Frame Encoding", frame);
    auto* framesLayout = new QVBoxLayout(frames);
    compression = MakeEncodingList(frames);
    framesLayout->addLayout(LabelledRow("Compression :", compression, frames));
    quality = AddQualityRow(framesLayout, frames, 0, "0", "100 (best)");
    layout->addWidget(frames);
    framesPerImage = MakeDigitsEdit(frame);
    auto* framesRow = LabelledRow("Number of SWF Frames per Image:", framesPerImage, frame);
    framesRow->insertWidget(2, new QLabel("frames\\image", frame));
    layout->addLayout(framesRow);
    sounds = new QCheckBox("Include Sounds from Movie", frame);
    layout->addWidget(sounds);
    layout->addSpacing(12);
    layout->addWidget(
        MakeInfoNote("Audio is encoding using the options in the Audio format section.", frame));
    layout->addStretch(1);
}

void CMovieFormatPage::LoadEntry(const FormatOptions& entry) {
    compression->setCurrentIndex(EncodingIndex(entry.compression));
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
