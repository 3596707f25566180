#include "app/option_pages.h"
#include "app/app_namespace.h"

#include "app/app_dialogs.h"
#include "app/color_button.h"
#include "app/page_widgets.h"
#include "app/select_folder_dialog.h"
#include "app/small_controls.h"
#include "engine/convert_options.h"
#include "engine/preloader_picture.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>

namespace kestrova::app {

namespace {

const char* const kPreloaderFilter =
    "Supported Formats "
    "(.bmp;.jpg;.png;.pcx;.psd;.pax;.tga;.tls;.tiff;,tif;)|*.bmp;*.jpg;*.png;*.pcx;*.psd;*.pax;"
    "*.tga;*.tls;*.tiff;*.tif;|Windows Bitmap (.bmp)|*.bmp|Jpeg (.jpg)|*.jpg|Portable network "
    "graphic SWF (.png)|*.png|paint file (.pcx)|*.pcx|psd (.psd)|*.psd|pax (.pax)|*.pax|tga "
    "(.tga)|*.tga|tla (.tla)|*.tla|tiff (.tiff;.tif)|*.tiff;*.tif|";

const char* const kLensInformation =
    "Lens effects can be used as special effects or to improve image quality. Use a light "
    "colored lens on your movie to create a nosie filter effect, this will allow you to set the "
    "compression quality to a low setting ,around 30 and still have a good quality image.";

QSpinBox* MakeSizeSpin(QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setRange(1, 10000);
    spin->setMinimumWidth(80);
    return spin;
}

QString Number(int value) {
    return QString::number(value);
}

} // namespace

int LeadingInt(const QString& text) {
    return static_cast<int>(std::strtol(text.toStdString().c_str(), nullptr, 10));
}

void CheckRadio(std::initializer_list<QRadioButton*> radios, int index) {
    int i = 0;
    for (QRadioButton* radio : radios) {
        // An exclusive group cannot be left with nothing checked; step out of it meanwhile.
        bool exclusive = radio->autoExclusive();
        radio->setAutoExclusive(false);
        radio->setChecked(i == index);
        radio->setAutoExclusive(exclusive);
        ++i;
    }
}

void COptionsPage::Load() {
    if (options == nullptr) {
        return;
    }
    loaded = true;
    LoadPage();
}

void COptionsPage::Store() {
    if (options == nullptr || !loaded) {
        return;
    }
    StorePage();
}

void COptionsPage::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        Load();
    }
    QWidget::showEvent(event);
}

void COptionsPage::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) {
        Store();
    }
    QWidget::hideEvent(event);
}

// ---- Size page -------------------------------------------------------------------------

