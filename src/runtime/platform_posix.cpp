// Linux and other POSIX systems.
#include "commandline.h"
#include "platform.h"
#include "runtime.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace runtime::platform {

namespace {

// ---- Launching programs -----------------------------------------------------------------------

bool startsWithInterpreterLine(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "#!";
}

// No shell ever reads a command line: its words go to the program as they are, so a source
// name such as `demo; rm -r ~` or `$(...)` is only an odd argument.
class PosixLauncher final : public Launcher {
public:
    void launchCommandLine(const QString& commandLine, WindowStyle style) override
    {
        // A desktop has no say in the style of a window another program opens.
        Q_UNUSED(style);
        QStringList words = splitCommandLine(commandLine);
        const QString program = words.isEmpty() ? QString() : findProgram(words.takeFirst());
        if (program.isEmpty())
            raise(Error::FileNotFound);
        const bool executable = QFileInfo(program).isExecutable();
        if (executable && QProcess::startDetached(program, words))
            return;
        // The program named on its #! line is missing: sh must not read a file meant for another.
        if (executable && startsWithInterpreterLine(program))
            raise(Error::FileNotFound);
        // A script without the executable bit, such as one copied from Windows, or without a
        // #! line, runs as a POSIX shell runs such a file: sh reads it, the words stay its
        // arguments.
        words.prepend(program);
        startDetached(QStringLiteral("/bin/sh"), words);
    }

    void launchProgram(const QString& path, WindowStyle style) override
    {
        Q_UNUSED(style);
        if (path.isEmpty())
            raise(Error::FileNotFound);
        startDetached(path, {});
    }

private:
    // Detached: the program outlives this call and is never waited for; it inherits the
    // editor's working folder and its output goes where the editor's goes.
    static void startDetached(const QString& program, const QStringList& arguments)
    {
        if (!QProcess::startDetached(program, arguments))
            raise(QFileInfo::exists(program) ? Error::PermissionDenied : Error::FileNotFound);
    }
};

// ---- Finding files ----------------------------------------------------------------------------

// ---- Registry ---------------------------------------------------------------------------------

} // namespace

Launcher& nativeLauncher()
{
    static PosixLauncher launcher;
    return launcher;
}

} // namespace runtime::platform
