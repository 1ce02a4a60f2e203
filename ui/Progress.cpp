#include "ui/Progress.h"

#include "ui/StandIns.h"

#include <QApplication>
#include <QProgressDialog>

namespace quennet::ui {

namespace {

constexpr int kSteps = 1000;

int &running()
{
    static int count = 0;
    return count;
}

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::Drop:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

} // namespace

class Progress::InputGuard : public QObject {
public:
    explicit InputGuard(QWidget *dialog) : m_dialog(dialog) { qApp->installEventFilter(this); }
    ~InputGuard() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!isUserInput(event->type()) || !watched->isWidgetType())
            return false;
        auto *widget = static_cast<QWidget *>(watched);
        return widget != m_dialog && !m_dialog->isAncestorOf(widget);
    }

private:
    QWidget *m_dialog;
};

Progress::Progress(QWidget *parent, const QString &title, const QString &label)
{
    ++running();
    if (const auto &started = detail::standIns().progressStarted) {
        started(this, title);
        return;
    }
    m_dialog = std::make_unique<QProgressDialog>(label, QStringLiteral("取消"), 0, kSteps, parent);
    m_dialog->setWindowTitle(title);
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumDuration(400);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setValue(0);
    m_guard = std::make_unique<InputGuard>(m_dialog.get());
    QObject::connect(m_dialog.get(), &QProgressDialog::canceled, m_dialog.get(), [this] { cancel(); });
}

Progress::~Progress()
{
    --running();
    if (const auto &ended = detail::standIns().progressEnded; ended && !m_dialog)
        ended(this);
    m_guard.reset();
}

bool Progress::anyRunning()
{
    return running() > 0;
}

void Progress::setCancelHandler(std::function<void()> handler)
{
    m_onCancel = std::move(handler);
}

void Progress::cancel()
{
    if (m_cancelled)
        return;
    m_cancelled = true;
    if (m_onCancel)
        m_onCancel();
}

bool Progress::update(qint64 done, qint64 total)
{
    if (!m_dialog) {
        const auto &goesOn = detail::standIns().progressGoesOn;
        if (goesOn && !goesOn())
            cancel();
        return !m_cancelled;
    }
    const int value = total > 0 ? int(qBound<qint64>(0, done * kSteps / total, qint64(kSteps - 1))) : 0;
    m_dialog->setValue(value); // processes events while the dialog is up
    QApplication::processEvents();
    return !m_cancelled;
}

} // namespace quennet::ui
