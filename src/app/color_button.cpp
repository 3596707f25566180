#include "app/color_button.h"
#include "app/app_namespace.h"

#include "app/app_dialogs.h"
#include "app/small_controls.h"

#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QToolTip>

#include <algorithm>

namespace kestrova::app {

namespace {
constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) {
    return r | (g << 8) | (b << 16);
}
} // namespace

const NamedColor kColorTable[kColorCount] = {
    {"Black", Rgb(0, 0, 0)},
    {"Brown", Rgb(165, 42, 0)},
    {"Dark Olive Green", Rgb(0, 64, 64)},
    {"Dark Green", Rgb(0, 85, 0)},
    {"Dark Teal", Rgb(0, 0, 94)},
    {"Dark blue", Rgb(0, 0, 139)},
    {"Indigo", Rgb(75, 0, 130)},
    {"Dark grey", Rgb(40, 40, 40)},
    {"Dark red", Rgb(139, 0, 0)},
    {"Orange", Rgb(255, 104, 32)},
    {"Dark yellow", Rgb(139, 139, 0)},
    {"Green", Rgb(0, 147, 0)},
    {"Teal", Rgb(56, 142, 142)},
    {"Blue", Rgb(0, 0, 255)},
    {"Blue-grey", Rgb(123, 123, 192)},
    {"Grey - 40", Rgb(102, 102, 102)},
    {"Red", Rgb(255, 0, 0)},
    {"Light orange", Rgb(255, 173, 91)},
    {"Lime", Rgb(50, 205, 50)},
    {"Sea green", Rgb(60, 179, 113)},
    {"Aqua", Rgb(127, 255, 212)},
    {"Light blue", Rgb(125, 158, 192)},
    {"Violet", Rgb(128, 0, 128)},
    {"Grey - 50", Rgb(127, 127, 127)},
    {"Pink", Rgb(255, 192, 203)},
    {"Gold", Rgb(255, 215, 0)},
    {"Yellow", Rgb(255, 255, 0)},
    {"Bright green", Rgb(0, 255, 0)},
    {"Turquoise", Rgb(64, 224, 208)},
    {"Skyblue", Rgb(192, 255, 255)},
    {"Plum", Rgb(72, 0, 72)},
    {"Light grey", Rgb(192, 192, 192)},
    {"Rose", Rgb(255, 228, 225)},
    {"Tan", Rgb(210, 180, 140)},
    {"Light yellow", Rgb(255, 255, 224)},
    {"Pale green ", Rgb(152, 251, 152)},
    {"Pale turquoise", Rgb(175, 238, 238)},
    {"Pale blue", Rgb(104, 131, 139)},
    {"Lavender", Rgb(230, 230, 250)},
    {"White", Rgb(255, 255, 255)},
};

CColorButton::CColorButton(QWidget* parent)
    : QPushButton(parent), defaultColor(palette().color(QPalette::Dark)) {
    connect(this, &QPushButton::clicked, this, &CColorButton::OpenPopup);
}

void CColorButton::SetColor(uint32_t newColor) {
    color = newColor;
    update();
}

QColor CColorButton::ShownColor() const {
    return color == DefaultColor ? defaultColor : ColorFromRgb(color);
}

void CColorButton::OpenPopup() {
    if (popup != nullptr) {
        return;
    }
    popupActive = true;
    popup = new ColorPopup(this, color, defaultText, customText);
    popup->move(mapToGlobal(QPoint(0, height())));
    popup->show();
    popup->setFocus();
    emit ColorDropDown(color, controlId);
}

void CColorButton::PopupSelectionChanged(uint32_t selected) {
    if (trackSelection) {
        SetColor(selected);
    }
    emit ColorSelChange(selected, controlId);
}

void CColorButton::PopupEnded(bool chosen, uint32_t result) {
    popupActive = false;
    popup = nullptr;
    uint32_t before = color;
    SetColor(result);
    emit ColorCloseUp(color, controlId);
    if (chosen) {
        emit ColorSelEndOk(color, controlId);
        if (color != before) {
            emit ColorSelChange(color, controlId);
        }
    } else {
        emit ColorSelEndCancel(color, controlId);
    }
}

void CColorButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    QRect inner = rect().adjusted(5, 5, -5, -5);
    int arrowWidth = 12;
    QRect swatch = inner.adjusted(0, 0, -(arrowWidth + 6), 0);
    painter.setPen(isEnabled() ? palette().color(QPalette::Shadow)
                               : palette().color(QPalette::Disabled, QPalette::Text));
    painter.setBrush(isEnabled() ? ShownColor() : palette().color(QPalette::Button));
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(swatch.right() + 3, inner.top(), swatch.right() + 3, inner.bottom());
    QStyleOption arrow;
    arrow.initFrom(this);
    arrow.rect = QRect(inner.right() - arrowWidth + 1, inner.top(), arrowWidth, inner.height());
    painter.drawPrimitive(QStyle::PE_IndicatorArrowDown, arrow);
}

ColorPopup::ColorPopup(CColorButton* owner, uint32_t initial, const QString& defaultText,
                       const QString& customText)
    : QWidget(owner, Qt::Popup), owner(owner), initialColor(initial), defaultText(defaultText),
      customText(customText) {
    setAttribute(Qt::WA_DeleteOnClose);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    QFontMetrics metrics(font());
    int gridWidth = kColumns * kBoxSize;
    int textWidth = 0;
    for (const QString& text : {defaultText, customText}) {
        if (!text.isEmpty()) {
            textWidth = std::max(textWidth, metrics.horizontalAdvance(text) + 12);
        }
    }
    width = std::max(gridWidth, textWidth);
    int rows = kColorCount / kColumns;
    int height = rows * kBoxSize + 2 * margin;
    if (!defaultText.isEmpty()) {
        height += textBoxHeight + margin;
    }
    if (!customText.isEmpty()) {
        height += textBoxHeight + margin;
    }
    setFixedSize(width + 2 * margin, height);
    selection = InitialSelection(initial, !defaultText.isEmpty(), !customText.isEmpty());
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive) {
                    End(false);
                }
            });
}

int ColorPopup::InitialSelection(uint32_t color, bool hasDefault, bool hasCustom) {
    if (color == DefaultColor && hasDefault) {
        return kDefaultBox;
    }
    for (int i = 0; i < kColorCount; ++i) {
        if (kColorTable[i].rgb == color) {
            return i;
        }
    }
    return hasCustom ? kCustomBox : kNoBox;
}

int ColorPopup::MoveSelection(int current, int key, bool hasDefault, bool hasCustom) {
    const int rows = kColorCount / kColumns;
    // Linear order for left and right: [default] 0..39 [custom], wrapping at the ends.
    if (key == Qt::Key_Left || key == Qt::Key_Right) {
        std::vector<int> order;
        if (hasDefault) {
            order.push_back(kDefaultBox);
        }
        for (int i = 0; i < kColorCount; ++i) {
            order.push_back(i);
        }
        if (hasCustom) {
            order.push_back(kCustomBox);
        }
        auto at = std::find(order.begin(), order.end(), current);
        int index = at == order.end() ? -1 : static_cast<int>(at - order.begin());
        int count = static_cast<int>(order.size());
        if (index < 0) {
            return order.front();
        }
        index = key == Qt::Key_Right ? (index + 1) % count : (index + count - 1) % count;
        return order[static_cast<size_t>(index)];
    }
    // Up and down run through a column, passing the default box above the grid and the
    // custom box below it.
    if (current == kNoBox) {
        return 0;
    }
    if (key == Qt::Key_Down) {
        if (current == kDefaultBox) {
            return 0;
        }
        if (current == kCustomBox) {
            return hasDefault ? kDefaultBox : 0;
        }
        if (current / kColumns < rows - 1) {
            return current + kColumns;
        }
        if (hasCustom) {
            return kCustomBox;
        }
        return hasDefault ? kDefaultBox : current % kColumns;
    }
    if (key == Qt::Key_Up) {
        int lastRowStart = (rows - 1) * kColumns;
        if (current == kCustomBox) {
            return lastRowStart;
        }
        if (current == kDefaultBox) {
            return hasCustom ? kCustomBox : lastRowStart;
        }
        if (current >= kColumns) {
            return current - kColumns;
        }
        if (hasDefault) {
            return kDefaultBox;
        }
        return hasCustom ? kCustomBox : lastRowStart + current;
    }
    return current;
}

