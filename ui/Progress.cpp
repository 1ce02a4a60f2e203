#include "ui/Progress.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace quennet::ui {

namespace {

constexpr int kSteps = 1000;

struct Script {
    bool testMode = false;
    int cancelAt = 0;
    int updates = 0;
    QStringList titles;
};

Script &script()
{
    static Script s;
    return s;
}

} // namespace

Progress::Progress(QWidget *parent, const QString &title, const QString &label)
{
    if (script().testMode) {
        script().titles << title;
        return;
    }
    m_dialog = std::make_unique<QProgressDialog>(label, QStringLiteral("取消"), 0, kSteps, parent);
    m_dialog->setWindowTitle(title);
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumDuration(400);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setValue(0);
}

Progress::~Progress() = default;

bool Progress::update(qint64 done, qint64 total)
{
    if (!m_dialog) {
        Script &s = script();
        ++s.updates;
        if (s.cancelAt > 0 && s.updates >= s.cancelAt)
            m_cancelled = true;
        return !m_cancelled;
    }
    const int value = total > 0 ? int(qBound<qint64>(0, done * kSteps / total, qint64(kSteps - 1))) : 0;
    m_dialog->setValue(value); // processes events while the dialog is up
    QCoreApplication::processEvents();
    return !m_dialog->wasCanceled();
}

void Progress::setTestMode(bool on)
{
    script().testMode = on;
}

void Progress::setCancelAt(int update)
{
    script().cancelAt = update;
}

int Progress::updateCount()
{
    return script().updates;
}

QStringList Progress::shownTitles()
{
    return script().titles;
}

void Progress::clearScript()
{
    Script &s = script();
    s.cancelAt = 0;
    s.updates = 0;
    s.titles.clear();
}

} // namespace quennet::ui
