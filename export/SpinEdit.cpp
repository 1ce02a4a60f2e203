#include "export/SpinEdit.h"

#include <QLineEdit>
#include <QSignalBlocker>

namespace quennet {

SpinEdit::SpinEdit(QWidget *parent) : QSpinBox(parent)
{
    connect(lineEdit(), &QLineEdit::textChanged, this, &SpinEdit::editTextChanged);
    // Only the user's own typing decides whether the box holds a number.
    connect(lineEdit(), &QLineEdit::textEdited, this,
            [this](const QString &text) { m_empty = text.isEmpty(); });
    connect(this, &QSpinBox::valueChanged, this, [this] {
        if (!lineEdit()->text().isEmpty())
            m_empty = false;
    });
}

void SpinEdit::clearText()
{
    m_empty = true;
    lineEdit()->clear();
}

void SpinEdit::stepBy(int steps)
{
    m_empty = false;
    QSpinBox::stepBy(steps);
}

bool SpinEdit::event(QEvent *event)
{
    const bool handled = QSpinBox::event(event);
    keepEmpty();
    return handled;
}

void SpinEdit::keepEmpty()
{
    if (!m_empty || lineEdit()->text().isEmpty())
        return;
    // Rewriting the number is no change of the text: keep it empty and quiet.
    const QSignalBlocker quiet(this);
    lineEdit()->clear();
}

} // namespace quennet
