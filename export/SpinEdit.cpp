#include "export/SpinEdit.h"

#include <QLineEdit>
#include <QSignalBlocker>

namespace quennet {

SpinEdit::SpinEdit(QWidget *parent) : QSpinBox(parent)
{
    connect(lineEdit(), &QLineEdit::textChanged, this, &SpinEdit::editTextChanged);
}

void SpinEdit::clearText()
{
    lineEdit()->clear();
}

void SpinEdit::showEvent(QShowEvent *event)
{
    if (!text().isEmpty()) {
        QSpinBox::showEvent(event);
        return;
    }
    // Showing is no change of the text: keep it empty and quiet.
    const QSignalBlocker quiet(this);
    QSpinBox::showEvent(event);
    lineEdit()->clear();
}

} // namespace quennet
