// The scripted open and save dialogs: linked only into test targets (see
// ui/StandIns.h).
#include "ui/FileDialog.h"

#include "ui/StandIns.h"

#include <QDir>
#include <QFileInfo>
#include <QList>

namespace quennet::ui {

namespace {

struct Script {
    QStringList names;
    QList<int> filterIndexes; // -1: the preset one
    int shown = 0;
    bool lastWasSave = false;
};

Script &script()
{
    static Script s;
    return s;
}

FileDialog &snapshot()
{
    static FileDialog dialog;
    return dialog;
}

void copySettings(const FileDialog &from, FileDialog &to)
{
    to.title = from.title;
    to.filter = from.filter;
    to.defaultExtension = from.defaultExtension;
    to.initialDirectory = from.initialDirectory;
    to.fileName = from.fileName;
    to.filterIndex = from.filterIndex;
}

// The queued name as the real dialog would return it: in the initial
// directory when relative, with the chosen filter's or the default extension.
void choose(FileDialog &dialog, const QString &name, int chosenFilter)
{
    if (chosenFilter >= 0)
        dialog.filterIndex = chosenFilter;
    QString path = name;
    if (QFileInfo(name).isRelative())
        path = QDir(dialog.initialDirectory.isEmpty() ? QDir::currentPath() : dialog.initialDirectory)
                   .filePath(name);
    const QString filterExtension =
        chosenFilter >= 0
            ? detail::firstExtensionOf(FileDialog::nameFilters(dialog.filter).value(dialog.filterIndex))
            : QString();
    dialog.fileName = FileDialog::withDefaultExtension(
        QDir::cleanPath(path),
        filterExtension.isEmpty() ? FileDialog::cleanExtension(dialog.defaultExtension) : filterExtension);
}

bool answerScripted(FileDialog &dialog, bool save)
{
    Script &s = script();
    ++s.shown;
    s.lastWasSave = save;
    copySettings(dialog, snapshot());
    if (s.names.isEmpty())
        return false;
    const QString name = s.names.takeFirst();
    const int chosenFilter = s.filterIndexes.isEmpty() ? -1 : s.filterIndexes.takeFirst();
    if (name.isEmpty())
        return false;
    choose(dialog, name, chosenFilter);
    return true;
}

} // namespace

void FileDialog::setTestMode(bool on)
{
    detail::standIns().fileDialog = on ? std::function<bool(FileDialog &, bool)>(answerScripted) : nullptr;
}

bool FileDialog::testMode()
{
    return bool(detail::standIns().fileDialog);
}

void FileDialog::setNextFileName(const QString &name)
{
    setNextFileName(name, -1);
}

void FileDialog::setNextFileName(const QString &name, int filterIndex)
{
    script().names.append(name);
    script().filterIndexes.append(filterIndex);
}

int FileDialog::pendingFileNames()
{
    return script().names.size();
}

int FileDialog::shownCount()
{
    return script().shown;
}

FileDialog *FileDialog::lastShown()
{
    return &snapshot();
}

bool FileDialog::lastShownWasSave()
{
    return script().lastWasSave;
}

void FileDialog::clearScript()
{
    Script &s = script();
    s.names.clear();
    s.filterIndexes.clear();
    s.shown = 0;
    s.lastWasSave = false;
    copySettings(FileDialog(), snapshot());
}

} // namespace quennet::ui
