#pragma once

#include <QString>

namespace quennet {

// How a message box looks: its icon, its buttons and which of them is the
// default. The window layer turns a look into the box it shows; the wab tool
// prints the text only.
enum class MessageLook {
    None,        // no icon, OK
    Information, // information icon, OK
    Stop,        // stop icon, OK
    Exclamation, // exclamation icon, OK
    YesNoDefaultNo,
    OkCancelExclamationDefaultCancel,
    OkCancelQuestionDefaultCancel,
};

// A message for the user, as the window shows it.
struct Message {
    QString text;
    QString title;
    MessageLook look = MessageLook::None;
};

} // namespace quennet
