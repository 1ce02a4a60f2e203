#include "ui/WaitCursor.h"

#include <QApplication>
#include <QCursor>

namespace quennet::ui {

namespace {
int g_shown = 0;
} // namespace

WaitCursor::WaitCursor()
{
    ++g_shown;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The operation that follows blocks the event loop; let the window
    // system see the cursor now (input stays queued until it is done).
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

WaitCursor::~WaitCursor()
{
    QApplication::restoreOverrideCursor();
}

int WaitCursor::shownCount()
{
    return g_shown;
}

} // namespace quennet::ui
