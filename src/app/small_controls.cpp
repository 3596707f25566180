#include "app/small_controls.h"
#include "app/app_namespace.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionTab>
#include <QStylePainter>

#include <algorithm>

namespace kestrova::app {

QColor ColorFromRgb(uint32_t rgb) {
    return QColor(static_cast<int>(rgb & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                  static_cast<int>((rgb >> 16) & 0xFF));
}

uint32_t RgbFromColor(const QColor& color) {
    return static_cast<uint32_t>(color.red()) | (static_cast<uint32_t>(color.green()) << 8) |
           (static_cast<uint32_t>(color.blue()) << 16);
}

QString HexColorText(uint32_t rgb) {
    auto byte = [](uint32_t value) {
        return QString("%1").arg(value & 0xFF, 2, 16, QChar('0')).toUpper();
    };
    return "0x" + byte(rgb) + byte(rgb >> 8) + byte(rgb >> 16);
}

BannerPicture::BannerPicture(const QString& resource, QWidget* parent)
    : QWidget(parent), bitmap(resource) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMinimumHeight(bitmap.height());
}

void BannerPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (bitmap.isNull()) {
        return;
    }
    if (width() > bitmap.width()) {
        QColor edge = bitmap.toImage().pixelColor(bitmap.width() - 1, 0);
        QRect rest(bitmap.width(), 0, width() - bitmap.width(), height());
        painter.fillRect(rest, edge);
        // The band's lower stripe runs on under the rest of the control.
        int stripe = 3;
        QColor stripeColor = bitmap.toImage().pixelColor(bitmap.width() - 1, bitmap.height() - 1);
        painter.fillRect(QRect(rest.left(), bitmap.height() - stripe, rest.width(), stripe),
                         stripeColor);
    }
    painter.drawPixmap(0, 0, bitmap);
}

uint32_t LensSwatchColor(uint32_t rgb, int alpha) {
    int lift = 255 - std::max(alpha, 1);
    uint32_t result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        int c = static_cast<int>((rgb >> shift) & 0xFF) + lift;
        result |= static_cast<uint32_t>(std::clamp(c, 0, 255)) << shift;
    }
    return result;
}

LensSwatch::LensSwatch(QWidget* parent) : QWidget(parent) {
    setMinimumSize(40, 40);
}

void LensSwatch::SetColor(uint32_t rgb) {
    color = rgb;
    update();
}

void LensSwatch::SetAlpha(int newAlpha) {
    alpha = newAlpha;
    update();
}

void LensSwatch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), ColorFromRgb(LensSwatchColor(color, alpha)));
}

CPageTabBar::CPageTabBar(QWidget* parent) : QTabBar(parent) {
    setMouseTracking(true);
}

QColor CPageTabBar::TextColor(int index) const {
    if (!isTabEnabled(index)) {
        return disabledColor.isValid() ? disabledColor
                                       : palette().color(QPalette::Disabled, QPalette::ButtonText);
    }
    if (index == currentIndex()) {
        return selectedColor.isValid() ? selectedColor : palette().color(QPalette::ButtonText);
    }
    if (index == hotTab && hotColor.isValid()) {
        return hotColor;
    }
    return normalColor.isValid() ? normalColor : palette().color(QPalette::ButtonText);
}

void CPageTabBar::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    auto paintTab = [&](int index) {
        QStyleOptionTab option;
        initStyleOption(&option, index);
        painter.drawControl(QStyle::CE_TabBarTabShape, option);
        QColor text = TextColor(index);
        option.palette.setColor(QPalette::WindowText, text);
        option.palette.setColor(QPalette::ButtonText, text);
        painter.drawControl(QStyle::CE_TabBarTabLabel, option);
    };
    for (int i = 0; i < count(); ++i) {
        if (i != currentIndex()) {
            paintTab(i);
        }
    }
    // The selected tab overlaps its neighbours in most styles: draw it last.
    if (currentIndex() >= 0) {
        paintTab(currentIndex());
    }
}

void CPageTabBar::mouseMoveEvent(QMouseEvent* event) {
    if (hotColor.isValid()) {
        int under = tabAt(event->position().toPoint());
        if (under >= 0 && !isTabEnabled(under)) {
            under = -1;
        }
        if (under != hotTab) {
            hotTab = under;
            update();
        }
    }
    QTabBar::mouseMoveEvent(event);
}

void CPageTabBar::leaveEvent(QEvent* event) {
    if (hotTab != -1) {
        hotTab = -1;
        update();
    }
    QTabBar::leaveEvent(event);
}

PageTabCtrl::PageTabCtrl(QWidget* parent) : QTabWidget(parent), bar(new CPageTabBar(this)) {
    setTabBar(bar);
}

void PageTabCtrl::AddPage(QWidget* page, const QString& title, const QIcon& image) {
    addTab(page, image, title);
}

bool PageTabCtrl::SelectTab(int index) {
    if (index == currentIndex()) {
        return true;
    }
    if (index < 0 || index >= count() || !isTabEnabled(index)) {
        return false;
    }
    setCurrentIndex(index);
    return true;
}

void PageTabCtrl::EnableTab(int index, bool enable) {
    setTabEnabled(index, enable);
}

void PageTabCtrl::SetTextColors(const QColor& selected, const QColor& normal,
                                const QColor& disabled, const QColor& hot) {
    bar->selectedColor = selected;
    bar->normalColor = normal;
    bar->disabledColor = disabled;
    bar->hotColor = hot;
    bar->update();
}

} // namespace kestrova::app
