// The address book's process entry: options, the application object, the
// start window, the event loop.
#include "app/LoginWindow.h"
#include "app/Program.h"
#include "app/ProgramFlavour.h"
#include "contacts/Session.h"
#include "ui/Skin.h"

#include <QApplication>
#include <QCommandLineParser>

namespace {

quennet::ProgramDir programDirectory(const QApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("通讯录 - Quennet address book"));
    parser.addHelpOption();
    const QCommandLineOption home(QStringLiteral("home"),
                                  QStringLiteral("Program directory: the store wab.vdb, backup, skin/ and "
                                                 "Help.html (default: the executable's directory; "
                                                 "an installed program keeps its store in "
                                                 "~/.local/share/quennet)."),
                                  QStringLiteral("DIR"));
    parser.addOption(home);
    parser.process(app);
    if (parser.isSet(home))
        return quennet::ProgramDir(parser.value(home));
    const quennet::ProgramDir dir = quennet::ProgramDir::forExecutable(QCoreApplication::applicationDirPath(),
                                                                       quennet::ProgramDir::userDataDir());
    if (!dir.isPortable())
        quennet::provideUserStore(dir);
    return dir;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quennet"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.1"));
    QApplication::setWindowIcon(quennet::applicationIcon());
    quennet::ui::installFontSubstitutes();
    quennet::installQtTranslations();

    quennet::prepareRun(app);

    quennet::Session session(programDirectory(app));
    quennet::LoginWindow::load(session);
    const int code = QApplication::exec();
    quennet::finishRun();
    return code;
}
