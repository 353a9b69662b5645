// Command lines as both launchers read them. Private to the runtime layer.
#pragma once

#include <QString>
#include <QStringList>

namespace runtime::platform {

// The words of a command line: split at spaces and tabs, with double quotes grouping words and
// removed, as a Windows program reads its command line. Nothing else is special: no variables,
// no wildcards, no escapes, no second command.
QStringList splitCommandLine(const QString& commandLine);

// The file `name` in the current directory, else in the first PATH directory that holds it, as
// the command interpreter looks for a script; "" when none does. A name with a folder in it is
// looked up there only.
QString findProgram(const QString& name);

} // namespace runtime::platform