CSizePage::CSizePage(QWidget* parent) : COptionsPage(parent) {
    setObjectName("sizePage");
    auto* outer = new QVBoxLayout(this);
    auto* frame = new QGroupBox("Conversion Options", this);
    outer->addWidget(frame);
    auto* grid = new QGridLayout(frame);

    auto* swf = new QGroupBox("SWF Sizes", frame);
    auto* swfLayout = new QVBoxLayout(swf);
    movieWidth = MakeSizeSpin(swf);
    movieHeight = MakeSizeSpin(swf);
    swfLayout->addWidget(new QLabel("Movie Sizes  :", swf));
    swfLayout->addLayout(LabelledRow("Width :", movieWidth, swf));
    swfLayout->addLayout(LabelledRow("Height :", movieHeight, swf));
    largestImage = new QCheckBox("Set Movie Sizes To Largest Image", swf);
    swfLayout->addWidget(largestImage);
    grid->addWidget(swf, 0, 0);

    auto* sizes = new QGroupBox("Image Sizes", frame);
    auto* sizesLayout = new QVBoxLayout(sizes);
    stretch = new QRadioButton("Strech To Movie Sizes", sizes);
    keep = new QRadioButton("Do Not Change Sizes", sizes);
    preset = new QRadioButton("Use Presets", sizes);
    presetWidth = MakeSizeSpin(sizes);
    presetHeight = MakeSizeSpin(sizes);
    for (QRadioButton* radio : {stretch, keep, preset}) {
        sizesLayout->addWidget(radio);
    }
    sizesLayout->addLayout(LabelledRow("Image Width :", presetWidth, sizes));
    sizesLayout->addLayout(LabelledRow("Image Height :", presetHeight, sizes));
    grid->addWidget(sizes, 0, 1);

    auto* positioning = new QGroupBox("Image Positioning", frame);
    auto* positioningLayout = new QVBoxLayout(positioning);
    imageX = new QLineEdit(positioning);
    imageY = new QLineEdit(positioning);
    imageX->setMaximumWidth(80);
    imageY->setMaximumWidth(80);
    positioningLayout->addLayout(LabelledRow("X Pos :", imageX, positioning));
    positioningLayout->addLayout(LabelledRow("Y Pos :", imageY, positioning));
    grid->addWidget(positioning, 1, 0);

    auto* backgroundFrame = new QGroupBox("Movie Background", frame);
    auto* backgroundLayout = new QHBoxLayout(backgroundFrame);
    background = new CColorButton(backgroundFrame);
    background->SetControlId(1026);
    backgroundHex = new QLabel(backgroundFrame);
    backgroundLayout->addWidget(background);
    backgroundLayout->addWidget(backgroundHex);
    backgroundLayout->addStretch(1);
    grid->addWidget(backgroundFrame, 1, 1);

    auto* playback = new QGroupBox("Optimize Movie Play back", frame);
    auto* playbackLayout = new QVBoxLayout(playback);
    optimize = new QCheckBox("Optimize", playback);
    playbackLayout->addWidget(optimize);
    playbackLayout->addWidget(
        MakeInfoNote("This will optimize memory usage during movie play back. If you want to "
                     "import the movie into another program you should not use this feature.",
                     playback));
    grid->addWidget(playback, 2, 0, 1, 2);
    outer->addStretch(1);

    connect(preset, &QRadioButton::clicked, this, [this] {
        presetWidth->setEnabled(true);
        presetHeight->setEnabled(true);
    });
    for (QRadioButton* radio : {stretch, keep}) {
        connect(radio, &QRadioButton::clicked, this, [this] {
            presetWidth->setEnabled(false);
            presetHeight->setEnabled(false);
        });
    }
    connect(largestImage, &QCheckBox::clicked, this, &CSizePage::OnLargestImage);
    connect(background, &CColorButton::ColorSelChange, this,
            [this] { backgroundHex->setText(HexColorText(background->GetColor())); });
}

void CSizePage::LoadPage() {
    movieWidth->setValue(options->movieWidth);
    movieHeight->setValue(options->movieHeight);
    imageX->setText(Number(options->imageX));
    imageY->setText(Number(options->imageY));
    presetWidth->setValue(options->presetWidth);
    presetHeight->setValue(options->presetHeight);
    int sizing = options->imageSizing;
    CheckRadio({stretch, keep, preset}, sizing == SizingStretch ? 0 : sizing == SizingKeep ? 1 : 2);
    presetWidth->setEnabled(sizing == SizingPreset);
    presetHeight->setEnabled(sizing == SizingPreset);
    largestImage->setChecked(options->sizeToLargestImage != 0);
    bool free = options->sizeToLargestImage == 0;
    for (QWidget* control : {static_cast<QWidget*>(movieWidth), static_cast<QWidget*>(movieHeight),
                             static_cast<QWidget*>(stretch), static_cast<QWidget*>(preset)}) {
        control->setEnabled(free);
    }
    optimize->setChecked(options->optimizePlayback != 0);
    background->SetColor(options->backgroundColor);
    backgroundHex->setText(HexColorText(options->backgroundColor));
}

void CSizePage::StorePage() {
    options->movieWidth = movieWidth->value();
    options->movieHeight = movieHeight->value();
    options->imageX = LeadingInt(imageX->text());
    options->imageY = LeadingInt(imageY->text());
    options->presetWidth = presetWidth->value();
    options->presetHeight = presetHeight->value();
    options->imageSizing = stretch->isChecked() ? SizingStretch
                           : keep->isChecked()  ? SizingKeep
                                                : SizingPreset;
    options->sizeToLargestImage = largestImage->isChecked() ? 1 : 0;
    options->optimizePlayback = optimize->isChecked() ? 1 : 0;
    options->backgroundColor = background->GetColor();
}

