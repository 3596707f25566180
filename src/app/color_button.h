// The colour button of the option pages and its drop-down palette of 40 named colours, with
// an "Automatic" box for the default colour above the grid and a "More Colors..." box below
// it that opens the colour dialog.
#pragma once

#include <QPushButton>
#include <QString>
#include <QWidget>

#include "app/app_namespace.h"
#include <cstdint>

namespace kestrova::app {

// Stands for "the default colour" in a colour value.
constexpr uint32_t DefaultColor = 0xFF000000;

struct NamedColor {
    const char* name;
    uint32_t rgb; // 0x00BBGGRR
};
constexpr int kColorCount = 40;
// The palette in grid order, 8 columns by 5 rows.
extern const NamedColor kColorTable[kColorCount];

class ColorPopup;

class CColorButton : public QPushButton {
    Q_OBJECT
public:
    explicit CColorButton(QWidget* parent = nullptr);
    ~CColorButton() override = default;

    uint32_t GetColor() const { return color; }
    void SetColor(uint32_t newColor);
    void SetDefaultColor(const QColor& shown) { defaultColor = shown; }
    void SetDefaultText(const QString& text) { defaultText = text; }
    void SetCustomText(const QString& text) { customText = text; }
    void SetTrackSelection(bool track) { trackSelection = track; }
    void SetControlId(int id) { controlId = id; }
    bool PopupActive() const { return popupActive; }
    // The pop-up while it is open, else nullptr.
    ColorPopup* Popup() const { return popup; }
    // The colour drawn for a value (the default colour for DefaultColor).
    QColor ShownColor() const;

    // Opens the pop-up below the button (what a click does).
    void OpenPopup();
    // Reports from the pop-up.
    void PopupSelectionChanged(uint32_t selected);
    void PopupEnded(bool chosen, uint32_t result);

    QSize sizeHint() const override { return {64, 26}; }

signals:
    // The messages the button sends: a colour and the button's control id.
    void ColorSelChange(uint32_t color, int id);
    void ColorDropDown(uint32_t color, int id);
    void ColorCloseUp(uint32_t color, int id);
    void ColorSelEndOk(uint32_t color, int id);
    void ColorSelEndCancel(uint32_t color, int id);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    uint32_t color = DefaultColor;
    QColor defaultColor;
    QString defaultText = "Automatic";
    QString customText = "More Colors...";
    bool popupActive = false;
    bool trackSelection = false;
    int controlId = 0;
    ColorPopup* popup = nullptr;
};

class ColorPopup : public QWidget {
    Q_OBJECT
public:
    // Selection values besides the colour indexes 0..39.
    static constexpr int kNoBox = -1;
    static constexpr int kCustomBox = -2;
    static constexpr int kDefaultBox = -3;
    static constexpr int kColumns = 8;
    static constexpr int kBoxSize = 18;

    ColorPopup(CColorButton* owner, uint32_t initial, const QString& defaultText,
               const QString& customText);
    ~ColorPopup() override = default;

    int Selection() const { return selection; }
    uint32_t InitialColor() const { return initialColor; }
    // The box selected for a colour when the pop-up opens.
    static int InitialSelection(uint32_t color, bool hasDefault, bool hasCustom);
    // The selection after an arrow key (Qt::Key_Left/Right/Up/Down).
    static int MoveSelection(int current, int key, bool hasDefault, bool hasCustom);
    // The box under a point of the pop-up, or kNoBox.
    int BoxAt(const QPoint& point) const;
    QRect BoxRect(int box) const;
    // The colour a box stands for.
    uint32_t BoxColor(int box) const;

    void ChangeSelection(int box);
    // Ends with a choice (the selected box) or cancels.
    void End(bool chosen);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;

private:
    CColorButton* owner;
    uint32_t initialColor;
    QString defaultText;
    QString customText;
    int selection = kNoBox;
    bool ended = false;
    int margin = 2;
    int textBoxHeight = 22;
    int width = 0;
};

} // namespace kestrova::app
