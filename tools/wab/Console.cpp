#include "Console.h"

#include "contacts/store/Secret.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace wab {

namespace {

void print(std::FILE *stream, const QString &text)
{
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QByteArray bytes = plain.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
}

bool readByte(char *byte)
{
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, byte, 1);
        if (n == 1)
            return true;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

// Appends without letting the array reallocate on its own: a full array is
// copied into a larger one and wiped, so that no freed block keeps a part
// of the secret.
void appendWiping(QByteArray &bytes, char byte)
{
    if (bytes.size() == bytes.capacity()) {
        QByteArray larger;
        larger.reserve(std::max<qsizetype>(64, 2 * bytes.capacity()));
        larger.append(bytes.constData(), bytes.size());
        quennet::wipe(bytes);
        bytes.swap(larger);
    }
    bytes.append(byte);
}

// One line of standard input, a password as a rule. It is read a byte at a
// time with read(2): no stdio buffer keeps a copy for the rest of the run,
// and the lines after it (the next password) stay unread until asked for.
QString readLine()
{
    QByteArray line;
    char byte = 0;
    while (readByte(&byte) && byte != '\n')
        appendWiping(line, byte);
    if (line.endsWith('\r'))
        line.chop(1);
    QString text = QString::fromUtf8(line);
    quennet::wipe(line);
    return text;
}

// Echo is switched off only while a password is typed; an interrupt in that
// moment must not leave the terminal silent.
struct termios savedTerminal;
volatile std::sig_atomic_t echoOff = 0;

void restoreTerminal()
{
    if (echoOff) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
        echoOff = 0;
    }
}

void onInterrupt(int signal)
{
    restoreTerminal();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

QString readHidden()
{
    if (::tcgetattr(STDIN_FILENO, &savedTerminal) != 0)
        return readLine();
    struct termios silent = savedTerminal;
    silent.c_lflag &= ~tcflag_t(ECHO);
    silent.c_lflag |= ECHONL;
    auto oldInt = std::signal(SIGINT, onInterrupt);
    auto oldTerm = std::signal(SIGTERM, onInterrupt);
    echoOff = 1;
    ::tcsetattr(STDIN_FILENO, TCSADRAIN, &silent);
    const QString line = readLine();
    restoreTerminal();
    std::signal(SIGINT, oldInt);
    std::signal(SIGTERM, oldTerm);
    return line;
}

} // namespace

void printOut(const QString &text)
{
    // Buffered: a listing of many contacts goes out in large writes.
    print(stdout, text);
}

void printOutLine(QByteArrayView line)
{
    std::fwrite(line.data(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
}

void printErr(const QString &text)
{
    // What was printed before comes first, also when both go to one terminal.
    std::fflush(stdout);
    print(stderr, text);
    std::fflush(stderr);
}

bool flushOut()
{
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

bool PasswordSource::canAsk() const
{
    return m_fromStdin || ::isatty(STDIN_FILENO);
}

std::optional<QString> PasswordSource::ask(const QString &prompt)
{
    // A terminal given as standard input still gets no echo.
    if (m_fromStdin)
        return ::isatty(STDIN_FILENO) ? readHidden() : readLine();
    if (!canAsk())
        return std::nullopt;
    const QByteArray bytes = prompt.toUtf8();
    std::fflush(stdout);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
    return readHidden();
}

} // namespace wab