void CSizePage::OnLargestImage() {
    Store();
    options->sizeToLargestImage = largestImage->isChecked() ? 1 : 0;
    if (options->sizeToLargestImage) {
        options->imageSizing = SizingKeep;
    }
    Load();
}

// ---- Movie Animation page --------------------------------------------------------------

CMovieAnimationPage::CMovieAnimationPage(QWidget* parent) : COptionsPage(parent) {
    setObjectName("movieAnimationPage");
    auto* outer = new QGridLayout(this);

    auto* singleFrame = new QGroupBox("Single Movie Options", this);
    auto* singleLayout = new QVBoxLayout(singleFrame);
    individual = new QRadioButton("Convert To Individual SWF files", singleFrame);
    single = new QRadioButton("Convert To Single SWF file", singleFrame);
    singleLayout->addWidget(individual);
    singleLayout->addWidget(single);
    writeHtmlPage = new QCheckBox("Write an HTML page", singleFrame);
    writeHtmlPage->setToolTip("Writes NAME.html beside each movie, with a ruffle folder that "
                              "plays it in any browser");
    singleLayout->addWidget(writeHtmlPage);
    singleLayout->addStretch(1);
    outer->addWidget(singleFrame, 0, 0);

    auto* control = new QGroupBox("Movie Control Options", this);
    auto* controlLayout = new QVBoxLayout(control);
    frameRate = MakeDigitsEdit(control);
    framesPerImage = MakeDigitsEdit(control);
    controlLayout->addLayout(LabelledRow("Frame Rate per second:", frameRate, control));
    controlLayout->addLayout(LabelledRow("Frames per Image :", framesPerImage, control));
    loop = new QCheckBox("Loop Movie", control);
    stopAction = new QCheckBox("Insert Stop Action in First Frame", control);
    blankStart = new QCheckBox("Insert Blank Frame at Start", control);
    blankEnd = new QCheckBox("Insert Blank Frame at End", control);
    for (QCheckBox* check : {loop, stopAction, blankStart, blankEnd}) {
        controlLayout->addWidget(check);
    }
    outer->addWidget(control, 1, 0);

    auto* preloader = new QGroupBox("Pre Loader Options", this);
    auto* preloaderLayout = new QVBoxLayout(preloader);
    usePreloader = new QCheckBox("Use a preloader", preloader);
    preloaderLayout->addWidget(usePreloader);
    auto* framesFrame = new QGroupBox("Number of frames to preload", preloader);
    auto* framesLayout = new QVBoxLayout(framesFrame);
    quarter = new QRadioButton("1/4 of total frames", framesFrame);
    third = new QRadioButton("1/3 of total frames", framesFrame);
    half = new QRadioButton("1/2 of total frames", framesFrame);
    other = new QRadioButton("Other Fraction", framesFrame);
    for (QRadioButton* radio : {quarter, third, half, other}) {
        framesLayout->addWidget(radio);
    }
    fraction = MakeDigitsEdit(framesFrame, 50);
    auto* fractionRow = new QHBoxLayout;
    fractionRow->addSpacing(20);
    fractionRow->addWidget(new QLabel("1 / ", framesFrame));
    fractionRow->addWidget(fraction);
    fractionRow->addWidget(new QLabel("of total frames", framesFrame));
    fractionRow->addStretch(1);
    framesLayout->addLayout(fractionRow);
    preloaderLayout->addWidget(framesFrame);

    auto* imageFrame = new QGroupBox("Image For Preloaded", preloader);
    auto* imageLayout = new QVBoxLayout(imageFrame);
    auto* internalRow = new QHBoxLayout;
    internalPicture = new QCheckBox("Use internal pic", imageFrame);
    auto* internalImage = new QLabel(imageFrame);
    const std::vector<uint8_t>& bmp = BuiltInPreloaderPicture();
    QPixmap picture;
    picture.loadFromData(bmp.data(), static_cast<unsigned>(bmp.size()), "BMP");
    internalImage->setPixmap(picture);
    internalImage->setFrameShape(QFrame::StyledPanel);
    internalRow->addWidget(internalPicture);
    internalRow->addWidget(internalImage);
    internalRow->addStretch(1);
    imageLayout->addLayout(internalRow);
    fileName = new QLineEdit(imageFrame);
    browse = new QPushButton("Browse", imageFrame);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel("File Name:", imageFrame));
    fileRow->addWidget(fileName, 1);
    fileRow->addWidget(browse);
    imageLayout->addLayout(fileRow);
    preloaderLayout->addWidget(imageFrame);
    preloaderLayout->addStretch(1);
    outer->addWidget(preloader, 0, 1, 2, 1);
    outer->setColumnStretch(1, 1);

    connect(individual, &QRadioButton::clicked, this, [this] { OnOutputMode(OutputIndividual); });
    connect(single, &QRadioButton::clicked, this, [this] { OnOutputMode(OutputSingle); });
    connect(usePreloader, &QCheckBox::clicked, this, &CMovieAnimationPage::OnUsePreloader);
    connect(quarter, &QRadioButton::clicked, this, [this] { OnFraction(quarter, "4"); });
    connect(third, &QRadioButton::clicked, this, [this] { OnFraction(third, "3"); });
    connect(half, &QRadioButton::clicked, this, [this] { OnFraction(half, "2"); });
    connect(other, &QRadioButton::clicked, this, [this] { fraction->setEnabled(true); });
    connect(internalPicture, &QCheckBox::clicked, this, &CMovieAnimationPage::OnInternalPicture);
    connect(browse, &QPushButton::clicked, this, &CMovieAnimationPage::OnBrowse);
}

