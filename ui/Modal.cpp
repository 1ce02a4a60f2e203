#include "ui/Modal.h"

#include "ui/Progress.h"
#include "ui/StandIns.h"

#include <QApplication>
#include <QDialog>

namespace quennet::ui {

namespace detail {

StandIns &standIns()
{
    static StandIns s;
    return s;
}

} // namespace detail

int execModal(QDialog *dialog)
{
    if (const auto &scripted = detail::standIns().modal)
        return scripted(dialog);
    return dialog->exec();
}

bool testMode()
{
    return bool(detail::standIns().modal);
}

bool modalWindowOpen()
{
    return QApplication::activeModalWidget() != nullptr || Progress::anyRunning();
}

} // namespace quennet::ui
