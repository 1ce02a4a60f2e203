// The scripted progress: linked only into test targets (see ui/StandIns.h).
#include "ui/Progress.h"

#include "ui/StandIns.h"

namespace quennet::ui {

namespace {

struct Script {
    int cancelAt = 0;
    int updates = 0;
    QStringList titles;
    QList<Progress *> live;
};

Script &script()
{
    static Script s;
    return s;
}

void started(Progress *progress, const QString &title)
{
    script().titles << title;
    script().live << progress;
}

void ended(Progress *progress)
{
    script().live.removeAll(progress);
}

bool countUpdate()
{
    Script &s = script();
    ++s.updates;
    return s.cancelAt <= 0 || s.updates < s.cancelAt;
}

} // namespace

void Progress::setTestMode(bool on)
{
    detail::StandIns &standIns = detail::standIns();
    standIns.progressStarted = on ? std::function<void(Progress *, const QString &)>(started) : nullptr;
    standIns.progressGoesOn = on ? std::function<bool()>(countUpdate) : nullptr;
    standIns.progressEnded = on ? std::function<void(Progress *)>(ended) : nullptr;
}

void Progress::setCancelAt(int update)
{
    script().cancelAt = update;
}

bool Progress::cancelRunning()
{
    if (script().live.isEmpty())
        return false;
    script().live.last()->cancel();
    return true;
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