void CMovieAnimationPage::LoadPage() {
    frameRate->setText(options->frameRate < 1 ? "12" : Number(options->frameRate));
    framesPerImage->setText(options->framesPerImage < 1 ? "1" : Number(options->framesPerImage));
    loop->setChecked(options->loopMovie != 0);
    stopAction->setChecked(options->stopActionInFirstFrame != 0);
    blankStart->setChecked(options->blankFrameAtStart != 0);
    blankEnd->setChecked(options->blankFrameAtEnd != 0);
    writeHtmlPage->setChecked(options->writeHtmlPage != 0);
    fraction->setText(Number(options->preloadFraction));
    // A load checks "Use internal pic" for the built-in picture but never unchecks it.
    if (options->preloaderImage == "INTERNAL") {
        internalPicture->setChecked(true);
    }
    fileName->setText(QString::fromStdString(options->preloaderImage));
    CheckRadio({individual, single}, options->outputMode == OutputIndividual ? 0
                                     : options->outputMode == OutputSingle   ? 1
                                                                             : -1);
    bool preloading = options->usePreloader != 0;
    usePreloader->setEnabled(true);
    usePreloader->setChecked(preloading);
    for (QWidget* control :
         {static_cast<QWidget*>(quarter), static_cast<QWidget*>(third), static_cast<QWidget*>(half),
          static_cast<QWidget*>(other), static_cast<QWidget*>(fraction),
          static_cast<QWidget*>(fileName), static_cast<QWidget*>(browse),
          static_cast<QWidget*>(internalPicture)}) {
        control->setEnabled(preloading);
    }
    if (preloading && internalPicture->isChecked()) {
        fileName->setEnabled(false);
        browse->setEnabled(false);
    }
    if (preloading) {
        int n = options->preloadFraction;
        CheckRadio({quarter, third, half, other}, n == 4 ? 0 : n == 3 ? 1 : n == 2 ? 2 : 3);
        fraction->setEnabled(n != 4 && n != 3 && n != 2);
    } else {
        fraction->setEnabled(false);
    }
}

void CMovieAnimationPage::StorePage() {
    options->frameRate = LeadingInt(frameRate->text());
    options->framesPerImage = LeadingInt(framesPerImage->text());
    options->preloadFraction = LeadingInt(fraction->text());
    options->loopMovie = loop->isChecked() ? 1 : 0;
    options->stopActionInFirstFrame = stopAction->isChecked() ? 1 : 0;
    options->blankFrameAtStart = blankStart->isChecked() ? 1 : 0;
    options->blankFrameAtEnd = blankEnd->isChecked() ? 1 : 0;
    options->writeHtmlPage = writeHtmlPage->isChecked() ? 1 : 0;
    options->usePreloader = usePreloader->isChecked() ? 1 : 0;
    QString file = fileName->text();
    options->preloaderImage = file.size() < 5 ? "INTERNAL" : file.toStdString();
    if (individual->isChecked()) {
        options->outputMode = OutputIndividual;
    } else if (single->isChecked()) {
        options->outputMode = OutputSingle;
    }
}

