#include "ui/FileDialog.h"

#include "ui/StandIns.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QList>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace quennet::ui {

namespace {

// Globs of one pattern entry. Windows' "*.*" means every file; on Linux it
// would hide names without a dot, so it becomes "*".
QStringList globsOf(const QString &patterns)
{
    QStringList globs;
    const QStringList parts = patterns.split(QRegularExpression(QStringLiteral("[; ,]")), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const QString glob = part.trimmed();
        if (!glob.isEmpty())
            globs.append(glob == QLatin1String("*.*") ? QStringLiteral("*") : glob);
    }
    return globs;
}

QSet<QString> lowered(const QStringList &globs)
{
    QSet<QString> set;
    for (const QString &glob : globs)
        set.insert(glob.toLower());
    return set;
}

// Qt reads the globs of a name filter from its last "(...)", split at
// spaces. Descriptions here usually already end in the globs, separated by
// ';' and sometimes without the closing parenthesis; those get their group
// rewritten instead of a second copy appended.
QString nameFilterOf(const QString &description, const QStringList &globs)
{
    const QString joined = globs.join(QLatin1Char(' '));
    const int open = description.lastIndexOf(QLatin1Char('('));
    if (open >= 0) {
        QString inner = description.mid(open + 1);
        const bool closed = inner.endsWith(QLatin1Char(')'));
        if (closed)
            inner.chop(1);
        if (!inner.contains(QLatin1Char(')')) && lowered(globsOf(inner)) == lowered(globs))
            return description.left(open) + QLatin1Char('(') + joined + QLatin1Char(')');
    }
    if (description.isEmpty())
        return QLatin1Char('(') + joined + QLatin1Char(')');
    return description + QStringLiteral(" (") + joined + QLatin1Char(')');
}

} // namespace

namespace detail {

QString firstExtensionOf(const QString &nameFilter)
{
    const int open = nameFilter.lastIndexOf(QLatin1Char('('));
    QString inner = open >= 0 ? nameFilter.mid(open + 1) : nameFilter;
    inner.remove(QLatin1Char(')'));
    const QString first = inner.split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0);
    if (!first.startsWith(QLatin1String("*.")) || first == QLatin1String("*.*"))
        return QString();
    return first.mid(2);
}

} // namespace detail

FileDialog::FileDialog(QObject *parent) : QObject(parent) {}

bool FileDialog::showSave(QWidget *parent)
{
    return show(parent, true);
}

bool FileDialog::showOpen(QWidget *parent)
{
    return show(parent, false);
}

bool FileDialog::show(QWidget *parent, bool save)
{
    if (const auto &scripted = detail::standIns().fileDialog)
        return scripted(*this, save);
    return showReal(parent, save);
}

bool FileDialog::showReal(QWidget *parent, bool save)
{
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowTitle(title.isEmpty() ? (save ? QStringLiteral("另存为") : QStringLiteral("打开"))
                                          : title);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("查找范围："));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("文件名："));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("文件类型："));
    dialog.setLabelText(QFileDialog::Accept, save ? QStringLiteral("保存(&S)") : QStringLiteral("打开(&O)"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("取消"));
    const QStringList filters = nameFilters(filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.value(filterIndex, filters.first()));
    }
    dialog.setDefaultSuffix(cleanExtension(defaultExtension));
    if (save) {
        // A name typed without an extension gets the one of the chosen filter.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, this](const QString &chosen) {
            const QString extension = detail::firstExtensionOf(chosen);
            dialog.setDefaultSuffix(extension.isEmpty() ? cleanExtension(defaultExtension) : extension);
        });
    }
    if (!initialDirectory.isEmpty())
        dialog.setDirectory(initialDirectory);
    if (!fileName.isEmpty()) {
        const QFileInfo preset(fileName);
        if (preset.isAbsolute())
            dialog.setDirectory(preset.absolutePath());
        dialog.selectFile(preset.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    fileName = dialog.selectedFiles().first();
    filterIndex = std::max(0, int(filters.indexOf(dialog.selectedNameFilter())));
    return true;
}

QStringList FileDialog::nameFilters(const QString &filter)
{
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (int i = 0; i < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        QStringList globs = globsOf(parts.value(i + 1));
        if (description.isEmpty() && globs.isEmpty())
            continue;
        if (globs.isEmpty())
            globs.append(QStringLiteral("*"));
        result.append(nameFilterOf(description, globs));
    }
    return result;
}

QString FileDialog::cleanExtension(const QString &extension)
{
    QString ext = extension.trimmed();
    if (ext.startsWith(QLatin1String("*.")))
        ext.remove(0, 2);
    else if (ext.startsWith(QLatin1Char('.')))
        ext.remove(0, 1);
    return ext == QLatin1String("*") ? QString() : ext;
}

QString FileDialog::withDefaultExtension(const QString &name, const QString &extension)
{
    const QString ext = cleanExtension(extension);
    if (ext.isEmpty() || name.isEmpty() || !QFileInfo(name).suffix().isEmpty())
        return name;
    QString result = name;
    if (!result.endsWith(QLatin1Char('.')))
        result += QLatin1Char('.');
    return result + ext;
}

} // namespace quennet::ui
