// The scripted notification area: linked only into test targets (see
// ui/StandIns.h).
#include "ui/Tray.h"

#include "ui/StandIns.h"

#include <QPointer>

#include <memory>

namespace quennet::ui {

namespace {

struct Script {
    bool available = true;
    bool shown = false;
    QString tip;
    int added = 0;
    QString balloonTitle;
    QString balloonText;
    int balloons = 0;
    QPointer<detail::TrayHost> host;
};

Script &script()
{
    static Script s;
    return s;
}

class ScriptedTray : public detail::TrayHost {
public:
    ScriptedTray() { script().host = this; }
    bool available() const override { return script().available; }
    void addIcon(const QIcon &, const QString &tip) override
    {
        script().shown = true;
        script().tip = tip;
        ++script().added;
    }
    void showBalloon(const QString &title, const QString &text) override
    {
        script().balloonTitle = title;
        script().balloonText = text;
        ++script().balloons;
    }
    void removeIcon() override { script().shown = false; }
};

std::unique_ptr<detail::TrayHost> scriptedHost()
{
    return std::make_unique<ScriptedTray>();
}

} // namespace

void TrayScript::setTestMode(bool on)
{
    detail::standIns().tray = on ? std::function<std::unique_ptr<detail::TrayHost>()>(scriptedHost) : nullptr;
}

bool TrayScript::testMode()
{
    return bool(detail::standIns().tray);
}

void TrayScript::setAvailable(bool available)
{
    script().available = available;
}

bool TrayScript::iconShown()
{
    return script().shown;
}

QString TrayScript::tip()
{
    return script().tip;
}

int TrayScript::iconsAdded()
{
    return script().added;
}

QString TrayScript::balloonTitle()
{
    return script().balloonTitle;
}

QString TrayScript::balloonText()
{
    return script().balloonText;
}

int TrayScript::balloonsShown()
{
    return script().balloons;
}

void TrayScript::pressLeftButton()
{
    if (script().host)
        emit script().host->leftButtonPressed();
}

void TrayScript::pressRightButton()
{
    if (script().host)
        emit script().host->rightButtonPressed();
}

void TrayScript::doubleClick()
{
    if (script().host)
        emit script().host->doubleClicked();
}

void TrayScript::restartHost()
{
    if (!script().host)
        return;
    script().shown = false; // the new host knows no icon
    emit script().host->hostRestarted();
}

void TrayScript::clear()
{
    Script &s = script();
    s.available = true;
    s.tip.clear();
    s.added = 0;
    s.balloonTitle.clear();
    s.balloonText.clear();
    s.balloons = 0;
}

} // namespace quennet::ui
