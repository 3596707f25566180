// The Format page of the options dialog: the list of supported formats and one sub-page per
// kind of input (static image, audio, movie), each editing the format entry it was given.
#pragma once

#include "app/app_namespace.h"
#include "app/option_pages.h"
#include "engine/convert_options.h"

#include <cstdint>

class QGroupBox;
class QListWidget;
class QVBoxLayout;

namespace kestrova::app {

// A sub-page edits one entry of the format table; until it is given a format id it neither
// loads nor stores.
class CFormatSubPage : public COptionsPage {
    Q_OBJECT
public:
    void SetFormat(int32_t id) { formatId = id; }
    int32_t Format() const { return formatId; }

protected:
    // Lays the page out as one group box titled `title` that fills it; the sub-page puts its
    // controls into `frame`, top to bottom in `frameLayout`.
    CFormatSubPage(const char* name, const char* title, QWidget* parent);

    // The entry being edited, or nullptr.
    FormatOptions* Entry();
    void LoadPage() final;
    void StorePage() final;
    virtual void LoadEntry(const FormatOptions& entry) = 0;
    virtual void StoreEntry(FormatOptions& entry) = 0;

    QGroupBox* frame;
    QVBoxLayout* frameLayout;

private:
    int32_t formatId = 0;
};

class CImageFormatPage : public CFormatSubPage {
    Q_OBJECT
public:
    explicit CImageFormatPage(QWidget* parent = nullptr);

    QComboBox* compression;
    QSlider* quality;
    QComboBox* smallCompression;
    QSlider* smallQuality;
    QLineEdit* smallLimit;

protected:
    void LoadEntry(const FormatOptions& entry) override;
    void StoreEntry(FormatOptions& entry) override;
};

class CAudioFormatPage : public CFormatSubPage {
    Q_OBJECT
public:
    explicit CAudioFormatPage(QWidget* parent = nullptr);

    QComboBox* encoding;
    QCheckBox* mono;
    QCheckBox* stream;

protected:
    void LoadEntry(const FormatOptions& entry) override;
    void StoreEntry(FormatOptions& entry) override;
};

class CMovieFormatPage : public CFormatSubPage {
    Q_OBJECT
public:
    explicit CMovieFormatPage(QWidget* parent = nullptr);

    QComboBox* compression;
    QSlider* quality;
    QLineEdit* framesPerImage;
    QCheckBox* sounds;

protected:
    void LoadEntry(const FormatOptions& entry) override;
    void StoreEntry(FormatOptions& entry) override;
};

class CFormatPage : public COptionsPage {
    Q_OBJECT
public:
    explicit CFormatPage(QWidget* parent = nullptr);

    // Hands the record to the page and its sub-pages.
    void SetRecord(ConvertOptions* record);
    // What selecting a line of the list does.
    void SelectFormatLine(const QString& line);

    QListWidget* formats;
    QLabel* formatType;
    QLabel* formatClass;
    CImageFormatPage* imagePage;
    CAudioFormatPage* audioPage;
    CMovieFormatPage* moviePage;

protected:
    void LoadPage() override;
    void StorePage() override;
};

} // namespace kestrova::app