QRect ColorPopup::BoxRect(int box) const {
    int top = margin;
    if (!defaultText.isEmpty()) {
        if (box == kDefaultBox) {
            return QRect(margin, top, width, textBoxHeight);
        }
        top += textBoxHeight + margin;
    }
    if (box >= 0 && box < kColorCount) {
        int gridLeft = margin + (width - kColumns * kBoxSize) / 2;
        return QRect(gridLeft + (box % kColumns) * kBoxSize, top + (box / kColumns) * kBoxSize,
                     kBoxSize, kBoxSize);
    }
    top += (kColorCount / kColumns) * kBoxSize + margin;
    if (box == kCustomBox && !customText.isEmpty()) {
        return QRect(margin, top, width, textBoxHeight);
    }
    return QRect();
}

int ColorPopup::BoxAt(const QPoint& point) const {
    for (int box = kDefaultBox; box < kColorCount; ++box) {
        if (box != kNoBox && BoxRect(box).contains(point)) {
            return box;
        }
    }
    return kNoBox;
}

uint32_t ColorPopup::BoxColor(int box) const {
    if (box >= 0 && box < kColorCount) {
        return kColorTable[box].rgb;
    }
    return box == kDefaultBox ? DefaultColor : initialColor;
}

void ColorPopup::ChangeSelection(int box) {
    if (box == selection) {
        return;
    }
    selection = box;
    update();
    if (box != kNoBox) {
        owner->PopupSelectionChanged(BoxColor(box));
    }
}

void ColorPopup::End(bool chosen) {
    if (ended) {
        return;
    }
    ended = true;
    uint32_t result = initialColor;
    if (chosen && selection == kCustomBox) {
        hide();
        QColor picked =
            ChooseColor(owner, ColorFromRgb(initialColor == DefaultColor ? 0 : initialColor));
        result = picked.isValid() ? RgbFromColor(picked) : initialColor;
    } else if (chosen && selection != kNoBox) {
        result = BoxColor(selection);
    }
    owner->PopupEnded(chosen && selection != kNoBox, result);
    close();
}

void ColorPopup::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    auto drawTextBox = [&](int box, const QString& text) {
        QRect area = BoxRect(box);
        if (box == selection) {
            painter.fillRect(area, palette().color(QPalette::Highlight).lighter(170));
            painter.setPen(palette().color(QPalette::Highlight));
            painter.drawRect(area.adjusted(0, 0, -1, -1));
        }
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(area, Qt::AlignCenter, text);
    };
    if (!defaultText.isEmpty()) {
        drawTextBox(kDefaultBox, defaultText);
    }
    for (int i = 0; i < kColorCount; ++i) {
        QRect box = BoxRect(i);
        if (i == selection) {
            painter.fillRect(box, palette().color(QPalette::Highlight).lighter(150));
            painter.setPen(palette().color(QPalette::Highlight));
            painter.drawRect(box.adjusted(0, 0, -1, -1));
        }
        painter.setPen(palette().color(QPalette::Shadow));
        painter.setBrush(ColorFromRgb(kColorTable[i].rgb));
        painter.drawRect(box.adjusted(3, 3, -4, -4));
    }
    if (!customText.isEmpty()) {
        drawTextBox(kCustomBox, customText);
    }
}

void ColorPopup::mouseMoveEvent(QMouseEvent* event) {
    int box = BoxAt(event->position().toPoint());
    if (box != kNoBox) {
        ChangeSelection(box);
    }
}

void ColorPopup::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if (rect().contains(event->position().toPoint())) {
        int box = BoxAt(event->position().toPoint());
        if (box != kNoBox) {
            ChangeSelection(box);
        }
        End(true);
    } else {
        End(false);
    }
}

void ColorPopup::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        ChangeSelection(
            MoveSelection(selection, event->key(), !defaultText.isEmpty(), !customText.isEmpty()));
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        End(true);
        break;
    case Qt::Key_Escape:
        End(false);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void ColorPopup::hideEvent(QHideEvent* event) {
    // Closed from outside (a click elsewhere closes a pop-up): that is a cancel.
    if (!ended) {
        End(false);
    }
    QWidget::hideEvent(event);
}

bool ColorPopup::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        int box = BoxAt(help->pos());
        if (box >= 0) {
            QToolTip::showText(help->globalPos(), kColorTable[box].name, this, BoxRect(box));
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::event(event);
}

} // namespace kestrova::app
