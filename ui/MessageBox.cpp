#include "ui/MessageBox.h"

#include "ui/StandIns.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

#include <functional>
#include <memory>

namespace quennet::ui {

namespace {

// Property that ties each push button of a built box to its answer.
constexpr char kAnswerProperty[] = "quennetAnswer";

StyleInfo::Icon iconOf(int style)
{
    switch (style & 0xF0) {
    case 0x10:
        return StyleInfo::Stop;
    case 0x20:
        return StyleInfo::Question;
    case 0x30:
        return StyleInfo::Exclamation;
    case 0x40:
        return StyleInfo::Information;
    default:
        return StyleInfo::NoIcon;
    }
}

QList<Answer> buttonsOf(int style)
{
    switch (style & 0x0F) {
    case 0x1:
        return {AnswerOk, AnswerCancel};
    case 0x3:
        return {AnswerYes, AnswerNo, AnswerCancel};
    case 0x4:
        return {AnswerYes, AnswerNo};
    default:
        // The program uses no other button sets; anything else gets a plain OK
        // so that a box can always be answered.
        return {AnswerOk};
    }
}

Answer escapeOf(const QList<Answer> &buttons)
{
    if (buttons.contains(AnswerCancel))
        return AnswerCancel;
    if (buttons.contains(AnswerNo))
        return AnswerNo;
    return buttons.first();
}

QString captionOf(Answer answer)
{
    switch (answer) {
    case AnswerOk:
        return QStringLiteral("确定");
    case AnswerCancel:
        return QStringLiteral("取消");
    case AnswerYes:
        return QStringLiteral("是(&Y)");
    case AnswerNo:
        return QStringLiteral("否(&N)");
    }
    return {};
}

QMessageBox::ButtonRole roleOf(Answer answer)
{
    switch (answer) {
    case AnswerOk:
        return QMessageBox::AcceptRole;
    case AnswerCancel:
        return QMessageBox::RejectRole;
    case AnswerYes:
        return QMessageBox::YesRole;
    case AnswerNo:
        return QMessageBox::NoRole;
    }
    return QMessageBox::AcceptRole;
}

QMessageBox::Icon qtIconOf(StyleInfo::Icon icon)
{
    switch (icon) {
    case StyleInfo::Stop:
        return QMessageBox::Critical;
    case StyleInfo::Question:
        return QMessageBox::Question;
    case StyleInfo::Exclamation:
        return QMessageBox::Warning;
    case StyleInfo::Information:
        return QMessageBox::Information;
    case StyleInfo::NoIcon:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

StyleInfo styleInfo(int style)
{
    StyleInfo info;
    info.icon = iconOf(style);
    info.buttons = buttonsOf(style);
    // Bits 0x100 and 0x200 make the second or third button the default.
    const int defaultIndex = (style >> 8) & 0x3;
    info.defaultButton = info.buttons.value(defaultIndex, info.buttons.first());
    info.escapeButton = escapeOf(info.buttons);
    return info;
}

namespace detail {

QString withUnixLineBreaks(const QString &text)
{
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return result;
}

QMessageBox *buildMessageBox(QWidget *parent, const QString &text, const QString &title, int style)
{
    const StyleInfo info = styleInfo(style);
    auto *box = new QMessageBox(parent);
    box->setWindowTitle(title);
    // Contact names may contain '<' or '&': never read them as markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(withUnixLineBreaks(text));
    box->setIcon(qtIconOf(info.icon));
    for (Answer answer : info.buttons) {
        QPushButton *button = box->addButton(captionOf(answer), roleOf(answer));
        button->setProperty(kAnswerProperty, int(answer));
    }
    box->setDefaultButton(qobject_cast<QPushButton *>(buttonFor(*box, info.defaultButton)));
    box->setEscapeButton(buttonFor(*box, info.escapeButton));
    return box;
}

QAbstractButton *buttonFor(const QMessageBox &box, Answer answer)
{
    const QList<QAbstractButton *> buttons = box.buttons();
    for (QAbstractButton *button : buttons) {
        if (button->property(kAnswerProperty).toInt() == answer)
            return button;
    }
    return nullptr;
}

int answerOf(const QMessageBox &box, int style)
{
    if (QAbstractButton *clicked = box.clickedButton()) {
        const QVariant answer = clicked->property(kAnswerProperty);
        if (answer.isValid())
            return answer.toInt();
    }
    return styleInfo(style).escapeButton;
}

} // namespace detail

int messageBox(QWidget *parent, const QString &text, const QString &title, int style)
{
    if (const auto &scripted = detail::standIns().messageBox)
        return scripted({text, title, style, QString()});
    std::unique_ptr<QMessageBox> box(detail::buildMessageBox(parent, text, title, style));
    box->exec();
    return detail::answerOf(*box, style);
}

int styleOf(MessageLook look)
{
    switch (look) {
    case MessageLook::None:
        return Style::Ok;
    case MessageLook::Information:
        return Style::OkInformation;
    case MessageLook::Stop:
        return Style::OkStop;
    case MessageLook::Exclamation:
        return Style::OkExclamation;
    case MessageLook::YesNoDefaultNo:
        return Style::YesNoQuestionDefNo;
    case MessageLook::OkCancelExclamationDefaultCancel:
        return Style::OkCancelExclamationDefCancel;
    case MessageLook::OkCancelQuestionDefaultCancel:
        return Style::OkCancelQuestionDefCancel;
    }
    return Style::Ok;
}

int showMessage(QWidget *parent, const Message &message)
{
    return messageBox(parent, message.text, message.title, styleOf(message.look));
}

int messageBoxWithDetails(QWidget *parent, const QString &text, const QString &title, int style,
                          const QString &details)
{
    if (const auto &scripted = detail::standIns().messageBox)
        return scripted({text, title, style, details});
    std::unique_ptr<QMessageBox> box(detail::buildMessageBox(parent, text, title, style));
    if (!details.isEmpty())
        box->setDetailedText(detail::withUnixLineBreaks(details));
    box->exec();
    return detail::answerOf(*box, style);
}

} // namespace quennet::ui
