// The scripted message boxes: linked only into test targets (see
// ui/StandIns.h).
#include "ui/MessageBox.h"

#include "ui/StandIns.h"

#include <functional>

namespace quennet::ui {

namespace {

struct Script {
    QList<int> answers;
    QList<ShownMessage> shown;
    std::function<void()> onShown;
};

Script &script()
{
    static Script s;
    return s;
}

int scriptedAnswer(const ShownMessage &message)
{
    Script &s = script();
    s.shown.append(message);
    if (s.onShown)
        s.onShown();
    if (!s.answers.isEmpty())
        return s.answers.takeFirst();
    return styleInfo(message.style).defaultButton;
}

} // namespace

void MessageBoxScript::setTestMode(bool on)
{
    detail::standIns().messageBox = on ? std::function<int(const ShownMessage &)>(scriptedAnswer) : nullptr;
}

bool MessageBoxScript::testMode()
{
    return bool(detail::standIns().messageBox);
}

void MessageBoxScript::setNextAnswer(int answer)
{
    script().answers.append(answer);
}

int MessageBoxScript::pendingAnswers()
{
    return script().answers.size();
}

void MessageBoxScript::setShownListener(std::function<void()> listener)
{
    script().onShown = std::move(listener);
}

QList<ShownMessage> MessageBoxScript::shown()
{
    return script().shown;
}

ShownMessage MessageBoxScript::last()
{
    return script().shown.isEmpty() ? ShownMessage{} : script().shown.last();
}

void MessageBoxScript::clear()
{
    script().answers.clear();
    script().shown.clear();
}

} // namespace quennet::ui
