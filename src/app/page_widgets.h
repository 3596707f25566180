// Building blocks shared by the option pages: labelled rows, group frames, information notes,
// digit-only edits and radio buttons whose long text wraps.
#pragma once

#include "app/app_namespace.h"
#include <QBoxLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QString>

namespace kestrova::app {

// A label holding the program's information icon.
QLabel* MakeInfoIcon(QWidget* parent);
// The information icon with a wrapped note beside it.
QWidget* MakeInfoNote(const QString& text, QWidget* parent, QLabel** noteLabel = nullptr);
// A line edit that takes digits only.
QLineEdit* MakeDigitsEdit(QWidget* parent, int width = 60);
// A radio button whose text wraps onto several lines, as a radio button with a label beside
// it that checks the radio when clicked.
QWidget* MakeWrappedRadio(QRadioButton* radio, const QString& text, QWidget* parent);
// A label followed by a control in a horizontal row.
QHBoxLayout* LabelledRow(const QString& label, QWidget* control, QWidget* parent);

} // namespace kestrova::app
