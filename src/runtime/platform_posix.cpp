// Linux and other POSIX systems.
#include "platform.h"
#include "runtime.h"

#include <QProcess>

namespace runtime::platform {

namespace {

// ---- Launching programs -----------------------------------------------------------------------

class PosixLauncher final : public Launcher {
public:
    void launchCommandLine(const QString& commandLine, WindowStyle style) override
    {
        Q_UNUSED(commandLine);
        Q_UNUSED(style);
        raise(Error::FileNotFound);
    }

    void launchProgram(const QString& path, WindowStyle style) override
    {
        // A desktop has no say in the style of a window another program opens.
        Q_UNUSED(style);
        if (path.isEmpty() || !QProcess::startDetached(path, {}))
            raise(Error::FileNotFound);
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
