#pragma once

#include "contacts/Message.h"

#include <QList>
#include <QString>

#include <functional>

class QAbstractButton;
class QMessageBox;
class QWidget;

namespace quennet::ui {

// Windows message-box style values used by the program.
namespace Style {
constexpr int Ok = 0x0;
constexpr int OkStop = 0x10;
constexpr int OkQuestion = 0x20;
constexpr int OkExclamation = 0x30;
constexpr int OkInformation = 0x40;
constexpr int YesNoQuestion = 0x24;
constexpr int OkCancelQuestionDefCancel = 0x121;
constexpr int YesNoQuestionDefNo = 0x124;
constexpr int OkCancelExclamationDefCancel = 0x131;
} // namespace Style

// The style value of a message's look.
int styleOf(MessageLook look);

// Buttons, with the Windows return values.
enum Answer { AnswerOk = 1, AnswerCancel = 2, AnswerYes = 6, AnswerNo = 7 };

struct ShownMessage {
    QString text;
    QString title;
    int style = 0;
    QString details; // the text of the details area, when the box had one
};

// What a style value means: icon, buttons and the default button.
struct StyleInfo {
    enum Icon { NoIcon, Stop, Question, Exclamation, Information } icon = NoIcon;
    QList<Answer> buttons; // in display order
    Answer defaultButton = AnswerOk;
    Answer escapeButton = AnswerOk; // the answer when the box is closed
};
StyleInfo styleInfo(int style);

// Shows a modal message box and returns the button pressed. Line breaks in
// text may be "\r\n".
int messageBox(QWidget *parent, const QString &text, const QString &title, int style);
// The same for a message of the rules.
int showMessage(QWidget *parent, const Message &message);
// The same with a details area that the user opens for a long text (lists).
// Empty details: a plain message box.
int messageBoxWithDetails(QWidget *parent, const QString &text, const QString &title, int style,
                          const QString &details);

// Test scripting (test targets only, see ui/StandIns.h). In test mode no
// real box is ever shown: each call is recorded and answered with the next
// scripted answer, or with the style's default button when none is queued.
class MessageBoxScript {
public:
    static void setTestMode(bool on);
    static bool testMode();
    static void setNextAnswer(int answer); // queued, used in order
    static int pendingAnswers();           // queued answers not used yet
    static QList<ShownMessage> shown();
    static ShownMessage last();
    // Called after each scripted box has been recorded.
    static void setShownListener(std::function<void()> listener);
    static void clear(); // forgets shown messages and queued answers
};

namespace detail {

// The box that messageBox() runs, built but not shown; the caller owns it.
// Every button carries its answer, so a test can inspect and press it.
QMessageBox *buildMessageBox(QWidget *parent, const QString &text, const QString &title, int style);

// The answer of a box built above after it has been run: the button clicked,
// or the style's escape answer when the box was closed another way.
int answerOf(const QMessageBox &box, int style);

// The button of a built box that gives the answer, or null.
QAbstractButton *buttonFor(const QMessageBox &box, Answer answer);

// Message texts use "\r\n" (and sometimes a lone "\r") as line breaks.
QString withUnixLineBreaks(const QString &text);

} // namespace detail

} // namespace quennet::ui
