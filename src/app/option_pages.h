// The pages of the options dialog. Each page edits the live options record: it loads
// (record -> controls) when it becomes visible and stores (controls -> record) when it is
// hidden, so every edit is kept however the dialog is closed.
#pragma once

#include <QWidget>

#include "app/app_namespace.h"
#include <cstdint>

namespace kestrova::engine {
class ConvertOptions;
}
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;

namespace kestrova::app {

class CColorButton;
class LensSwatch;

// The leading integer of a text ("12abc" gives 12, "" gives 0).
int LeadingInt(const QString& text);

class COptionsPage : public QWidget {
    Q_OBJECT
public:
    explicit COptionsPage(QWidget* parent = nullptr) : QWidget(parent) {}
    ~COptionsPage() override = default;

    void SetOptions(ConvertOptions* record) { options = record; }
    // record -> controls; does nothing without a record.
    void Load();
    // controls -> record; does nothing without a record or before the first load.
    void Store();

protected:
    virtual void LoadPage() = 0;
    virtual void StorePage() = 0;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

    ConvertOptions* options = nullptr;
    bool loaded = false;
};

class CSizePage : public COptionsPage {
    Q_OBJECT
public:
    explicit CSizePage(QWidget* parent = nullptr);

    QSpinBox* movieWidth;
    QSpinBox* movieHeight;
    QLineEdit* imageX;
    QLineEdit* imageY;
    QSpinBox* presetWidth;
    QSpinBox* presetHeight;
    QRadioButton* stretch;
    QRadioButton* keep;
    QRadioButton* preset;
    QCheckBox* largestImage;
    QCheckBox* optimize;
    CColorButton* background;
    QLabel* backgroundHex;

protected:
    void LoadPage() override;
    void StorePage() override;

private:
    void OnLargestImage();
};

class CMovieAnimationPage : public COptionsPage {
    Q_OBJECT
public:
    explicit CMovieAnimationPage(QWidget* parent = nullptr);

    QRadioButton* individual;
    QRadioButton* single;
    QCheckBox* writeHtmlPage;
    QLineEdit* frameRate;
    QLineEdit* framesPerImage;
    QCheckBox* loop;
    QCheckBox* stopAction;
    QCheckBox* blankStart;
    QCheckBox* blankEnd;
    QCheckBox* usePreloader;
    QRadioButton* quarter;
    QRadioButton* third;
    QRadioButton* half;
    QRadioButton* other;
    QLineEdit* fraction;
    QCheckBox* internalPicture;
    QLineEdit* fileName;
    QPushButton* browse;

protected:
    void LoadPage() override;
    void StorePage() override;

private:
    void OnOutputMode(int mode);
    void OnUsePreloader();
    void OnFraction(QRadioButton* radio, const char* value);
    void OnInternalPicture();
    void OnBrowse();
};

class CLensPage : public COptionsPage {
    Q_OBJECT
public:
    explicit CLensPage(QWidget* parent = nullptr);

    QCheckBox* useLens;
    CColorButton* color;
    QLabel* hex;
    QSlider* slider;
    QLineEdit* alpha;
    LensSwatch* swatch;
    QLabel* information;

protected:
    void LoadPage() override;
    void StorePage() override;

private:
    void EnableLensControls();
    void OnSlider(int position);
};

class CSystemPage : public COptionsPage {
    Q_OBJECT
public:
    explicit CSystemPage(QWidget* parent = nullptr);

    QLineEdit* tempDirectory;
    QPushButton* browse;
    QRadioButton* leastRam;
    QRadioButton* maxRam;
    QSpinBox* workerThreads; // 0 shows "Automatic"

protected:
    void LoadPage() override;
    void StorePage() override;

private:
    void OnBrowse();
};

// Sets a group of radio buttons so that only the one at index is checked (none for -1).
void CheckRadio(std::initializer_list<QRadioButton*> radios, int index);

} // namespace kestrova::app
