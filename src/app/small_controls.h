// Small controls of the window and the options dialog: the banner picture, the lens swatch,
// and the tab control that switches the option pages.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QTabBar>
#include <QTabWidget>
#include <QWidget>

#include "app/app_namespace.h"
#include <cstdint>

namespace kestrova::app {

// Colours are 32-bit RGB values with red in the low byte (0x00BBGGRR).
QColor ColorFromRgb(uint32_t rgb);
uint32_t RgbFromColor(const QColor& color);
// "0x" and the red, green and blue bytes as upper-case hexadecimal: 0xFF0000 for pure red.
QString HexColorText(uint32_t rgb);

// Paints a picture from the program's resources at its natural size; the rest of a wider
// control is filled with the colour of the picture's right edge, so a banner reads as one band.
class BannerPicture : public QWidget {
    Q_OBJECT
public:
    explicit BannerPicture(const QString& resource, QWidget* parent = nullptr);
    ~BannerPicture() override = default;
    QSize sizeHint() const override { return bitmap.size(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap bitmap;
};

// What the lens swatch paints for a colour at an alpha: each component c becomes
// c + (255 - alpha), limited to 255; an alpha below 1 counts as 1.
uint32_t LensSwatchColor(uint32_t rgb, int alpha);

// Shows the lens colour at its alpha as it would lie over a white movie.
class LensSwatch : public QWidget {
    Q_OBJECT
public:
    explicit LensSwatch(QWidget* parent = nullptr);
    ~LensSwatch() override = default;
    void SetColor(uint32_t rgb);
    void SetAlpha(int newAlpha);
    uint32_t Color() const { return color; }
    int Alpha() const { return alpha; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    uint32_t color = 0;
    int alpha = 100;
};

// The tab bar of PageTabCtrl: the selected tab's text in its own colour, the tab under the
// mouse in the hot colour, disabled tabs in the disabled colour.
class CPageTabBar : public QTabBar {
    Q_OBJECT
public:
    explicit CPageTabBar(QWidget* parent = nullptr);
    ~CPageTabBar() override = default;

    QColor selectedColor;
    QColor normalColor;
    QColor disabledColor;
    QColor hotColor; // invalid: no hot tracking
    int HotTab() const { return hotTab; }
    // The colour a tab's text is drawn in.
    QColor TextColor(int index) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int hotTab = -1;
};

// A tab control whose tabs each show one page; a disabled tab cannot be selected.
class PageTabCtrl : public QTabWidget {
    Q_OBJECT
public:
    explicit PageTabCtrl(QWidget* parent = nullptr);
    ~PageTabCtrl() override = default;

    void AddPage(QWidget* page, const QString& title, const QIcon& image);
    // Selects the tab; refused (false) when it is disabled.
    bool SelectTab(int index);
    void EnableTab(int index, bool enable);
    // Invalid colours keep the defaults; a valid hot colour turns hot tracking on.
    void SetTextColors(const QColor& selected, const QColor& normal, const QColor& disabled,
                       const QColor& hot);
    CPageTabBar* Bar() const { return bar; }

private:
    CPageTabBar* bar;
};

} // namespace kestrova::app
