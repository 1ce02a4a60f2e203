// The scripted progress: linked only into test targets (see ui/StandIns.h).
#include "ui/Progress.h"

#include "ui/StandIns.h"

namespace quennet::ui {

namespace {

struct Script {
    int cancelAt = 0;
    int updates = 0;
    QStringList titles;
};

Script &script()
{
    static Script s;
    return s;
}

void recordTitle(const QString &title)
{
    script().titles << title;
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
    standIns.progressStarted = on ? std::function<void(const QString &)>(recordTitle) : nullptr;
    standIns.progressGoesOn = on ? std::function<bool()>(countUpdate) : nullptr;
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
