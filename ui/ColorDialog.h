#pragma once

#include <QColor>

#include <optional>

class QWidget;

namespace quennet::ui {

// The colour dialog, run through the modal runner (ui/Modal.h) so a test
// answers it like any other modal window. Nothing when it was cancelled.
std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial);

} // namespace quennet::ui
