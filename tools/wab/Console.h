#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace wab {

// Exit codes of every command.
enum Exit { ExitDone = 0, ExitRefused = 1, ExitUsage = 2, ExitCannotOpen = 2 };

// Text for the terminal: UTF-8, with the program's "\r\n" line breaks as "\n".
// Standard output is buffered until flushOut() or the end of the program;
// standard error is written at once, after what standard output holds.
void printOut(const QString &text);
// One line of bytes already in UTF-8 and without "\r\n" (a listing's).
void printOutLine(QByteArrayView line);
void printErr(const QString &text);
// Writes out what standard output holds; false when it could not be written
// (a full disk, a closed pipe).
bool flushOut();

// Passwords come either one per line from standard input (--password-stdin)
// or from the terminal without echo.
class PasswordSource {
public:
    explicit PasswordSource(bool fromStdin) : m_fromStdin(fromStdin) {}

    bool fromStdin() const { return m_fromStdin; }
    // False when a password would have to be typed but there is no terminal.
    bool canAsk() const;
    // The next password; an empty line or end of input is the empty password.
    // nullopt when canAsk() is false.
    std::optional<QString> ask(const QString &prompt);

private:
    bool m_fromStdin;
};

} // namespace wab
