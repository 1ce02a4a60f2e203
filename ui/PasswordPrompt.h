#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace quennet::ui {

// Asks for a password in a small modal box whose edit box masks what is
// typed as the program's other password boxes do. True with *password the
// typed text on OK; false when the user cancelled.
bool askPassword(QWidget *parent, const QString &title, const QString &label, QString *password);

// Test scripting (test targets only, see ui/StandIns.h): in test mode no box
// is shown. Each ask records its label and takes the next queued answer; with
// none queued the box answers cancel.
class PasswordPromptScript {
public:
    static void setTestMode(bool on);
    static void setNextAnswer(const QString &password);
    static void setNextCancel();
    static int pendingAnswers();
    static QStringList asked(); // the labels, in order
    static void clear();
};

} // namespace quennet::ui
