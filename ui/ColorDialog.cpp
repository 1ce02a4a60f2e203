#include "ui/ColorDialog.h"

#include "ui/Modal.h"

#include <QColorDialog>

namespace quennet::ui {

std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial)
{
    QColorDialog dialog(initial, parent);
    if (execModal(&dialog) != QDialog::Accepted || !dialog.selectedColor().isValid())
        return std::nullopt;
    return dialog.selectedColor();
}

} // namespace quennet::ui
