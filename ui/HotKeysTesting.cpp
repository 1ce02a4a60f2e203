// The scripted hot keys: linked only into test targets (see ui/StandIns.h).
#include "ui/HotKeys.h"

#include "ui/StandIns.h"

#include <memory>

namespace quennet::ui {

namespace {

QList<QKeyCombination> &heldElsewhere()
{
    static QList<QKeyCombination> combinations;
    return combinations;
}

class ScriptedHotKeys : public detail::HotKeyBackend {
public:
    bool grab(QWidget *, int, QKeyCombination combination) override
    {
        return !heldElsewhere().contains(combination);
    }
    void release(int) override {}
};

std::unique_ptr<detail::HotKeyBackend> scriptedBackend()
{
    return std::make_unique<ScriptedHotKeys>();
}

} // namespace

void HotKeyScript::setTestMode(bool on)
{
    detail::standIns().hotKeys =
        on ? std::function<std::unique_ptr<detail::HotKeyBackend>()>(scriptedBackend) : nullptr;
}

bool HotKeyScript::testMode()
{
    return bool(detail::standIns().hotKeys);
}

void HotKeyScript::setHeldElsewhere(const QList<QKeyCombination> &combinations)
{
    heldElsewhere() = combinations;
}

bool HotKeyScript::press(QKeyCombination combination)
{
    for (const RegisteredHotKey &key : registeredHotKeys())
        if (key.combination == combination)
            return dispatchHotKey(key.id);
    return false;
}

void HotKeyScript::clear()
{
    heldElsewhere().clear();
}

} // namespace quennet::ui