// The commands that change the record at once first keep the page's other edits.
void CMovieAnimationPage::OnOutputMode(int mode) {
    Store();
    options->outputMode = mode;
    Load();
}

void CMovieAnimationPage::OnUsePreloader() {
    Store();
    options->usePreloader = usePreloader->isChecked() ? 1 : 0;
    Load();
}

void CMovieAnimationPage::OnFraction(QRadioButton*, const char* value) {
    fraction->setEnabled(false);
    fraction->setText(value);
}

void CMovieAnimationPage::OnInternalPicture() {
    Store();
    options->preloaderImage = internalPicture->isChecked() ? "INTERNAL" : "";
    Load();
}

void CMovieAnimationPage::OnBrowse() {
    QStringList paths = ChooseOpenFiles(this, kPreloaderFilter, true);
    if (paths.isEmpty()) {
        return;
    }
    Store();
    options->preloaderImage = paths.last().toStdString();
    Load();
}

// ---- Lens page -------------------------------------------------------------------------

CLensPage::CLensPage(QWidget* parent) : COptionsPage(parent) {
    setObjectName("lensPage");
    auto* outer = new QHBoxLayout(this);

    auto* effects = new QGroupBox("Lens Effects Options", this);
    auto* effectsLayout = new QVBoxLayout(effects);
    useLens = new QCheckBox("Use Lens Effect", effects);
    effectsLayout->addWidget(useLens);
    color = new CColorButton(effects);
    color->SetControlId(1083);
    effectsLayout->addLayout(LabelledRow("Lens Color :", color, effects));
    hex = new QLabel(effects);
    effectsLayout->addLayout(LabelledRow("Hex :", hex, effects));
    effectsLayout->addSpacing(12);
    effectsLayout->addWidget(MakeInfoNote(kLensInformation, effects, &information));
    effectsLayout->addStretch(1);
    outer->addWidget(effects, 1);

    auto* lens = new QGroupBox("Lens", this);
    auto* lensLayout = new QGridLayout(lens);
    slider = new QSlider(Qt::Vertical, lens);
    slider->setRange(0, 255);
    // Position 0 at the top: the top stands for alpha 255.
    slider->setInvertedAppearance(true);
    slider->setInvertedControls(true);
    slider->setMinimumHeight(160);
    lensLayout->addWidget(new QLabel("255", lens), 0, 0, Qt::AlignTop);
    lensLayout->addWidget(slider, 0, 1, 3, 1);
    lensLayout->addWidget(new QLabel("0", lens), 2, 0, Qt::AlignBottom);
    swatch = new LensSwatch(lens);
    swatch->setFixedSize(90, 90);
    lensLayout->addWidget(swatch, 0, 2, 2, 1, Qt::AlignTop);
    alpha = MakeDigitsEdit(lens, 50);
    lensLayout->addLayout(LabelledRow("Alpha:", alpha, lens), 2, 2);
    outer->addWidget(lens);

    connect(useLens, &QCheckBox::clicked, this, &CLensPage::EnableLensControls);
    connect(slider, &QSlider::valueChanged, this, &CLensPage::OnSlider);
    connect(alpha, &QLineEdit::textEdited, this, [this](const QString& text) {
        int value = std::clamp(LeadingInt(text), 0, 255);
        QSignalBlocker block(slider);
        slider->setValue(255 - value);
        swatch->SetAlpha(value);
    });
    connect(color, &CColorButton::ColorSelChange, this, [this] {
        hex->setText(HexColorText(color->GetColor()));
        swatch->SetColor(color->GetColor());
    });
}

void CLensPage::LoadPage() {
    useLens->setChecked(options->useLens != 0);
    alpha->setText(Number(options->lensAlpha));
    {
        QSignalBlocker block(slider);
        slider->setValue(255 - options->lensAlpha);
    }
    color->SetColor(options->lensColor);
    hex->setText(HexColorText(options->lensColor));
    swatch->SetColor(options->lensColor);
    swatch->SetAlpha(options->lensAlpha);
    EnableLensControls();
}

