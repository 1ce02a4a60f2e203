#include "ui/PasswordPrompt.h"

#include "ui/Controls.h"
#include "ui/Skin.h"
#include "ui/StandIns.h"

#include <QInputDialog>
#include <QLineEdit>

namespace quennet::ui {

bool askPassword(QWidget *parent, const QString &title, const QString &label, QString *password)
{
    if (const auto &scripted = detail::standIns().passwordPrompt) {
        const std::optional<QString> answer = scripted(title, label);
        if (answer)
            *password = *answer;
        return answer.has_value();
    }
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setTextEchoMode(QLineEdit::Password);
    dialog.setOkButtonText(QStringLiteral("确定"));
    dialog.setCancelButtonText(QStringLiteral("取消"));
    applyVisualStyle(&dialog);
    const bool ok = dialog.exec() == QDialog::Accepted;
    if (ok)
        *password = dialog.textValue();
    // The dialog's box lets go of the text; the caller's copy is the one left.
    if (auto *box = dialog.findChild<QLineEdit *>())
        wipeText(box);
    return ok;
}

} // namespace quennet::ui
