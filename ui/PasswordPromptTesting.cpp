// The scripted password prompt: linked only into test targets (see
// ui/StandIns.h).
#include "ui/PasswordPrompt.h"

#include "ui/StandIns.h"

#include <optional>

namespace quennet::ui {

namespace {

struct Script {
    QList<std::optional<QString>> answers;
    QStringList asked;
};

Script &script()
{
    static Script s;
    return s;
}

std::optional<QString> scriptedAnswer(const QString &, const QString &label)
{
    Script &s = script();
    s.asked << label;
    return s.answers.isEmpty() ? std::nullopt : s.answers.takeFirst();
}

} // namespace

void PasswordPromptScript::setTestMode(bool on)
{
    detail::standIns().passwordPrompt =
        on ? std::function<std::optional<QString>(const QString &, const QString &)>(scriptedAnswer)
           : nullptr;
}

void PasswordPromptScript::setNextAnswer(const QString &password)
{
    script().answers.append(password);
}

void PasswordPromptScript::setNextCancel()
{
    script().answers.append(std::nullopt);
}

int PasswordPromptScript::pendingAnswers()
{
    return script().answers.size();
}

QStringList PasswordPromptScript::asked()
{
    return script().asked;
}

void PasswordPromptScript::clear()
{
    script().answers.clear();
    script().asked.clear();
}

} // namespace quennet::ui