void CLensPage::StorePage() {
    options->useLens = useLens->isChecked() ? 1 : 0;
    options->lensAlpha = LeadingInt(alpha->text());
    options->lensColor = color->GetColor();
}

void CLensPage::EnableLensControls() {
    bool on = useLens->isChecked();
    color->setEnabled(on);
    slider->setEnabled(on);
    alpha->setEnabled(on);
}

void CLensPage::OnSlider(int position) {
    int value = 255 - position;
    alpha->setText(Number(value));
    swatch->SetAlpha(value);
}

// ---- System page -----------------------------------------------------------------------

CSystemPage::CSystemPage(QWidget* parent) : COptionsPage(parent) {
    setObjectName("systemPage");
    auto* outer = new QVBoxLayout(this);
    auto* title = new QLabel("System Options", this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    outer->addWidget(title);

    auto* temp = new QGroupBox("Tempory Directory", this);
    auto* tempLayout = new QVBoxLayout(temp);
    tempDirectory = new QLineEdit(temp);
    browse = new QPushButton("Browse...", temp);
    auto* row = new QHBoxLayout;
    row->addWidget(tempDirectory, 1);
    row->addWidget(browse);
    tempLayout->addLayout(row);
    tempLayout->addWidget(new QLabel("Directory must have Read\\Write Permissions", temp));
    outer->addWidget(temp);

    auto* modes = new QGroupBox(this);
    auto* modesLayout = new QVBoxLayout(modes);
    leastRam = new QRadioButton(modes);
    leastRam->setObjectName("leastRam");
    maxRam = new QRadioButton(modes);
    maxRam->setObjectName("maxRam");
    modesLayout->addWidget(MakeWrappedRadio(
        leastRam,
        "Use Least RAM and More Hard drive space.  Resulting in slower conversion for machines "
        "with performance problems or low amount of RAM available. Should be used for large "
        "movie files (greater than 5mb)",
        modes));
    modesLayout->addWidget(MakeWrappedRadio(
        maxRam,
        "Use Maximum RAM and Less Hard drive space. Resulting in faster conversion, only for "
        "machines with high amount of RAM available (WARNING) - may cause conversion to fail if "
        "insufficient RAM",
        modes));
    outer->addWidget(modes);

    auto* threads = new QGroupBox("Worker threads", this);
    auto* threadsLayout = new QHBoxLayout(threads);
    workerThreads = new QSpinBox(threads);
    workerThreads->setObjectName("workerThreads");
    workerThreads->setRange(0, kMaxWorkerThreads);
    workerThreads->setSpecialValueText("Automatic");
    workerThreads->setToolTip("Pictures, sounds and movie frames prepared at the same time; "
                              "Automatic takes one per processor core. The movies are the "
                              "same whatever the number.");
    threadsLayout->addWidget(workerThreads);
    threadsLayout->addStretch(1);
    outer->addWidget(threads);
    outer->addStretch(1);

    connect(browse, &QPushButton::clicked, this, &CSystemPage::OnBrowse);
}

void CSystemPage::LoadPage() {
    tempDirectory->setText(QString::fromStdString(options->tempDirectory));
    int mode = options->performanceMode;
    CheckRadio({leastRam, maxRam}, mode == PerformanceLeastRam ? 0
                                   : mode == PerformanceMaxRam ? 1
                                                               : -1);
    workerThreads->setValue(options->workerThreads);
}

void CSystemPage::StorePage() {
    options->tempDirectory = tempDirectory->text().toStdString();
    if (leastRam->isChecked()) {
        options->performanceMode = PerformanceLeastRam;
    } else if (maxRam->isChecked()) {
        options->performanceMode = PerformanceMaxRam;
    }
    options->workerThreads = workerThreads->value();
}

void CSystemPage::OnBrowse() {
    CSelectFolderDialog dialog(true, QString(), QFileDialog::Options(), QString(), nullptr);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    tempDirectory->setText(dialog.Folder());
    Store();
}

} // namespace kestrova::app
