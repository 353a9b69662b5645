// Windows.
#include "platform.h"
#include "runtime.h"
#include "win32.h"

namespace runtime::platform {

namespace {

// ---- Launching programs -----------------------------------------------------------------------

class WindowsLauncher final : public Launcher {
public:
    void launchCommandLine(const QString& commandLine, WindowStyle style) override
    {
        Q_UNUSED(commandLine);
        Q_UNUSED(style);
        raise(Error::FileNotFound);
    }

    void launchProgram(const QString& path, WindowStyle style) override
    {
        Q_UNUSED(path);
        Q_UNUSED(style);
        raise(Error::FileNotFound);
    }
};

// ---- Finding files ----------------------------------------------------------------------------

// ---- Registry ---------------------------------------------------------------------------------

} // namespace

Launcher& nativeLauncher()
{
    static WindowsLauncher launcher;
    return launcher;
}

} // namespace runtime::platform
