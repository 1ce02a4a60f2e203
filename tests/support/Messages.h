#pragma once

// The one check of the messages the scripted message box recorded: each is
// written "title|style in hex|text", so that a whole list compares at once
// and a mismatch reads plainly.
//
//   QCOMPARE(test::shownMessages(), QStringList{test::tip(kSaved)});

#include "ui/MessageBox.h"

#include <QString>
#include <QStringList>

namespace quennet::test {

inline const QString kTipTitle = QStringLiteral("温馨提示");
inline const QString kNoticeTitle = QStringLiteral("提示");

inline QString messageLine(const QString &text, const QString &title, int style)
{
    return title + QLatin1Char('|') + QString::number(style, 16) + QLatin1Char('|') + text;
}

inline QString messageLine(const ui::ShownMessage &message)
{
    return messageLine(message.text, message.title, message.style);
}

// A message under the usual title.
inline QString tip(const QString &text, int style = ui::Style::OkInformation)
{
    return messageLine(text, kTipTitle, style);
}

// A message under the short title, plain by default.
inline QString notice(const QString &text, int style = 0)
{
    return messageLine(text, kNoticeTitle, style);
}

// Every message shown since the last clear, in order.
inline QStringList shownMessages()
{
    QStringList lines;
    for (const ui::ShownMessage &message : ui::MessageBoxScript::shown())
        lines << messageLine(message);
    return lines;
}

// The last of them.
inline QString lastMessage()
{
    return messageLine(ui::MessageBoxScript::last());
}

// Only their texts.
inline QStringList shownTexts()
{
    QStringList texts;
    for (const ui::ShownMessage &message : ui::MessageBoxScript::shown())
        texts << message.text;
    return texts;
}

} // namespace quennet::test
