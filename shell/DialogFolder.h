#pragma once
// Where the F7 and F8 dialogs open: the folder of the set the user last chose in
// either, kept with the program's other choices, while it still exists; else the
// user's Documents; else the home folder. Never the working folder: started from a
// shortcut it is the program's own folder, where a standard user cannot write.

#include <QString>
#include <functional>

QString DialogFolder(const QString& remembered, const QString& documents, const QString& home,
                     const std::function<bool(const QString&)>& exists);

// The same, from the kept choices and the system's folders.
QString DialogFolder();
// A set was chosen at path (a file's name): its folder is where both dialogs open next.
QString RememberDialogFolder(const QString& path);
