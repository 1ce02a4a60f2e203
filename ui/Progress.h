#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

namespace quennet::ui {

// A progress dialog with a cancel button for a long loop on the window
// thread. It appears only when the work takes a moment, and each update lets
// the window system process pending events; while it lives, keyboard and
// mouse reach only the dialog, so no other command starts in the middle.
class Progress {
public:
    Progress(QWidget *parent, const QString &title, const QString &label);
    ~Progress();
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    // False once the user has pressed cancel.
    bool update(qint64 done, qint64 total);
    bool wasCancelled() const { return m_cancelled; }

    // Runs when the user presses cancel, also while the work waits inside
    // a step (a request to a server) rather than between updates.
    void setCancelHandler(std::function<void()> handler);
    // As the user pressing cancel.
    void cancel();

    // Whether a progress lives now: like a modal window, it holds back the
    // commands that would start in the middle (hot keys, timers), also
    // before its dialog appears.
    static bool anyRunning();

    // Test scripting (test targets only, see ui/StandIns.h): in test mode no
    // dialog is made. Each progress records its title; the n-th update
    // (counted from 1 over all progresses since the last clear) answers
    // cancel when setCancelAt(n) was called.
    static void setTestMode(bool on);
    static void setCancelAt(int update); // 0: never
    // Presses cancel on the progress that lives now (the innermost); false
    // when none does.
    static bool cancelRunning();
    static int updateCount();
    static QStringList shownTitles();
    static void clearScript();

private:
    class InputGuard;
    std::unique_ptr<QProgressDialog> m_dialog;
    std::unique_ptr<InputGuard> m_guard;
    bool m_cancelled = false;
    std::function<void()> m_onCancel;
};

} // namespace quennet::ui
