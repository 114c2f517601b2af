// The application title: the program sets none of its own, so it is made once at start from
// the executable's file name. It captions the default error handler's box.
#pragma once

#include <QString>

namespace quorvel::ui {

// The title made from an executable path: the part after the last "/" or "\", cut before its
// first ".", its first character in capitals and every later one in lower case. So
// "C:\APPS\CATALOG.V2.EXE" gives "Catalog" and "/usr/bin/quorvel" gives "Quorvel": our
// executables are named in lower case, and the task bar should still show a capitalised name.
// An empty path, or a name that starts with ".", gives an empty title.
QString applicationTitleFromPath(const QString& executablePath);

}  // namespace quorvel::ui
