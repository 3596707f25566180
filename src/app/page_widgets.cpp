#include "app/page_widgets.h"
#include "app/app_namespace.h"

#include <QMouseEvent>
#include <QRegularExpressionValidator>

namespace kestrova::app {

namespace {

// The text of a wrapped radio button: a click on it checks the radio.
class CRadioLabel : public QLabel {
public:
    CRadioLabel(const QString& text, QRadioButton* radio, QWidget* parent)
        : QLabel(text, parent), radio(radio) {
        setWordWrap(true);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && radio->isEnabled()) {
            radio->click();
        }
    }

private:
    QRadioButton* radio;
};

} // namespace

QLabel* MakeInfoIcon(QWidget* parent) {
    auto* icon = new QLabel(parent);
    icon->setPixmap(QPixmap(":/art/info.png"));
    icon->setAlignment(Qt::AlignTop);
    icon->setFixedWidth(36);
    return icon;
}

QWidget* MakeInfoNote(const QString& text, QWidget* parent, QLabel** noteLabel) {
    auto* note = new QWidget(parent);
    auto* row = new QHBoxLayout(note);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(MakeInfoIcon(note), 0, Qt::AlignTop);
    auto* label = new QLabel(text, note);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    row->addWidget(label, 1);
    if (noteLabel != nullptr) {
        *noteLabel = label;
    }
    return note;
}

QLineEdit* MakeDigitsEdit(QWidget* parent, int width) {
    auto* edit = new QLineEdit(parent);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit));
    edit->setMaximumWidth(width);
    return edit;
}

QWidget* MakeWrappedRadio(QRadioButton* radio, const QString& text, QWidget* parent) {
    auto* holder = new QWidget(parent);
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    radio->setAccessibleName(text);
    row->addWidget(radio, 0, Qt::AlignTop);
    auto* label = new CRadioLabel(text, radio, holder);
    label->setObjectName(radio->objectName() + "Text");
    row->addWidget(label, 1);
    return holder;
}

QHBoxLayout* LabelledRow(const QString& label, QWidget* control, QWidget* parent) {
    auto* row = new QHBoxLayout;
    auto* text = new QLabel(label, parent);
    text->setBuddy(control);
    row->addWidget(text);
    row->addWidget(control);
    row->addStretch(1);
    return row;
}

} // namespace kestrova::app
