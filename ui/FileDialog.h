#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace quennet::ui {

// An open or save dialog as the window designs use it: an object that holds
// its settings and the file name between showings. The filter is the
// "描述|模式|描述|模式…" form; a pattern may list several globs split by ';'.
class FileDialog : public QObject {
    Q_OBJECT
public:
    explicit FileDialog(QObject *parent = nullptr);

    QString title;
    QString filter;
    QString defaultExtension; // "txt", "*.bak", ... (leading "*." is ignored)
    QString initialDirectory;
    QString fileName; // preset before showing; the chosen path after OK
    // The filter offered first (0-based); after OK the one the user chose.
    int filterIndex = 0;

    // Show the dialog; true when the user confirmed. On OK fileName holds the
    // chosen path (with the default extension added when none was typed); on
    // Cancel fileName is unchanged.
    bool showSave(QWidget *parent);
    bool showOpen(QWidget *parent);

    // Test scripting (test targets only, see ui/StandIns.h): in test mode no
    // real dialog is shown. A queued name is
    // taken as the user's choice (an empty queued name means Cancel); with
    // nothing queued the dialog answers Cancel. A relative queued name lies in
    // the initial directory; the default extension is added as the real
    // dialog would.
    static void setTestMode(bool on);
    static bool testMode();
    static void setNextFileName(const QString &name);
    // The same, with the filter the user picks (see filterIndex).
    static void setNextFileName(const QString &name, int filterIndex);
    static int pendingFileNames();
    static int shownCount();
    // A copy of the settings of the dialog shown last, as they were when it was
    // shown (fileName is the preset name). Never null; valid until clearScript().
    static FileDialog *lastShown();
    static bool lastShownWasSave();
    static void clearScript();

    // Qt name-filter list built from the "desc|pattern|..." form.
    static QStringList nameFilters(const QString &filter);
    // The extension without a leading "*." or ".": "*.bak" -> "bak".
    static QString cleanExtension(const QString &extension);
    // name with ".ext" appended when name has no extension of its own.
    static QString withDefaultExtension(const QString &name, const QString &extension);

private:
    bool show(QWidget *parent, bool save);
    bool showReal(QWidget *parent, bool save);
};

} // namespace quennet::ui
