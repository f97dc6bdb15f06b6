#include "shell/DialogFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

constexpr const char* kKey = "files/folder";

// The registry on Windows, ~/.config on Linux; tests choose files of their own.
QSettings Kept() { return QSettings(QSettings::defaultFormat(), QSettings::UserScope, "serbox", "serbox"); }

}  // namespace

QString DialogFolder(const QString& remembered, const QString& documents, const QString& home,
                     const std::function<bool(const QString&)>& exists)
{
    // A folder on a drive since unplugged, or removed, would open the dialog in
    // whatever folder the toolkit falls back to.
    for (const QString& f : {remembered, documents})
        if (!f.isEmpty() && exists(f))
            return f;
    return home;
}

QString DialogFolder()
{
    return DialogFolder(Kept().value(kKey).toString(),
                        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), QDir::homePath(),
                        [](const QString& f) { return QFileInfo(f).isDir(); });
}

QString RememberDialogFolder(const QString& path)
{
    const QString folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    Kept().setValue(kKey, folder);
    return folder;
}
